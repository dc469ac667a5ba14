#!/usr/bin/env python3
"""Runs tapbridge on a real Linux kernel and shows what happens, step by step.

usage: demo_kernel.py BUILD_DIR [--remote]

Boots Debian's kernel under qemu (tools/vm.py) with the binaries of
BUILD_DIR. Inside, the guest driver makes a virtual mouse and a virtual touch
screen through uinput, starts tapbridge, and clicks; each tap is shown as a
second reader of the touch screen receives it, one event a line, the way an
event tester prints them. Then tapbridge-setup reports on that screen.

With --remote a simulated page turner and two rings (one that swipes like a
finger, one with places to tap) stand in for the mouse: tapbridge-setup's
report lists them with their lines, tapbridge's line and the remotes' run:
lines are run as printed, the tap-zone ring's places are learnt with
tapbridge-setup --learn, and each press, swipe and tap is followed to its
tap: what the remote sent, the packets tapbridge-remote's virtual mouse sent
on /dev/input/mice, tapbridge's line and the tap's records. Either ends by
itself, with status 1 when an effect it waits for does not come, or when
more comes than the steps make.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vm  # noqa: E402

POINTS = "910 723 160 723 535 72 160 723 910 723"
TAPBRIDGE = "/usr/local/bin/tapbridge"
REMOTE_PROGRAM = "/usr/local/bin/tapbridge-remote"
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
# a word of the report's run: line that runs for it (None: learnt first),
# what each is in a word, and in plain words.
REMOTES = [("p", "keyboard", "Page Turner BT-1", "Turner", "page turner",
            "a page turner: a Bluetooth keyboard with page keys, as one appears once paired"),
           ("r", "finger", "Swipe Ring", "Swipe", "finger ring",
            "a finger ring: a Bluetooth ring that reports a finger on a small touch surface, positions 0..4095"),
           ("z", "pen", "Tap Ring", None, "tap-zone ring",
            "a tap-zone ring: a Bluetooth ring whose buttons are places it touches, reported like a pen")]
# What the remotes do, in turn: the guest driver's step, in plain words, and
# the button of the virtual mouse it clicks (so the point tapbridge taps; 0:
# none). A ring that mousedev feeds keeps point 1 off in the report's
# lines, so next page is on wheel down (button 5).
PRESSES = [("press p KEY_PAGEDOWN", "Page Down pressed and released (KEY_PAGEDOWN): next page, on wheel down", 5),
           ("press p KEY_PAGEUP", "Page Up pressed and released (KEY_PAGEUP): previous page, on right", 2),
           ("press p KEY_B", "B pressed and released (KEY_B): in no map, so tapbridge-remote sends nothing", 0),
           ("stroke r 700,500 660,503 620,498", "swipe left: SWIPE_LEFT, next page", 5),
           ("stroke r 620,500 660,497 700,502", "swipe right: SWIPE_RIGHT, previous page", 2),
           ("stroke r 2000,2000 2004,1800 2010,1600", "swipe up: SWIPE_UP, next page too", 5),
           ("stroke r 1000,1000", "tap: in no map (taps are learnt, not guessed), so tapbridge-remote sends nothing",
            0),
           ("stroke r 2000,1600 1995,1800 2000,2000", "swipe down: SWIPE_DOWN, previous page too", 2)]
# The tap-zone ring learnt: each question of tapbridge-setup --learn, as it
# asks it, the answer and its words; then its learnt line run as printed,
# and taps.
ANSWERS = [("next page (wheel down): ", "stroke z 2000,500", "tap: the answer, its place is next page from now on"),
           ("previous page (right): ", "stroke z 2000,1012",
            "tap: the answer, its place is previous page from now on"),
           ("menu (middle): ", "keys l \\n", "Enter on its terminal: no menu on this ring.")]
LEARNT_TAPS = [("stroke z 2003,498", "tap: TAP@2000,500 is the nearer place learnt, next page", 5),
               ("stroke z 1990,1015", "tap: TAP@2000,1012 is the nearer place learnt, previous page", 2),
               ("stroke z 2000,500 2000,1500", "swipe down: in no map of this line, so tapbridge-remote sends nothing",
                0)]
SAID = {step: words for step, words, _ in PRESSES + LEARNT_TAPS} | {step: words for _, step, words in ANSWERS}
KINDS = {rid: kind for rid, _, _, _, kind, _ in REMOTES}
WHO = {"tb": "tapbridge", "s": "tapbridge-setup", "l": "tapbridge-setup --learn"} | {
    f"r{rid}": f"tapbridge-remote ({name})" for rid, _, name, *_ in REMOTES}


def mouse_batch():
    """The mouse demo's steps, and the packets, lines of tapbridge and touch
    frames they make in all."""
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
    return "\n".join(steps) + "\n", dict(packets=packets, lines=1 + taps, frames=4 * taps)


def followed(actions, made):
    """Steps that play actions, (step, words, button) each, each click waited
    for whole: its packets (a wheel step one, a button down and up two),
    tapbridge's line and the tap's four frames. made: the packets and clicks
    so far, counted on. An action that clicks nothing is given room to show
    anything it should not make."""
    steps = []
    for step, _, button in actions:
        steps.append(step)
        if not button:
            steps.append("pause 500")
            continue
        made["packets"] += 1 if button in (4, 5) else 2
        made["clicks"] += 1
        steps += [f"wait mice packets {made['packets']}", f"wait tb lines {1 + made['clicks']}",
                  f"wait touch frames {4 * made['clicks']}"]
    return steps


def remote_batch():
    """The device path's steps 3 to 7: the report lists the remotes with their
    lines, tapbridge's line and each remote's run: line run as printed, a
    ring's taps learnt; each press, swipe and tap waited for whole."""
    steps = ["scenario demo", "screen mt 0 1071 0 1447"]
    steps += [f"remote {rid} {kind} name {name}" for rid, kind, name, *_ in REMOTES]
    steps += ["run s tapbridge-setup", "wait s exit", f"runline tb s {TAPBRIDGE}", "wait tb text use imps2 protocol"]
    steps += [x for rid, _, _, word, *_ in REMOTES if word
              for x in (f"runline r{rid} with {word} s run:", f"wait r{rid} text attached")]
    made = dict(packets=0, clicks=0)
    steps += followed(PRESSES, made)
    steps.append("run l tapbridge-setup --learn $Z")
    for question, answer, _ in ANSWERS:
        steps += [f"wait l text {question}press", answer]
    steps += ["wait l exit", f"runline rz l {REMOTE_PROGRAM}", "wait rz text attached"]
    steps += followed(LEARNT_TAPS, made)
    steps += [f"stop r{rid}" for rid, *_ in REMOTES] + ["keys tb \\x03", "wait tb exit"]
    return "\n".join(steps) + "\n", dict(packets=made["packets"], lines=1 + made["clicks"], frames=4 * made["clicks"])


