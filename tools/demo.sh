#!/bin/bash
# Installs, builds, and runs tapbridge on simulated devices: a scripted mouse
# on a pty placed at /dev/input/mice and a FIFO as the touch node, printing the
# taps as an event tester would. Pass --x to drive an Xvfb display instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake --preset default
cmake --build --preset default
python3 tools/demo.py build/default/tapbridge "$@"
