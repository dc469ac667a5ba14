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
import platform
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tools"))
import vm  # noqa: E402

PTS = "110 120 230 240 350 360 470 480 590 600"


def batch(presses, idle_ms):
    return "\n".join([
        "scenario bench", "screen mt 0 1071 0 1447", "remote r keyboard name Page Turner BT-1",
        f"run tb tapbridge $TOUCH 0 {PTS}", "wait tb text use imps2 protocol",
        "run rm tapbridge-remote 'Page Turner BT-1'", "wait rm lines 2", "wait rm idle",
        f"measure rm r KEY_PAGEDOWN {presses} {idle_ms}", ""])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True, help="the build directory (tapbridge, tapbridge-remote, the guest)")
    ap.add_argument("--presses", type=int, default=200)
    ap.add_argument("--idle", type=float, default=10.0, help="seconds of quiet for the wake-ups")
    ap.add_argument("--smoke", action="store_true", help="a few presses, to prove the script works")
    a = ap.parse_args()
    if a.smoke:
        a.presses, a.idle = 5, 1.0
    build = os.path.abspath(a.build)
    driver = os.path.join(build, "tapbridge-guest")
    arch = vm.arch_of(driver)
    lack = vm.missing(arch)
    if lack:
        sys.exit(f"remote_bench: missing {', '.join(lack)}; run: bash tools/deps.sh --kernel")
    figures, fails, kernel = {}, [], ""
    bound = 120 + a.idle + a.presses * 2
    for tag, text in vm.run(driver, [os.path.join(build, p) for p in ("tapbridge", "tapbridge-remote")],
                            batch(a.presses, int(a.idle * 1000)), bound):
        if tag == "bench":
            name, _, value = text.partition(" ")
            figures[name] = value
        elif tag == "fail":
            fails.append(text)
        elif tag == "kernel":
            kernel = text
    if fails or len(figures) < 7:
        sys.exit("remote_bench: the guest failed: " + "; ".join(fails or ["figures missing"]))
    print(f"machine: {platform.node()} {platform.machine()} {os.cpu_count()} cpus; guest: Linux {kernel}, "
          f"{vm.accelerator(arch)}{' (emulated: absolute figures are the emulator' + chr(39) + 's)' if vm.accelerator(arch) == 'tcg' else ''}")
    print(f"presses: {a.presses} of KEY_PAGEDOWN, and as many left clicks of a uinput mouse; idle window {a.idle:g} s")
    print()
    print("| figure | value |")
    print("|---|---|")
    rows = [("write into the uinput remote -> packet on /dev/input/mice", "remote_to_mice"),
            ("write into the uinput mouse -> packet on /dev/input/mice", "mouse_to_mice"),
            ("remote press -> tap's last frame on the touch node (through tapbridge)", "remote_to_touch"),
            ("mouse click -> tap's last frame on the touch node (through tapbridge)", "mouse_to_touch"),
            ("tapbridge-remote CPU per press", "cpu_per_press"),
            ("tapbridge-remote wake-ups at idle", "idle_wakeups"),
            ("tapbridge-remote memory", "memory")]
    for label, key in rows:
        print(f"| {label} | {figures[key]} |")
    p50 = lambda key: float(figures[key].split()[1])  # noqa: E731
    print()
    print(f"added by tapbridge-remote over a mouse click, p50: {p50('remote_to_mice') - p50('mouse_to_mice'):.0f} us "
          f"to /dev/input/mice, {p50('remote_to_touch') - p50('mouse_to_touch'):.0f} us to the touch node")


if __name__ == "__main__":
    main()
