#!/bin/bash
# Installs, builds, and runs tapbridge on simulated devices: a scripted mouse
# on a pty placed at /dev/input/mice and a FIFO as the touch node, printing the
# taps as an event tester would.
#   bash tools/demo.sh           touch mode
#   bash tools/demo.sh --x       an Xvfb display instead of the touch node
#   bash tools/demo.sh --kernel  both programs on a real kernel under qemu
#   bash tools/demo.sh --remote  a page turner and two rings on a real kernel: each press,
#                                swipe and tap followed to its tap, a ring's taps learnt
# Set-up output goes to build/demo.log; the terminal gets a line a step.
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
  ""|--x|--kernel|--remote)
    [ $# -le 1 ] || { echo "demo.sh: one option at most (--x, --kernel or --remote)" >&2; exit 2; } ;;
  --help|-h) sed -n '2,10s/^# \{0,1\}//p' "$0"; exit 0 ;;
  *) echo "demo.sh: unknown option $1 (--x, --kernel, --remote, --help)" >&2; exit 2 ;;
esac
source tools/quiet.sh
quiet_log demo
echo "Setting up (the details go to $TAPBRIDGE_LOG)"
if [ "${1:-}" = --kernel ] || [ "${1:-}" = --remote ]; then
  # The same on a real kernel: Debian's, booted under qemu (tools/demo_kernel.py);
  # --remote plays a page turner and two rings there instead of the mouse.
  bash tools/deps.sh --kernel
  step "building tapbridge (cmake preset default)" build_preset default
  echo
  [ "$1" = --kernel ] || exec python3 tools/demo_kernel.py build/default --remote
  exec python3 tools/demo_kernel.py build/default
fi
plain_chroot_check demo.sh
bash tools/deps.sh
python3 tests/simdev.py  # says in one line why the simulated devices cannot run here, if they cannot
step "building tapbridge (cmake preset default)" build_preset default
echo
python3 tools/demo.py build/default/tapbridge "$@"
