#!/usr/bin/env python3
"""Runs tapbridge on simulated devices and shows, a line at a time, what happens.

usage: demo.py BINARY [--x]

A scripted mouse (a pty placed at /dev/input/mice) clicks each button and turns
the wheel. The touch node is a FIFO whose records are printed a frame a line;
with --x the taps go to an Xvfb display instead, where xev reports each click.
The clock tapbridge reads is steered past its 60-second keep-awake mark, and
the device's keep-awake command is a stand-in that notes when it runs. Each
step waits for its effects before printing them, so the lines come in the
order things happen.
"""
import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
import simdev as sd  # noqa: E402

POINTS = [100, 200, 300, 400, 500, 600, 700, 800, -1, -1]  # the wheel down point is off
NONE = sd.packet(0x08, 0)
# What the mouse does, the packet it sends, and the button code tapbridge
# should make of it (0: none).
SCRIPT = [("left button down", sd.packet(0x09, 0), 1), ("left button up", NONE, 0),
          ("right button down", sd.packet(0x0A, 0), 2), ("right button up", NONE, 0),
          ("middle button down", sd.packet(0x0C, 0), 3), ("middle button up", NONE, 0),
          ("left and right down together", sd.packet(0x0B, 0), 0), ("both up", NONE, 0),
          ("wheel up a notch", sd.packet(0x08, 0xFF), 4),
          ("wheel down a notch", sd.packet(0x08, 0x01), 5),
          ("STEER", b"", 0),
          ("left button down", sd.packet(0x09, 0), 1), ("left button up", NONE, 0)]
TIMEOUT = 20  # for each effect; a loaded machine is slow, not silent


def say(who, text):
    print(f"{who + ':' if who else '':<12}{text}", flush=True)


def fail(what, s):
    say("", f"{what}{s.ended()}")
    sys.exit(1)


