#!/usr/bin/env python3
"""Speed and footprint of tapbridge-remote, measured on a real kernel: the
guest that the kernel tier boots (tools/vm.py), with tapbridge running on a
uinput touch screen and tapbridge-remote on a uinput page turner.

usage: remote_bench.py --build DIR [--presses N] [--idle S] [--smoke]

The guest driver's measure step (tools/guest/measure.hpp) does the timing
inside the guest: from the write of a press into the uinput remote until a
/dev/input/mice reader has its packet, against the same for a click of a
uinput mouse; and on to the tap's last frame on the touch node. CPU time
comes from /proc/PID/schedstat, wake-ups at idle from the context switches
in /proc/PID/status, memory from VmHWM and VmRSS. Under TCG (no KVM) every
figure is an emulated machine's.
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import guest_bench as gb  # noqa: E402

ROWS = [("write into the uinput remote -> packet on /dev/input/mice", "remote_to_mice"),
        ("write into the uinput mouse -> packet on /dev/input/mice", "mouse_to_mice"),
        ("remote press -> tap's last frame on the touch node (through tapbridge)", "remote_to_touch"),
        ("mouse click -> tap's last frame on the touch node (through tapbridge)", "mouse_to_touch"),
        ("tapbridge-remote CPU per press", "cpu_per_press"),
        ("tapbridge-remote wake-ups at idle", "idle_wakeups"),
        ("tapbridge-remote memory", "memory")]


def batch(presses, idle_ms):
    return "\n".join([
        "scenario bench", gb.SCREEN, "remote r keyboard name Page Turner BT-1", *gb.TAPBRIDGE,
        "run rm tapbridge-remote 'Page Turner BT-1'", "wait rm lines 2", "wait rm idle",
        f"measure rm r KEY_PAGEDOWN {presses} {idle_ms}", f"measure mouse {presses}", ""])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True, help="the build directory (tapbridge, tapbridge-remote, the guest)")
    ap.add_argument("--presses", type=int, default=200)
    ap.add_argument("--idle", type=float, default=10.0, help="seconds of quiet for the wake-ups")
    ap.add_argument("--smoke", action="store_true", help="a few presses, to prove the script works")
    a = ap.parse_args()
    if a.smoke:
        a.presses, a.idle = 5, 1.0
    bound = 120 + a.idle + a.presses * 2
    figures, kernel, arch = gb.run("remote_bench", a.build, batch(a.presses, int(a.idle * 1000)), bound,
                                   [key for _, key in ROWS])
    print(gb.machine_line(arch, kernel))
    print(f"presses: {a.presses} of KEY_PAGEDOWN, and as many left clicks of a uinput mouse; idle window {a.idle:g} s")
    print()
    print("| figure | value |")
    print("|---|---|")
    for label, key in ROWS:
        print(f"| {label} | {figures[key]} |")
    added = lambda way: gb.p50(figures["remote_to_" + way]) - gb.p50(figures["mouse_to_" + way])  # noqa: E731
    print()
    print(f"added by tapbridge-remote over a mouse click, p50: {added('mice'):.0f} us "
          f"to /dev/input/mice, {added('touch'):.0f} us to the touch node")


if __name__ == "__main__":
    main()