def packet_words(hex_bytes):
    """A /dev/input/mice packet in words: its buttons and its wheel byte."""
    b = [int(x, 16) for x in hex_bytes.split()]
    down = [name for bit, name in ((1, "left"), (2, "right"), (4, "middle")) if b[0] & bit]
    wheel = b[3] - 256 if b[3] > 127 else b[3]
    words = " and ".join(down) + " down" if down else "no button down"
    if wheel:
        words += ", wheel " + ("up" if wheel < 0 else "down")
    return words


def action_words(step):
    """A remote's action in words: a key's, as the table has it; a ring's
    stroke, the gesture, where its contact went down and lifted and in how
    many frames it moved there, then what it means."""
    verb, rid, *points = step.split()
    if verb != "stroke":
        return f"{KINDS[rid]}: {SAID[step]}"
    gesture, _, meaning = SAID[step].partition(": ")
    shape = f"{points[0]} -> {points[-1]} in {len(points)} frames" if len(points) > 1 else f"at {points[0]}"
    return f"{KINDS[rid]}: {gesture} {shape}: {meaning}"


def event_line(text):
    """An event the way an event tester prints it."""
    stamp, type_number, type_name, code_number, code_name, value = text.split()
    if code_name == "SYN_REPORT":
        return f"      Event: time {stamp}, -------------- SYN_REPORT ------------"
    return (f"      Event: time {stamp}, type {type_number} ({type_name}), code {code_number} ({code_name}), "
            f"value {value}")


def printed_line(printed, step):
    """The line a runline step runs: the last that its program printed that
    starts with the prefix and holds the word, as the guest driver picks it."""
    words = step.split()
    word = words[3] if words[2] == "with" else ""
    source, prefix = words[-2:] if word else words[2:4]
    for line in reversed(printed.get(source, [])):
        line = line.strip()
        if line.startswith(prefix) and word in line:
            return line[len(prefix):].strip() if prefix.endswith(":") else line
    return "?"


