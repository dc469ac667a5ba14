#!/bin/bash
# Installs, builds every configuration once and runs the whole suite on each:
# native (warnings as errors), address+undefined sanitizers, and the static
# ARMv7 device binary under qemu-arm (keep-awake across January 2038
# included); the 32-bit time_t device variant is built and its mouse and
# touch groups run. The kernel group boots Debian's kernels under qemu (amd64
# for ci, ARM for armv7). A missing tool fails here: nothing is skipped.
set -euo pipefail
cd "$(dirname "$0")/.."
unset TAPBRIDGE_SKIP_MISSING
bash tools/deps.sh --cross --bench --kernel
for preset in ci asan armv7 armv7-time32; do
  echo "=== $preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
done
ctest --preset ci
ctest --preset asan
ctest --preset armv7
ctest --preset armv7-time32 -R '^(touch|mouse)$'
# the benchmark and soak scripts still work (figures are not judged here)
python3 bench/bench.py --binary build/ci/tapbridge --smoke
python3 bench/soak.py --binary build/ci/tapbridge --smoke
for program in tapbridge tapbridge-setup; do
  file build/armv7/$program
  readelf -h build/armv7/$program | grep -E 'Class|Machine|Flags'
  echo "device binary size: $program $(stat -c %s build/armv7/$program) bytes"
done
