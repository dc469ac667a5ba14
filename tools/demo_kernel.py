#!/usr/bin/env python3
"""Runs tapbridge on a real Linux kernel and shows what happens, step by step.

usage: demo_kernel.py BUILD_DIR

Boots Debian's kernel under qemu (tools/vm.py) with the binaries of
BUILD_DIR. Inside, the guest driver makes a virtual mouse and a virtual touch
screen through uinput, starts tapbridge, and clicks; each tap is shown as a
second reader of the touch screen receives it, one event a line, the way an
event tester prints them. Then tapbridge-setup reports on that screen. It
ends by itself.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vm  # noqa: E402

POINTS = "910 723 160 723 535 72 160 723 910 723"
# What the virtual mouse does, in the guest driver's words and in plain ones.
CLICKS = [("L1 S L0 S", "left button pressed and released"),
          ("R1 S R0 S", "right button pressed and released"),
          ("R1 S R0 S", "right button again (same point: the kernel leaves out the position, which did not change)"),
          ("M1 S M0 S", "middle button pressed and released"),
          ("W1 S", "wheel turned one step up"),
          ("W-1 S", "wheel turned one step down"),
          ("L1 R1 S L0 R0 S", "left and right pressed together (a chord: tapbridge ignores it)"),
          ("L1 S L0 S", "left button again")]
CHORD = "L1 R1 S L0 R0 S"


def batch():
    steps = ["scenario demo", "screen mt 0 1071 0 1447", f"run tb tapbridge $TOUCH 0 {POINTS}",
             "wait tb text use imps2 protocol"]
    taps = packets = 0
    for events, _ in CLICKS:
        # A press and a release are a packet each, a wheel step one.
        packets += events.count(" S")
        steps += [f"mouse {events}", f"wait mice packets {packets}"]
        # Each tap shown whole before the next click. The chord gives no
        # line: the next click's line shows it was read and gave nothing.
        if events != CHORD:
            taps += 1
            steps += [f"wait tb lines {1 + taps}", f"wait touch frames {4 * taps}"]
    # Then tapbridge is stopped the way a user stops it, and the screen checked.
    steps += ["keys tb \\x03", "wait tb exit", "run s tapbridge-setup", "wait s exit"]
    return "\n".join(steps) + "\n"


def packet_words(hex_bytes):
    """A /dev/input/mice packet in words: its buttons and its wheel byte."""
    b = [int(x, 16) for x in hex_bytes.split()]
    down = [name for bit, name in ((1, "left"), (2, "right"), (4, "middle")) if b[0] & bit]
    wheel = b[3] - 256 if b[3] > 127 else b[3]
    words = " and ".join(down) + " down" if down else "no button down"
    if wheel:
        words += ", wheel " + ("up" if wheel < 0 else "down")
    return words


def event_line(text):
    """An event the way an event tester prints it."""
    stamp, type_number, type_name, code_number, code_name, value = text.split()
    if code_name == "SYN_REPORT":
        return f"      Event: time {stamp}, -------------- SYN_REPORT ------------"
    return (f"      Event: time {stamp}, type {type_number} ({type_name}), code {code_number} ({code_name}), "
            f"value {value}")


def main():
    build = sys.argv[1]
    print("Booting Debian's Linux kernel under qemu: a virtual machine with a real input system "
          "(evdev, mousedev, uinput). This takes a few seconds.", flush=True)
    clicks = iter(CLICKS)
    nodes, touch_shown, failed = {}, False, False
    for tag, text in vm.run(os.path.join(build, "tapbridge-guest"),
                            [os.path.join(build, "tapbridge"), os.path.join(build, "tapbridge-setup")], batch()):
        if tag == "kernel":
            print(f"The guest is up: Linux {text.split()[0]}.", flush=True)
        elif tag == "node":
            which, path = text.split()
            nodes[which] = path
            if which == "touch":
                print(f"The guest made a virtual mouse ({nodes['mouse']}) and a virtual touch screen ({path}, "
                      "positions 0..1071 by 0..1447). It reads the touch screen and the mouse stream too, as a "
                      "second reader, to show what the kernel delivers.", flush=True)
        elif tag == "step" and text.startswith("run tb"):
            print(f"$ tapbridge {nodes['touch']} 0 {POINTS}", flush=True)
        elif tag == "step" and text.startswith("mouse"):
            print(f"mouse: {next(clicks)[1]}", flush=True)
            touch_shown = False
        elif tag == "step" and text.startswith("keys tb"):
            print("Ctrl-C on tapbridge's terminal, as a user stops it.", flush=True)
        elif tag == "step" and text.startswith("run s"):
            print("$ tapbridge-setup", flush=True)
        elif tag == "mice":
            print(f"  the kernel's mouse stream (/dev/input/mice) carries {text}: {packet_words(text)}", flush=True)
        elif tag == "out":
            who, _, line = text.partition(" ")
            print(f"  {'tapbridge' if who == 'tb' else 'tapbridge-setup'} says: {line}", flush=True)
        elif tag == "err":
            print(f"  ... and on its error output: {text.partition(' ')[2]}", flush=True)
        elif tag == "touch":
            if not touch_shown:
                print(f"  a second reader of the touch screen ({nodes['touch']}) receives:", flush=True)
                touch_shown = True
            print(event_line(text), flush=True)
        elif tag == "exit":
            who, _, how = text.partition(" ")
            name = "tapbridge" if who == "tb" else "tapbridge-setup"
            print(f"  {name} ended: {how.replace('signal 2', 'interrupted (Ctrl-C)')}", flush=True)
        elif tag == "fail":
            print(f"Something went wrong in the guest: {text}", flush=True)
            failed = True
    print("The guest powered off. Demo done." if not failed else "The guest powered off; the demo did not go through.")
    return 1 if failed else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except vm.GuestError as e:
        sys.exit(f"demo_kernel.py: {e}")
