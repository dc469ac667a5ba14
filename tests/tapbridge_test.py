#!/usr/bin/env python3
"""Scenario tables, run against the shipped tapbridge binary on simulated devices.

usage: tapbridge_test.py --binary PATH [--emulator CMD] [--skip-missing] GROUP
GROUP: startup, mouse, touch, xmode, keepawake. A missing tool fails the group;
with --skip-missing (or TAPBRIDGE_SKIP_MISSING=1), asked for by hand, it exits
77 instead, which ctest reports as skipped.
"""
import argparse
import calendar
import os
import re
import subprocess
import sys
import tempfile
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

    def node(self, fifo=False):
        """A new empty file, or FIFO, to serve as the touch node."""
        path = os.path.join(self.tmp, f"event{len(os.listdir(self.tmp))}")
        os.mkfifo(path) if fifo else open(path, "wb").close()
        return path

    def feed(self, s, chunks, codes, lines=True):
        """Handshakes, sends each chunk once the previous one was read, and
        waits for the notice line and one line per code. The loop pauses
        50 ms before every read, so a chunk that takes n reads cannot be read
        in less than n x 50 ms, however busy the machine is."""
        if s.mouse == "rw":
            s.handshake()
        size = 4 if s.mouse == "rw" else 3
        for chunk in chunks:
            sent = time.monotonic()
            s.send(chunk)
            s.drain()
            reads, took = -(-len(chunk) // size), time.monotonic() - sent
            expect(took >= reads * 0.05, f"{reads} reads in {took * 1000:.0f} ms: no 50 ms pause before each")
        expect(not lines or s.wait_lines(1 + len(codes)), f"output stalled at {s.out.text()!r}{s.ended()}")


def press(code):
    """A packet that reads as the given button code."""
    return sd.packet(0x08 | (1 << (code - 1)), 0) if code <= 3 else sd.packet(0x08, 0xFF if code == 4 else 0x01)


# --- start-up -------------------------------------------------------------

MISSING = "/nonexistent/event9"
USAGE = "Usage: /opt/bin/tb /dev/input/eventX MODE pt1x pt1y pt2x pt2y ... pt5x pt5y\n"
NO_MICE = r"ERROR read mouse device, please run as root: No such file or directory\n"
NO_NODE, NO_X = r"ERROR Opening /dev/input/event: No such file or directory\n", r"ERROR Opening XDisplay: [^\n]*\n"
STARTUP = [
    # name, argv after the name, mouse, stdout, DISPLAY, stdout text, stderr pattern, answer ack
    ("eleven arguments", [MISSING, 0] + POINTS[:9], "rw", "pipe", None, USAGE, "", False),
    ("thirteen arguments", [MISSING, 0] + POINTS + [1], "rw", "pty", None, USAGE, "", False),
    ("no arguments", [], "rw", "pipe", None, USAGE, "", False),
    ("no mouse at all", [MISSING, 0] + POINTS, "none", "pipe", None, NOTICE, NO_MICE, False),
    ("touch node missing", [MISSING, 0] + POINTS, "rw", "pipe", None, IMPS2, NO_NODE, True),
    ("touch node missing, pty", [MISSING, "abc"] + POINTS, "rw", "pty", None, IMPS2, NO_NODE, True),
    ("touch node missing, read-only mouse", [MISSING, 2] + POINTS, "ro", "pipe", None, NOTICE, NO_NODE, False),
    ("no X display", [MISSING, 1] + POINTS, "rw", "pipe", None, IMPS2, NO_X, True),
    ("no X display, MODE 1x", [MISSING, "1x"] + POINTS, "rw", "pipe", ":87", IMPS2, NO_X, True),
    ("no X display, read-only mouse", [MISSING, " +1"] + POINTS, "ro", "pty", ":87", NOTICE, NO_X, False),
]


def group_startup(run):
    for name, *row in STARTUP:
        def check(argv, mouse, stdout, display, want_out, want_err, ack):
            env = dict(run.env, **({"DISPLAY": display} if display else {}))
            s = run.session(argv, mouse=mouse, stdout=stdout, env=env, argv0="/opt/bin/tb")
            if ack:
                s.wait(s.from_mouse, lambda d: len(d) >= 6)
                time.sleep(0.3)  # room to fail early: the output is opened only after the acknowledge
                expect(s.running() and s.err.data == b"", f"gave up before the acknowledge: {s.err.text()!r}")
                s.handshake()
            rc = s.wait_exit()
            expect_eq(rc, 255, "exit status")
            expect_eq(s.out.text(), want_out, "standard output")
            expect(re.fullmatch(want_err, s.err.text()), f"standard error {s.err.text()!r} !~ {want_err!r}")
            if mouse != "none":
                expect_eq(s.from_mouse.data, sd.IMPS2_SEQUENCE if ack else b"", "bytes written to the mouse")
        yield name, lambda check=check, row=row: check(*row)


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
    # As mousedev sends them: bit 4 and bit 5 are the signs of x and y.
    ("held button repeats while moving", "rw",
     [bytes([0x29, 5, 0xFB, 0]), bytes([0x19, 0xFD, 0, 0]), bytes([0x39, 0xFD, 0xFB, 0])], [1, 1, 1]),
    ("packets queued together, none lost", "rw",
     [P(0x09, 0) + P(0x0A, 0) + P(0x08, 0) + P(0x0C, 0) + P(0x08, 0xFF) + P(0x08, 1)], [1, 2, 3, 4, 5]),
    ("short reads are no press", "rw", [b"\xfa", b"\x0a\x00", b"\x09\x00\x00", P(0x0C, 0)], [3]),
    ("PS/2 form, read-only", "ro", [P(0x09), P(0x0A), P(0x0C), P(0x0B), P(0x08), P(0x09)], [1, 2, 3, 1]),
    ("PS/2 form has no wheel", "ro", [P(0x08) + P(0x08) + P(0x08) + P(0x0C)], [3]),
]


