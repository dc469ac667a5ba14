#!/bin/bash
# Installs, builds every configuration once and runs the whole suite on each:
# native (warnings as errors), address+undefined sanitizers, and the static
# ARMv7 device binary under qemu-arm (keep-awake across January 2038
# included); the 32-bit time_t device variant is built and its mouse and
# touch groups run; the kernel group boots Debian's kernels under qemu (amd64
# for ci, ARM for armv7). Then the release archive is made and checked. A missing
# tool fails here: nothing is skipped. Set-up and build output go to
# build/test.log; the terminal gets a line a step and every test result, and
# a failing step's output in full.
set -euo pipefail
cd "$(dirname "$0")/.."
unset TAPBRIDGE_SKIP_MISSING
[ $# -eq 0 ] || { echo "test.sh: no options (it runs everything; one group: see README, Tests)" >&2; exit 2; }
source tools/quiet.sh
quiet_log test
echo "Setting up (the details go to $TAPBRIDGE_LOG)"
plain_chroot_check test.sh
bash tools/deps.sh --cross --bench --kernel
python3 tests/simdev.py  # says in one line why the simulated devices cannot run here, if they cannot
for preset in ci asan armv7 armv7-time32; do
  step "building preset $preset" build_preset "$preset"
done
test_step "testing ci (native build):" ctest --preset ci
test_step "testing asan (sanitizers):" ctest --preset asan
test_step "testing armv7 (device build, under qemu-arm):" ctest --preset armv7
test_step "testing armv7-time32 (32-bit time_t device build):" ctest --preset armv7-time32 -R '^(touch|mouse)$'
# the demo, benchmark and soak scripts still work (figures are not judged
# here; the demo fails when an effect it waits for does not come)
step "demo script, touch mode" python3 tools/demo.py build/ci/tapbridge
step "demo script, X mode" python3 tools/demo.py build/ci/tapbridge --x
step "demo script, on a real kernel (amd64 guest)" python3 tools/demo_kernel.py build/ci
step "demo script, a page turner and rings on a real kernel (amd64 guest)" python3 tools/demo_kernel.py build/ci --remote
step "benchmark script, smoke run" python3 bench/bench.py --binary build/ci/tapbridge --smoke
step "soak script, smoke run" python3 bench/soak.py --binary build/ci/tapbridge --smoke
step "rate script, smoke run (amd64 guest)" python3 bench/rate.py --build build/ci --smoke
step "remote benchmark script, smoke run (amd64 guest)" python3 bench/remote_bench.py --build build/ci --smoke
step "ring benchmark script, smoke run (amd64 guest)" python3 bench/ring_bench.py --build build/ci --smoke

# The archive unpacks to tapbridge/ and holds what the README promises (one
# file a line, sorted), SHA256SUMS listing every other file with the right
# sum, the manual pages as plain text; and systemd finds nothing to say about its units, pointed at the
# unpacked programs (it warns about a misspelt key or a bad value but still
# succeeds).
ARCHIVE_FILES="
bin/tapbridge
bin/tapbridge-remote
bin/tapbridge-setup
share/doc/tapbridge/README.md
share/doc/tapbridge/examples/tapbridge-remote.service
share/doc/tapbridge/examples/tapbridge.init
share/doc/tapbridge/examples/tapbridge.service
share/doc/tapbridge/manual/tapbridge-remote.txt
share/doc/tapbridge/manual/tapbridge-setup.txt
share/doc/tapbridge/manual/tapbridge.txt
share/man/man1/tapbridge-remote.1
share/man/man1/tapbridge-setup.1
share/man/man1/tapbridge.1
"
check_archive() (
  dir=$(mktemp -d)
  trap 'rm -rf "$dir"' EXIT
  tar tzvf "$1" && tar xzf "$1" -C "$dir" && cd "$dir/tapbridge" && sha256sum -c SHA256SUMS || exit 1
  diff <(printf '%s\n' $ARCHIVE_FILES) <(find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort) || exit 1
  diff <(printf '%s\n' $ARCHIVE_FILES) <(cut -c67- SHA256SUMS) || exit 1
  for file in $ARCHIVE_FILES; do
    case $file in bin/*) test -x "$file" || { echo "$file is not executable"; exit 1; } ;; esac
  done
  # The manual as plain text, for a device without man: ASCII that less or
  # more shows as it is (no overstrikes, no escape sequences), every page whole.
  for text in share/doc/tapbridge/manual/*.txt; do
    ! LC_ALL=C grep -n '[^ -~]' "$text" || { echo "$text: not plain ASCII (the lines above)"; exit 1; }
    grep -x NAME "$text" >/dev/null && grep -x 'SEE ALSO' "$text" >/dev/null || { echo "$text: not a whole page"; exit 1; }
  done
  for unit in share/doc/tapbridge/examples/*.service; do
    sed "s|/opt/tapbridge/|$dir/tapbridge/|" "$unit" >"$dir/${unit##*/}"
    said=$(systemd-analyze verify "$dir/${unit##*/}" 2>&1) && test -z "$said" || { echo "$said"; exit 1; }
  done
)
step "making the release archive (cpack preset armv7)" cpack --preset armv7
archive=$(ls build/armv7/tapbridge-*-armv7.tar.gz)
step "checking $archive" check_archive "$archive"
for program in tapbridge tapbridge-setup tapbridge-remote; do
  echo "device binary $program: $(stat -c %s "build/armv7/$program") bytes;" \
    "$(file -b "build/armv7/$program" | sed 's/, BuildID\[[^]]*\]=[0-9a-f]*//');" \
    "$(readelf -h "build/armv7/$program" | sed -n 's/^ *Flags: *[^,]*, //p')"
done
