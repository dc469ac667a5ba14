#!/usr/bin/env python3
"""Runs tapbridge on simulated devices and shows what it does.

usage: demo.py BINARY [--x]

A scripted mouse (a pty at /dev/input/mice) presses each button and turns the
wheel; the touch node is a FIFO whose records are printed one event a line, as
an event tester prints them. The wall clock seen by tapbridge is steered past
the 60-second keep-awake mark before the last press, and the platform's
keep-awake command is a stand-in that says when it runs. With --x the taps go
to an Xvfb display, where xev reports each click.
"""
import os
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
import simdev as sd  # noqa: E402

POINTS = [100, 200, 300, 400, 500, 600, 700, 800, -1, -1]  # the wheel down point is disabled
SCRIPT = [("left button", sd.packet(0x09, 0)), ("release", sd.packet(0x08, 0)),
          ("right button", sd.packet(0x0A, 0)), ("middle button", sd.packet(0x0C, 0)),
          ("left and right together (ignored)", sd.packet(0x0B, 0)), ("wheel up", sd.packet(0x08, 0xFF)),
          ("wheel down (point disabled)", sd.packet(0x08, 0x01)),
          ("61 s later: left button", sd.packet(0x09, 0))]


def show_events(fifo, size):
    with open(fifo, "rb") as f:
        while data := f.read(12 * size):  # one tap; a FIFO read may return it in parts
            while len(data) % (12 * size):
                data += f.read(12 * size - len(data) % (12 * size))
            time.sleep(0.02)  # let its "button" line be shown first
            for _, rtype, code, value in sd.decode(data, size):
                show_event(rtype, code, value)


def describe(rtype, code, value):
    tname, cname = sd.NAMES.get((rtype, code), (str(rtype), str(code)))
    return f"Event: time 0.000000, type {rtype} ({tname}), code {code} ({cname}), value {value}"


def show_event(rtype, code, value):
    if rtype == sd.EV_SYN:
        print("    Event: time 0.000000, -------------- SYN_REPORT ------------", flush=True)
    else:
        print("    " + describe(rtype, code, value), flush=True)


def show_clicks(reader):
    """Prints each click that xev reports, once its last line is out."""
    def clicks(data):
        return [b for b in data.decode(errors="replace").split("\n\n")
                if b.startswith("Button") and ("same_screen YES" in b or "same_screen NO" in b)]
    shown = 0
    while reader.wait(lambda d: len(clicks(d)) > shown, None):
        for block in clicks(reader.data)[shown:]:
            print(f"  xev: {block.split()[0]} at {block.split('root:')[1].split()[0].rstrip(',')}", flush=True)
            shown += 1


def show_stdout(reader):
    seen = 0
    while True:
        reader.wait(lambda d: len(d) > seen or not reader.is_alive(), 1)
        text = reader.text()
        for line in text[seen:].splitlines(keepends=True):
            if line.endswith("\n"):
                print(f"  tapbridge says: {line.rstrip()}", flush=True)
                seen += len(line)
            else:
                break
        if not reader.is_alive():
            return


def main():
    binary, x_mode = sys.argv[1], "--x" in sys.argv[2:]
    tmp = tempfile.mkdtemp(prefix="tapbridge-demo-")
    clock, stand_in = os.path.join(tmp, "clock"), os.path.join(tmp, "bin")
    os.mkdir(stand_in)
    with open(os.path.join(stand_in, "lipc-set-prop"), "w") as f:
        f.write('#!/bin/sh\necho "  (stand-in) lipc-set-prop $*"\n')
    os.chmod(os.path.join(stand_in, "lipc-set-prop"), 0o755)
    start = int(time.time())
    sd.set_clock(clock, start)
    env = dict(os.environ, PATH=stand_in + ":" + os.environ["PATH"], **sd.steered_clock_env(clock))
    if x_mode:
        xvfb, env["DISPLAY"] = sd.start_xvfb("1072x1448")
        _, seen = sd.start_xev(env["DISPLAY"], "button")
        threading.Thread(target=show_clicks, args=(seen,), daemon=True).start()
        node, mode = "/dev/input/event0", "1"
    else:
        node, mode = os.path.join(tmp, "event0"), "0"
        os.mkfifo(node)
        threading.Thread(target=show_events, args=(node, sd.record_size(binary)), daemon=True).start()
    args = [node, mode] + POINTS
    print("$ tapbridge " + " ".join(map(str, args)), flush=True)
    s = sd.Session(binary, args, env=env)
    threading.Thread(target=show_stdout, args=(s.out,), daemon=True).start()
    print("mouse: received", s.handshake().hex(" "), "(IntelliMouse sequence); answering fa", flush=True)
    for name, data in SCRIPT:
        time.sleep(0.4)
        if name.startswith("61 s"):
            sd.set_clock(clock, start + 61)
        print(f"mouse: {name}: {data.hex(' ')}", flush=True)
        s.send(data)
    time.sleep(0.8)
    s.stop()
    sd.reap()
    print("demo done: tapbridge was stopped with SIGTERM, as a user stops it")


if __name__ == "__main__":
    main()
