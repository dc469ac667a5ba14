#!/bin/bash
# Installs, builds, and runs tapbridge on simulated devices: a scripted mouse
# on a pty placed at /dev/input/mice and a FIFO as the touch node, printing the
# taps as an event tester would. Pass --x to drive an Xvfb display instead,
# --kernel to run it all on a real kernel under qemu.
# Set-up output goes to build/demo.log; the terminal gets a line a step.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/quiet.sh
quiet_log demo
echo "Setting up (the details go to $TAPBRIDGE_LOG)"
if [ "${1:-}" = --kernel ]; then
  # The same on a real kernel: Debian's, booted under qemu (tools/demo_kernel.py).
  bash tools/deps.sh --kernel
  step "building tapbridge (cmake preset default)" build_preset default
  echo
  exec python3 tools/demo_kernel.py build/default
fi
bash tools/deps.sh
python3 tests/simdev.py  # says in one line why the simulated devices cannot run here, if they cannot
step "building tapbridge (cmake preset default)" build_preset default
echo
python3 tools/demo.py build/default/tapbridge "$@"