def say(text):
    print(text, flush=True)


def main():
    if len(sys.argv) not in (2, 3) or sys.argv[2:] not in ([], ["--remote"]):
        sys.exit("usage: demo_kernel.py BUILD_DIR [--remote]")
    build, remote = sys.argv[1], sys.argv[2:] == ["--remote"]
    programs = ["tapbridge", "tapbridge-setup"] + (["tapbridge-remote"] if remote else [])
    batch, want = remote_batch() if remote else mouse_batch()
    say("Booting Debian's Linux kernel under qemu: a virtual machine with a real input system "
        "(evdev, mousedev, uinput). This takes a few seconds.")
    clicks = iter(CLICKS)
    remotes = {rid: words for rid, *_, words in REMOTES}
    nodes, printed, touch_shown, failed = {}, {}, False, False
    came = dict(packets=0, lines=0, frames=0)
    for tag, text in vm.run(os.path.join(build, "tapbridge-guest"), [os.path.join(build, p) for p in programs], batch):
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
        elif tag == "step" and text.startswith(("press ", "stroke ")):
            say(action_words(text))
            touch_shown = False
        elif tag == "step" and text.startswith("keys l"):
            say(SAID[text])
        elif tag == "step" and text.startswith("keys tb"):
            say("Ctrl-C on tapbridge's terminal, as a user stops it.")
        elif tag == "step" and text.startswith("stop r"):
            say(f"SIGTERM to {WHO[text.split()[1]]}, as a boot script's stop sends it.")
        elif tag == "step" and text.startswith("run s"):
            say(f"$ {text.split(' ', 2)[2]}" + ("   (every device with keys is listed: the virtual machine's own "
                                                 "keyboard too)" if remote else ""))
        elif tag == "step" and text.startswith("run l"):
            say(f"$ tapbridge-setup --learn {nodes['z']}   (as the Tap Ring's ring: line above says: its taps "
                "are learnt)")
        elif tag == "step" and text.startswith("runline tb"):
            say(f"$ {printed_line(printed, text)}   (the report's line, as printed: point 1 is off, -1 -1, since "
                "mousedev makes each touch of a ring that no tapbridge-remote serves yet a left click)")
        elif tag == "step" and text.startswith("runline") and text.split()[-2] == "l":
            say(f"$ {printed_line(printed, text)}   (the line it printed, as printed)")
        elif tag == "step" and text.startswith("runline"):
            say(f"$ {printed_line(printed, text)}   (its run: line, as printed: next page on wheel down, as the "
                "report has it)")
        elif tag == "mice":
            came["packets"] += 1
            say(f"  the kernel's mouse stream (/dev/input/mice) carries {text}: {packet_words(text)}")
        elif tag == "out":
            who, _, line = text.partition(" ")
            printed.setdefault(who, []).append(line)
            came["lines"] += who == "tb"
            say(f"  {WHO.get(who, who)} says: {line}")
        elif tag == "err":
            say(f"  ... and on its error output: {text.partition(' ')[2]}")
        elif tag == "touch":
            if not touch_shown:
                say(f"  a second reader of the touch screen ({nodes['touch']}) receives:")
                touch_shown = True
            came["frames"] += text.split()[4] == "SYN_REPORT"
            say(event_line(text))
        elif tag == "exit":
            who, _, how = text.partition(" ")
            say(f"  {WHO.get(who, who)} ended: {how.replace('signal 2', 'interrupted (Ctrl-C)')}")
        elif tag == "fail":
            say(f"Something went wrong in the guest: {text}")
            failed = True
        elif tag == "exit-driver" and text != "0":
            failed = True
    if came != want and not failed:
        # Each effect is waited for, but only until its count is reached: one
        # more (a stray tap) shows only here.
        say(f"Not what the steps make: {came['packets']} packets, {came['lines']} lines of tapbridge and "
            f"{came['frames']} touch frames came, where {want['packets']}, {want['lines']} and {want['frames']}.")
        failed = True
    say("The guest powered off. Demo done." if not failed else "The guest powered off; the demo did not go through.")
    return 1 if failed else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except vm.GuestError as e:
        sys.exit(f"demo_kernel.py: {e}")
