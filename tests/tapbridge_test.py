#!/usr/bin/env python3
"""Scenario tables, run against the shipped tapbridge binary on simulated devices.

usage: tapbridge_test.py --binary PATH [--emulator CMD] GROUP
GROUP: startup, mouse, touch, xmode, keepawake. Exit 77 skips the group.
"""
import argparse
import calendar
import os
import re
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import simdev as sd  # noqa: E402

POINTS = [10, 20, 30, 40, 50, 60, 70, 80, 90, 100]
NOTICE = "Failed to open /dev/input/mice for writing\ntry reading only"
IMPS2 = "use imps2 protocol\n"
STAND_IN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "stand-in")


def expect(cond, what):
    if not cond:
        raise AssertionError(what)


def expect_eq(got, want, what):
    expect(got == want, f"{what}:\n  got  {got!r}\n  want {want!r}")


class Run:
    def __init__(self, args):
        self.binary, self.emulator = os.path.abspath(args.binary), args.emulator or None
        self.rsize = sd.record_size(self.binary)
        self.tmp = tempfile.mkdtemp(prefix="tapbridge-test-")
        self.env = dict(os.environ, ASAN_OPTIONS="verify_asan_link_order=0")
        self.env.pop("DISPLAY", None)

    def session(self, args, **kw):
        kw.setdefault("env", self.env)
        return sd.Session(self.binary, args, emulator=self.emulator, **kw)

    def node(self, name="event0"):
        path = os.path.join(self.tmp, name)
        open(path, "wb").close()
        return path

    def feed(self, s, chunks, codes):
        """Handshakes, sends each chunk once the previous one was read, and
        waits for the notice line and one line per code."""
        if s.mouse == "rw":
            s.handshake()
        for chunk in chunks:
            s.send(chunk)
            s.drain()
        expect(s.wait_lines(1 + len(codes)), f"output stalled at {s.out.text()!r}")


def press(code):
    """A packet that reads as the given button code."""
    return sd.packet(0x08 | (1 << (code - 1)), 0) if code <= 3 else sd.packet(0x08, 0xFF if code == 4 else 0x01)


# --- start-up -------------------------------------------------------------

MISSING = "/nonexistent/event9"
STARTUP = [
    # name, argv after the name, mouse, stdout, DISPLAY, stdout text, stderr pattern, answer ack
    ("eleven arguments", [MISSING, 0] + POINTS[:9], "rw", "pipe", None,
     "Usage: /opt/bin/tb /dev/input/eventX MODE pt1x pt1y pt2x pt2y ... pt5x pt5y\n", "", False),
    ("thirteen arguments", [MISSING, 0] + POINTS + [1], "rw", "pty", None,
     "Usage: /opt/bin/tb /dev/input/eventX MODE pt1x pt1y pt2x pt2y ... pt5x pt5y\n", "", False),
    ("no arguments", [], "rw", "pipe", None,
     "Usage: /opt/bin/tb /dev/input/eventX MODE pt1x pt1y pt2x pt2y ... pt5x pt5y\n", "", False),
    ("no mouse at all", [MISSING, 0] + POINTS, "none", "pipe", None, NOTICE,
     r"ERROR read mouse device, please run as root: No such file or directory\n", False),
    ("touch node missing", [MISSING, 0] + POINTS, "rw", "pipe", None, IMPS2,
     r"ERROR Opening /dev/input/event: No such file or directory\n", True),
    ("touch node missing, pty", [MISSING, "abc"] + POINTS, "rw", "pty", None, IMPS2,
     r"ERROR Opening /dev/input/event: No such file or directory\n", True),
    ("touch node missing, read-only mouse", [MISSING, 2] + POINTS, "ro", "pipe", None, NOTICE,
     r"ERROR Opening /dev/input/event: No such file or directory\n", False),
    ("no X display", [MISSING, 1] + POINTS, "rw", "pipe", None, IMPS2, r"ERROR Opening XDisplay: [^\n]*\n", True),
    ("no X display, MODE 1x", [MISSING, "1x"] + POINTS, "rw", "pipe", ":87", IMPS2,
     r"ERROR Opening XDisplay: [^\n]*\n", True),
    ("no X display, read-only mouse", [MISSING, " +1"] + POINTS, "ro", "pty", ":87", NOTICE,
     r"ERROR Opening XDisplay: [^\n]*\n", False),
]


