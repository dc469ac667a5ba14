#!/bin/bash
# Installs, builds, and runs tapbridge on simulated devices: a scripted mouse
# on a pty placed at /dev/input/mice and a FIFO as the touch node, printing the
# taps as an event tester would. Pass --x to drive an Xvfb display instead,
# --kernel to run it all on a real kernel under qemu.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = --kernel ]; then
  # The same on a real kernel: Debian's, booted under qemu (tools/demo_kernel.py).
  bash tools/deps.sh --kernel
  cmake --preset default
  cmake --build --preset default
  exec python3 tools/demo_kernel.py build/default
fi
bash tools/deps.sh
cmake --preset default
cmake --build --preset default
python3 tools/demo.py build/default/tapbridge "$@"