def group_mouse(run):
    for name, mouse, chunks, codes in MOUSE:
        yield name, lambda mouse=mouse, chunks=chunks, codes=codes: tap_check(run, chunks, codes, mouse=mouse)


# --- touch node -------------------------------------------------------------

BIG, SMALL = "99999999999", "-99999999999"
TOUCH = [
    # name, MODE, points as given, as read, node kind, codes, stderr lines per tap, descriptors closed at start
    ("record layout", "0", POINTS, POINTS, "file", [1, 5], 0, ""),
    ("MODE 2", "2", POINTS, POINTS, "file", [2], 0, ""),
    ("MODE -1", "-1", POINTS, POINTS, "file", [3], 0, ""),
    ("MODE without digits", "touch", POINTS, POINTS, "file", [4], 0, ""),
    ("MODE 11", "11", POINTS, POINTS, "file", [4], 0, ""),
    ("atoi rules for coordinates", "0", ["0", "abc", " +12px", "\t-0", "007", "3e4", BIG, "2147483648", "\n2147483647", "6"],
     [0, 0, 12, 0, 7, 3, 2147483647, 2147483647, 2147483647, 6], "file", [1, 2, 3, 4, 5], 0, ""),
    ("disabled points print only", "0", [-1, 5, 5, -1, SMALL, 1, 1, "-2147483649", 40, 50],
     [-1, 5, 5, -1, -2147483648, 1, 1, -2147483648, 40, 50], "file", [1, 2, 3, 4, 2, 5], 0, ""),
    ("FIFO node", "0", POINTS, POINTS, "fifo", [1, 2, 3], 0, ""),
    ("every write fails, loop goes on", "0", POINTS, POINTS, "full", [1, 4], 12, ""),
    ("started with standard output closed", "0", POINTS, POINTS, "file", [1, 4], 0, "1"),
    ("started with all standard descriptors closed", "0", POINTS, POINTS, "fifo", [2, 3], 0, "012"),
]