def group_startup(run):
    for name, argv, mouse, stdout, display, want_out, want_err, ack in STARTUP:
        def check(argv=argv, mouse=mouse, stdout=stdout, display=display, want_out=want_out,
                  want_err=want_err, ack=ack):
            env = dict(run.env, **({"DISPLAY": display} if display else {}))
            s = run.session(argv, mouse=mouse, stdout=stdout, env=env, argv0="/opt/bin/tb")
            if ack:
                s.from_mouse.wait(lambda d: len(d) >= 6, 10)
                time.sleep(0.3)  # the output is opened only after the acknowledge
                expect(s.running() and s.err.data == b"", f"gave up before the acknowledge: {s.err.text()!r}")
                s.send(sd.ACK)
            rc = s.wait_exit()
            expect_eq(rc, 255, "exit status")
            expect_eq(s.out.text(), want_out, "standard output")
            expect(re.fullmatch(want_err, s.err.text()), f"standard error {s.err.text()!r} !~ {want_err!r}")
            if mouse != "none":
                want_mouse = sd.IMPS2_SEQUENCE if ack else b""
                expect_eq(s.from_mouse.data, want_mouse, "bytes written to the mouse")
        yield name, check


# --- mouse packets ----------------------------------------------------------

P = sd.packet
MOUSE = [
    # name, mouse, chunks (each read before the next is sent), codes expected
    ("single buttons, bit 3 set", "rw", [P(0x09, 0), P(0x0A, 0), P(0x0C, 0)], [1, 2, 3]),
    ("none or chords give nothing", "rw", [P(s, 0) for s in (0x08, 0x0B, 0x0F, 0x03, 0x05, 0x06, 0x07)]
     + [P(0x0A, 0)], [2]),
    ("wheel byte negative", "rw", [P(0x08, 0xFF), P(0x08, 0x80), P(0x08, 0xFE)], [4, 4, 4]),
    ("wheel byte positive, size ignored", "rw", [P(0x08, 0x01), P(0x08, 0x03), P(0x08, 0x7F)], [5, 5, 5]),
    ("wheel outranks buttons", "rw", [P(0x09, 0x01), P(0x0A, 0xFF), P(0x0F, 0x01)], [5, 4, 5]),
    ("press then release is one tap", "rw", [P(0x09, 0), P(0x08, 0), P(0x0C, 0), P(0x08, 0)], [1, 3]),
    ("held button repeats while moving", "rw", [bytes([0x09, 5, 0xFB, 0])] * 3, [1, 1, 1]),
    ("packets queued together, none lost", "rw",
     [P(0x09, 0) + P(0x0A, 0) + P(0x08, 0) + P(0x0C, 0) + P(0x08, 0xFF) + P(0x08, 1)], [1, 2, 3, 4, 5]),
    ("short reads are no press", "rw", [b"\xfa", b"\x0a\x00", b"\x09\x00\x00", P(0x0C, 0)], [3]),
    ("PS/2 form, read-only", "ro", [P(0x09), P(0x0A), P(0x0C), P(0x0B), P(0x08), P(0x09)], [1, 2, 3, 1]),
    ("PS/2 form has no wheel", "ro", [P(0x08) + P(0x08) + P(0x08) + P(0x0C)], [3]),
]


def group_mouse(run):
    for name, mouse, chunks, codes in MOUSE:
        def check(mouse=mouse, chunks=chunks, codes=codes):
            node = run.node()
            s = run.session([node, 0] + POINTS, mouse=mouse)
            run.feed(s, chunks, codes)
            size = 12 * run.rsize * len(codes)
            sd.wait_file(node, size)
            time.sleep(0.15)  # room for a stray extra line or record
            s.stop()
            prefix = IMPS2 if mouse == "rw" else NOTICE
            expect_eq(s.out.text(), prefix + sd.button_lines(codes, POINTS), "standard output")
            with open(node, "rb") as f:
                got = sd.decode(f.read(), run.rsize)
            want = sd.decode(sd.tap_bytes(sd.enabled_taps(codes, POINTS), run.rsize), run.rsize)
            expect_eq(got, want, "records in the touch node")
            expect_eq(s.from_mouse.data, sd.IMPS2_SEQUENCE if mouse == "rw" else b"", "bytes to the mouse")
        yield name, check


# --- touch node -------------------------------------------------------------

