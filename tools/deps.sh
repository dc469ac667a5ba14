#!/bin/bash
# Installs what building and testing tapbridge needs on Debian 12 (as root).
#   tools/deps.sh            native build, demo and tests
#   tools/deps.sh --cross    also the ARMv7 cross toolchain, armel X, libevdev and GoogleTest libraries, qemu-arm,
#                            and systemd-analyze for the release archive's unit
#   tools/deps.sh --bench    also the tools the benchmark compares against
#   tools/deps.sh --kernel   also qemu-system-x86/-arm, and Debian's kernels and static busybox
#                            (amd64, armhf) downloaded, never installed, into build/guest-debs
# apt runs only for what is missing: once everything is there, a run needs no
# network. apt's output goes to the log (tools/quiet.sh), one line a step here.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/quiet.sh
source tools/apt-steps.sh
quiet_log deps
export DEBIAN_FRONTEND=noninteractive

arches=()  # foreign architectures that packages below need
pkgs=(cmake g++ make pkg-config python3 file groff-base libx11-dev libxtst-dev libxext-dev
      libevdev-dev libgtest-dev bubblewrap faketime xvfb x11-utils xauth busybox)
guests=    # the kernel tier's guest packages (tools/guest-debs.sh)
for arg in "$@"; do
  case "$arg" in
    --cross)
      arches+=(armel)
      pkgs+=(g++-arm-linux-gnueabi binutils-arm-linux-gnueabi qemu-user
             libx11-dev:armel libxtst-dev:armel libxext-dev:armel
             libevdev-dev:armel libgtest-dev:armel man-db systemd) ;;
    --bench)
      pkgs+=(strace evemu-tools xdotool) ;;
    --kernel)
      arches+=(armhf)
      pkgs+=(qemu-system-x86 qemu-system-arm)
      guests=yes ;;
    *) echo "deps.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done

native=$(dpkg --print-architecture)
# installed NAME[:ARCH]: dpkg has it for that architecture (default: this
# machine's), or as an architecture-independent package.
installed() {
  local name=${1%%:*} arch=${1#*:}
  [ "$arch" != "$1" ] || arch=$native
  dpkg-query -W -f='${Architecture} ${db:Status-Status}\n' "$name" 2>/dev/null | grep -xE "($arch|all) installed" >/dev/null
}

# No grep -q after a pipe here: it may stop reading early, and under
# pipefail the writer's broken pipe would read as "missing".
new_arches=() missing=()
foreign=$(dpkg --print-foreign-architectures)
for a in "${arches[@]}"; do
  grep -x "$a" <<<"$foreign" >/dev/null || new_arches+=("$a")
done
for p in "${pkgs[@]}"; do installed "$p" || missing+=("$p"); done
# The guests' kernels resolve through apt's lists: fetched last, after any update.
guest_debs() {
  [ -z "$guests" ] || step "the guests' kernels and busybox, into build/guest-debs" \
    bash tools/guest-debs.sh build/guest-debs
}
if [ $(( ${#new_arches[@]} + ${#missing[@]} )) -eq 0 ]; then
  echo "packages: all ${#pkgs[@]} installed; apt not needed"
  guest_debs
  exit 0
fi

for a in "${new_arches[@]}"; do
  step "adding the $a architecture to dpkg" dpkg --add-architecture "$a"
done
update_lists
if [ ${#missing[@]} -gt 0 ]; then
  install_packages "${missing[@]}"
fi
guest_debs