def group_touch(run):
    for name, mode, given, points, kind, codes, errs, closed in TOUCH:
        yield name, lambda row=(mode, given, points, kind, errs, closed), codes=codes: \
            tap_check(run, [press(c) for c in codes], codes, *row)


def tap_check(run, chunks, codes, mode="0", given=POINTS, points=POINTS, kind="file", errs=0, closed="", mouse="rw"):
    """Feeds the chunks and compares everything the binary did with what
    the codes they stand for must give."""
    node = "/dev/full" if kind == "full" else run.node(fifo=kind == "fifo")
    if kind == "fifo":
        fifo = sd.Reader(os.open(node, os.O_RDWR))  # held open: never at end of file
    s = run.session([node, mode] + given, closed=closed, mouse=mouse)
    taps = sd.enabled_taps(codes, points)
    run.feed(s, chunks, codes, lines="1" not in closed)
    size = 12 * run.rsize * len(taps)
    if kind == "file":
        sd.until(lambda: os.path.getsize(node) >= size)
    elif kind == "fifo":
        fifo.wait(lambda d: len(d) >= size, 10)
    else:
        s.wait(s.err, lambda d: d.count(b"\n") >= errs * len(taps))
    time.sleep(0.15)  # room for a stray extra line or record
    expect(s.running(), "the loop ended")
    # Whatever was closed at start, no device may sit where the program's
    # own text goes.
    devices = [os.stat(node), os.fstat(s._mouse_slave)]
    for fd in range(3):
        st = os.stat(f"/proc/{s.pid()}/fd/{fd}")
        expect(not any(os.path.samestat(st, d) for d in devices), f"descriptor {fd} is a device")
    s.stop()
    expect_eq(s.from_mouse.data, sd.IMPS2_SEQUENCE if mouse == "rw" else b"", "bytes written to the mouse")
    lines = (IMPS2 if mouse == "rw" else NOTICE) + sd.button_lines(codes, points)
    expect_eq(s.out.text(), "" if "1" in closed else lines, "standard output")
    errors = "ERROR write_event: No space left on device\n" * errs * len(taps)
    expect_eq(s.err.text(), "" if "2" in closed else errors, "standard error")
    if kind != "full":
        data = fifo.data if kind == "fifo" else open(node, "rb").read()
        want = sd.tap_bytes(taps, run.rsize)
        expect_eq(sd.decode(data, run.rsize), sd.decode(want, run.rsize), "records")
        expect_eq(len(data), len(want), "bytes in the touch node")


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
    return [(m[1], int(m[2]), int(m[3])) + ((int(m[4]),) if m[4] else ())
            for m in map(XEV_EVENT.search, text.split("\n\n")) if m]


def group_xmode(run):
    # One server for the group, and it never resets: each check finds the
    # pointer where the last one left it.
    _, display = sd.start_xvfb()
    for name, mode, points, codes in X_CASES:
        def check(mode=mode, points=points, codes=codes):
            xev, seen = sd.start_xev(display, "mouse")
            s = run.session([MISSING, mode] + points, env=dict(run.env, DISPLAY=display))
            run.feed(s, [press(c) for c in codes], codes)
            taps = sd.enabled_taps(codes, points)
            seen.wait(lambda d: d.count(b"ButtonRelease") >= len(taps), 10)
            time.sleep(0.2)  # room for a stray extra click
            s.stop()
            expect_eq(s.out.text(), IMPS2 + sd.button_lines(codes, points), "standard output")
            expect_eq(s.err.text(), "", "standard error")
            clicks = [e for e in xev_events(seen.text()) if e[0] != "MotionNotify"]
            want = [e for x, y in taps for e in (("ButtonPress", x, y, 1), ("ButtonRelease", x, y, 1))]
            expect_eq(clicks, want, "clicks seen by an X client")
            moves = [e[1:] for e in xev_events(seen.text()) if e[0] == "MotionNotify"]
            expect(all(t in moves for t in taps), f"no motion to every point: {moves}")
        yield name, check


# --- keep-awake -------------------------------------------------------------