BIG, SMALL = "99999999999", "-99999999999"
TOUCH = [
    # name, MODE, points as given, as read, node kind, codes, stderr lines per tap
    ("record layout", "0", POINTS, POINTS, "file", [1, 5], 0),
    ("MODE 2", "2", POINTS, POINTS, "file", [2], 0),
    ("MODE -1", "-1", POINTS, POINTS, "file", [3], 0),
    ("MODE without digits", "touch", POINTS, POINTS, "file", [4], 0),
    ("MODE 11", "11", POINTS, POINTS, "file", [4], 0),
    ("atoi rules for coordinates", "0", ["0", "abc", " +12px", "\t-0", "007", "3e4", BIG, "2147483648", "\n2147483647", "6"],
     [0, 0, 12, 0, 7, 3, 2147483647, 2147483647, 2147483647, 6], "file", [1, 2, 3, 4, 5], 0),
    ("disabled points print only", "0", [-1, 5, 5, -1, SMALL, 1, 1, "-2147483649", 40, 50],
     [-1, 5, 5, -1, -2147483648, 1, 1, -2147483648, 40, 50], "file", [1, 2, 3, 4, 2, 5], 0),
    ("FIFO node", "0", POINTS, POINTS, "fifo", [1, 2, 3], 0),
    ("every write fails, loop goes on", "0", POINTS, POINTS, "full", [1, 4], 12),
]


def fifo_reader(path, out):
    with open(path, "rb", buffering=0) as f:
        while chunk := f.read(4096):
            out.append(chunk)


def group_touch(run):
    for name, mode, given, points, kind, codes, errs in TOUCH:
        def check(mode=mode, given=given, points=points, kind=kind, codes=codes, errs=errs):
            got_chunks = []
            if kind == "full":
                node = "/dev/full"
            elif kind == "fifo":
                node = os.path.join(run.tmp, "fifo")
                if os.path.exists(node):
                    os.unlink(node)
                os.mkfifo(node)
                threading.Thread(target=fifo_reader, args=(node, got_chunks), daemon=True).start()
            else:
                node = run.node()
            s = run.session([node, mode] + given)
            taps = sd.enabled_taps(codes, points)
            run.feed(s, [press(c) for c in codes], codes)
            size = 12 * run.rsize * len(taps)
            if kind == "file":
                sd.wait_file(node, size)
            if kind == "full":
                s.err.wait(lambda d: d.count(b"\n") >= errs * len(taps), 10)
            deadline = time.monotonic() + 10
            while kind == "fifo" and sum(map(len, got_chunks)) < size and time.monotonic() < deadline:
                time.sleep(0.01)
            time.sleep(0.15)
            expect(s.running(), "the loop ended")
            s.stop()
            expect_eq(s.out.text(), IMPS2 + sd.button_lines(codes, points), "standard output")
            expect_eq(s.err.text(), "ERROR write_event: No space left on device\n" * errs * len(taps), "stderr")
            if kind != "full":
                data = b"".join(got_chunks) if kind == "fifo" else open(node, "rb").read()
                want = sd.tap_bytes(taps, run.rsize)
                expect_eq(sd.decode(data, run.rsize), sd.decode(want, run.rsize), "records")
                expect_eq(len(data), len(want), "bytes in the touch node")
        yield name, check


# --- X mode -----------------------------------------------------------------

XPOINTS = [100, 110, 200, 210, 300, 310, 400, 410, 500, 510]
X_CASES = [
    # name, MODE, points, codes
    ("each button clicks button 1 at its point", "1", XPOINTS, [1, 2, 3, 4, 5]),
    ("MODE 1x, disabled point skipped", "1x", XPOINTS[:2] + [-1, 5] + XPOINTS[4:], [2, 1, 3]),
    ("MODE ' +1', corner points", " +1", [0, 0, 799, 599, 0, 599, 799, 0, 5, 5], [2, 3, 1, 4]),
]
XEV_EVENT = re.compile(r"^(MotionNotify|ButtonPress|ButtonRelease) event.*?root:\((-?\d+),(-?\d+)\)"
                       r"(?:.*?button (\d+))?", re.S | re.M)


def xev_events(text):
    blocks = [b for b in text.split("\n\n") if b.strip()]
    out = []
    for b in blocks:
        m = XEV_EVENT.search(b)
        if m:
            out.append((m.group(1), int(m.group(2)), int(m.group(3))) + ((int(m.group(4)),) if m.group(4) else ()))
    return out


def x_display(run):
    missing = sd.have("Xvfb", "xev")
    if missing:
        return None, f"missing {missing}"
    return sd.start_xvfb()