class Demo:
    def __init__(self, binary, x_mode):
        self.binary, self.x_mode = binary, x_mode
        self.tmp = tempfile.mkdtemp(prefix="tapbridge-demo-")
        self.clock, self.keep_awake_log = os.path.join(self.tmp, "clock"), os.path.join(self.tmp, "keep-awake")
        self.lines = self.records = self.clicks = self.keep_awakes = 0
        self.size = sd.record_size(binary)

    def start(self):
        stand_in = os.path.join(self.tmp, "bin")
        os.mkdir(stand_in)
        with open(os.path.join(stand_in, "lipc-set-prop"), "w") as f:
            f.write(f'#!/bin/sh\necho "lipc-set-prop $*" >> {self.keep_awake_log}\n')
        os.chmod(os.path.join(stand_in, "lipc-set-prop"), 0o755)
        open(self.keep_awake_log, "w").close()
        self.now = int(time.time())
        sd.set_clock(self.clock, self.now)
        env = dict(os.environ, PATH=stand_in + ":" + os.environ["PATH"], **sd.steered_clock_env(self.clock))
        if self.x_mode:
            _, env["DISPLAY"] = sd.start_xvfb("1072x1448")
            _, self.xev = sd.start_xev(env["DISPLAY"], "button")
            node, mode, shown = "/dev/input/event0", "1", f"DISPLAY={env['DISPLAY']} tapbridge"
        else:
            node, mode, shown = os.path.join(self.tmp, "event0"), "0", "tapbridge"
            os.mkfifo(node)
            # Held open read-write here, the FIFO never blocks tapbridge's
            # open nor reads as ended.
            self.touch = sd.Reader(os.open(node, os.O_RDWR))
        args = [node, mode] + POINTS
        print(f"$ {shown} {' '.join(map(str, args))}", flush=True)
        self.s = sd.Session(self.binary, args, env=env)

    def handshake(self):
        s = self.s
        if not s.wait(s.from_mouse, lambda d: len(d) >= len(sd.IMPS2_SEQUENCE), TIMEOUT):
            fail("tapbridge never spoke to the mouse", s)
        say("mouse", f"got {s.from_mouse.data.hex(' ')} from tapbridge: the knock that adds a wheel byte to packets")
        self.show_line()
        s.send(sd.ACK)
        s.drain()
        say("mouse", f"answers {sd.ACK.hex()} (acknowledged): packets are 4 bytes from now on")

    def show_line(self):
        """Waits for tapbridge's next whole line and shows it."""
        s = self.s
        if not s.wait(s.out, lambda d: d.count(b"\n") > self.lines, TIMEOUT):
            fail("tapbridge printed no line", s)
        say("tapbridge", s.out.text().split("\n")[self.lines])
        self.lines += 1

    def show_tap(self):
        """Waits for one tap's effect and shows it: the touch node's twelve
        records a frame a line, or the click xev saw."""
        if self.x_mode:
            self.show_clicks(2)
            return
        s, want = self.s, self.records + 12
        if not s.wait(self.touch, lambda d: len(d) // self.size >= want, TIMEOUT):
            fail("no tap reached the touch node", s)
        frame = []
        for _, rtype, code, value in sd.decode(self.touch.data, self.size)[self.records:want]:
            frame.append(sd.NAMES.get((rtype, code), (rtype, code))[1] + ("" if rtype == sd.EV_SYN else f" {value}"))
            if rtype == sd.EV_SYN:
                say("touch node", ", ".join(frame))
                frame = []
        if not self.records:
            say("", "(that is one tap, in four frames: a finger touches the point and lifts)")
        self.records = want

    def show_clicks(self, count):
        s, want = self.s, self.clicks + count
        if not s.wait(self.xev, lambda d: len(clicks(d)) >= want, TIMEOUT):
            fail("xev saw no click", s)
        seen = {}  # (button, root point): the kinds of event xev reported there
        for block in clicks(self.xev.data)[self.clicks:want]:
            words = block.replace(",", " ").split()
            where = (words[words.index("button") + 1], block.split("root:(")[1].split(")")[0])
            seen.setdefault(where, []).append(words[0])
        for (button, point), kinds in seen.items():
            say("X server", f"{' and '.join(kinds)} of button {button} at {point} (as xev reports them)")
        if not self.clicks:
            say("", "(every tap is a left click, button 1, at the point)")
        self.clicks = want

    def show_keep_awake(self):
        self.show_line()  # Prevent sleep...
        s, want = self.s, self.keep_awakes + 1
        if not sd.until(lambda: len(open(self.keep_awake_log).readlines()) >= want, TIMEOUT, s.running):
            fail("the keep-awake command did not run", s)
        command = open(self.keep_awake_log).readlines()[self.keep_awakes].strip()
        say("keep-awake", f"{command} ran (a stand-in for the device's own command)")
        self.keep_awakes = want

    def play(self, name, data, code):
        s = self.s
        if name == "STEER":
            self.now += 61
            sd.set_clock(self.clock, self.now)
            say("clock", "moved 61 s on by the demo, not waited for: the next tap passes the keep-awake mark")
            return
        say("mouse", f"{name:<30}packet {data.hex(' ')}")
        s.send(data)
        if not code:
            s.drain()  # read, and nothing comes of it
            say("", "(no button down: nothing happens)" if data == NONE else "(two buttons at once count as none: nothing happens)")
            return
        self.show_line()
        if POINTS[2 * code - 2] < 0 or POINTS[2 * code - 1] < 0:
            say("", f"(point {code} is off: no tap)")
            return
        self.show_tap()
        if self.now - self.start_time > 60:
            self.show_keep_awake()

    def run(self):
        print("tapbridge on simulated devices: a scripted mouse, and "
              + ("an Xvfb display." if self.x_mode else "a FIFO as the touch screen's node."))
        print("A mouse packet is 4 bytes: buttons (08 none, 09 left, 0a right, 0c middle), x move, y move, "
              "wheel (ff up, 01 down).")
        print("Points: left 100,200, right 300,400, middle 500,600, wheel up 700,800, wheel down off (-1 -1).\n")
        self.start()
        self.start_time = self.now
        self.handshake()
        for name, data, code in SCRIPT:
            self.play(name, data, code)
        self.s.stop()
        sd.reap()
        print("\ntapbridge was stopped with SIGTERM, as a user stops it (kill, or Ctrl-C on its terminal). Demo done.")


def clicks(data):
    """xev's button event blocks, each once its last line is out."""
    return [b for b in data.decode(errors="replace").replace("\r\n", "\n").split("\n\n")
            if b.startswith("Button") and ("same_screen YES" in b or "same_screen NO" in b)]


def main():
    problem = sd.sandbox_problem()
    if problem:
        sys.exit(problem)
    demo = Demo(sys.argv[1], "--x" in sys.argv[2:])
    try:
        demo.run()
    finally:
        sd.reap()
        shutil.rmtree(demo.tmp)


if __name__ == "__main__":
    main()