T0 = calendar.timegm((2026, 3, 1, 12, 0, 0))
Y2038 = 2**31  # 2038-01-19 03:14:08 UTC, where a 32-bit time_t ends
KEEPAWAKE = [
    # clock offset from start-up, button (2 is disabled), command runs
    (0, 1, False), (60, 1, False), (61, 1, True), (200, 2, False), (121, 1, False), (122, 1, True),
    (122, 1, False), (50, 1, False), (182, 1, False), (183, 1, True), (5000, 3, True), (5000, 1, False),
    (5061, 2, False), (5060, 1, False), (5061, 1, True),
    (Y2038 - 1 - T0, 1, True), (Y2038 + 59 - T0, 3, False), (Y2038 + 60 - T0, 1, True),
]
KEEP_POINTS = [10, 20, -1, 40, 50, 60, 70, 80, 90, 100]
IDLE = sd.packet(0x08, 0)


def group_keepawake(run):
    _, display = sd.start_xvfb()
    for name, mode in [("touch mode", "0"), ("X mode", "1")]:
        def check(mode=mode):
            clock, log = os.path.join(run.tmp, "clock"), os.path.join(run.tmp, "lipc.log")
            sd.set_clock(clock, T0)
            open(log, "w").close()
            env = dict(run.env, PATH=STAND_IN + ":" + os.environ["PATH"], LIPC_LOG=log, DISPLAY=display,
                       **sd.steered_clock_env(clock))
            s = run.session([run.node(), mode] + KEEP_POINTS, env=env)
            s.handshake()
            want, runs = IMPS2, []
            for offset, code, fires in KEEPAWAKE:
                sd.set_clock(clock, T0 + offset)
                # The packet that presses nothing is read on the next pass,
                # after this press's clock check and keep-awake command: only
                # once both are read may the clock move on.
                s.send(press(code) + IDLE)
                s.drain()
                want += sd.button_lines([code], KEEP_POINTS) + ("Prevent sleep...\n" if fires else "")
                runs += [T0 + offset] if fires else []
            expect(s.wait_out(want), f"{s.out.text()!r} lacks {want!r}")
            time.sleep(0.15)  # room for a stray extra line
            s.stop()
            expect_eq(s.out.text(), want, "standard output")
            expect_eq(open(log).read(), "".join(f"com.lab126.powerd -i touchScreenSaverTimeout 1 @ {t}\n" for t in runs),
                      "keep-awake commands run, with the clock they ran at")
        yield name, check


NEEDS = {"xmode": ["Xvfb", "xev", "xprop"], "keepawake": ["Xvfb", sd.FAKETIME_LIB]}
GROUPS = {"startup": group_startup, "mouse": group_mouse, "touch": group_touch, "xmode": group_xmode,
          "keepawake": group_keepawake}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    ap.add_argument("--emulator", default="")
    ap.add_argument("--skip-missing", action="store_true", default=os.environ.get("TAPBRIDGE_SKIP_MISSING") == "1")
    ap.add_argument("group", choices=sorted(GROUPS))
    args = ap.parse_args()
    missing = sd.have("bwrap", *NEEDS.get(args.group, []), *args.emulator.split()[:1])
    if missing:
        print(f"{'SKIP' if args.skip_missing else 'FAIL'} {args.group}: missing {', '.join(missing)} "
              "(bash tools/deps.sh --cross installs them)")
        return 77 if args.skip_missing else 1
    # Without a working sandbox there is no simulated mouse: say why, once.
    problem = sd.sandbox_problem()
    if problem:
        print(f"FAIL {args.group}: {problem}")
        return 1
    run = Run(args)
    passed = failed = 0
    for name, check in GROUPS[args.group](run):
        keep = len(sd.PROCS)  # what the group shares (an X server) outlives the check
        try:
            check()
            passed += 1
            print(f"ok   {args.group}: {name}")
        except (AssertionError, OSError, RuntimeError) as e:
            failed += 1
            print(f"FAIL {args.group}: {name}: {e}")
        finally:
            sd.reap(keep)
    print(f"{args.group}: {passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
