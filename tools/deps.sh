#!/bin/bash
# Installs what building and testing tapbridge needs on Debian 12 (as root).
#   tools/deps.sh            native build, demo and tests
#   tools/deps.sh --cross    also the ARMv7 cross toolchain, armel X, libevdev and GoogleTest libraries, qemu-arm
#   tools/deps.sh --bench    also the tools the benchmark compares against
#   tools/deps.sh --kernel   also qemu-system-x86/-arm, and Debian's kernels and static busybox
#                            (amd64, armhf) downloaded, never installed, into build/guest-debs
set -euo pipefail
guest_debs=
export DEBIAN_FRONTEND=noninteractive
pkgs=(cmake g++ make pkg-config python3 file libx11-dev libxtst-dev libxext-dev
      libevdev-dev libgtest-dev bubblewrap faketime xvfb x11-utils xauth)
for arg in "$@"; do
  case "$arg" in
    --cross)
      dpkg --print-foreign-architectures | grep -qx armel || dpkg --add-architecture armel
      pkgs+=(g++-arm-linux-gnueabi binutils-arm-linux-gnueabi qemu-user
             libx11-dev:armel libxtst-dev:armel libxext-dev:armel
             libevdev-dev:armel libgtest-dev:armel man-db) ;;
    --bench)
      pkgs+=(strace evemu-tools xdotool) ;;
    --kernel)
      dpkg --print-foreign-architectures | grep -qx armhf || dpkg --add-architecture armhf
      pkgs+=(qemu-system-x86 qemu-system-arm)
      guest_debs="$(dirname "$0")/../build/guest-debs" ;;
    *) echo "deps.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done
apt-get update -q
apt-get install -y -q --no-install-recommends "${pkgs[@]}"
if [ -n "${guest_debs:-}" ]; then
  bash "$(dirname "$0")/guest-debs.sh" "$guest_debs"
fi
