#!/bin/bash
# Benchmark (default) or soak run of the native build on simulated devices.
#   bash tools/bench.sh          latency, CPU, system calls, memory, and the one-shot tools compared
#   bash tools/bench.sh soak     3,000 packets at full rate, then records, memory and descriptors checked
# Extra arguments go to the script (for instance --taps 500, --packets 6000, --smoke).
# Set-up output goes to build/bench.log.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/quiet.sh
quiet_log bench
bash tools/deps.sh --bench
python3 tests/simdev.py
step "building tapbridge (cmake preset default)" build_preset default
if [ "${1:-}" = soak ]; then
  shift
  exec python3 bench/soak.py --binary build/default/tapbridge "$@"
fi
exec python3 bench/bench.py --binary build/default/tapbridge "$@"
