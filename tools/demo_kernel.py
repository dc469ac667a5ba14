#!/usr/bin/env python3
"""Runs tapbridge on a real Linux kernel and shows what happens, step by step.

usage: demo_kernel.py BUILD_DIR [--remote]

Boots Debian's kernel under qemu (tools/vm.py) with the binaries of
BUILD_DIR. Inside, the guest driver makes a virtual mouse and a virtual touch
screen through uinput, starts tapbridge, and clicks; each tap is shown as a
second reader of the touch screen receives it, one event a line, the way an
event tester prints them. Then tapbridge-setup reports on that screen.

With --remote a simulated page turner stands in for the mouse: beside the
running tapbridge, tapbridge-setup --remotes lists it with its line, that
line is run as printed, and each press is followed to its tap: the key the
page turner sent, the packets tapbridge-remote's virtual mouse sent on
/dev/input/mice, tapbridge's line and the tap's records. Either ends by
itself, with status 1 when an effect it waits for does not come.
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

# The remotes the remote demo makes (the guest driver's ID, kind and name),
# and what each is, in plain words.
REMOTES = [("p", "keyboard", "Page Turner BT-1",
            "a page turner: a Bluetooth keyboard with page keys, as one appears once paired")]
# What the remotes do, in turn: the guest driver's step, in plain words, and
# the clicks of the virtual mouse (and so taps) it makes with the default map.
PRESSES = [("press p KEY_PAGEDOWN", "Page Down pressed and released (KEY_PAGEDOWN): next page", 1),
           ("press p KEY_PAGEUP", "Page Up pressed and released (KEY_PAGEUP): previous page", 1),
           ("press p KEY_RIGHT", "arrow right pressed and released (KEY_RIGHT): next page too", 1),
           ("press p KEY_B", "B pressed and released (KEY_B): in no map, so tapbridge-remote sends nothing", 0),
           ("press p KEY_LEFT", "arrow left pressed and released (KEY_LEFT): previous page too", 1)]
WHO = {"tb": "tapbridge", "s": "tapbridge-setup", "rm": "tapbridge-remote"}


def mouse_batch():
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


def remote_batch():
    """The device path's steps 6 and 7: tapbridge runs, --remotes lists the
    remote, its line runs as printed, and each press is waited for whole."""
    steps = ["scenario demo", "screen mt 0 1071 0 1447"]
    steps += [f"remote {rid} {kind} name {name}" for rid, kind, name, _ in REMOTES]
    steps += [f"run tb tapbridge $TOUCH 0 {POINTS}", "wait tb text use imps2 protocol",
              "run s tapbridge-setup --remotes", "wait s exit", "runline rm s run:", "wait rm text attached"]
    clicks = 0
    for step, _, taps in PRESSES:
        # A click is two packets, down and up, and one tap. A press that
        # clicks nothing shows in the next one's count.
        clicks += taps
        steps.append(step)
        if taps:
            steps += [f"wait mice packets {2 * clicks}", f"wait tb lines {1 + clicks}", f"wait touch frames {4 * clicks}"]
    steps += ["stop rm", "keys tb \\x03", "wait tb exit"]
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


def say(text):
    print(text, flush=True)


def main():
    if len(sys.argv) not in (2, 3) or sys.argv[2:] not in ([], ["--remote"]):
        sys.exit("usage: demo_kernel.py BUILD_DIR [--remote]")
    build, remote = sys.argv[1], sys.argv[2:] == ["--remote"]
    programs = ["tapbridge", "tapbridge-setup"] + (["tapbridge-remote"] if remote else [])
    say("Booting Debian's Linux kernel under qemu: a virtual machine with a real input system "
        "(evdev, mousedev, uinput). This takes a few seconds.")
    clicks, presses = iter(CLICKS), iter(PRESSES)
    remotes = {rid: words for rid, _, _, words in REMOTES}
    nodes, touch_shown, failed, run_line = {}, False, False, None
    for tag, text in vm.run(os.path.join(build, "tapbridge-guest"), [os.path.join(build, p) for p in programs],
                            remote_batch() if remote else mouse_batch()):
        if tag == "kernel":
            say(f"The guest is up: Linux {text.split()[0]}.")
        elif tag == "node":
            which, path = text.split()
            nodes[which] = path
            if which == "touch":
                say(f"The guest made a virtual mouse ({nodes['mouse']}) and a virtual touch screen ({path}, "
                    "positions 0..1071 by 0..1447). It reads the touch screen and the mouse stream too, as a "
                    "second reader, to show what the kernel delivers.")
            elif which in remotes:
                say(f"The guest made {remotes[which]} ({path}).")
        elif tag == "step" and text.startswith("run tb"):
            say(f"$ tapbridge {nodes['touch']} 0 {POINTS}")
        elif tag == "step" and text.startswith("mouse"):
            say(f"mouse: {next(clicks)[1]}")
            touch_shown = False
        elif tag == "step" and text.startswith(("press ", "key ", "hat ")):
            say(f"page turner: {next(presses)[1]}")
            touch_shown = False
        elif tag == "step" and text.startswith("keys tb"):
            say("Ctrl-C on tapbridge's terminal, as a user stops it.")
        elif tag == "step" and text.startswith("stop rm"):
            say("SIGTERM to tapbridge-remote, as a boot script's stop sends it.")
        elif tag == "step" and text.startswith("run s"):
            say(f"$ {text.split(' ', 2)[2]}" + ("   (every device with keys is listed: the virtual machine's own "
                                                 "keyboard too)" if remote else ""))
        elif tag == "step" and text.startswith("runline rm"):
            say(f"$ {run_line}   (its run: line, as printed)")
        elif tag == "mice":
            say(f"  the kernel's mouse stream (/dev/input/mice) carries {text}: {packet_words(text)}")
        elif tag == "out":
            who, _, line = text.partition(" ")
            if who == "s" and line.startswith("  run:"):
                run_line = line.split(":", 1)[1].strip()
            say(f"  {WHO.get(who, who)} says: {line}")
        elif tag == "err":
            say(f"  ... and on its error output: {text.partition(' ')[2]}")
        elif tag == "touch":
            if not touch_shown:
                say(f"  a second reader of the touch screen ({nodes['touch']}) receives:")
                touch_shown = True
            say(event_line(text))
        elif tag == "exit":
            who, _, how = text.partition(" ")
            say(f"  {WHO.get(who, who)} ended: {how.replace('signal 2', 'interrupted (Ctrl-C)')}")
        elif tag == "fail":
            say(f"Something went wrong in the guest: {text}")
            failed = True
        elif tag == "exit-driver" and text != "0":
            failed = True
    say("The guest powered off. Demo done." if not failed else "The guest powered off; the demo did not go through.")
    return 1 if failed else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except vm.GuestError as e:
        sys.exit(f"demo_kernel.py: {e}")
