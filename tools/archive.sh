#!/bin/bash
# Makes the device's release archive, build/armv7/tapbridge-VERSION-armv7.tar.gz:
# installs the cross toolchain if missing, builds the armv7 preset and packs
# it (README, "On the device"). The build's output goes to build/archive.log;
# the terminal gets a line a step and every distinct warning, with why the
# expected ones are harmless.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 0 ] || { echo "archive.sh: no options" >&2; exit 2; }
source tools/quiet.sh
quiet_log archive
echo "Setting up (the details go to $TAPBRIDGE_LOG)"
bash tools/deps.sh --cross
step "building the device binaries (cmake preset armv7)" build_preset armv7
step "packing the release archive (cpack preset armv7)" cpack --preset armv7
archive=$(ls build/armv7/tapbridge-*-armv7.tar.gz)
echo "$archive: $(stat -c %s "$archive") bytes; copy it to the device (README, \"2. Copy and unpack\")"
