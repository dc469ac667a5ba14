#!/bin/bash
# Benchmark (default) or soak run of the native build on simulated devices.
#   bash tools/bench.sh          latency, CPU, system calls, memory, and the one-shot tools compared
#   bash tools/bench.sh soak     3,000 packets at full rate, then records, memory and descriptors checked
#   bash tools/bench.sh remote   tapbridge-remote on the kernel tier's guest: latency over a mouse click,
#                                CPU per press, wake-ups at idle, memory
# Extra arguments go to the script (for instance --taps 500, --packets 6000, --smoke).
# Set-up output goes to build/bench.log.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/quiet.sh
quiet_log bench
if [ "${1:-}" = remote ]; then
  shift
  bash tools/deps.sh --kernel
  step "building tapbridge, tapbridge-remote and the guest driver (cmake preset default)" build_preset default
  exec python3 bench/remote_bench.py --build build/default "$@"
fi
bash tools/deps.sh --bench
python3 tests/simdev.py
step "building tapbridge (cmake preset default)" build_preset default
if [ "${1:-}" = soak ]; then
  shift
  exec python3 bench/soak.py --binary build/default/tapbridge "$@"
fi
exec python3 bench/bench.py --binary build/default/tapbridge "$@"
