#!/usr/bin/env python3
"""Speed and footprint of tapbridge-remote serving rings, measured on a real
kernel: the guest that the kernel tier boots (tools/vm.py), with tapbridge
running on a uinput touch screen and a tapbridge-remote for each of three
uinput rings, one of each shape: a finger ring (touch), a ring that drags
like a mouse (drag) and a touchpad ring (motion).

usage: ring_bench.py --build DIR [--gestures N] [--idle S] [--smoke]

The guest driver's measure step (tools/guest/measure.hpp) does the timing
inside the guest: each ring swipes to the left, and is timed from the write
of the gesture's last frame into the uinput ring (the lift, the button's
release, the burst's last motion event) until a /dev/input/mice reader has
the virtual mouse's packet, against the same for a left click of a uinput
mouse; and on to the tap's last frame on the touch node. A touchpad ring's
click comes only once its burst has been quiet for the gap, by design: the
time beyond the gap is what tapbridge-remote adds. CPU time comes from
/proc/PID/schedstat, wake-ups from the context switches in /proc/PID/status
(at idle before the gestures, and right after the last one ended), memory
from VmHWM and VmRSS. Under TCG (no KVM) every figure is an emulated
machine's.
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import guest_bench as gb  # noqa: E402

# id, the guest's kind, its name, the column's heading
RINGS = [("f", "finger", "Swipe Ring", "finger ring (touch)"),
         ("d", "drag", "Drag Ring", "drag ring (drag)"),
         ("p", "pad", "Pad Ring", "touchpad ring (motion)")]
AIM_US = 1000  # added at the median over a mouse click, at most


def batch(gestures, idle_ms):
    steps = ["scenario ring bench", gb.SCREEN]
    steps += [f"remote {ring} {kind} name {name}" for ring, kind, name, _ in RINGS]
    steps += gb.TAPBRIDGE
    for ring, _, name, _ in RINGS:
        steps += [f"run r{ring} tapbridge-remote '{name}'", f"wait r{ring} text attached", f"wait r{ring} idle"]
    steps += [f"measure r{ring} {ring} {gestures} {idle_ms}" for ring, _, _, _ in RINGS]
    return "\n".join(steps + [f"measure mouse {gestures}", ""])


def spread(value):
    """"p50 A p90 B max C us" as "A / B / C"."""
    words = value.split()
    return f"{words[1]} / {words[3]} / {words[5]}"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True, help="the build directory (tapbridge, tapbridge-remote, the guest)")
    ap.add_argument("--gestures", type=int, default=100, help="gestures of each ring, and clicks of the mouse")
    ap.add_argument("--idle", type=float, default=10.0, help="seconds of quiet for each count of wake-ups")
    ap.add_argument("--smoke", action="store_true", help="a few gestures, to prove the script works")
    a = ap.parse_args()
    if a.smoke:
        a.gestures, a.idle = 3, 1.0
    figures_of_ring = ["frames", "to_mice", "to_touch", "cpu_per_gesture", "idle_wakeups", "after_wakeups", "memory"]
    want = [f"{ring}_{name}" for ring, _, _, _ in RINGS for name in figures_of_ring]
    want += ["p_beyond_gap", "mouse_to_mice", "mouse_to_touch"]
    bound = 120 + 6 * a.idle + 4 * a.gestures
    figures, kernel, arch = gb.run("ring_bench", a.build, batch(a.gestures, int(a.idle * 1000)), bound, want)
    fig = lambda ring, name: figures[f"{ring}_{name}"]  # noqa: E731
    print(gb.machine_line(arch, kernel))
    print(f"gestures: {a.gestures} swipes to the left of each ring, and as many left clicks of a uinput mouse; "
          f"idle windows {a.idle:g} s")
    print()
    print("| figure | " + " | ".join(heading for *_, heading in RINGS) + " | uinput mouse |")
    print("|---|---|---|---|---|")
    rows = [("frames of a gesture", lambda ring: fig(ring, "frames"), "1 (button down)"),
            ("write of the last frame -> packet on /dev/input/mice, p50 / p90 / max us",
             lambda ring: spread(fig(ring, "to_mice")), spread(figures["mouse_to_mice"])),
            ("the same beyond the 150 ms gap", lambda ring: spread(fig(ring, "beyond_gap")) if ring == "p" else "",
             ""),
            ("write of the last frame -> tap's last frame on the touch node, p50 / p90 / max us",
             lambda ring: spread(fig(ring, "to_touch")), spread(figures["mouse_to_touch"])),
            ("tapbridge-remote CPU per gesture", lambda ring: fig(ring, "cpu_per_gesture"), ""),
            ("tapbridge-remote wake-ups at idle, no gesture under way", lambda ring: fig(ring, "idle_wakeups"), ""),
            ("tapbridge-remote wake-ups right after the last gesture ended", lambda ring: fig(ring, "after_wakeups"),
             ""),
            ("tapbridge-remote memory", lambda ring: fig(ring, "memory"), "")]
    for label, value, mouse in rows:
        print(f"| {label} | " + " | ".join(value(ring) for ring, *_ in RINGS) + f" | {mouse} |")
    mouse = gb.p50(figures["mouse_to_mice"])
    added = [f"{heading.split(' (')[0]} {gb.p50(fig(ring, 'beyond_gap' if ring == 'p' else 'to_mice')) - mouse:.0f} us"
             for ring, _, _, heading in RINGS]
    print()
    print("added by tapbridge-remote over a mouse click to /dev/input/mice, p50: " + ", ".join(added) +
          f" (the touchpad ring's beyond its gap; the aim: at most {AIM_US} us)")


if __name__ == "__main__":
    main()