def group_xmode(run):
    xvfb, display = x_display(run)
    if xvfb is None:
        print(f"SKIP xmode: {display}")
        sys.exit(77)
    try:
        for name, mode, points, codes in X_CASES:
            def check(mode=mode, points=points, codes=codes):
                xev, seen = sd.start_xev(display, "mouse")
                s = run.session([MISSING, mode] + points, env=dict(run.env, DISPLAY=display))
                run.feed(s, [press(c) for c in codes], codes)
                taps = sd.enabled_taps(codes, points)
                seen.wait(lambda d: d.count(b"ButtonRelease") >= len(taps), 10)
                time.sleep(0.2)
                s.stop()
                xev.kill()
                xev.wait()
                expect_eq(s.out.text(), IMPS2 + sd.button_lines(codes, points), "standard output")
                expect_eq(s.err.text(), "", "standard error")
                clicks = [e for e in xev_events(seen.text()) if e[0] != "MotionNotify"]
                want = [e for x, y in taps for e in (("ButtonPress", x, y, 1), ("ButtonRelease", x, y, 1))]
                expect_eq(clicks, want, "clicks seen by an X client")
                moves = [e[1:] for e in xev_events(seen.text()) if e[0] == "MotionNotify"]
                expect(all(t in moves for t in taps), f"no motion to every point: {moves}")
            yield name, check
    finally:
        xvfb.terminate()
        xvfb.wait()


# --- keep-awake -------------------------------------------------------------

T0 = calendar.timegm((2026, 3, 1, 12, 0, 0))
KEEPAWAKE = [
    # clock offset from start-up, button (2 is disabled), command runs
    (0, 1, False), (60, 1, False), (61, 1, True), (200, 2, False), (121, 1, False), (122, 1, True),
    (122, 1, False), (50, 1, False), (182, 1, False), (183, 1, True), (5000, 3, True), (5000, 1, False),
    (5061, 2, False), (5060, 1, False), (5061, 1, True),
]
KEEP_POINTS = [10, 20, -1, 40, 50, 60, 70, 80, 90, 100]


def logged_count(log):
    return open(log).read().count("\n") if os.path.exists(log) else 0


def group_keepawake(run):
    if not os.path.exists(sd.FAKETIME_LIB):
        print("SKIP keepawake: libfaketime is not installed")
        sys.exit(77)
    modes = [("touch mode", "0")]
    xvfb, display = x_display(run)
    if xvfb is not None:
        modes.append(("X mode", "1"))
    try:
        for name, mode in modes:
            def check(mode=mode):
                clock, log = os.path.join(run.tmp, "clock"), os.path.join(run.tmp, "lipc.log")
                sd.set_clock(clock, T0)
                if os.path.exists(log):
                    os.unlink(log)
                env = dict(run.env, PATH=STAND_IN + ":" + os.environ["PATH"], LIPC_LOG=log,
                           **sd.steered_clock_env(clock))
                if mode == "1":
                    env["DISPLAY"] = display
                s = run.session([run.node(), mode] + KEEP_POINTS, env=env)
                s.handshake()
                want, runs = IMPS2, []
                for offset, code, fires in KEEPAWAKE:
                    sd.set_clock(clock, T0 + offset)
                    s.send(press(code))
                    want += sd.button_lines([code], KEEP_POINTS) + ("Prevent sleep...\n" if fires else "")
                    runs += [T0 + offset] if fires else []
                    # the next line appears only once this tap's check is over
                    expect(s.wait_out(want), f"step {offset}: {s.out.text()!r} lacks {want!r}")
                    # the command starts after its notice: let it read the clock
                    # before the clock moves on
                    deadline = time.monotonic() + 10
                    while fires and logged_count(log) < len(runs) and time.monotonic() < deadline:
                        time.sleep(0.01)
                s.send(P(0x0A, 0))
                want += sd.button_lines([2], KEEP_POINTS)
                expect(s.wait_out(want), "final line")
                s.stop()
                expect_eq(s.out.text(), want, "standard output")
                logged = open(log).read() if os.path.exists(log) else ""
                expect_eq(logged, "".join(f"com.lab126.powerd -i touchScreenSaverTimeout 1 @ {t}\n" for t in runs),
                          "keep-awake commands run, with the clock they ran at")
            yield name, check
    finally:
        if xvfb is not None:
            xvfb.terminate()
            xvfb.wait()


GROUPS = {"startup": group_startup, "mouse": group_mouse, "touch": group_touch, "xmode": group_xmode,
          "keepawake": group_keepawake}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    ap.add_argument("--emulator", default="")
    ap.add_argument("group", choices=sorted(GROUPS))
    args = ap.parse_args()
    missing = sd.have("bwrap")
    if missing:
        print(f"SKIP {args.group}: missing {missing}")
        return 77
    run = Run(args)
    passed = failed = 0
    for name, check in GROUPS[args.group](run):
        try:
            check()
            passed += 1
            print(f"ok   {args.group}: {name}")
        except AssertionError as e:
            failed += 1
            print(f"FAIL {args.group}: {name}: {e}")
    print(f"{args.group}: {passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
