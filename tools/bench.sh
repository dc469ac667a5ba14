#!/bin/bash
# Benchmarks of the native build on simulated devices, and of the kernel's
# mouse queue on real kernels.
#   bash tools/bench.sh              latency, CPU, system calls, memory, and the one-shot tools compared
#   bash tools/bench.sh soak         3,000 packets at full rate, then records, memory and descriptors checked
#   bash tools/bench.sh remote       tapbridge-remote on the kernel tier's guest: latency over a mouse click,
#                                    CPU per press, wake-ups at idle, memory
#   bash tools/bench.sh ring         the same for rings (a finger, a drag and a touchpad ring): latency
#                                    from a gesture's last frame, CPU per gesture, wake-ups at idle
#                                    and right after a gesture, memory
#   bash tools/bench.sh rate [--arm] bursts and paced runs of clicks and wheel steps on Debian's kernel
#                                    under qemu: how many become taps (--arm: the ARM guest, device build)
# Extra arguments go to the script (for instance --taps 500, --packets 6000, --clicks 200, --gestures 50,
# --smoke).
# Set-up output goes to build/bench.log.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=bench
case "${1:-}" in
  soak|rate|remote|ring) mode=$1; shift ;;
  --help|-h) sed -n '2,15s/^# \{0,1\}//p' "$0"; exit 0 ;;
esac
source tools/quiet.sh
quiet_log bench
echo "Setting up (the details go to $TAPBRIDGE_LOG)"
if [ "$mode" = rate ]; then
  preset=default
  if [ "${1:-}" = --arm ]; then
    preset=armv7
    shift
    bash tools/deps.sh --kernel --cross
  else
    bash tools/deps.sh --kernel
  fi
  step "building tapbridge (cmake preset $preset)" build_preset "$preset"
  exec python3 bench/rate.py --build "build/$preset" "$@"
fi
if [ "$mode" = remote ] || [ "$mode" = ring ]; then
  bash tools/deps.sh --kernel
  step "building tapbridge, tapbridge-remote and the guest driver (cmake preset default)" build_preset default
  exec python3 "bench/${mode}_bench.py" --build build/default "$@"
fi
plain_chroot_check bench.sh
bash tools/deps.sh --bench
python3 tests/simdev.py
step "building tapbridge (cmake preset default)" build_preset default
if [ "$mode" = soak ]; then
  exec python3 bench/soak.py --binary build/default/tapbridge "$@"
fi
exec python3 bench/bench.py --binary build/default/tapbridge "$@"
