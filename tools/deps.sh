#!/bin/bash
# Installs what building and testing tapbridge needs on Debian 12 (as root).
#   tools/deps.sh            native build, demo and tests
#   tools/deps.sh --cross    also the ARMv7 cross toolchain, armel X, libevdev and GoogleTest libraries, qemu-arm
#   tools/deps.sh --bench    also the tools the benchmark compares against
set -euo pipefail
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
    *) echo "deps.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done
apt-get update -q
apt-get install -y -q --no-install-recommends "${pkgs[@]}"
