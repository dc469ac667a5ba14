#!/usr/bin/env python3
"""Scenario tables run on a real Linux input stack: Debian's kernel, booted
once under qemu by tools/vm.py, with the shipped binaries unchanged.

usage: kernel_test.py --driver PATH --tapbridge PATH --setup PATH [--remote PATH] [--skip-missing] [TABLE...]
       kernel_test.py --runner-only

The guest driver (tools/guest/) makes a uinput mouse and touch screen per
scenario and reports what a second reader of the touch node and a client of
/dev/input/mice received, and what the programs printed. Each scenario is
judged on those streams, compared whole; a failure prints what was expected
and everything the kernel delivered. Missing qemu or kernel packages fail
the run and are named; with --skip-missing (or TAPBRIDGE_SKIP_MISSING=1),
asked for by hand, it exits 77 instead. Before it boots anything, the
runner's own verdict is tried on canned rows (a failing row among passing
ones, a row never run, ...): a runner that would pass those fails the run.
"""
import argparse
import fnmatch
import os
import re
import shlex
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tools"))
import vm  # noqa: E402

TAPBRIDGE = "/usr/local/bin/tapbridge"
IMPS2 = "use imps2 protocol"
# The page-turning layout for 0..1071 x 0..1447, point 1 on: a user's default line.
DEFAULT = [910, 723, 160, 723, 535, 72, 160, 723, 910, 723]
PTS = [110, 120, 230, 240, 350, 360, 470, 480, 590, 600]
GRABBER = "/guest/tapbridge-guest --grab $TOUCH"
TB_PTS = f"run tb tapbridge $TOUCH 0 {' '.join(map(str, PTS))}"

# Mouse actions, each a list of chunks sent at once: the uinput events, the
# packets a /dev/input/mice client reads from them, and the button codes
# those give tapbridge. Wheel up is REL_WHEEL +1, a negative fourth byte. A
# click is sent whole, as a quick click arrives: mousedev merges the buttons
# of all its devices, so a button still held would make an echo a chord.
ACTIONS = {
    "L": [("L1 S L0 S", ["09 00 00 00", "08 00 00 00"], [1])],
    "R": [("R1 S R0 S", ["0a 00 00 00", "08 00 00 00"], [2])],
    "M": [("M1 S M0 S", ["0c 00 00 00", "08 00 00 00"], [3])],
    "U": [("W1 S", ["08 00 00 ff"], [4])],
    "D": [("W-1 S", ["08 00 00 01"], [5])],
    "LR": [("L1 R1 S L0 R0 S", ["0b 00 00 00", "08 00 00 00"], [])],
    "RM": [("R1 M1 S R0 M0 S", ["0e 00 00 00", "08 00 00 00"], [])],
    # a finger on a second, direct-kind screen: mousedev makes it a left click
    # (and moves its pointer: "?" stands for any hex digit there)
    "T2": [("tap2 500 500", ["?9 ?? ?? 00", "08 00 00 00"], [1])],
    # left held while the mouse moves: every packet repeats the button
    "H": [("L1 S", ["09 00 00 00"], [1]), ("X5 S", ["09 05 00 00"], [1]), ("X-3 S", ["19 fd 00 00"], [1]),
          ("L0 S", ["08 00 00 00"], [])],
}
# Screen kinds: whether they declare BTN_TOOL_FINGER, and whether mousedev
# echoes each tap as a left press that tapbridge reads (the direct kind; the
# touchpad kind only runs tapbridge here once tap_time is 0).
KIND = {"mt": dict(tool=True, echo=False), "touchpad": dict(tool=True, echo=False),
        "direct": dict(tool=False, echo=True)}


def button_line(code, points):
    return f"button {code}, x {points[2 * code - 2]} y {points[2 * code - 1]}"


def enabled(code, points):
    return points[2 * code - 2] >= 0 and points[2 * code - 1] >= 0


def tap_frames(taps, tool=True, last=(0, 0)):
    """The frames a second reader gets for tapbridge's taps at the points
    taps, the contact last at last: the input core drops values that did
    not change, codes the screen does not declare (BTN_TOOL_FINGER on a
    direct screen) and frames left with nothing but their SYN_REPORT."""
    frames = []
    for x, y in taps:
        down = ["BTN_TOUCH 1", "ABS_MT_TRACKING_ID 0"] + ([f"ABS_MT_POSITION_X {x}"] if x != last[0] else []) \
            + ([f"ABS_MT_POSITION_Y {y}"] if y != last[1] else [])
        last = (x, y)
        frames += [down] + ([["BTN_TOOL_FINGER 1"]] if tool else []) + [["ABS_MT_TRACKING_ID -1"]] \
            + [["BTN_TOUCH 0"] + (["BTN_TOOL_FINGER 0"] if tool else [])]
    return frames


def like(packets):
    """A judge of packets, where "?" in what must come stands for any hex digit."""
    def judge(got):
        fits = len(got) == len(packets) and all(fnmatch.fnmatchcase(g, w) for g, w in zip(got, packets))
        return None if fits else f"want {packets!r}"
    return judge


def line_points(line):
    """The ten coordinates at the end of a tapbridge command line."""
    return [int(w) for w in line.split()[-10:]]


def clicks(program, actions, points, kind="mt"):
    """Steps that play actions on the mouse for a running tapbridge, each
    chunk that taps waited for (its line, and its records on the touch
    node, after which any echo of it is already queued), and what they must
    give: (steps, lines, packets, taps). An echo reads as one more left
    press: one more line, with point 1 off."""
    steps, want_lines, packets, taps, frames = [], [], [], [], 0
    for action in actions.split():
        for events, chunk_packets, codes in ACTIONS[action]:
            steps.append(events if events.startswith("tap2 ") else f"mouse {events}")
            packets += chunk_packets
            for code in codes:
                want_lines.append(button_line(code, points))
                if enabled(code, points):
                    taps.append((points[2 * code - 2], points[2 * code - 1]))
                    frames += 4 if KIND[kind]["tool"] else 3
                    if KIND[kind]["echo"]:
                        want_lines.append(button_line(1, points))
                        packets += ["09 00 00 00", "08 00 00 00"]
            if codes:
                steps += [f"wait {program} lines {1 + len(want_lines)}", f"wait touch frames {frames}"]
    return steps, want_lines, packets, taps


# --- what came back -----------------------------------------------------------

class Delivered:
    """One scenario's records, split by source."""

    def __init__(self, name):
        self.name, self.records, self.pids, self.nodes = name, [], {}, {}

    def add(self, tag, text):
        self.records.append((tag, text))
        if tag == "pid":
            who, pid = text.split()
            self.pids[who] = pid
        elif tag == "node":
            # A remote plugged back in comes under another node: $R, then $R', $R''.
            which, path = text.split()
            while self.nodes.get(which, path) != path:
                which += "'"
            self.nodes[which] = path

    def plain(self, text):
        """text with the scenario's own node paths and pids as $TOUCH,
        $MOUSE, $ID (a remote's node too)."""
        for which, path in self.nodes.items():
            text = re.sub(re.escape(path) + r"\b", "$" + which.upper(), text)
        for who, pid in self.pids.items():
            text = re.sub(rf"\b(pid|kill) {pid}\b", rf"\1 ${who}", text)
        return text

    def lines(self, tag, program):
        return [self.plain(t.split(" ", 1)[1] if " " in t else "") for g, t in self.records
                if g == tag and t.split(" ", 1)[0] == program]

    def exit(self, program):
        found = [t.split(" ", 1)[1] for g, t in self.records if g == "exit" and t.split(" ", 1)[0] == program]
        return found[-1] if found else "still running"

    def tagged(self, tag):
        return [self.plain(t) for g, t in self.records if g == tag]

    def frames(self):
        """Touch events as frames: "CODE VALUE" each, SYN_REPORT ending one."""
        frames, current = [], []
        for text in self.tagged("touch"):
            _, _, _, _, code, value = text.split()
            if code == "SYN_REPORT":
                frames.append(current)
                current = []
            else:
                current.append(f"{code} {value}")
        return frames + ([current] if current else [])

    def transcript(self):
        out, frame = [], []
        for tag, text in self.records:
            if tag == "touch":
                _, _, _, _, code, value = text.split()
                frame.append(f"{code} {value}")
                if code == "SYN_REPORT":
                    out.append("touch    " + ", ".join(frame[:-1]))
                    frame = []
                continue
            out.append(f"{tag:<8} {self.plain(text)}")
        return out


class Scenario:
    """Steps for the guest, and the streams they must deliver. Each expect
    is (what, function of Delivered giving what came, what must come); a
    function instead of a value judges what came itself (None: fine)."""

    def __init__(self, name, steps):
        self.name, self.steps, self.expects = name, steps, []

    def expect(self, what, got, want):
        self.expects.append((what, got, want))
        return self

    def problems(self, d):
        found = [f"guest: {t}" for t in d.tagged("fail")]
        for what, got, want in self.expects:
            try:
                value = got(d)
                verdict = want(value) if callable(want) else (None if value == want else f"want {want!r}")
            except (IndexError, ValueError) as e:
                # What came is too little to judge at all (a step failed before it): that is a failure too.
                value, verdict = None, f"nothing to judge ({e!r})"
            if verdict:
                found.append(f"{what}: {verdict}\n           got  {value!r}")
        return found


def program_checks(sc, program, out=None, err=(), status=None, keys=None):
    """The program's standard output (only the lines starting with one of
    keys, when given), standard error and end."""
    def pick(lines):
        return [x for x in lines if keys is None or x.startswith(keys)]
    if out is not None:
        sc.expect(f"standard output of {program}", lambda d: pick(d.lines("out", program)), list(out))
    sc.expect(f"standard error of {program}", lambda d: d.lines("err", program), list(err))
    if status is not None:
        sc.expect(f"end of {program}", lambda d: d.exit(program), status)
    return sc


# --- tapbridge in touch mode --------------------------------------------------

TAPS = [
    # name, points, mouse actions
    ("each button and wheel direction taps its point", PTS, "L R M U D"),
    ("a second tap at the same point carries no position", PTS, "R R U"),
    ("chords tap nothing", PTS, "LR RM M"),
    ("a held button taps with every packet", PTS, "H"),
    ("a disabled point prints its line and taps nothing", PTS[:2] + [-1, 240] + PTS[4:8] + [590, -1], "M L D R"),
]


def taps_scenario(name, points, actions):
    args = " ".join(map(str, points))
    steps, lines, packets, taps = clicks("tb", actions, points)
    sc = Scenario(f"tapbridge: {name}", ["screen mt 0 1071 0 1447", f"run tb tapbridge $TOUCH 0 {args}",
                                         f"wait tb text {IMPS2}"] + steps)
    sc.expect("packets on /dev/input/mice", lambda d: d.tagged("mice"), packets)
    sc.expect("frames on the touch node", Delivered.frames, tap_frames(taps))
    return program_checks(sc, "tb", [IMPS2] + lines, status="signal 15")


def loop_check(first, echo, least):
    """After the first line, tapbridge tapping point 1 on its own, at least
    least times."""
    def judge(lines):
        echoes = lines[2:]
        if lines[:2] != [IMPS2, first] or len(echoes) < least or set(echoes) != {echo}:
            return f"want {IMPS2!r}, {first!r} and at least {least} of {echo!r}"
        return None
    return judge


# name, screen kind, steps before tapbridge, how it starts, actions, echo loop expected
ECHO = [
    ("touchpad kind, default line: the echo loop (negative control)", "touchpad", [], "default", "L", True),
    ("direct kind, default line: the echo loop (negative control)", "direct", [], "default", "R", True),
    ("touchpad kind after tapbridge-setup --fix: no echo", "touchpad",
     ["run fix tapbridge-setup --fix", "wait fix exit"], "printed", "R M L", False),
    ("direct kind, the line tapbridge-setup prints (point 1 off): one echo line a tap", "direct", [], "printed",
     "R M U", False),
    # A finger there clicks left through /dev/input/mice: point 1 off, it taps nothing on the screen of the line.
    ("a second screen of the direct kind: the printed line has point 1 off, a finger there taps nothing", "mt",
     ["screen2 direct 0 1071 0 1447"], "printed", "T2 R T2", False),
]
LOOP_TAPS = 6


def echo_scenario(name, kind, before, start, actions, loop):
    steps = [f"screen {kind} 0 1071 0 1447"] + before
    if start == "default":
        steps += [f"run tb tapbridge $TOUCH 0 {' '.join(map(str, DEFAULT))}", f"wait tb text {IMPS2}"]
        points = DEFAULT
    else:
        steps += ["run s tapbridge-setup", "wait s exit", f"runline tb s {TAPBRIDGE}", f"wait tb text {IMPS2}"]
        points = DEFAULT if kind == "touchpad" else [-1, -1] + DEFAULT[2:]
    if loop:
        # One click; everything after it is tapbridge answering itself.
        events, _, codes = ACTIONS[actions][0]
        sc = Scenario(f"echo: {name}", steps + [f"mouse {events}", f"wait tb lines {2 + LOOP_TAPS}"])
        code = codes[0]
        return sc.expect("standard output of tb", lambda d: d.lines("out", "tb"),
                         loop_check(button_line(code, points), button_line(1, points), LOOP_TAPS))
    more, lines, packets, taps = clicks("tb", actions, points, kind)
    sc = Scenario(f"echo: {name}", steps + more)
    if any("--fix" in b for b in before):
        sc.expect("end of tapbridge-setup --fix", lambda d: d.exit("fix"), "status 0")
    sc.expect("end of the report", lambda d: d.exit("s"), "status 0")
    sc.expect("the line tapbridge-setup printed", lambda d: line_points(d.lines("out", "s")[-1]), points)
    sc.expect("packets on /dev/input/mice", lambda d: d.tagged("mice"), like(packets))
    sc.expect("frames on the touch node", Delivered.frames, tap_frames(taps, KIND[kind]["tool"]))
    return program_checks(sc, "tb", [IMPS2] + lines, status="signal 15")


# --- tapbridge-setup: the report -------------------------------------------

RECORDS_ALL = "  records:  all 12 records of a tap reach its readers"
RECORDS_NO_TOOL = ("  records:  BTN_TOOL_FINGER is not declared: 2 of 12 records dropped; harmless: the screen never "
                   "reports a finger tool")
NOT_FED = "  mousedev: not fed into /dev/input/mice: taps cannot come back as clicks"
FED_CLICKS = ("  mousedev: fed into /dev/input/mice as a touchpad (it declares BTN_TOOL_FINGER): a touch shorter than "
              "tap_time (200 ms) comes back as a left click, and tapbridge would tap point 1 again, without end. "
              "Remedy: tapbridge-setup --fix (tap_time 0)")
FED_QUIET = ("  mousedev: fed into /dev/input/mice as a touchpad (it declares BTN_TOOL_FINGER); tap_time is 0, so no "
             "touch comes back as a click")
FED_DIRECT = ("  mousedev: fed into /dev/input/mice with BTN_TOUCH as the left button (no BTN_TOOL_FINGER): every "
              "tap comes back as a left press, whatever tap_time is. Remedy: point 1 off (-1 -1), as the line below "
              "has it; each tap then echoes one harmless \"button 1, x -1 y -1\" line")
NO_GRAB = "  grab:     none"
GRABBED = "  grab:     held by another process: every event, taps included, goes only to it"
MICE_RW = "/dev/input/mice: read-write: the wheel works"
NONE_RUNNING = "tapbridge running: none"
# /dev/input/mice as root sees it, the mice connected, no tapbridge running.
SYSTEM = [MICE_RW, "mice now: virtual mouse ($MOUSE)", NONE_RUNNING]
READY, MEND = "Ready. Run as root:", "Mend these first:"
TAP_TIME_TRAP = "  - mousedev's tap_time is 200 ms on a touchpad-kind screen: run tapbridge-setup --fix as root."
FLAT = ("  - $TOUCH reports a range with one value at 0 or above (x 0..0, y 0..0): the line taps, but every button at "
        "that one value, so the buttons cannot be told apart along it. The driver gives no real size; take the range "
        "from the device's documentation and give the points by hand.")


def merged(roles, at, ranges):
    return (f"  - the layout puts {roles} on one point, x {at}: of $TOUCH's range ({ranges}) tapbridge can tap only "
            "the part at 0 or above, too little to keep them apart. Give the points by touch (tapbridge-setup --pick).")


# A name with a line break, a bell and escape sequences: it must neither break the line nor reach the terminal.
# The report shows it in the C-style escapes the step language writes it in.
EVIL_NAMES = {"mt": r"evil\nReady. Run as root:\x1b[2J\x07", "touchpad": r"pad\x1b]0;title\x07\r\n  - none",
              "direct": r"\xff\x1b[31mred\x1b[0m\x9b1m"}
# On a terminal, above the line; never through a pipe, where scripts read the report.
SKETCH = "Where the points fall, x growing to the right and y downwards:"
LAYOUT_LEFT_OFF = ("Layout (page turning): left off: mousedev would bring every tap back as a left click, so wheel "
                   "down alone gives next page; right = previous page at 15%,50%; middle = menu at 50%,5%; wheel up "
                   "= previous page at 15%,50%; wheel down = next page at 85%,50%")
# The driver's touch reader has the screen open: a row that names no other holders has only that one.
OPEN_BY = "  open by:  pid $driver (tapbridge-guest)"
# A program file named so: its process name (comm) has the line break and the escape too.
EVIL_PROGRAM = "\"$(printf '/tmp/x\\nReady.\\033[2J')\""
EVIL_COMM = r"x\nReady.\x1b[2J"
REPORT_KEYS = ('$TOUCH "', "Best screen:", "  range:", "  open by:", "  records:", "  mousedev:", "  grab:", "  - ", f"  {TAPBRIDGE}", "Ready.",
               "Mend these first:", "tapbridge running:", "/dev/input/mice:", "mice now:", SKETCH, "Layout (page turning): left off")


def line(points, node="$TOUCH"):
    return f"  {TAPBRIDGE} {node} 0 " + " ".join(map(str, points))


REPORT = [
    # name, screen, steps before, report status, lines (REPORT_KEYS), actions run on the printed line; run as root,
    # or as the user given last
    ("multitouch only: ready, the page-turning layout", "mt 0 1071 0 1447", [], 0,
     [RECORDS_ALL, NOT_FED, NO_GRAB, *SYSTEM, READY, line(DEFAULT)], "L R M U D"),
    ("a range with a non-zero minimum", "mt 100 1100 200 1800", [], 0,
     [RECORDS_ALL, NOT_FED, NO_GRAB, *SYSTEM, READY,
      line([950, 1000, 250, 1000, 600, 280, 250, 1000, 950, 1000])], "L R M U D"),
    ("a range from a negative minimum: points kept at 0 or above", "mt -500 500 0 1000", [], 0,
     [RECORDS_ALL, NOT_FED, NO_GRAB, *SYSTEM, READY, line([350, 500, 0, 500, 0, 50, 0, 500, 350, 500])],
     "L R M U D"),
    ("touchpad kind: fed, clicks, --fix first", "touchpad 0 1071 0 1447", [], 1,
     [RECORDS_ALL, FED_CLICKS, NO_GRAB, *SYSTEM, MEND, TAP_TIME_TRAP, line(DEFAULT)], ""),
    ("touchpad kind with tap_time 0: ready", "touchpad 0 1071 0 1447",
     ["sh echo 0 > /sys/module/mousedev/parameters/tap_time"], 0,
     [RECORDS_ALL, FED_QUIET, NO_GRAB, *SYSTEM, READY, line(DEFAULT)], "L"),
    ("direct kind: point 1 off, and the line runs as printed", "direct 0 1071 0 1447", [], 0,
     [RECORDS_NO_TOOL, FED_DIRECT, NO_GRAB, *SYSTEM, LAYOUT_LEFT_OFF, READY, line([-1, -1] + DEFAULT[2:])],
     "L R M U D"),
    ("multitouch only, through a pipe: the same lines, no sketch", "mt 0 1071 0 1447", [], 0,
     [RECORDS_ALL, NOT_FED, NO_GRAB, *SYSTEM, READY, line(DEFAULT)], "", None, " | cat"),
    ("a range of one value: every point there", "mt 0 0 0 0", [], 1,
     [RECORDS_ALL, NOT_FED, NO_GRAB, *SYSTEM, MEND, FLAT, line([0] * 10)], ""),
    ("touchpad kind, -1..0: one value at 0 or above", "touchpad -1 0 -1 0", [], 1,
     [RECORDS_ALL, FED_CLICKS, NO_GRAB, *SYSTEM, MEND, TAP_TIME_TRAP, FLAT.replace("0..0", "-1..0"), line([0] * 10)],
     ""),
    ("a range mostly below 0: the layout's points merge at 0", "mt -1000 10 0 1447", [], 1,
     [RECORDS_ALL, NOT_FED, NO_GRAB, *SYSTEM, MEND,
      merged("next page (left) and previous page (right)", "0 y 723", "x -1000..10, y 0..1447"),
      line([0, 723, 0, 723, 0, 72, 0, 723, 0, 723])], ""),
    ("direct kind, 0..1: the layout's points merge", "direct 0 1 0 1 res 1", [], 1,
     [RECORDS_NO_TOOL, FED_DIRECT, NO_GRAB, *SYSTEM, LAYOUT_LEFT_OFF, MEND,
      merged("previous page (right) and menu (middle)", "0 y 0", "x 0..1, y 0..1"), line([-1, -1] + [0] * 8)], ""),
    ("a resolution: the range says it", "mt 0 1071 0 1447 res 12", [], 0,
     [RECORDS_ALL, NOT_FED, NO_GRAB, *SYSTEM, READY, line(DEFAULT)], ""),
    ("a resolution no screen has: not shown", "mt 0 1071 0 1447 res 2147483647", [], 0,
     [RECORDS_ALL, NOT_FED, NO_GRAB, *SYSTEM, READY, line(DEFAULT)], ""),
    ("a negative resolution: not shown", "mt 0 1071 0 1447 res -5", [], 0,
     [RECORDS_ALL, NOT_FED, NO_GRAB, *SYSTEM, READY, line(DEFAULT)], ""),
    *[(f"{kind} kind, a name with a line break and escapes: shown escaped", f"{kind} 0 1071 0 1447 name {name}",
       ["sh echo 0 > /sys/module/mousedev/parameters/tap_time"], 0,
       [RECORDS_NO_TOOL if kind == "direct" else RECORDS_ALL,
        {"mt": NOT_FED, "touchpad": FED_QUIET, "direct": FED_DIRECT}[kind], NO_GRAB, MICE_RW, SYSTEM[1], NONE_RUNNING]
       + ([LAYOUT_LEFT_OFF] if kind == "direct" else []) + [READY, line([-1, -1] + DEFAULT[2:] if kind == "direct"
                                                                       else DEFAULT)], "")
      for kind, name in EVIL_NAMES.items()],
    ("touchpad kind, tap_time 4294967295", "touchpad 0 1071 0 1447",
     ["sh echo 4294967295 > /sys/module/mousedev/parameters/tap_time"], 1,
     [RECORDS_ALL, FED_CLICKS.replace("200 ms", "4294967295 ms"), NO_GRAB, *SYSTEM, MEND,
      TAP_TIME_TRAP.replace("200 ms", "4294967295 ms"), line(DEFAULT)], ""),
    ("a tapbridge already running", "mt 0 1071 0 1447",
     [f"run tb0 tapbridge $TOUCH 0 {' '.join(map(str, PTS))}", f"wait tb0 text {IMPS2}"], 1,
     [RECORDS_ALL, NOT_FED, "  open by:  pid $driver (tapbridge-guest), pid $tb0 (tapbridge)", NO_GRAB,
      *SYSTEM[:2], "tapbridge running: pid $tb0 (tapbridge)", MEND,
      "  - tapbridge is already running (pid $tb0 (tapbridge)): a second one doubles every tap. Stop it first "
      "(kill $tb0).", line(DEFAULT)], ""),
    ("no /dev/input/mice", "mt 0 1071 0 1447", ["sh mv /dev/input/mice /dev/input/mice.away"], 1,
     [RECORDS_ALL, NOT_FED, NO_GRAB, "/dev/input/mice: missing: no mousedev in this kernel, or no node made for it",
      *SYSTEM[1:], MEND, "  - /dev/input/mice does not exist: tapbridge stops with \"please run as root\" even for "
      "root. Load mousedev (modprobe mousedev), or make its node (mknod /dev/input/mice c 13 63).", line(DEFAULT)], ""),
    ("a grab held by another process", "mt 0 1071 0 1447", [f"run g {GRABBER}", "wait g text grabbed"], 1,
     [RECORDS_ALL, NOT_FED, "  open by:  pid $driver (tapbridge-guest), pid $g (tapbridge-guest)", GRABBED,
      *SYSTEM, MEND,
      "  - another process holds a grab on $TOUCH (open by pid $driver (tapbridge-guest), pid $g (tapbridge-guest)): "
      "injected taps reach only the grabber. Fine if that is the device's own UI; otherwise stop it.", line(DEFAULT)],
     ""),
    ("a grab held by a program whose name has a line break and an escape", "mt 0 1071 0 1447",
     [f"sh cp /guest/tapbridge-guest {EVIL_PROGRAM}", f"run g {EVIL_PROGRAM} --grab $TOUCH", "wait g text grabbed"], 1,
     [RECORDS_ALL, NOT_FED, f"  open by:  pid $driver (tapbridge-guest), pid $g ({EVIL_COMM})", GRABBED, *SYSTEM,
      MEND, f"  - another process holds a grab on $TOUCH (open by pid $driver (tapbridge-guest), pid $g ({EVIL_COMM})): "
      "injected taps reach only the grabber. Fine if that is the device's own UI; otherwise stop it.", line(DEFAULT)],
     ""),
    ("the only mouse grabbed by another process: its clicks never reach tapbridge", "mt 0 1071 0 1447",
     ["run g /guest/tapbridge-guest --grab $MOUSE", "wait g text grabbed"], 1,
     [RECORDS_ALL, NOT_FED, NO_GRAB, MICE_RW, "mice now: virtual mouse ($MOUSE, grabbed: none of its clicks reach "
      "tapbridge)", NONE_RUNNING, MEND, "  - the mouse $MOUSE \"virtual mouse\" is grabbed by another process (open "
      "by pid $g (tapbridge-guest)): mousedev gets none of its clicks, so tapbridge never sees them. Stop that "
      "program, or use another mouse.", line(DEFAULT)], ""),
    # BTN_TOUCH is mousedev's left button on any device it feeds without BTN_TOOL_FINGER, relative axes or not.
    ("a touch device that also moves relatively: its touches click left, point 1 off", "mt 0 1071 0 1447",
     ["remote h hybrid name Hybrid"], 0,
     [RECORDS_ALL, NOT_FED, NO_GRAB, MICE_RW, "mice now: virtual mouse ($MOUSE), Hybrid ($H, a ring: its touches click left)",
      NONE_RUNNING,
      "Layout (page turning): left off: mousedev makes every touch on $H \"Hybrid\" a left click, which would tap "
      "point 1, so wheel down alone gives next page; right = previous page at 15%,50%; middle = menu at 50%,5%; "
      "wheel up = previous page at 15%,50%; wheel down = next page at 85%,50%", READY, line([-1, -1] + DEFAULT[2:])],
     "R"),
    ("a user who may read the screen and /dev/input/mice only", "mt 0 1071 0 1447",
     ["sh chmod 644 $TOUCH /dev/input/mice"], 1,
     [RECORDS_ALL, NOT_FED, "  open by:  no other process that this user can see (root sees all)", NO_GRAB,
      "/dev/input/mice: read-only: no wheel",
      "mice now: none: connect one before starting tapbridge", NONE_RUNNING, MEND,
      "  - /dev/input/mice opens read-only: tapbridge cannot switch on the wheel, so wheel up and wheel down never "
      "tap. Run as root, or make the node writable.", line(DEFAULT)], "", 1000),
    # A ring that pretends to be a finger has multitouch positions too: it is listed among the remotes, never
    # taken for the screen, and, unserved, its touches click left through mousedev.
    ("a finger ring on Bluetooth beside the screen: no screen, and it keeps point 1 off", "mt 0 1071 0 1447",
     ["remote r finger name Swipe Ring"], 0, [RECORDS_ALL, NOT_FED, NO_GRAB, MICE_RW,
      "mice now: virtual mouse ($MOUSE), Swipe Ring ($R, a ring: its touches click left)", NONE_RUNNING,
      "Layout (page turning): left off: mousedev makes every touch on $R \"Swipe Ring\" a left click, which would "
      "tap point 1, so wheel down alone gives next page; right = previous page at 15%,50%; middle = menu at 50%,5%; "
      "wheel up = previous page at 15%,50%; wheel down = next page at 85%,50%", READY, line([-1, -1] + DEFAULT[2:])], "R M"),
    ("a finger ring beside a screen without INPUT_PROP_DIRECT: still the screen is the best", "mt 0 1071 0 1447 nodirect",
     ["remote r finger name Swipe Ring"], 0, [RECORDS_ALL, NOT_FED, NO_GRAB, MICE_RW,
      "mice now: virtual mouse ($MOUSE), Swipe Ring ($R, a ring: its touches click left)", NONE_RUNNING,
      "Layout (page turning): left off: mousedev makes every touch on $R \"Swipe Ring\" a left click, which would "
      "tap point 1, so wheel down alone gives next page; right = previous page at 15%,50%; middle = menu at 50%,5%; "
      "wheel up = previous page at 15%,50%; wheel down = next page at 85%,50%", READY, line([-1, -1] + DEFAULT[2:])], "R"),
]


def screen_words(screen):
    """A screen step's kind, range, resolution text and name as shown: the
    resolution only where it makes each axis 1 mm to 10 m long."""
    words = screen.split(" name ", 1)
    kind, x0, x1, y0, y1, *rest = words[0].split()
    res = int(rest[1]) if rest[:1] == ["res"] else 0
    believed = res > 0 and all(1 <= (int(b) - int(a)) / res <= 10000 for a, b in [(x0, x1), (y0, y1)])
    res = f" ({res} per mm)" if believed else ""
    return kind, (x0, x1, y0, y1), res, words[1] if len(words) > 1 else "virtual touch screen"


def report_scenario(name, screen, before, status, lines, actions, uid=None, pipe=""):
    who = f"as {uid} " if uid is not None else ""
    steps = [f"screen {screen}"] + before + [f"run s {who}tapbridge-setup{pipe}", "wait s exit"]
    # The screen's block: its name and range as made, and who has it open.
    kind, (x0, x1, y0, y1), res, shown = screen_words(screen)
    lines = [f'$TOUCH "{shown}"', f"  range:    x {x0}..{x1}{res}, y {y0}..{y1}{res}"] + lines
    if kind != "mt":
        # mousedev feeds both other kinds: "mice now" names the screen too.
        lines = [x + f", {shown} ($TOUCH, a touch screen)" if x == SYSTEM[1] else x for x in lines]
    best = next(i for i, x in enumerate(lines) if x.startswith("Layout (page turning)") or x in (READY, MEND))
    lines = lines[:best] + [f'Best screen: $TOUCH "{shown}"'] + lines[best:]
    if not any(x.startswith("  open by:") for x in lines):
        fed = next(i for i, x in enumerate(lines) if x.startswith("  mousedev:"))
        lines = lines[:fed + 1] + [OPEN_BY] + lines[fed + 1:]
    if not pipe:
        ends = [i for i, x in enumerate(lines) if x in (READY, MEND)]
        lines = lines[:ends[0]] + [SKETCH] + lines[ends[0]:]
    if actions:
        points = line_points(lines[-1])
        more, want, packets, taps = clicks("tb", actions, points, kind)
        steps += [f"runline tb s {TAPBRIDGE}", f"wait tb text {IMPS2}"] + more
    sc = program_checks(Scenario(f"report: {name}", steps), "s", lines, status=f"status {status}", keys=REPORT_KEYS)
    if actions:
        # Run as printed: the taps land where the line says.
        program_checks(sc, "tb", [IMPS2] + want, status="signal 15")
        sc.expect("frames on the touch node", Delivered.frames, tap_frames(taps, KIND[kind]["tool"]))
    return sc


# --- tapbridge-setup --pick ---------------------------------------------------

NAMES = ["left", "right", "middle", "wheel up", "wheel down"]
PURPOSES = ["next page", "previous page", "menu", "previous page", "next page"]
# The first question names every answer; the later ones name them briefly.
FIRST_ASKED = "touch where it should tap; hold still 1 s to leave it off; two fingers stop without a command line"
ASKED = "touch where it should tap; hold still 1 s: off; two fingers: stop"
NO_KEYBOARD = "Standard input is closed: there is no keyboard, so touches alone answer."
ALL_OFF = ("  - every point is off (-1 -1): this line prints a line for each button and taps nothing. Give at least "
           "one point (tapbridge-setup --pick, and touch instead of pressing Enter).")
NO_TRACKING = "  - $TOUCH drops records a tap needs (see \"records\" above): tapbridge's taps will not register there."
ENTER, CTRL_C, CTRL_D = ["keys p \\n"], ["keys p \\x03"], ["keys p \\x04"]
LEFT_OFF = ("left: off. mousedev feeds this screen into /dev/input/mice with BTN_TOUCH as the left button, so every "
            "tap would come back as a left press and tap point 1 again; point 1 stays -1 -1.")
PICK_KEYS = ("  left:", "  right:", "  middle:", "  wheel up:", "  wheel down:", "left: off.", f"  {TAPBRIDGE}",
             "Ready.", "Mend these first:", "  - ", NO_KEYBOARD, "The line names")
ENDED = ("tapbridge-setup: standard input ended before all five buttons were answered; no command line printed.")
STOPPED = "tapbridge-setup: stopped by two fingers; no command line printed."
GONE = ("tapbridge-setup: {} went away (unplugged, or its driver removed); no command line printed. Plug it in again "
        "and run tapbridge-setup --pick.")
EVIL_PATH = "\"$(printf '/tmp/a\\nReady. Run as root:\\033[2J')\""
EVIL_PATH_SHOWN = "/tmp/a\\nReady. Run as root:\\x1b[2J"


# A window while --pick waits, and a bound on the CPU it may use meanwhile,
# in ms as the scheduler counts it: a wait that spins fills the window, 20
# times the bound. (Emulated, the armhf guest spends up to 160 ms reading a
# pipe ten times a second.)
CPU_WINDOW_MS, CPU_BOUND_MS = 5000, 250
# Until 16 MiB without a line end have been read, standard input is read as
# fast as it comes, and a pipe's writer keeps it busy (under emulation for
# longer than a moment in poll): the window starts once that much was read.
PACED = ("sh p=$(pidof tapbridge-setup) && until [ $(sed -n 's/^rchar: //p' /proc/$p/io) -ge 16777216 ]; "
         "do sleep 0.05; done")


def T(x, y):
    return [f"tap {x} {y}"]


def F(slot, x, y):
    """A quick touch at (x, y) in slot."""
    return [f"finger down {slot} {x} {y}", f"finger up {slot}"]


def HOLD(x, y, slot=0):
    """A finger held 1.2 s at (x, y), wavering inside the still box meanwhile."""
    return [f"finger down {slot} {x} {y}", "pause 600", f"finger move {slot} {x + 10} {y - 10}", "pause 600",
            f"finger move {slot} {x} {y}", f"finger up {slot}"]


def OVERFLOW(slot, other, moves=600):
    """A finger in slot moved moves times, lifted at 700 800, and one in
    other moved as often, while it is stopped: more than evdev queues for a
    reader (its queue grows with the slots: 512 events for 10, 4096 for 64),
    so the kernel drops the oldest, the lift among them."""
    return ([f"finger down {slot} 100 200", "wait p idle"] + FROZEN
            + [f"finger move {slot} {300 + i % 2} {400 + i % 2}" for i in range(moves)]
            + [f"finger move {slot} 700 800", f"finger up {slot}", f"finger down {other} 900 100"]
            + [f"finger move {other} {900 + i % 2} {100 + i % 2}" for i in range(moves)] + [f"finger up {other}"]
            + THAWED)


# The second finger lifts first; the answer waits for the last.
TWO = ["finger down 0 100 200", "finger down 1 500 600", "finger up 1", "wait p idle", "finger up 0"]
# Caught the moment the question shows: what is touched then answers it.
FROZEN = ["signal p 19", "wait p stopped"]
THAWED = ["signal p 18"]


def questions(names, keyboard):
    return [f"{n} ({PURPOSES[NAMES.index(n)]}): "
            + (FIRST_ASKED + (" (keyboard: Enter leaves it off, Ctrl-C stops)" if keyboard else "") if i == 0
               else ASKED + ("; Enter: off" if keyboard else "")) for i, n in enumerate(names)]


def flat(points):
    return [c for p in points for c in p]


OFF = (-1, -1)
PICK_RUN = "tapbridge-setup --pick"
BLANK = "'/tmp/touch screen'"
# A backslash before a letter that an escape-reading shell would take (\t), and a control character: in one word.
SLASHED = "\"$(printf '/tmp/touch\\\\top\\001')\""
# A path that ends in a line break: no line can hold it.
ENDS_IN_BREAK = "\"${p%x}\""
BREAK_LAST = "p=$(printf '/tmp/touch\\nx')"
# Paths given to --pick: how it names the screen, how its line writes the path for sh, and the line that says why
# the line names another.
PATHS = {BLANK: ("/tmp/touch screen", BLANK, None), EVIL_PATH: (EVIL_PATH_SHOWN, None, None),
         SLASHED: ("/tmp/touch\\\\top\\x01", "'/tmp/touch\\top'\"$(printf '\\001')\"", None),
         ENDS_IN_BREAK: ("/tmp/touch\\n", "$TOUCH", "The line names $TOUCH, the screen's own node: /tmp/touch\\n "
                         "ends in a line break, which no command line can hold.")}
PICK = [
    # name, screen, steps before, command, answers (the steps of each question asked, taken as soon as its
    # text shows), points answered, end, standard error, actions run on the printed line (a line is printed
    # when it ends with status 0 or 1)
    # The same point twice: the kernel sends no position for the second touch.
    ("touches at known points; where the finger lifts counts", "mt 100 1100 200 1800", [], PICK_RUN,
     [T(150, 300), ["finger down 0 500 500", "finger move 0 900 1700", "finger up 0"], T(600, 250), T(600, 250),
      T(1050, 1500)], [(150, 300), (900, 1700), (600, 250), (600, 250), (1050, 1500)], "status 0", [], "L R M U D"),
    ("Enter leaves a point off", "mt 0 1071 0 1447", [], PICK_RUN,
     [ENTER, T(300, 400), ENTER, ENTER, T(700, 800)], [OFF, (300, 400), OFF, OFF, (700, 800)], "status 0", [], "D L"),
    # A pipe hands over all of them in one read; a terminal, a line a read.
    ("Enters typed ahead through a pipe answer one question each", "mt 0 1071 0 1447", [],
     f"printf '\\n\\n\\n\\n\\n' | {PICK_RUN}", [], [OFF] * 5, "status 1", [], ""),
    ("a touch made the moment the question shows answers it", "mt 0 1071 0 1447", [], PICK_RUN,
     [FROZEN + T(300, 400) + THAWED, FROZEN + T(500, 600) + THAWED, ENTER, ENTER, ENTER],
     [(300, 400), (500, 600), OFF, OFF, OFF], "status 0", [], ""),
    # Stopped while a finger moves 600 times, lifts, and another finger
    # moves as often: more than evdev queues for a reader. The kernel drops
    # the oldest with SYN_DROPPED, the lift among them, which comes back only
    # from the state libevdev reads again; where it lifted, only the kernel's
    # slot values still know. It answers there.
    ("a lift lost when the kernel's queue overflowed still answers", "mt 0 1071 0 1447", [], PICK_RUN,
     [OVERFLOW(0, 1), T(500, 600), ENTER, ENTER, ENTER], [(700, 800), (500, 600), OFF, OFF, OFF], "status 0", [], ""),
    # The kernel's slot values past the sixteenth are asked for too.
    ("a 64-slot screen: a lift lost in slot 40 still answers", "mt 0 1071 0 1447 slots 64", [], PICK_RUN,
     [OVERFLOW(40, 63, 1500), F(50, 500, 600), ENTER, ENTER, ENTER], [(700, 800), (500, 600), OFF, OFF, OFF], "status 0",
     [], ""),
    # A driver may number slots by the controller's contact id: a lone finger comes in any slot it declares.
    ("a 32-slot screen: a finger in slot 20 answers", "mt 0 1071 0 1447 slots 32", [], PICK_RUN,
     [F(20, 300, 400), F(31, 500, 600), ENTER, ENTER, ENTER], [(300, 400), (500, 600), OFF, OFF, OFF], "status 0",
     [], ""),
    ("a 64-slot screen, standard input closed: touches in high slots answer, two there stop",
     "mt 0 1071 0 1447 slots 64", [], f"{PICK_RUN} $TOUCH <&-",
     [F(63, 150, 300), HOLD(500, 500, 40), F(33, 600, 250), F(17, 700, 800),
      ["finger down 50 100 200", "finger down 63 500 600", "finger up 50 63"]],
     [(150, 300), OFF, (600, 250), (700, 800)], "status 130", [STOPPED], ""),
    # Always readable and never a line end: waiting must not keep a core busy, and touches still answer.
    ("standard input /dev/zero: waiting costs no CPU", "mt 0 1071 0 1447", [], f"{PICK_RUN} </dev/zero",
     [["wait p idle", f"cpu p {CPU_WINDOW_MS}"] + T(300, 400), T(500, 600), T(700, 800), T(900, 1000),
      T(100, 200)], [(300, 400), (500, 600), (700, 800), (900, 1000), (100, 200)], "status 0", [], ""),
    ("standard input a pipe that never ends a line: waiting costs no CPU", "mt 0 1071 0 1447",
     ["sh rm -f /tmp/zeros && mkfifo /tmp/zeros", "run z cat /dev/zero >/tmp/zeros"], f"{PICK_RUN} </tmp/zeros",
     [[PACED, "wait p idle", f"cpu p {CPU_WINDOW_MS}"] + T(300, 400), T(500, 600), T(700, 800), T(900, 1000),
      T(100, 200)], [(300, 400), (500, 600), (700, 800), (900, 1000), (100, 200)], "status 0", [], ""),
    # Typed while it was starting: no question had been asked, so they answer none.
    ("Enters typed before the first question answer nothing", "mt 0 1071 0 1447",
     ["wait p stopped", "keys p \\n\\n", "signal p 18"], f"kill -STOP $$; exec {PICK_RUN}",
     [T(300, 400), ENTER, ENTER, ENTER, T(500, 600)], [(300, 400), OFF, OFF, OFF, (500, 600)], "status 0", [], ""),
    # Both wait while it is stopped, and come in one wake-up: the line answers first.
    ("Enter and a touch in one wake-up: the line, then the touch", "mt 0 1071 0 1447", [], PICK_RUN,
     [["wait p idle"] + FROZEN + T(300, 400) + ENTER + THAWED, [], ENTER, ENTER, ENTER],
     [OFF, (300, 400), OFF, OFF, OFF], "status 0", [], ""),
    ("held still 1 s: off; a quick touch at the same spot is a point; moved, then held: a point",
     "mt 0 1071 0 1447", [], PICK_RUN,
     [HOLD(300, 400), T(300, 400), ["finger down 0 100 100", "finger move 0 600 700", "pause 1200", "finger up 0"],
      HOLD(600, 700), ENTER], [OFF, (300, 400), (600, 700), OFF, OFF], "status 0", [], ""),
    ("touch alone with standard input closed: the whole pick", "mt 0 1071 0 1447", [], f"{PICK_RUN} $TOUCH <&-",
     [T(150, 300), HOLD(500, 500), T(600, 250), HOLD(700, 800), T(1000, 1400)],
     [(150, 300), OFF, (600, 250), OFF, (1000, 1400)], "status 0", [], "L R M U D"),
    ("touchpad kind, standard input closed: five touches, tap_time still to mend", "touchpad 0 1071 0 1447", [],
     f"{PICK_RUN} $TOUCH <&-", [T(300, 400), T(500, 600), T(700, 800), T(900, 1000), T(100, 200)],
     [(300, 400), (500, 600), (700, 800), (900, 1000), (100, 200)], "status 1", [], ""),
    # Without ABS_MT_SLOT (type A) libevdev keeps no slots: BTN_TOUCH begins and ends the contact.
    ("a screen without slots (type A), standard input closed: touches answer", "mt 0 1071 0 1447 slots 0", [],
     f"{PICK_RUN} $TOUCH <&-", [T(150, 300), ["finger down 0 500 500", "finger move 0 900 1000", "finger up 0"],
                                HOLD(300, 300), F(1, 700, 800), T(100, 200)],
     [(150, 300), (900, 1000), OFF, (700, 800), (100, 200)], "status 1", [], ""),
    ("direct kind, standard input closed: four touches", "direct 0 1071 0 1447", [], f"{PICK_RUN} $TOUCH <&-",
     [T(300, 400), T(500, 600), T(700, 800), T(900, 1000)], [(300, 400), (500, 600), (700, 800), (900, 1000)],
     "status 0", [], "R"),
    # A touch in slot 1 leaves the next question starting there, and the
    # next touch there, where the last one was, brings no slot and no position.
    ("a finger in slot 1, twice at the same point", "mt 0 1071 0 1447", [], PICK_RUN,
     [["finger down 1 700 800", "finger up 1"], ["finger down 1 700 800", "finger up 1"], ENTER, ENTER, ENTER],
     [(700, 800), (700, 800), OFF, OFF, OFF], "status 0", [], ""),
    ("two fingers stop it without a line, once both lift", "mt 0 1071 0 1447", [], PICK_RUN,
     [T(100, 200), ["finger down 0 300 400", "finger down 1 500 600", "finger up 0 1"]], [(100, 200)], "status 130",
     [STOPPED], ""),
    ("two fingers lifted one by one stop once both are up", "mt 0 1071 0 1447", [], PICK_RUN, [T(300, 400), TWO],
     [(300, 400)], "status 130", [STOPPED], ""),
    ("a finger already down when the question comes is no answer", "mt 0 1071 0 1447", ["finger down 0 111 222"],
     PICK_RUN, [["finger up 0"] + T(333, 444), ENTER, ENTER, ENTER, ENTER], [(333, 444), OFF, OFF, OFF, OFF],
     "status 0", [], ""),
    ("Ctrl-D ends the input: no line, status 64", "mt 0 1071 0 1447", [], PICK_RUN, [T(300, 400), CTRL_D],
     [(300, 400)], "status 64", [ENDED], ""),
    # A directory opens for reading, and every read of it fails (EISDIR).
    ("a read error on standard input ends it as its end does", "mt 0 1071 0 1447", [], f"{PICK_RUN} $TOUCH < /",
     [[]], [], "status 64", [ENDED], ""),
    ("Ctrl-C stops it without a line; the grab goes with it", "mt 0 1071 0 1447", [], PICK_RUN,
     [T(300, 400), CTRL_C], [(300, 400)], "signal 2", [], ""),
    ("direct kind: left stays off, four questions", "direct 0 1071 0 1447", [], PICK_RUN,
     [T(200, 300), T(400, 500), ENTER, T(600, 700)], [(200, 300), (400, 500), OFF, (600, 700)], "status 0", [],
     "R M D"),
    ("a node path with a blank, quoted in the line", "mt 0 1071 0 1447", [f"sh ln -sf $TOUCH {BLANK}"],
     f"{PICK_RUN} {BLANK}", [T(10, 20), T(30, 40), T(50, 60), T(70, 80), T(90, 100)],
     [(10, 20), (30, 40), (50, 60), (70, 80), (90, 100)], "status 0", [], "L R M U D"),
    ("a node path with a backslash and a control character, run through sh", "mt 0 1071 0 1447",
     [f"sh ln -sf $TOUCH {SLASHED}"], f"{PICK_RUN} {SLASHED}", [T(10, 20), ENTER, ENTER, ENTER, ENTER],
     [(10, 20), OFF, OFF, OFF, OFF], "status 0", [], "L"),
    ("a node path that ends in a line break: the line names the kernel's node, and says so", "mt 0 1071 0 1447",
     [f"sh {BREAK_LAST} && ln -sf $TOUCH {ENDS_IN_BREAK}"], f"{BREAK_LAST}; exec {PICK_RUN} {ENDS_IN_BREAK}",
     [T(10, 20), ENTER, ENTER, ENTER, ENTER], [(10, 20), OFF, OFF, OFF, OFF], "status 0", [], "L"),
    # Unplugged while a question waits: it ends, saying so, and prints no line.
    ("mt kind unplugged at the second question", "mt 0 1071 0 1447", [], PICK_RUN,
     [T(100, 200), ["wait p idle", "unplug"]], [(100, 200)], "status 2", [GONE.format("$TOUCH")], ""),
    ("touchpad kind unplugged at the first question", "touchpad 0 1071 0 1447", [], PICK_RUN,
     [["wait p idle", "unplug"]], [], "status 2", [GONE.format("$TOUCH")], ""),
    ("direct kind unplugged with a finger down", "direct 0 1071 0 1447", [], PICK_RUN,
     [["finger down 0 100 100", "unplug"]], [], "status 2", [GONE.format("$TOUCH")], ""),
    # Neither the name nor the path may forge a line or steer the terminal.
    ("a name and a path with a line break and escapes, unplugged", f"mt 0 1071 0 1447 name {EVIL_NAMES['mt']}",
     [f"sh ln -sf $TOUCH {EVIL_PATH}"], f"{PICK_RUN} {EVIL_PATH}", [["wait p idle", "unplug"]], [], "status 2",
     [GONE.format(EVIL_PATH_SHOWN)], ""),
    # Only line ends matter: a line of megabytes is no burden.
    ("8 MB typed without a line end, then the end", "mt 0 1071 0 1447", [],
     f"head -c 8000000 /dev/zero | {PICK_RUN}", [[]], [], "status 64", [ENDED], ""),
    # Past 16 MiB without a line end the input is read slowly, yet still read: the Enters after it answer.
    ("16 MiB and 8 KiB without a line end, then five Enters", "mt 0 1071 0 1447", [],
     f"{{ head -c 16785408 /dev/zero; printf '\\n\\n\\n\\n\\n'; }} | {PICK_RUN}", [], [OFF] * 5, "status 1", [], ""),
    # Its reader gone at the first question: no one can read the next, so it lets the screen go at once.
    ("standard output a pipe closed after the first question", "touchpad 0 1071 0 1447", [],
     f"sh -c '{{ {PICK_RUN}; echo $? >/tmp/status; }} | head -c 1 >/dev/null; exit $(cat /tmp/status)'", [], [],
     "status 74", ["tapbridge-setup: cannot write to standard output: Broken pipe; the output is incomplete."], ""),
    ("a screen grabbed by another process", "mt 0 1071 0 1447", [f"run g {GRABBER}", "wait g text grabbed"],
     PICK_RUN, [], [], "status 2",
     ["tapbridge-setup: $TOUCH is grabbed by another process, which takes every touch (open by pid $driver "
      "(tapbridge-guest), pid $g (tapbridge-guest)). Stop that program and try again."], ""),
]
# The finger already down when --pick starts reaches other readers: the grab comes later.
FINGER_BEFORE = [["ABS_MT_TRACKING_ID 0", "ABS_MT_POSITION_X 111", "ABS_MT_POSITION_Y 222", "BTN_TOUCH 1",
                  "BTN_TOOL_FINGER 1"]]


def after_stop(touches):
    """The tap at 700 800 after a stop, in slot 0, after the touches steps
    (tap, finger ...): the screen's next tracking id, and the slot switched
    back if the last frame was in another."""
    contacts = sum(s.startswith(("tap ", "finger down")) for s in touches)
    last = touches[-1].split()
    slot = [] if last[0] == "tap" or last[2 if last[1] != "up" else -1] == "0" else ["ABS_MT_SLOT 0"]
    return [slot + [f"ABS_MT_TRACKING_ID {contacts}", "ABS_MT_POSITION_X 700", "ABS_MT_POSITION_Y 800",
                    "BTN_TOUCH 1", "BTN_TOOL_FINGER 1"], ["ABS_MT_TRACKING_ID -1", "BTN_TOUCH 0", "BTN_TOOL_FINGER 0"]]


def pick_scenario(name, screen, before, command, answers, points, end, err, actions):
    kind, (x0, x1, y0, y1), _, shown = screen_words(screen)
    keyboard = "<&-" not in command
    # Steps that act on p itself come once it runs.
    on_p = [s for s in before if s.split()[1:2] == ["p"]]
    steps = [f"screen {screen}"] + [s for s in before if s not in on_p] + [f"run p {command}"] + on_p
    names = NAMES[1:] if kind == "direct" else NAMES
    for name_asked, answer in zip(names, answers):
        steps += [f"wait p text {name_asked} ("] + answer
    steps.append("wait p exit")
    want = ([NO_KEYBOARD] if not keyboard else []) + ([LEFT_OFF] if kind == "direct" else [])
    want += [f"  {n}: off" if p == OFF else f"  {n}: x {p[0]} y {p[1]}" for n, p in zip(names, points)]
    if end in ("status 0", "status 1"):
        full = ([OFF] if kind == "direct" else []) + points
        # What status 1 has to mend here: every point off, or tap_time on the touchpad kind.
        mend = [ALL_OFF] if set(full) == {OFF} else [TAP_TIME_TRAP] if kind == "touchpad" else []
        # Without slots the screen declares no ABS_MT_TRACKING_ID, which tapbridge's taps need.
        mend += [NO_TRACKING] if " slots 0" in screen else []
        path = next((PATHS[p] for p in PATHS if p in command), ("$TOUCH", "$TOUCH", None))
        want += ([path[2]] if path[2] else []) + ([READY] if end == "status 0" else [MEND] + mend)
        want.append(line(flat(full), path[1]))
    stopped = end in ("signal 2", "status 130")
    if stopped:
        # After Ctrl-C or two fingers a touch reaches other readers again.
        touches = [s for s in steps if s.startswith(("tap ", "finger "))]
        steps += ["tap 700 800", "wait touch frames 2"]
    sc = program_checks(Scenario(f"pick: {name}", steps), "p", want, err, end, keys=PICK_KEYS)
    if any(x.startswith("cpu p ") for x in steps):
        sc.expect("CPU while it waits (ID, ticks, ms)", lambda d: d.tagged("cpu"),
                  lambda got: None if got and all(int(t.split()[2]) <= CPU_BOUND_MS for t in got)
                  else f"want at most {CPU_BOUND_MS} ms in {CPU_WINDOW_MS} ms")
    # Every question answered, and the one it stopped at.
    asked = names[:len(points) + (end not in ("status 0", "status 1") and bool(answers))]
    sc.expect("questions", lambda d: [x for x in d.lines("out", "p") if x.startswith(tuple(f"{n} (" for n in NAMES))],
              questions(asked, keyboard))
    if answers:
        # The screen as named, on one line: "$TOUCH" or the path given.
        node = next((PATHS[p][0] for p in PATHS if p in command), "$TOUCH")
        sc.expect("the screen picked", lambda d: [x for x in d.lines("out", "p") if x.startswith("Picking the ")],
                  [f'Picking the points on {node} "{shown}" (x {x0}..{x1}, y {y0}..{y1}).'])
    if actions:
        more, lines, _, taps = clicks("tb", actions, line_points(want[-1]), kind)
        sc.steps += [f"runline tb p {TAPBRIDGE}", f"wait tb text {IMPS2}"] + more
        program_checks(sc, "tb", [IMPS2] + lines, status="signal 15")
        # The last touch left the contact where it lifted.
        last = [tuple(map(int, s.split()[-2:])) for s in steps if s.startswith(("tap ", "finger move 0", "finger down 0"))]
        sc.expect("frames on the touch node", Delivered.frames, tap_frames(taps, KIND[kind]["tool"], last[-1]))
    else:
        # While it holds the screen, no touch reaches another reader, nor mousedev.
        sc.expect("frames on the touch node", Delivered.frames,
                  (FINGER_BEFORE if before[:1] == ["finger down 0 111 222"] else [])
                  + (after_stop(touches) if stopped else []))
        sc.expect("packets on /dev/input/mice", lambda d: d.tagged("mice"), [])
    return sc


# --- tapbridge-setup --fix ----------------------------------------------------

TAP_TIME = "sh cat /sys/module/mousedev/parameters/tap_time"
FIXED = ["mousedev tap_time: 200 ms -> 0. Touches on $TOUCH \"virtual touch screen\" no longer come back as left "
         "clicks.", "This lasts until the next reboot. To keep it, add mousedev.tap_time=0 to the kernel command line, "
         "or put", "  echo 0 > /sys/module/mousedev/parameters/tap_time", "into a boot script."]
FIX = [
    # name, screen, steps before, run as uid, standard output, standard error, status, tap_time after
    ("touchpad kind, as root: tap_time 200 -> 0", "touchpad", [], None, FIXED, [], 0, "0"),
    ("touchpad kind, as a user who may read the screen: the write fails", "touchpad", ["sh chmod 644 $TOUCH"], 1000,
     [], ["tapbridge-setup: cannot write 0 to /sys/module/mousedev/parameters/tap_time: Permission denied. Run as "
          "root."], 1, "200"),
    ("touchpad kind, tap_time already 0", "touchpad", ["sh echo 0 > /sys/module/mousedev/parameters/tap_time"], None,
     ["Nothing to fix: mousedev's tap_time is already 0."], [], 0, "0"),
    ("direct kind: nothing --fix can do", "direct", [], None,
     ["Nothing for --fix to change: mousedev reads BTN_TOUCH on $TOUCH \"virtual touch screen\" as the left button, "
      "whatever tap_time is. The command line tapbridge-setup prints leaves point 1 off (-1 -1), which stops the "
      "echo."], [], 0, "200"),
    ("multitouch only: not fed", "mt", [], None, ["Nothing to fix: mousedev feeds no touch screen into /dev/input/mice."],
     [], 0, "200"),
    ("as a user who may open nothing", "touchpad", [], 1000, [],
     ["tapbridge-setup: none of the 3 input devices could be opened (/dev/input/event0: permission denied: run as "
      "root).", "tapbridge-setup: nothing changed."],
     2, "200"),
]


def fix_scenario(name, kind, before, uid, out, err, status, after):
    who = f"as {uid} " if uid is not None else ""
    sc = Scenario(f"fix: {name}", [f"screen {kind} 0 1071 0 1447"] + before +
                  [f"run f {who}tapbridge-setup --fix", "wait f exit", TAP_TIME])
    sc.expect("tap_time afterwards", lambda d: d.tagged("sh")[-1:], [after])
    return program_checks(sc, "f", out, err, f"status {status}")


# --- tapbridge-setup: what it cannot see or write ---------------------------------


def unseen(mount, args=""):
    """tapbridge-setup with mount done in a mount namespace of its own: the
    rest of the guest, the driver included, keeps seeing the real thing."""
    return f"unshare -m sh -c '{mount} && exec tapbridge-setup{args}'"


# Hidden by a tmpfs that has sysfs' directories but none of its files, as a container may show it.
NO_SYS = "mount -t tmpfs none /sys && mkdir -p /sys/module /sys/dev/char"
NO_PROC = "mount -t tmpfs none /proc"
SYS_RO = "mount -o remount,bind,ro /sys"
# A value the kernel itself would never show there.
TAP_TIME_NAN = "echo abc >/tmp/tap_time && mount --bind /tmp/tap_time /sys/module/mousedev/parameters/tap_time"
TAP_TIME_PATH = "/sys/module/mousedev/parameters/tap_time"
TAP_TIME_FIFO = f"mkfifo /tmp/tap_time_fifo; mount --bind /tmp/tap_time_fifo {TAP_TIME_PATH}"
UTF8_NAME = r"caf\xc3\xa9\xc2\x9b"


def tap_time_file(value):
    return f"echo {value} >/tmp/tap_time && mount --bind /tmp/tap_time {TAP_TIME_PATH}"


SYS_UNKNOWN = ["  mousedev: unknown: ", "mousedev tap_time: unknown: ", "mice now: unknown: ", "Check these first",
               "Then run as root:"]
DOUBT_FIX = "says it is; then run tapbridge-setup --fix where /sys is visible (on the host)"
DOUBT_OFF = "says it is; then keep point 1 off (-1 -1), as the line below has it"
INPUT_HIDDEN = ("tapbridge-setup: no input devices seen, but not for want of them: cannot read /dev/input: "
                "Permission denied. Run as root.")
NOT_MICE = "/dev/input/mice: not mousedev's multiplexer (a character device 13:63): it is "
FULL = "cannot write to standard output: No space left on device"
BLIND = [
    # name, screen kind, steps before, command, status, texts it prints (either stream), texts it must not,
    # tap_time afterwards (None: not looked at)
    # Each screen kind's remedy, should mousedev feed it after all: swapped, each would mend nothing.
    ("touchpad kind, /sys hidden: the report", "touchpad", [], unseen(NO_SYS), 1, SYS_UNKNOWN + [DOUBT_FIX],
     ["Ready", DOUBT_OFF], None),
    ("direct kind, /sys hidden: the report, point 1 still off", "direct", [], unseen(NO_SYS), 1,
     SYS_UNKNOWN + [DOUBT_OFF, " 0 -1 -1 "], ["Ready", DOUBT_FIX], None),
    ("multitouch only, /sys hidden: ready all the same", "mt", [], unseen(NO_SYS), 0,
     ["mousedev takes only devices with ABS_X/ABS_Y", READY], ["Check these first"], None),
    ("touchpad kind, /sys hidden: --fix changes nothing", "touchpad", [], unseen(NO_SYS, " --fix"), 1,
     ["is unknown", "Nothing changed"], [], "200"),
    ("direct kind, /sys hidden: --fix", "direct", [], unseen(NO_SYS, " --fix"), 1,
     ["tap_time cannot help a screen without BTN_TOOL_FINGER"], [], "200"),
    ("mt kind, no mousedev in /sys/module: its tap_time is missing, not unknown", "mt", [],
     unseen("mount -t tmpfs none /sys/module/mousedev"), 0,
     ["mousedev tap_time: missing (/sys/module/mousedev/parameters/tap_time does not exist)", READY], ["unknown"],
     None),
    ("no touch screen: the screen's node is not there for it", "mt", [], unseen("mount --bind /dev/null $TOUCH"), 2,
     ["tapbridge-setup: no touch screen: none of the ", " input devices declares multitouch positions"],
     ["could be opened"], None),
    ("touchpad kind, /sys read-only: --fix says root does not help", "touchpad", [], unseen(SYS_RO, " --fix"), 1,
     ["sysfs is read-only here (a container?)"], [], "200"),
    ("touchpad kind, tap_time not a number: the report", "touchpad", [], unseen(TAP_TIME_NAN), 1,
     ['tap_time holds "abc\\n", not a number', "Check these first"], ["Ready"], None),
    ("touchpad kind, tap_time not a number: --fix changes nothing", "touchpad", [], unseen(TAP_TIME_NAN, " --fix"), 1,
     ['tap_time holds "abc\\n", not a number', "Nothing changed"], [], "200"),
    ("/dev/input unreadable to the user: not \"no input devices\"", "mt", ["sh chmod 711 /dev/input"],
     "as 1000 tapbridge-setup", 2, [INPUT_HIDDEN], ["has no event nodes", "Ready"], None),
    ("touchpad kind, /dev/input unreadable to the user: --fix", "touchpad", ["sh chmod 711 /dev/input"],
     "as 1000 tapbridge-setup --fix", 2, [INPUT_HIDDEN, "nothing changed"], ["has no event nodes"], "200"),
    ("/proc hidden: holders and tapbridge unknown", "mt", [], unseen(NO_PROC), 1,
     ["open by:  unknown: /proc is not on procfs", "tapbridge running: unknown:",
      "whether tapbridge already runs is unknown"], ["Ready"], None),
    ("a FIFO at /dev/input/mice", "mt", ["sh rm /dev/input/mice && mkfifo /dev/input/mice"], "tapbridge-setup", 1,
     [NOT_MICE + "a FIFO"], ["Ready"], None),
    ("a regular file at /dev/input/mice", "mt", ["sh rm /dev/input/mice && touch /dev/input/mice"],
     "tapbridge-setup", 1, [NOT_MICE + "a regular file"], ["Ready"], None),
    ("a directory at /dev/input/mice", "mt", ["sh rm /dev/input/mice && mkdir /dev/input/mice"], "tapbridge-setup",
     1, [NOT_MICE + "a directory"], ["Ready"], None),
    # Another input handler's node: the major alone does not make the multiplexer.
    ("a link to the touch node at /dev/input/mice", "mt", ["sh ln -sf $TOUCH /dev/input/mice"], "tapbridge-setup", 1,
     [NOT_MICE + "a character device 13:", ", reached through a symbolic link"], ["Ready", "the wheel works"], None),
    ("a link to /dev/null at /dev/input/mice", "mt", ["sh ln -sf /dev/null /dev/input/mice"], "tapbridge-setup", 1,
     [NOT_MICE + "a character device 1:3, reached through a symbolic link"], ["Ready"], None),
    ("a symbolic link loop at /dev/input/mice", "mt", ["sh ln -sf /dev/input/mice /dev/input/mice"],
     "tapbridge-setup", 1, ["/dev/input/mice: cannot be opened: Too many levels of symbolic links"], ["Ready"], None),
    ("the report to a full disk", "mt", [], "tapbridge-setup >/dev/full", 74, [FULL], [], None),
    ("--fix to a full disk", "touchpad", [], "tapbridge-setup --fix >/dev/full", 74, [FULL], [], None),
    ("--pick to a full disk", "mt", [], "tapbridge-setup --pick $TOUCH >/dev/full", 74, [FULL], [], None),
    ("the report with standard output closed", "mt", [], "tapbridge-setup >&-", 74, ["standard output is closed"],
     [], None),
    # Nothing under /sys or /proc may make it wait: a FIFO there is refused unopened.
    ("touchpad kind, a FIFO at tap_time: the report", "touchpad", [], unseen(TAP_TIME_FIFO), 1,
     [f"mousedev tap_time: unknown: {TAP_TIME_PATH} is a FIFO, not a file of the kernel's", "Check these first"],
     ["Ready"], None),
    ("touchpad kind, a FIFO at tap_time: --fix", "touchpad", [], unseen(TAP_TIME_FIFO, " --fix"), 1,
     [f"{TAP_TIME_PATH} is a FIFO, not a file of the kernel's", "Nothing changed"], ["->"], "200"),
    ("a FIFO at a process's comm: whether tapbridge runs is unknown", "mt", [],
     unseen("mkfifo /tmp/comm && mount --bind /tmp/comm /proc/1/comm"), 1,
     ["tapbridge running: unknown: /proc/1/comm is a FIFO, not a file of the kernel's",
      "whether tapbridge already runs is unknown"], ["Ready"], None),
    # A file mounted over tap_time holds a number mousedev never reads.
    ("touchpad kind, tap_time a plain file holding 7: the report", "touchpad", [], unseen(tap_time_file(7)), 1,
     [f"mousedev tap_time: unknown: {TAP_TIME_PATH} is not on sysfs", "Check these first"], ["Ready", "7 ms"],
     None),
    ("touchpad kind, tap_time a plain file holding 200: --fix writes nothing", "touchpad", [],
     f"unshare -m sh -c '{tap_time_file(200)} && tapbridge-setup --fix; s=$?; cat /tmp/tap_time; exit $s'", 1,
     ["is not on sysfs", "Nothing changed", "200"], ["->", "0\n0"], "200"),
    # The terminal's character set decides what of a name's high bytes can be shown.
    ("a name with UTF-8 and a C1 control, LANG=C.UTF-8: the letters shown", f"mt name {UTF8_NAME}", [],
     "LANG=C.UTF-8 tapbridge-setup", 0, ['"caf\u00e9\\xc2\\x9b"', READY], [], None),
    ("the same name, LC_ALL=C before LANG: every high byte escaped", f"mt name {UTF8_NAME}", [],
     "LC_ALL=C LANG=C.UTF-8 tapbridge-setup", 0, ['"caf\\xc3\\xa9\\xc2\\x9b"', READY], ["\u00e9"], None),
    ("the same name, LC_CTYPE=C.UTF-8 before LANG=C: the letters shown", f"mt name {UTF8_NAME}", [],
     "LC_CTYPE=C.UTF-8 LANG=C tapbridge-setup", 0, ['"caf\u00e9\\xc2\\x9b"', READY], [], None),
    # Hand-made nodes: a copy with the screen's numbers, and a stale node no driver answers.
    ("a stray node with the screen's numbers: the kernel's own name is used", "mt", [],
     "ln $TOUCH /dev/input/event0x; tapbridge-setup; s=$?; rm /dev/input/event0x; exit $s", 0,
     ['$TOUCH "virtual touch screen"', READY, line(DEFAULT)], ["event0x"], None),
    ("a stale node no driver answers is no device", "mt", [],
     "mknod /dev/input/event95 c 13 95; tapbridge-setup; s=$?; rm /dev/input/event95; exit $s", 0,
     [READY, line(DEFAULT)], ["could not be opened", "event95"], None),
    # The sketch within the terminal's width: none where even its box does not fit.
    ("a 20-column terminal: no sketch", "mt", [], "stty cols 20 && tapbridge-setup", 0, [READY], ["Where the points"],
     None),
    ("a 30-column terminal: the legend below the box, broken at blanks", "mt", [], "stty cols 30 && tapbridge-setup",
     0, ["Where the points fall, x", "  +------------------+", "  5 wheel down = next", READY], [], None),
    # Two screens whose buses cannot tell: either may be a ring, so neither is taken for the screen on trust.
    ("two touch screens on a bus that cannot tell: not Ready", "mt bus virtual",
     ["screen2 mt 0 1071 0 1447 bus virtual name Odd Touch"], "tapbridge-setup", 1,
     ["$TOUCH's bus (0x06) is neither I2C, SPI nor the host, so it may be a ring rather than the device's own "
      "screen, and $TOUCH2 \"Odd Touch\" may be either", "Switch the ring off"], ["Ready"], None),
    ("one touch screen on such a bus, beside a ring on Bluetooth: the screen is the device's own", "mt bus virtual",
     ["remote r finger name Swipe Ring"], "tapbridge-setup", 0, ["Best screen: $TOUCH", READY], ["may be a ring"],
     None),
]


def sketch_width(lines):
    """The widest line of the sketch: from its heading to the line it ends before."""
    start = next((i for i, x in enumerate(lines) if x.startswith("Where the points")), len(lines))
    end = next((i for i, x in enumerate(lines) if i > start and x in (READY, MEND, "Then run as root:")), len(lines))
    return max([len(x) for x in lines[start:end]] + [0])


def blind_scenario(name, kind, before, command, status, says, never, tap_time):
    kind, _, named = kind.partition(" name ")
    kind, *words = kind.split()  # the kind, then the screen's other words (bus, nodirect)
    steps = [" ".join([f"screen {kind} 0 1071 0 1447", *words]) + (f" name {named}" if named else "")] + before
    steps += [f"run s {command}", "wait s exit"]
    sc = Scenario(f"blind spot: {name}", steps + ([TAP_TIME] if tap_time else []))
    if command.startswith("stty cols "):
        # The last column stays free: some terminals wrap a line that fills it.
        cols = int(command.split()[2])
        sc.expect("the sketch's widest line", lambda d: sketch_width(d.lines("out", "s")),
                  lambda w: None if w < cols else f"want under {cols} columns")
    sc.expect("end", lambda d: d.exit("s"), f"status {status}")
    printed = lambda d: "\n".join(d.lines("out", "s") + d.lines("err", "s"))  # noqa: E731
    sc.expect("what it printed", printed,
              lambda text: "; ".join([f"no {x!r}" for x in says if x not in text] +
                                     [f"{x!r} printed" for x in never if x in text]) or None)
    if tap_time:
        sc.expect("tap_time afterwards", lambda d: d.tagged("sh")[-1:], [tap_time])
    return sc


# --- tapbridge-setup and remotes: the report's remotes, --learn ---------------------------

REMOTE_PROGRAM = "/usr/local/bin/tapbridge-remote"
PAGE_TURNER = ("  pages:    next page (left): KEY_PAGEDOWN, KEY_RIGHT, KEY_DOWN, KEY_SPACE, KEY_ENTER; previous page "
               "(right): KEY_PAGEUP, KEY_LEFT, KEY_UP")
SHUTTER = ("  pages:    next page (left): KEY_VOLUMEDOWN, KEY_NEXTSONG; previous page (right): KEY_VOLUMEUP, "
           "KEY_PREVIOUSSONG; menu (middle): KEY_PLAYPAUSE")
GAMEPAD = ("  pages:    next page (left): BTN_TR, ABS_HAT0X+, ABS_HAT0Y+; previous page (right): BTN_TL, ABS_HAT0X-, "
           "ABS_HAT0Y-; menu (middle): BTN_START, BTN_SELECT")
WRITABLE = "/dev/uinput: writable: tapbridge-remote can make its virtual mouse"
NO_UINPUT = ("/dev/uinput: missing: tapbridge-remote cannot make its virtual mouse. Load uinput (modprobe uinput), or "
             "use a kernel with CONFIG_INPUT_UINPUT")
REMOTES = "tapbridge-setup --remotes"
REMOTES_READY = "Ready. Run a remote's run: line above as root, beside tapbridge (either may start first)."


def remote_block(node, name, pages, run, held="none", mouse=False):
    return [f'{node} "{name}"', "  id:       none", pages] + (
        ["  mouse:    a mouse too: while tapbridge-remote holds it, its own buttons and wheel go on through the "
         "virtual mouse"] if mouse else []) + [f"  held:     {held}"] + ([f"  run:      {REMOTE_PROGRAM} {run}"]
                                                                           if run else [])


def without_remotes(command):
    """command where the guest machine's own devices (a PC's keyboard) are
    hidden from it alone: it sees only the scenario's mouse and screen."""
    return ("unshare -m sh -c 'for n in /dev/input/event*; do [ $n = $TOUCH ] || [ $n = $MOUSE ] || mount --bind "
            f"/dev/null $n; done; exec {command}'")


REMOTE_REPORT = [
    # name, remotes (ID KIND [phys P] [name N]), steps before, the blocks of the remotes in the report, the rest
    # of the report that must be there (lines, in order)
    ("three kinds of remote, each with the codes that turn pages and its line",
     ["p keyboard name Page Turner BT-1", "v consumer name Shutter", "g gamepad name Pad"], [],
     remote_block("$P", "Page Turner BT-1", PAGE_TURNER, "'Page Turner BT-1'")
     + remote_block("$V", "Shutter", SHUTTER, "Shutter") + remote_block("$G", "Pad", GAMEPAD, "Pad"),
     [WRITABLE, READY]),
    ("a remote that is also a mouse: fed into /dev/input/mice, and its mouse said",
     ["c combo name Combo"], [],
     remote_block("$C", "Combo", "  pages:    next page (left): KEY_PAGEDOWN, KEY_ENTER, KEY_VOLUMEDOWN; previous page "
                  "(right): KEY_PAGEUP, KEY_VOLUMEUP", "Combo", mouse=True),
     ["mice now: virtual mouse ($MOUSE), Combo ($C)", WRITABLE, READY]),
    # Its line run as printed: the remote's presses tap, and held by tapbridge-remote the mouse is no trap.
    ("the printed line run as printed: a gamepad's hat and shoulder tap their points", ["g gamepad name Pad"], [],
     remote_block("$G", "Pad", GAMEPAD, "Pad"), [READY], [("hat g ABS_HAT0X 1", 1), ("hat g ABS_HAT0X 0", 0),
                                                        ("press g BTN_TL", 2)]),
    ("a remote that is also a mouse, held by tapbridge-remote: its own left button taps once, and no trap",
     ["c combo name Combo"], [],
     remote_block("$C", "Combo", "  pages:    next page (left): KEY_PAGEDOWN, KEY_ENTER, KEY_VOLUMEDOWN; previous page "
                  "(right): KEY_PAGEUP, KEY_VOLUMEUP", "Combo", mouse=True), [READY],
     [("mouse c L1 S L0 S", 1), ("press c KEY_VOLUMEUP", 2)],
     ["mice now: virtual mouse ($MOUSE), Combo ($C, grabbed by tapbridge-remote, which passes its buttons on), "
      "tapbridge-remote virtual mouse ($VM)", "  held:     by tapbridge-remote (open by pid $driver (tapbridge-guest), "
      "pid $rm (tapbridge-remot)): it serves this remote now", READY]),
    # tapbridge-remote --no-grab grabs nothing: the grab on the mouse is another's, and its clicks are lost.
    ("a remote that is also a mouse, shared by tapbridge-remote and grabbed by another: a trap",
     ["c combo name Combo"], [f"run rm {REMOTE_PROGRAM} --no-grab Combo", "wait rm text attached",
                              "run g /guest/tapbridge-guest --grab $C", "wait g text grabbed"],
     remote_block("$C", "Combo", "  pages:    next page (left): KEY_PAGEDOWN, KEY_ENTER, KEY_VOLUMEDOWN; previous page "
                  "(right): KEY_PAGEUP, KEY_VOLUMEUP", "Combo", "by another process (open by pid $driver "
                  "(tapbridge-guest), pid $rm (tapbridge-remot), pid $g (tapbridge-guest)), which takes every key: "
                  "tapbridge-remote cannot take it while that program holds it", mouse=True),
     [MEND, "  - the mouse $C \"Combo\" is grabbed by another process (open by pid $driver (tapbridge-guest), pid "
      "$rm (tapbridge-remot), pid $g (tapbridge-guest)): mousedev gets none of its clicks, so tapbridge never sees "
      "them. Stop that program, or use another mouse."], (), None, 1),
    # Its name would be read as an option: the line ends them first, and run so it is no sharing one.
    ("a remote named --no-grab: its line has -- before the name, and held by it, no trap",
     ["c combo name --no-grab"], [],
     remote_block("$C", "--no-grab", "  pages:    next page (left): KEY_PAGEDOWN, KEY_ENTER, KEY_VOLUMEDOWN; previous "
                  "page (right): KEY_PAGEUP, KEY_VOLUMEUP", "-- --no-grab", mouse=True), [READY],
     [("press c KEY_VOLUMEUP", 2)],
     ["mice now: virtual mouse ($MOUSE), --no-grab ($C, grabbed by tapbridge-remote, which passes its buttons on), "
      "tapbridge-remote virtual mouse ($VM)", READY]),
    ("two remotes of one name on two ports: the line names each by its node",
     ["a keyboard phys usb-1/input0 name Twin", "b keyboard phys usb-2/input0 name Twin"], [],
     remote_block("$A", "Twin", PAGE_TURNER, "$A") + remote_block("$B", "Twin", PAGE_TURNER, "$B"), [READY]),
    ("two remotes of one name on one Bluetooth adapter, no unique id: the adapter is no port, each by its node",
     ["a keyboard phys 00:1a:7d:da:71:13 name Ring", "b keyboard phys 00:1a:7d:da:71:13 name Ring"], [],
     remote_block("$A", "Ring", PAGE_TURNER, "$A") + remote_block("$B", "Ring", PAGE_TURNER, "$B"), [READY]),
    ("one remote's two parts on one port: one name for both",
     ["a keyboard phys usb-1/input0 name Duo", "b consumer phys usb-1/input1 name Duo"], [],
     remote_block("$A", "Duo", PAGE_TURNER, "Duo") + remote_block("$B", "Duo", SHUTTER, "Duo"), [READY]),
    ("a remote grabbed by another process: who holds it; tapbridge's own line still Ready",
     ["p keyboard name Page Turner BT-1"], ["run g /guest/tapbridge-guest --grab $P", "wait g text grabbed"],
     remote_block("$P", "Page Turner BT-1", PAGE_TURNER, "'Page Turner BT-1'",
                  "by another process (open by pid $driver (tapbridge-guest), pid $g (tapbridge-guest)), which takes "
                  "every key: tapbridge-remote "
                  "cannot take it while that program holds it"), [READY]),
    ("no /dev/uinput: said, and tapbridge's own line still Ready", ["p keyboard name PT"],
     ["sh mv /dev/uinput /dev/uinput.away"], remote_block("$P", "PT", PAGE_TURNER, "PT"), [NO_UINPUT, READY]),
    # Keys none of the default map has: a line run as printed would end at once (65); --learn finds them.
    ("a camera button, keys none of the default map has: no line, the --learn that finds them",
     ["c camera name Shutter Button"], [],
     remote_block("$C", "Shutter Button", "  pages:    no key of the default map; /usr/local/bin/tapbridge-setup "
                  "--learn $C asks for its keys", None), [WRITABLE, READY]),
    # A shell would read $1 in a bare word: the name is quoted, and the line run as printed takes this remote.
    ("a remote named Pad$1: its line, run as printed, takes it", ["g gamepad name Pad$1"], [],
     remote_block("$G", "Pad$1", GAMEPAD, "'Pad$1'"), [READY], [("press g BTN_TL", 2), ("press g BTN_TR", 1)]),
    # Step 7 of the device path, after step 6 started tapbridge: the remotes alone, and a running tapbridge no trap.
    ("beside a running tapbridge: ready, and the line run as printed taps", ["p keyboard name PT"],
     [TB_PTS, f"wait tb text {IMPS2}"], remote_block("$P", "PT", PAGE_TURNER, "PT"), [WRITABLE, REMOTES_READY],
     [("press p KEY_PAGEDOWN", 1), ("press p KEY_PAGEUP", 2)], None, 0, REMOTES),
    ("no remote: status 2", [], [], [],
     ["Remotes: none (a page turner, a ring, a camera or media remote, or a gamepad: connect it and run "
      "tapbridge-setup --remotes again)", WRITABLE], (), None, 2, without_remotes(REMOTES)),
    ("a remote grabbed by another process: held, status 1, and what to mend", ["p keyboard name PT"],
     ["run g /guest/tapbridge-guest --grab $P", "wait g text grabbed"],
     remote_block("$P", "PT", PAGE_TURNER, "PT", "by another process (open by pid $driver (tapbridge-guest), pid $g "
                  "(tapbridge-guest)), which takes every key: tapbridge-remote cannot take it while that program "
                  "holds it"),
     [MEND, "  - another process holds a grab on $P \"PT\" (open by pid $driver (tapbridge-guest), pid $g "
      "(tapbridge-guest)): tapbridge-remote cannot take it. Stop that program first."], (), None, 1, REMOTES),
    ("no /dev/uinput: status 1, and what to mend", ["p keyboard name PT"],
     ["sh mv /dev/uinput /dev/uinput.away"], remote_block("$P", "PT", PAGE_TURNER, "PT"),
     [NO_UINPUT, MEND, f"  - {NO_UINPUT}.", "Then run a remote's run: line above as root, beside tapbridge."], (), None,
     1, REMOTES),
    # A ring: its gestures; mousedev feeds it unserved, so point 1 is off and next page is wheel down on its line.
    ("a finger ring: its gestures and its line, next page on wheel down; run as printed, each swipe taps once",
     ["r finger name Swipe Ring"], [],
     ['$R "Swipe Ring"', "  id:       none", "  pages:    next page (wheel down): SWIPE_LEFT, SWIPE_UP; previous page "
      "(right): SWIPE_RIGHT, SWIPE_DOWN", "  ring:     a ring that touches like a finger or a pen: each touch, from "
      "contact to lift, is a swipe or a tap. Its taps click nothing until /usr/local/bin/tapbridge-setup --learn $R "
      "learns them", "  mouse:    mousedev feeds it: until tapbridge-remote serves it, each of its touches is a left "
      "click, which tapbridge's point 1, off, leaves untapped", "  held:     none",
      f"  run:      {REMOTE_PROGRAM} --next-page wheel-down 'Swipe Ring'"],
     [WRITABLE, READY], [("stroke r 700,500 620,500", 5), ("stroke r 620,500 700,500", 2), ("stroke r 900,900", 0)]),
    ("a touchpad ring and a drag ring: what each makes", ["a pad name Pad Ring", "b drag name Drag Ring"], [],
     ['$A "Pad Ring"', "  id:       none", "  pages:    next page (left): SWIPE_LEFT, SWIPE_UP; previous page (right): "
      "SWIPE_RIGHT, SWIPE_DOWN", "  ring:     a ring that moves like a touchpad: each burst of motion, ended by "
      "150 ms without any, is a swipe", "  held:     none", f"  run:      {REMOTE_PROGRAM} 'Pad Ring'",
      '$B "Drag Ring"', "  id:       none", "  pages:    next page (left): SWIPE_LEFT, SWIPE_UP; previous page (right): "
      "SWIPE_RIGHT, SWIPE_DOWN", "  ring:     a mouse, or a ring that moves like one: a burst of its motion, or its "
      "left button held while it moves, is a swipe (a mouse needs no tapbridge-remote: tapbridge reads it as it is). "
      "Its clicks alone click nothing until /usr/local/bin/tapbridge-setup --learn $B learns them", "  held:     none",
      f"  run:      {REMOTE_PROGRAM} 'Drag Ring'"], [WRITABLE, READY], [("stroke b 0,0 0,-12 0,-12 0,-12", 1)]),
]


def in_order(wanted):
    """A judge: every line of wanted in the output, in that order."""
    def judge(lines):
        at = 0
        for w in wanted:
            if w not in lines[at:]:
                return f"no {w!r} after line {at}"
            at = lines.index(w, at) + 1
        return None
    return judge


def remotes_part(lines):
    """The report's remotes, heading and /dev/uinput left out: the blocks of
    the scenario's own devices ($ID), not those of the guest machine (a PC's
    keyboard)."""
    start = next(i for i, x in enumerate(lines) if x.startswith("Remotes"))
    part, ours = [], False
    for x in lines[start + 1:next(i for i, x in enumerate(lines) if x.startswith("/dev/uinput: "))]:
        ours = x.startswith("$") if not x.startswith("  ") else ours
        part += [x] if ours else []
    return part


def press_beside_tapbridge(sc, steps, presses):
    """tapbridge at PTS (started here unless it runs already), then presses,
    (step, button or 0) each: each button's press one tap at its point, the
    others none."""
    if TB_PTS not in steps:
        steps += [TB_PTS, f"wait tb text {IMPS2}"]
    taps = []
    for step, button in presses:
        taps += [(PTS[2 * button - 2], PTS[2 * button - 1])] if button else []
        steps += [step, f"wait touch frames {4 * len(taps)}"]
    sc.expect("frames on the touch node", Delivered.frames, tap_frames(taps))


def remote_report_scenario(name, remotes, before, blocks, rest, presses=(), again=None, status=0,
                           command="tapbridge-setup"):
    steps = ["screen mt 0 1071 0 1447"] + [f"remote {r}" for r in remotes] + before + [f"run s {command}",
                                                                                          "wait s exit"]
    sc = Scenario(f"remotes: {'--remotes' if '--remotes' in command else 'the report'}: {name}", steps)
    sc.expect("end of the report", lambda d: d.exit("s"), f"status {status}")
    sc.expect("standard error of the report", lambda d: d.lines("err", "s"), [])
    sc.expect("the remotes", lambda d: remotes_part(d.lines("out", "s")), blocks)
    sc.expect("the rest", lambda d: d.lines("out", "s"), in_order(rest))
    if presses:
        # The last remote's line, as printed: the report again sees it held; beside tapbridge, each press is
        # one tap at its button's point.
        steps += ["runline rm s run:", "wait rm text attached"]
    if again:
        steps += ["run s2 tapbridge-setup", "wait s2 exit"]
        sc.expect("end of the report again", lambda d: d.exit("s2"), "status 0")
        vm = re.compile(r"tapbridge-remote virtual mouse \(/dev/input/event\d+\)")
        sc.expect("the report again", lambda d: [vm.sub("tapbridge-remote virtual mouse ($VM)", x)
                                                 for x in d.lines("out", "s2")], in_order(again))
    if presses:
        press_beside_tapbridge(sc, steps, presses)
    return sc


LEARNING = "tapbridge-setup --learn"
SKIP = ["keys l \\n"]
ASKED_FIRST = "press the remote's button for it; Enter, or 10 s without a press, skips it"
ASKED_LATER = "press its button; Enter or 10 s: skip"
QUESTIONS = ["next page (left): ", "previous page (right): ", "menu (middle): "]
# Where a ring that mousedev feeds keeps point 1 off, next page is wheel down.
WHEEL_QUESTIONS = ["next page (wheel down): "] + QUESTIONS[1:]
LEARN = [
    # name, remotes, steps before, command, answers (steps, each taken once its question shows), what it answered,
    # end, standard error, the line printed (None: none), events the remotes' second readers saw
    ("a page turner by its node: two keys, Enter skips the menu", ["p keyboard name Page Turner BT-1"], [],
     f"{LEARNING} $P", [["key p KEY_PAGEDOWN 1", "key p KEY_PAGEDOWN 2", "key p KEY_PAGEDOWN 0"],
                        ["press p KEY_PAGEUP"], SKIP],
     ["next page (left): KEY_PAGEDOWN", "previous page (right): KEY_PAGEUP", "menu (middle): skipped"], "status 0",
     [], "--map KEY_PAGEDOWN=left --map KEY_PAGEUP=right 'Page Turner BT-1'", {"p": 0},
     # The line as printed: the keys learnt tap, one no longer mapped (Enter) does not.
     [("press p KEY_PAGEUP", 2), ("press p KEY_ENTER", 0), ("press p KEY_PAGEDOWN", 1)]),
    ("without a node: the first remote to answer is the remote, the others let go at once",
     ["p keyboard name Page Turner BT-1", "v consumer name Shutter"], [], LEARNING,
     [["press v KEY_VOLUMEDOWN"], ["press p KEY_PAGEUP", "wait p seen 2", "press v KEY_VOLUMEUP"], SKIP],
     ["the remote: $V \"Shutter\"", "next page (left): KEY_VOLUMEDOWN", "previous page (right): KEY_VOLUMEUP",
      "menu (middle): skipped"], "status 0", [], "--map KEY_VOLUMEDOWN=left --map KEY_VOLUMEUP=right Shutter",
     {"p": 2, "v": 0}),
    ("a gamepad's hat and buttons; a code already taken is said, not taken twice", ["g gamepad name Pad"], [],
     f"{LEARNING} $G", [["hat g ABS_HAT0X 1", "hat g ABS_HAT0X 0"],
                        ["hat g ABS_HAT0X 1", "wait l text already", "press g BTN_TL"], ["hat g ABS_HAT0Y -1"]],
     ["next page (left): ABS_HAT0X+", "ABS_HAT0X+ already gives next page (left): press another button, or skip",
      "previous page (right): BTN_TL", "menu (middle): ABS_HAT0Y-"], "status 0", [],
     "--map ABS_HAT0X+=left --map BTN_TL=right --map ABS_HAT0Y-=middle Pad", {"g": 0}),
    ("standard input closed: 10 s without a press skips", ["p keyboard name PT"], [], f"{LEARNING} $P <&-",
     [["press p KEY_SPACE"], ["press p KEY_B"], []],
     ["next page (left): KEY_SPACE", "previous page (right): KEY_B", "menu (middle): skipped"], "status 0", [],
     "--map KEY_SPACE=left --map KEY_B=right PT", {}),
    ("standard input /dev/zero: waiting costs no CPU, and presses still answer", ["p keyboard name PT"], [],
     f"{LEARNING} $P </dev/zero", [["wait l idle", f"cpu l {CPU_WINDOW_MS}", "press p KEY_PAGEDOWN"],
                                   ["press p KEY_PAGEUP"], ["press p KEY_ESC"]],
     ["next page (left): KEY_PAGEDOWN", "previous page (right): KEY_PAGEUP", "menu (middle): KEY_ESC"], "status 0",
     [], "--map KEY_PAGEDOWN=left --map KEY_PAGEUP=right --map KEY_ESC=middle PT", {}),
    ("every question skipped: no line, status 2", ["p keyboard name PT"], [], f"{LEARNING} $P", [SKIP, SKIP, SKIP],
     ["next page (left): skipped", "previous page (right): skipped", "menu (middle): skipped"], "status 2",
     ["tapbridge-setup: no button was pressed; no command line printed."], None, {}),
    ("no /dev/uinput: the line, and what to mend first", ["p keyboard name PT"],
     ["sh mv /dev/uinput /dev/uinput.away"], f"{LEARNING} $P", [["press p KEY_PAGEDOWN"], SKIP, SKIP],
     ["next page (left): KEY_PAGEDOWN", "previous page (right): skipped", "menu (middle): skipped"], "status 1", [],
     "--map KEY_PAGEDOWN=left PT", {}),
    ("/dev/uinput another device: the line, and what to mend first", ["p keyboard name PT"],
     ["sh mv /dev/uinput /dev/uinput.away && mknod /dev/uinput c 1 3"], f"{LEARNING} $P",
     [["press p KEY_PAGEDOWN"], SKIP, SKIP],
     ["next page (left): KEY_PAGEDOWN", "previous page (right): skipped", "menu (middle): skipped"], "status 1", [],
     "--map KEY_PAGEDOWN=left PT", {}),
    ("one remote's two parts, learnt by one part's node: the other part's keys answer too",
     ["a keyboard phys usb-1/input0 name Duo", "b consumer phys usb-1/input1 name Duo"], [], f"{LEARNING} $A",
     [["press a KEY_PAGEDOWN"], ["press b KEY_VOLUMEUP"], SKIP],
     ["next page (left): KEY_PAGEDOWN", "previous page (right): KEY_VOLUMEUP", "menu (middle): skipped"], "status 0",
     [], "--map KEY_PAGEDOWN=left --map KEY_VOLUMEUP=right Duo", {}),
    # Without a node the first part to answer settles the remote: the other part stays held, and answers.
    ("without a node, one remote's two parts: the part that did not answer first answers the next",
     ["a keyboard phys usb-1/input0 name Duo", "b consumer phys usb-1/input1 name Duo"], [], LEARNING,
     [["press a KEY_PAGEDOWN"], ["press b KEY_VOLUMEUP"], SKIP],
     ["the remote: $A \"Duo\"", "next page (left): KEY_PAGEDOWN", "previous page (right): KEY_VOLUMEUP",
      "menu (middle): skipped"], "status 0", [], "--map KEY_PAGEDOWN=left --map KEY_VOLUMEUP=right Duo",
     {"a": 0, "b": 0}),
    # An input that has ended is polled no more: it would be readable, at once, for ever.
    ("standard input /dev/null: it has ended, waiting costs no CPU, and presses answer", ["p keyboard name PT"], [],
     f"{LEARNING} $P </dev/null", [["wait l idle", f"cpu l {CPU_WINDOW_MS}", "press p KEY_PAGEDOWN"],
                                   ["press p KEY_PAGEUP"], ["press p KEY_ESC"]],
     ["next page (left): KEY_PAGEDOWN", "previous page (right): KEY_PAGEUP", "menu (middle): KEY_ESC"], "status 0",
     [], "--map KEY_PAGEDOWN=left --map KEY_PAGEUP=right --map KEY_ESC=middle PT", {}),
    # Step 7 of the device path: tapbridge started at step 6 runs all along, and the learnt line taps beside it.
    ("beside a running tapbridge: learnt, and the line as printed taps", ["p keyboard name PT"],
     [TB_PTS, f"wait tb text {IMPS2}"], f"{LEARNING} $P", [["press p KEY_SPACE"], ["press p KEY_B"], SKIP],
     ["next page (left): KEY_SPACE", "previous page (right): KEY_B", "menu (middle): skipped"], "status 0", [],
     "--map KEY_SPACE=left --map KEY_B=right PT", {"p": 0}, [("press p KEY_B", 2), ("press p KEY_SPACE", 1),
                                                          ("press p KEY_PAGEDOWN", 0)]),
    ("the remote unplugged while a question waits", ["p keyboard name PT"], [], f"{LEARNING} $P",
     [["press p KEY_PAGEDOWN"], ["wait l idle", "unplug p"]], ["next page (left): KEY_PAGEDOWN"], "status 2",
     ["tapbridge-setup: $P \"PT\" went away (unplugged, asleep or out of range); no command line printed."], None, {}),
    ("a remote grabbed by another process", ["p keyboard name PT"],
     ["run g /guest/tapbridge-guest --grab $P", "wait g text grabbed"], f"{LEARNING} $P", [], [], "status 2",
     ["tapbridge-setup: $P \"PT\" is grabbed by another process, which takes every key (open by pid $driver "
      "(tapbridge-guest), pid $g (tapbridge-guest)). Stop that program and try again."], None, {}),
    ("the touch screen is never a remote", [], [], f"{LEARNING} $TOUCH", [], [], "status 2",
     ["tapbridge-setup: $TOUCH is a touch screen, never a remote; give a remote's event node."], None, {}),
    # A ring answers with a gesture: a tap at a place, a swipe, a burst of motion, a drag's click.
    ("a tap-zone ring by its node: a tap at each place; fed by mousedev, next page is wheel down",
     ["r pen name Tap Ring"], [], f"{LEARNING} $R", [["stroke r 2000,500"], ["stroke r 2003,1012"], SKIP],
     ["next page (wheel down): TAP@2000,500", "previous page (right): TAP@2003,1012", "menu (middle): skipped"],
     "status 0", [], "--map TAP@2000,500=wheel-down --map TAP@2003,1012=right 'Tap Ring'", {"r": 0},
     [("stroke r 2000,500", 5), ("stroke r 2000,1012", 2), ("stroke r 2000,500 2000,1500", 0)], WHEEL_QUESTIONS),
    ("without a node, a finger ring's swipes; its touch and tool keys answer nothing",
     ["r finger name Swipe Ring"], [], LEARNING, [["stroke r 700,500 620,500"], ["stroke r 620,500 700,500"], SKIP],
     ["the remote: $R \"Swipe Ring\"", "next page (wheel down): SWIPE_LEFT", "previous page (right): SWIPE_RIGHT",
      "menu (middle): skipped"], "status 0", [], "--map SWIPE_LEFT=wheel-down --map SWIPE_RIGHT=right 'Swipe Ring'",
     {"r": 0}, (), WHEEL_QUESTIONS),
    # A key answers while the ring's finger is down: that touch, begun before the next question, answers nothing;
    # a tap that wobbles 3 units is still a tap.
    ("a ring with keys: a touch under way as a question is asked answers nothing; a tap that wobbles is a tap",
     ["r fingerkeys name Keys Ring"], [], f"{LEARNING} $R",
     [["contact r down 700 500", "press r KEY_VOLUMEDOWN"], ["contact r up", "stroke r 2000,500 2003,502"], SKIP],
     ["next page (wheel down): KEY_VOLUMEDOWN", "previous page (right): TAP@2003,502", "menu (middle): skipped"],
     "status 0", [], "--map KEY_VOLUMEDOWN=wheel-down --map TAP@2003,502=right 'Keys Ring'", {"r": 0}, (),
     WHEEL_QUESTIONS),
    ("a touchpad ring: a burst of motion answers once it is quiet", ["r pad name Pad Ring"], [], f"{LEARNING} $R",
     [["rel r 12 0 4"], ["rel r -12 0 4"], ["rel r 0 -12 4"]],
     ["next page (left): SWIPE_RIGHT", "previous page (right): SWIPE_LEFT", "menu (middle): SWIPE_UP"], "status 0", [],
     "--map SWIPE_RIGHT=left --map SWIPE_LEFT=right --map SWIPE_UP=middle 'Pad Ring'", {"r": 0},
     [("rel r 12 0 4", 1), ("rel r 0 -12 4", 3)]),
    ("a drag ring: a click alone is a tap, a drag a swipe", ["r drag name Drag Ring"], [], f"{LEARNING} $R",
     [["stroke r 0,0"], ["stroke r 0,0 0,12 0,12 0,12"], SKIP],
     ["next page (left): TAP", "previous page (right): SWIPE_DOWN", "menu (middle): skipped"], "status 0", [],
     "--map TAP=left --map SWIPE_DOWN=right 'Drag Ring'", {"r": 0}, [("stroke r 0,0", 1), ("stroke r 0,0 0,12 0,12", 2)]),
]


def learn_scenario(name, remotes, before, command, answers, answered, end, err, line, seen, presses=(),
                   questions=QUESTIONS):
    """questions: as asked; next page is on wheel down where point 1 must be off."""
    steps = ["screen mt 0 1071 0 1447"] + [f"remote {r}" for r in remotes] + before + [f"run l {command}"]
    for question, answer in zip(questions, answers):
        steps += [f"wait l text {question}press"] + answer
    steps.append("wait l exit")
    sc = program_checks(Scenario(f"remotes: --learn: {name}", steps), "l", err=err, status=end)
    if any(x.startswith("cpu l ") for x in steps):
        sc.expect("CPU while it waits (ID, ticks, ms)", lambda d: d.tagged("cpu"),
                  lambda got: None if got and all(int(t.split()[2]) <= CPU_BOUND_MS for t in got)
                  else f"want at most {CPU_BOUND_MS} ms in {CPU_WINDOW_MS} ms")
    sc.expect("the questions", lambda d: [x for x in d.lines("out", "l") if x.startswith(tuple(questions))],
              [q + (ASKED_FIRST if i == 0 else ASKED_LATER) for i, q in enumerate(questions[:len(answers)])])
    sc.expect("the answers", lambda d: [x.strip() for x in d.lines("out", "l") if x.startswith("  ")
                                        and not x.startswith(f"  {REMOTE_PROGRAM}") and not x.startswith("  - ")],
              answered)
    last = lambda d: (d.lines("out", "l") or [""])[-1]  # noqa: E731
    no_line = lambda v: "a line printed" if v.startswith(f"  {REMOTE_PROGRAM}") else None  # noqa: E731
    sc.expect("the line", last, f"  {REMOTE_PROGRAM} {line}" if line else no_line)
    if presses:
        steps += [f"runline rm l {REMOTE_PROGRAM}", "wait rm text attached"]
        press_beside_tapbridge(sc, steps, presses)
    for rid, count in seen.items():
        # Held, the remote's keys reach no other reader; let go, they do again.
        sc.expect(f"what {rid}'s second reader saw", lambda d, rid=rid: len([t for t in d.tagged("seen") if t.split()[0] == rid]), count)
    return sc


# --- printed lines under each shell a device may have: dash, busybox sh, bash ---------

SHELL_LINES = [
    # name, the remote's name (escapes as in the driver's steps), its run: line after the program, the shells that
    # run it as printed (in turn, each attaching the remote, and a press tapping once)
    ("a remote named with a line break and a $: the run: line in dash, busybox sh and bash", "Turner\\nPage $1",
     "'Turner'\"$(printf '\\012P')\"'age $1'", ["dash", "sh", "bash"]),
    # A name that ends in a line break fits on no line: the node names the remote.
    ("a remote whose name ends in a line break: the run: line names its node", "Turner\\n", "$P", ["dash"]),
]


def shell_line_scenario(name, remote, run, shells):
    steps = ["screen mt 0 1071 0 1447", f"remote p keyboard name {remote}", TB_PTS, f"wait tb text {IMPS2}",
             "run s tapbridge-setup", "wait s exit"]
    sc = Scenario(f"shells: {name}", steps)
    # The guest's own keyboard is a remote too: its line comes first.
    sc.expect("the remote's run: line", lambda d: d.lines("out", "s"),
              in_order([f'$P "{remote}"', f"  run:      {REMOTE_PROGRAM} {run}"]))
    for i, shell in enumerate(shells):
        steps += [f"runline rm{i} in {shell} s run:", f"wait rm{i} text attached", "press p KEY_PAGEDOWN",
                  f"wait tb lines {2 + i}", f"wait touch frames {4 * (i + 1)}", f"stop rm{i}"]
        vm_node = lambda d, i=i: next((m.group(1) for x in d.lines("out", f"rm{i}")  # noqa: E731
                                       for m in [re.match(r"virtual mouse (/dev/input/event\d+) made", x)] if m), "")
        # Stopped, it names the signal that came first: a shell that did not exec it hangs up its terminal as
        # it ends, and SIGHUP may come before the SIGTERM sent to both.
        sc.expect(f"what rm{i} printed, run by {shell}", lambda d, i=i, vm_node=vm_node: [
            x.replace(vm_node(d), "$VM") if vm_node(d) else x for x in d.lines("out", f"rm{i}")][:2],
            [VM_LINE, attached("$P", remote, KB)])
        sc.expect(f"standard error of rm{i}", lambda d, i=i: d.lines("err", f"rm{i}"), [])
    sc.expect("frames on the touch node", Delivered.frames, tap_frames([(PTS[0], PTS[1])] * len(shells)))
    return sc


# --- tapbridge's own corners on the kernel ---------------------------------------

NOTICE = ["Failed to open /dev/input/mice for writing"]
CORNERS = [
    # name, steps before, uid, actions, standard output, standard error, end
    ("no /dev/input/mice: run as root, status 255", ["sh mv /dev/input/mice /dev/input/mice.away"], None, "",
     NOTICE + ["try reading only"], ["ERROR read mouse device, please run as root: No such file or directory"],
     "status 255"),
    ("a user who may not write the touch node: status 255", ["sh chmod 666 /dev/input/mice"], 1000, "",
     [IMPS2], ["ERROR Opening /dev/input/event: Permission denied"], "status 255"),
    ("/dev/input/mice read-only: 3-byte packets, no wheel", ["sh chmod 644 /dev/input/mice; chmod 666 $TOUCH"], 1000,
     "U L D R", NOTICE + ["try reading only" + button_line(1, PTS), button_line(2, PTS)], [], "signal 15"),
]


def corner_scenario(name, before, uid, actions, out, err, end):
    who = f"as {uid} " if uid is not None else ""
    steps = ["screen mt 0 1071 0 1447"] + before + [f"run tb {who}tapbridge $TOUCH 0 {' '.join(map(str, PTS))}"]
    if actions:
        # In the PS/2 form the wheel byte is not there: U and D are plain
        # packets without a button.
        steps += ["wait tb text Failed to open", "wait tb idle", "mouse W1 S", "mouse L1 S L0 S", "wait tb lines 2",
                  "mouse W-1 S", "mouse R1 S R0 S", "wait tb lines 3", "wait touch frames 8"]
    else:
        steps.append("wait tb exit")
    sc = program_checks(Scenario(f"tapbridge: {name}", steps), "tb", out, err, end)
    if actions:
        sc.expect("frames on the touch node", Delivered.frames, tap_frames([(110, 120), (230, 240)]))
    return sc


# --- the boot example: doc/examples/tapbridge.init with the line of the test -----

INIT_SOURCE = os.path.join(HERE, "..", "doc", "examples", "tapbridge.init")
INIT_IN_GUEST = "/guest/examples/tapbridge.init"
INIT = "/tmp/tapbridge.init"
LOG = "/var/log/tapbridge.log"
NOT_RUNNING, STOPPED_TB = "tapbridge is not running", "tapbridge stopped"


REMOTE_LOG = "/var/log/tapbridge-remote.log"
# The second remote line's tapbridge-remote: its name, and its log.
REMOTE2, REMOTE_LOG2 = "tapbridge-remote2", "/var/log/tapbridge-remote2.log"


def started(who):
    return f"tapbridge started (pid ${who}; errors go to {LOG})"


def remote_started(name="tapbridge-remote", log=REMOTE_LOG):
    """What start says of a tapbridge-remote that holds its remote."""
    return f"{name} started (pid $N; its lines go to {log})"


def ended(said, name="tapbridge", variable="LINE", log=LOG):
    """What start says when the program ended at once: its last words."""
    return f"{name} ended at once: {said}. Mend {variable} in {INIT} (the log: {log})"


def call(action, out, status, err=(), shell="sh"):
    """The script run with action by shell (sh: busybox): what it prints, and its status."""
    return ("call", action, out, list(err), status, shell)


def holds(who):
    """Until a tapbridge holds /dev/input/mice; its pid reads as $who."""
    return ("holds", who)


CLICK, CLICK_NO_TAP = ("click", True), ("click", False)
# After stop: no tapbridge-remote left.
NO_REMOTE_LEFT = ("sh says", "pidof tapbridge-remote || echo none", "none")
RUNS = f"{TAPBRIDGE} $TOUCH 0 " + " ".join(map(str, DEFAULT))
NO_NODE = "ERROR Opening /dev/input/event: No such file or directory"
# What tapbridge-remote says of a remote named as no device is: all it does, and so what start and status show.
WAITING = 'waiting for "BT Page Turnr": not there yet; it is taken as soon as it appears'
# A path with a quote, double quotes, a $ and a control character, and the word a printed line has for it.
ODD_PATH = "\"$(printf '/tmp/it\\047s \\042$x\\042\\001')\""
ODD_WORD = "'/tmp/it'\\''s \"$x\"'\"$(printf '\\001')\""
# A copy of tapbridge made for another machine: its ELF header names SPARC.
FOREIGN = "/tmp/foreign/tapbridge"
MAKE_FOREIGN = (f"mkdir -p /tmp/foreign && cp {TAPBRIDGE} {FOREIGN} && printf '\\002' | "
                f"dd of={FOREIGN} bs=1 seek=18 conv=notrunc 2>/dev/null")
BOOT = [
    # name, screen kind, LINE, FIX_TAP_TIME, what happens in turn: calls of the script, waits, clicks (tapping or
    # not), tap_time read, sh steps, the running tapbridge's DISPLAY; REMOTE_LINE (default empty)
    ("start, status, a click, start again, stop, a click after stop", "mt", RUNS, "no",
     [call("status", [NOT_RUNNING], 3), call("start", [started("tb")], 0), holds("tb"),
      call("status", ["tapbridge is running (pid $tb)"], 0), CLICK,
      call("start", ["tapbridge is already running (pid $tb)"], 0), call("stop", [STOPPED_TB], 0), CLICK_NO_TAP,
      call("status", [NOT_RUNNING], 3)]),
    ("restart while stopped, then while running: one tapbridge taps", "mt", RUNS, "no",
     [call("restart", [NOT_RUNNING, started("tb1")], 0), holds("tb1"),
      call("restart", [STOPPED_TB, started("tb2")], 0), holds("tb2"), CLICK, call("stop", [STOPPED_TB], 0)]),
    # Lines that cannot run: start says why, from the log, and fails.
    ("a node that does not exist: the error in the log, not running", "mt",
     RUNS.replace("$TOUCH", "/dev/input/event99"), "no",
     [call("start", [], 1, [ended(NO_NODE)]), ("log", NO_NODE), call("status", [NOT_RUNNING], 3)]),
    ("no /dev/input/mice: start fails with tapbridge's words", "mt", RUNS, "no",
     [("sh", "mv /dev/input/mice /dev/input/mice.away"),
      call("start", [], 1, [ended("ERROR read mouse device, please run as root: No such file or directory")]),
      call("status", [NOT_RUNNING], 3)]),
    ("a binary for another machine: start fails", "mt", RUNS.replace(TAPBRIDGE, FOREIGN), "no",
     [("sh", MAKE_FOREIGN), call("start", [], 1, [ended(f"{FOREIGN} is a program for another machine (Exec format error): use the one made for this device")]),
      call("status", [NOT_RUNNING], 3)]),
    # Run as printed, DISPLAY= in front: it is tapbridge that fails, for want of an X server.
    ("a MODE 1 line with DISPLAY=: tapbridge itself runs, and says there is no display", "mt",
     f"DISPLAY=:0 {TAPBRIDGE} $TOUCH 1 " + " ".join(map(str, DEFAULT)), "no",
     [call("start", [], 1, [ended("ERROR Opening XDisplay: Resource temporarily unavailable")]), call("status", [NOT_RUNNING], 3)]),
    # In touch mode it runs on, with DISPLAY in its environment and its own pid in the pid file.
    ("a line with DISPLAY= in front: the program's environment has it", "mt", f"DISPLAY=:0 {RUNS}", "no",
     [call("start", [started("tb")], 0), holds("tb"), ("environ", "DISPLAY=:0"), CLICK,
      call("stop", [STOPPED_TB], 0)]),
    ("a REMOTE_LINE that cannot run: tapbridge runs all the same, status and stop name both", "mt", RUNS, "no",
     [call("start", [started("tb")], 1, [ended("tapbridge-remote: /dev/input/event99 does not exist: give the remote's "
                                               "event node, name or unique id, as tapbridge-setup prints them",
                                               "tapbridge-remote", "REMOTE_LINE", REMOTE_LOG)]),
      holds("tb"), call("status", ["tapbridge is running (pid $tb)", "tapbridge-remote is not running"], 3),
      call("stop", [STOPPED_TB, "tapbridge-remote is not running"], 0)],
     "/usr/local/bin/tapbridge-remote /dev/input/event99"),
    ("REMOTE_LINE: tapbridge-remote started first, a hang-up ends neither, a remote's press taps, stop ends both",
     "mt", RUNS, "no",
     [("step", "remote p keyboard name Page Turner"),
      call("start", [f"tapbridge-remote started (pid $N; its lines go to {REMOTE_LOG})", started("tb")], 0), holds("tb"),
      # A logout's hang-up ends neither.
      ("sh", "kill -HUP $(cat /var/run/tapbridge.pid /var/run/tapbridge-remote.pid)"), ("press", "p KEY_PAGEDOWN"),
      call("status", ["tapbridge is running (pid $tb)", "tapbridge-remote is running (pid $N)"], 0),
      call("stop", [STOPPED_TB, "tapbridge-remote stopped"], 0), ("press", "p KEY_PAGEDOWN", False)],
     "/usr/local/bin/tapbridge-remote 'Page Turner'"),
    # A misspelt name is no error: the remote may be off. What it waits for is said, and in the log.
    ("REMOTE_LINE naming no remote there: start and status say what it waits for, presses do nothing", "mt", RUNS,
     "no",
     [("step", "remote p keyboard name BT Page Turner"),
      call("start", [f"tapbridge-remote started (pid $N; its lines go to {REMOTE_LOG}): {WAITING}", started("tb")], 0),
      holds("tb"), ("remote log", WAITING), ("press", "p KEY_PAGEDOWN", False),
      call("status", ["tapbridge is running (pid $tb)", f"tapbridge-remote is running (pid $N): {WAITING}"], 0),
      call("stop", [STOPPED_TB, "tapbridge-remote stopped"], 0)],
     "/usr/local/bin/tapbridge-remote 'BT Page Turnr'"),
    # The line as printed, pasted as it is: the init script reads it by busybox sh and by dash alike.
    ("a path with a quote, double quotes, a $ and a control character, by dash and by busybox sh", "mt",
     f"{TAPBRIDGE} {ODD_WORD} 0 " + " ".join(map(str, DEFAULT)), "no",
     [("sh", f"ln -sf $TOUCH {ODD_PATH}"), call("start", [started("tb")], 0, shell="dash"), holds("tb"), CLICK,
      call("status", ["tapbridge is running (pid $tb)"], 0, shell="dash"), call("stop", [STOPPED_TB], 0, shell="dash"),
      call("start", [started("tb2")], 0), holds("tb2"), CLICK, call("stop", [STOPPED_TB], 0)]),
    ("LINE as shipped, empty: no start", "mt", "", "no",
     [call("start", [], 1, [f"LINE is empty: put the line that tapbridge-setup printed in {INIT}"]),
      call("status", [NOT_RUNNING], 3)]),
    ("FIX_TAP_TIME=yes, touchpad kind: tap_time 0 before the start, a click taps once", "touchpad", RUNS, "yes",
     [("tap_time", "200"), call("start", [started("tb")], 0), holds("tb"), ("tap_time", "0"), CLICK,
      call("stop", [STOPPED_TB], 0)]),
    # A ring and a page turner: a tapbridge-remote each, the first under the names one alone has.
    ("two REMOTE_LINEs, a ring and a page turner, a blank line between: both started first, a swipe and a press "
     "tap once each, status names both (dash), stop ends both", "mt", RUNS, "no",
     [("step", "remote r finger name Swipe Ring"), ("step", "remote p keyboard name Page Turner"),
      call("start", [remote_started(), remote_started(REMOTE2, REMOTE_LOG2), started("tb")], 0), holds("tb"),
      ("remote log", '"Swipe Ring", grabbed'), ("file", REMOTE_LOG2, '"Page Turner", grabbed'),
      ("stroke", "r 700,500 620,500"), ("press", "p KEY_PAGEDOWN"),
      call("status", ["tapbridge is running (pid $tb)", "tapbridge-remote is running (pid $N)",
                      f"{REMOTE2} is running (pid $N)"], 0, shell="dash"),
      call("stop", [STOPPED_TB, "tapbridge-remote stopped", f"{REMOTE2} stopped"], 0), NO_REMOTE_LEFT,
      ("press", "p KEY_PAGEDOWN", False),
      call("status", [NOT_RUNNING, "tapbridge-remote is not running", f"{REMOTE2} is not running"], 3)],
     ["/usr/local/bin/tapbridge-remote 'Swipe Ring'", "", "/usr/local/bin/tapbridge-remote 'Page Turner'"]),
    # Start names the line to mend; a second that is waited for is no failure; a line taken out since start is
    # no longer started or shown, but stop still ends its tapbridge-remote.
    ("three REMOTE_LINEs, the second cannot run, the third waits: start names line 2; a line taken out, stop ends "
     "it all the same", "mt", RUNS, "no",
     [("step", "remote p keyboard name Page Turner"),
      call("start", [remote_started(), f"tapbridge-remote3 started (pid $N; its lines go to "
                                       f"/var/log/tapbridge-remote3.log): {WAITING}", started("tb")], 1,
           [ended("tapbridge-remote: /dev/input/event99 does not exist: give the remote's event node, name or unique "
                  "id, as tapbridge-setup prints them", REMOTE2, "line 2 of REMOTE_LINE", REMOTE_LOG2)]),
      holds("tb"), ("press", "p KEY_PAGEDOWN"),
      call("status", ["tapbridge is running (pid $tb)", "tapbridge-remote is running (pid $N)",
                      f"{REMOTE2} is not running", f"tapbridge-remote3 is running (pid $N): {WAITING}"], 3),
      ("sh", f"sed -i '/Turnr/d' {INIT}"),
      call("status", ["tapbridge is running (pid $tb)", "tapbridge-remote is running (pid $N)",
                      f"{REMOTE2} is not running"], 3),
      call("stop", [STOPPED_TB, "tapbridge-remote stopped", f"{REMOTE2} is not running", "tapbridge-remote3 stopped"],
           0), NO_REMOTE_LEFT],
     ["/usr/local/bin/tapbridge-remote 'Page Turner'", "/usr/local/bin/tapbridge-remote /dev/input/event99",
      "/usr/local/bin/tapbridge-remote 'BT Page Turnr'"]),
]


# The line of the script that opens the here-document a variable's lines are pasted after.
HERE_DOCUMENT = {"LINE": "^IFS= read -r LINE <<", "REMOTE_LINE": "^REMOTE_LINE=$(cat <<"}


def pasted(variable, lines):
    """Steps that paste lines (one, or a list) into the script's
    here-document for variable, as a user pastes them: /tmp/VARIABLE holds
    them, and sed reads them in."""
    lines = [lines] if isinstance(lines, str) else lines
    if not any(lines):
        return []
    return [f"sh printf '%s\\n' {' '.join(shlex.quote(x) for x in lines)} >/tmp/{variable}",
            f"sh sed -i '/{HERE_DOCUMENT[variable]}/r /tmp/{variable}' {INIT}"]


def boot_scenario(name, kind, runs, fix, events, remote=""):
    steps = [f"screen {kind} 0 1071 0 1447",
             "sh mkdir -p /var/run /var/log && rm -f /var/run/tapbridge*.pid /var/log/tapbridge*.log && sed "
             f"-e 's|^FIX_TAP_TIME=.*|FIX_TAP_TIME={fix}|' {INIT_IN_GUEST} >{INIT}"] + pasted("LINE", runs) \
        + pasted("REMOTE_LINE", remote)
    sc = Scenario(f"boot example: {name}", steps)
    clicks = taps = 0
    for i, event in enumerate(events):
        if event[0] == "call":
            _, action, out, err, status, shell = event
            steps += [f"run i{i} notty {shell} {INIT} {action}", f"wait i{i} exit"]
            # A pid no wait named is N: the tapbridge that died at once.
            sc.expect(f"what {action} printed", lambda d, i=i: [re.sub(r"pid \d+", "pid $N", x)
                                                                for x in d.lines("out", f"i{i}")], out)
            # The shell names the script's line where exec failed: N.
            sc.expect(f"what {action} said on standard error",
                      lambda d, i=i: [re.sub(r"\bline \d+:", "line N:", x) for x in d.lines("err", f"i{i}")], err)
            sc.expect(f"end of {action}", lambda d, i=i: d.exit(f"i{i}"), f"status {status}")
        elif event[0] == "holds":
            steps.append(f"wait {event[1]} holds /dev/input/mice")
        elif event[0] in ("log", "remote log"):
            steps.append(f"wait file {LOG if event[0] == 'log' else REMOTE_LOG} {event[1]}")
        elif event[0] == "file":
            steps.append(f"wait file {event[1]} {event[2]}")
        elif event[0] == "sh says":
            steps.append(f"sh {event[1]}")
        elif event[0] == "tap_time":
            steps.append(TAP_TIME)
        elif event[0] == "sh":
            steps.append(f"sh {event[1]}")
        elif event[0] == "step":
            steps.append(event[1])
        elif event[0] in ("press", "stroke"):
            # A remote's press or a ring's swipe: a click of tapbridge-remote's virtual mouse, while it runs.
            clicks, taps = clicks + 1, taps + (event[2] if len(event) > 2 else True)
            steps += [f"{event[0]} {event[1]}"]
            steps += [f"wait mice packets {2 * clicks}", f"wait touch frames {4 * taps}"] if len(event) == 2 \
                else ["pause 500"]
            clicks -= len(event) > 2  # no virtual mouse then: no packet either
        elif event[0] == "environ":
            steps.append("sh tr '\\0' '\\n' </proc/$(cat /var/run/tapbridge.pid)/environ | grep '^DISPLAY='")
        else:
            clicks, taps = clicks + 1, taps + event[1]
            steps += ["mouse L1 S L0 S", f"wait mice packets {2 * clicks}"]
            # Room for a tap that should not come: what it waits for is its absence.
            steps += [f"wait touch frames {4 * taps}"] if event[1] else ["pause 500"]
    sc.expect("tap_time, DISPLAY and other sh as read", lambda d: d.tagged("sh"),
              [e[-1] for e in events if e[0] in ("tap_time", "environ", "sh says")])
    sc.expect("packets on /dev/input/mice", lambda d: d.tagged("mice"), ["09 00 00 00", "08 00 00 00"] * clicks)
    return sc.expect("frames on the touch node", Delivered.frames, tap_frames([tuple(DEFAULT[:2])] * taps))


# --- tapbridge-remote: a remote's presses as taps ----------------------------

VM_LINE = "virtual mouse $VM made: tapbridge reads its clicks through /dev/input/mice"
# What the remote kinds of the driver click on with the default map.
KB = "left on KEY_PAGEDOWN KEY_RIGHT KEY_DOWN KEY_SPACE KEY_ENTER, right on KEY_PAGEUP KEY_LEFT KEY_UP"
MEDIA = "left on KEY_VOLUMEDOWN KEY_NEXTSONG, right on KEY_VOLUMEUP KEY_PREVIOUSSONG, middle on KEY_PLAYPAUSE"
PAD = ("left on BTN_TR ABS_HAT0X+ ABS_HAT0Y+, right on BTN_TL ABS_HAT0X- ABS_HAT0Y-, middle on BTN_START "
       "BTN_SELECT")
COMBO = "left on KEY_PAGEDOWN KEY_ENTER KEY_VOLUMEDOWN, right on KEY_PAGEUP KEY_VOLUMEUP"
OWN = "; its own mouse buttons and wheel as themselves"
FULLKBD = ("left on KEY_PAGEDOWN KEY_RIGHT KEY_DOWN KEY_SPACE KEY_ENTER KEY_VOLUMEDOWN KEY_NEXTSONG KEY_FORWARD, right "
        "on KEY_PAGEUP KEY_LEFT KEY_UP KEY_VOLUMEUP KEY_PREVIOUSSONG KEY_BACK, middle on KEY_MENU KEY_COMPOSE "
        "KEY_PLAYPAUSE")
STOPPED_RM = "stopped by SIGTERM: the remote let go, the virtual mouse removed"
# The virtual mouse's input device in /sys: the same line twice, so it was never made anew.
VM_SYS = "sh grep -l 'tapbridge-remote virtual mouse' /sys/class/input/input*/name || echo none"


def attached(node, name, clicks, grabbed=True):
    return f'attached {node} "{name}", {"grabbed" if grabbed else "shared"}: {clicks}'


def detached(node, name, waiting=True):
    return f'detached {node} "{name}": it went away' + ("; waiting for it to come back" if waiting else "")


def gone(status, text):
    """tapbridge-remote ends at start with status and text on standard error."""
    return dict(out=[], err=[f"tapbridge-remote: {text}"], status=f"status {status}", attach=False)


def misuse(text):
    return gone(64, text) | dict(err=[f"tapbridge-remote: {text}", "Usage: tapbridge-remote [--no-grab] [--map "
                                      "CODE=BUTTON]... [--next-page BUTTON]",
                                      "                        [--take-screen] [--] REMOTE",
                                      "       tapbridge-remote --help | --version", "Try tapbridge-remote --help."])


def several(node_names, keeps=()):
    """The line about a name that more than one remote has, none with a unique id; keeps: the nodes taken before."""
    name = node_names[0][1]
    kept = "".join(f' {n} "{m}",' for n, m in keeps)
    return (f'"{name}" matches more than one remote: ' + ", ".join(f'{n} "{m}" (no unique id)' for n, m in node_names)
            + (f"; keeps{kept} taken while it was the only one, and takes none of the others" if keeps else "")
            + "; give its unique id or its node instead")


TURNER = "r keyboard name Page Turner BT-1"
# A name that would forge lines in a log, as the step language writes it and as tapbridge-remote prints it.
EVIL_REMOTE = r"evil\nReady.\x1b[2J"
EVIL_SHOWN = "evil\\nReady.\\x1b[2J"
EVIL_ARG = "\"$(printf 'evil\\nReady.\\033[2J')\""
HELD = ["key r KEY_PAGEDOWN 1 >1", "key r KEY_PAGEDOWN 2", "key r KEY_PAGEDOWN 2", "key r KEY_PAGEDOWN 0"]
REMOTES = [
    # name, remotes made before it starts, its arguments, actions (">N": taps button N, waited for), what else:
    # out (standard output after the virtual mouse's line; default: the attach line, then the stop), err, status,
    # seen (what the remote's second reader got), before/after (steps), sh (what sh steps printed)
    ("a page turner: its keys tap once a press; autorepeat, releases, letters nothing", [TURNER],
     "'Page Turner BT-1'", ["press r KEY_PAGEDOWN >1", "press r KEY_PAGEUP >2", "press r KEY_RIGHT >1",
                            "press r KEY_LEFT >2", "press r KEY_B", "press r KEY_ESC", *HELD, "press r KEY_SPACE >1",
                            "press r KEY_ENTER >1", "press r KEY_UP >2", "press r KEY_DOWN >1"],
     dict(out=[attached("$R", "Page Turner BT-1", KB), STOPPED_RM], seen=[])),
    ("a camera and media remote by its node: volume, songs, play", ["c consumer name Shutter"], "$C",
     ["press c KEY_VOLUMEDOWN >1", "press c KEY_VOLUMEUP >2", "press c KEY_MUTE", "press c KEY_NEXTSONG >1",
      "press c KEY_PREVIOUSSONG >2", "press c KEY_PLAYPAUSE >3"], dict(out=[attached("$C", "Shutter", MEDIA),
                                                                            STOPPED_RM])),
    ("a gamepad: shoulders, start, the hat's ends; face buttons, sticks, the hat's return nothing",
     ["g gamepad name Pad"], "Pad",
     ["press g BTN_TR >1", "press g BTN_TL >2", "press g BTN_SOUTH", "hat g ABS_X 30000", "press g BTN_START >3",
      "hat g ABS_HAT0X 1 >1", "hat g ABS_HAT0X 0", "hat g ABS_HAT0X -1 >2", "hat g ABS_HAT0X 1 >1",
      "hat g ABS_HAT0X 0", "hat g ABS_HAT0Y -1 >2", "hat g ABS_HAT0Y 0", "press g BTN_SELECT >3"],
     dict(out=[attached("$G", "Pad", PAD), STOPPED_RM])),
    ("--map replaces the defaults: a letter and a number, the wheel", [TURNER],
     "--map KEY_B=wheel-down --map 49=wheel-up --map=KEY_PAGEUP=middle 'Page Turner BT-1'",
     ["press r KEY_PAGEDOWN", "press r KEY_B >5", "press r KEY_N >4", "press r KEY_PAGEUP >3"],
     dict(out=[attached("$R", "Page Turner BT-1", "middle on KEY_PAGEUP, wheel-up on KEY_N, wheel-down on KEY_B"),
               STOPPED_RM])),
    ("--no-grab: the second reader sees every event, and each press still taps once", [TURNER],
     "--no-grab 'Page Turner BT-1'", ["press r KEY_PAGEDOWN >1", *HELD, "press r KEY_B"],
     dict(out=[attached("$R", "Page Turner BT-1", KB, False), STOPPED_RM],
          seen=[f"r EV_KEY {c} {v}" for c, v in [("KEY_PAGEDOWN", 1), ("KEY_PAGEDOWN", 0), ("KEY_PAGEDOWN", 1),
                                                ("KEY_PAGEDOWN", 2), ("KEY_PAGEDOWN", 2), ("KEY_PAGEDOWN", 0),
                                                ("KEY_B", 1), ("KEY_B", 0)]])),
    # Given by a link to its node, it is that node: a later scan finds it under its eventN, taken already.
    ("by a link to its node: a new device later is no second take", [TURNER], "/tmp/turner",
     ["remote x consumer name Other", "wait x seen 0", "press x KEY_VOLUMEDOWN", "press r KEY_PAGEDOWN >1"],
     dict(out=[attached("/tmp/turner", "Page Turner BT-1", KB), STOPPED_RM], before=["sh ln -sf $R /tmp/turner"])),
    ("absent at start: waiting, then taken as it appears", [], "'Page Turner BT-1'",
     ["wait rm lines 2", f"remote {TURNER}", "wait rm lines 3", "press r KEY_PAGEDOWN >1"],
     dict(out=['waiting for "Page Turner BT-1": not there yet; it is taken as soon as it appears',
               attached("$R", "Page Turner BT-1", KB), STOPPED_RM], seen=[])),
    ("unplugged and back under another node: taps resume, the same virtual mouse all along", [TURNER],
     "'Page Turner BT-1'", [VM_SYS, "press r KEY_PAGEDOWN >1", "unplug r", "wait rm lines 3", "replug r",
                            "wait rm lines 4", "press r KEY_PAGEUP >2", VM_SYS],
     dict(out=[attached("$R", "Page Turner BT-1", KB), detached("$R", "Page Turner BT-1"),
               attached("$R'", "Page Turner BT-1", KB), STOPPED_RM], sh="same")),
    ("given by its node: followed by name and id across a replug", ["c consumer name Shutter"], "$C",
     ["press c KEY_VOLUMEUP >2", "unplug c", "wait rm lines 3", "replug c", "wait rm lines 4",
      "press c KEY_VOLUMEDOWN >1"],
     dict(out=[attached("$C", "Shutter", MEDIA), detached("$C", "Shutter"), attached("$C'", "Shutter", MEDIA),
               STOPPED_RM])),
    ("removed in the middle of a press: no tap from its end, the next press taps", [TURNER],
     "'Page Turner BT-1'", ["key r KEY_PAGEDOWN 1 >1", "unplug r", "wait rm lines 3", "replug r", "wait rm lines 4",
                            "key r KEY_PAGEDOWN 0", "press r KEY_PAGEUP >2"],
     dict(out=[attached("$R", "Page Turner BT-1", KB), detached("$R", "Page Turner BT-1"),
               attached("$R'", "Page Turner BT-1", KB), STOPPED_RM])),
    ("unplugged and replugged twice in quick succession: one tap a press", [TURNER], "'Page Turner BT-1'",
     ["press r KEY_PAGEDOWN >1", "unplug r", "replug r", "unplug r", "replug r",
      'wait rm text attached $r "Page Turner BT-1"', "press r KEY_PAGEUP >2"], dict(out=None)),
    ("one remote of two nodes, by the name of one: both taken", [
        "r keyboard phys bt-1/input0 name Page Turner BT-1", "c consumer phys bt-1/input1 name Page Turner BT-1 Media"],
     "'Page Turner BT-1'", ["press c KEY_VOLUMEUP >2", "press r KEY_PAGEDOWN >1"],
     dict(out=[attached("$R", "Page Turner BT-1", KB), attached("$C", "Page Turner BT-1 Media", MEDIA), STOPPED_RM])),
    ("beside a real mouse: each taps once", [TURNER], "'Page Turner BT-1'",
     ["press r KEY_PAGEDOWN >1", "mouse R1 S R0 S >2", "press r KEY_PAGEUP >2", "mouse W-1 S >5"], {}),
    ("a remote that is also a mouse, grabbed: its keys, buttons and wheel once each", ["k combo name Combo"], "Combo",
     ["press k KEY_PAGEDOWN >1", "mouse k R1 S R0 S >2", "mouse k W1 S >4", "mouse k X5 S", "press k KEY_A"],
     dict(out=[attached("$K", "Combo", COMBO + OWN), STOPPED_RM], seen=[])),
    ("a remote that is also a mouse, shared: mousedev passes its buttons, never a double tap", ["k combo name Combo"],
     "--no-grab Combo", ["press k KEY_PAGEDOWN >1", "mouse k R1 S R0 S >2", "mouse k W1 S >4", "mouse k M1 S M0 S >3"],
     dict(out=[attached("$K", "Combo", COMBO, False), STOPPED_RM])),
    ("shared, a map on a button mousedev clicks itself: it would tap twice", ["k combo name Combo"],
     "--no-grab --map BTN_LEFT=middle Combo", [],
     gone(65, '--no-grab with BTN_LEFT on $K "Combo": mousedev itself makes a click of BTN_LEFT on this device, so '
              'each press would tap twice; leave out --no-grab, or map another code')),
    ("a full keyboard: page keys tap, letters and digits never", ["f fullkbd name Keyboard"], "Keyboard",
     ["press f KEY_A", "press f KEY_1", "press f KEY_PAGEDOWN >1", "press f KEY_Q", "press f KEY_VOLUMEUP >2",
      "press f KEY_MENU >3"], dict(out=[attached("$F", "Keyboard", FULLKBD), STOPPED_RM])),
    ("a --map code the remote does not declare", ["g gamepad name Pad"], "--map KEY_PAGEDOWN=left Pad", [],
     gone(65, '--map KEY_PAGEDOWN: $G "Pad" does not declare KEY_PAGEDOWN, so it never sends it; tapbridge-setup '
              'lists the codes that it declares')),
    # A mouse without keys, taken, is read as a ring that drags; shared, mousedev would click its button too.
    ("shared, a plain mouse: a drag's contact would tap twice", [], "--no-grab 'virtual mouse'", [],
     gone(65, '--no-grab with a ring\'s gestures on $MOUSE "virtual mouse": mousedev itself makes a click of BTN_LEFT '
              'on this device at each touch, so each gesture would tap twice; leave out --no-grab')),
    ("a name two remotes share", ["r keyboard name Twin", "c consumer name Twin"], "Twin", [],
     gone(66, '"Twin" matches more than one remote: $R "Twin" (no unique id), $C "Twin" (no unique id); give its '
              'unique id or its node instead')),
    # Stopped while both come, it looks once at both: neither is taken, until one goes (no node appears then).
    ("twins come together, neither taken; one goes for good: the other is taken at once", [], "Twin",
     ["wait rm lines 2", "signal rm 19", "wait rm stopped", "remote a keyboard name Twin",
      "remote b keyboard name Twin", "signal rm 18", "wait rm lines 3", "remove a", "wait rm lines 4",
      "press b KEY_PAGEDOWN >1"],
     dict(out=['waiting for "Twin": not there yet; it is taken as soon as it appears',
               several([("$A", "Twin"), ("$B", "Twin")]), attached("$B", "Twin", KB), STOPPED_RM])),
    # A device manager may move a node away under another name: the name is then the other twin's alone.
    ("twins come together, neither taken; one's node moved out of /dev/input: the other is taken at once", [],
     "Twin", ["wait rm lines 2", "signal rm 19", "wait rm stopped", "remote a keyboard name Twin",
              "remote b keyboard name Twin", "signal rm 18", "wait rm lines 3", "sh mv $A /dev/twin-away",
              "wait rm lines 4", "press b KEY_PAGEDOWN >1"],
     dict(out=['waiting for "Twin": not there yet; it is taken as soon as it appears',
               several([("$A", "Twin"), ("$B", "Twin")]), attached("$B", "Twin", KB), STOPPED_RM],
          after=["sh rm /dev/twin-away"])),
    ("a twin comes while one is taken: that one stays; once it goes for good, the other is taken",
     ["a keyboard name Twin"], "Twin",
     ["press a KEY_PAGEDOWN >1", "remote b keyboard name Twin", "wait rm lines 3", "press a KEY_PAGEUP >2",
      "remove a", "wait rm lines 5", "press b KEY_PAGEDOWN >1"],
     dict(out=[attached("$A", "Twin", KB), several([("$A", "Twin"), ("$B", "Twin")], [("$A", "Twin")]),
               detached("$A", "Twin"), attached("$B", "Twin", KB), STOPPED_RM])),
    ("a name with a line break and escapes: attach, ambiguity and detach lines escaped",
     [f"r keyboard name {EVIL_REMOTE}"], EVIL_ARG,
     ["press r KEY_PAGEDOWN >1", f"remote c keyboard name {EVIL_REMOTE}", "wait rm lines 3", "unplug r",
      "wait rm lines 5", "press c KEY_PAGEUP >2"],
     dict(out=[attached("$R", EVIL_SHOWN, KB), several([("$R", EVIL_SHOWN), ("$C", EVIL_SHOWN)], [("$R", EVIL_SHOWN)]),
               detached("$R", EVIL_SHOWN), attached("$C", EVIL_SHOWN, KB), STOPPED_RM])),
    # A device manager makes a node elsewhere and moves it into place under its final name.
    ("its node moved into /dev/input while it waits: taken, a press taps", [TURNER], "'Page Turner BT-1'",
     ["wait rm lines 2", "wait rm idle", "sh mv /dev/.hidden $R", "wait rm lines 3", "press r KEY_PAGEDOWN >1"],
     dict(out=['waiting for "Page Turner BT-1": not there yet; it is taken as soon as it appears',
               attached("$R", "Page Turner BT-1", KB), STOPPED_RM], before=["sh mv $R /dev/.hidden"])),
    ("standard output a pipe, as under an init script: each line comes as it happens", [TURNER],
     "'Page Turner BT-1'", ["press r KEY_PAGEDOWN >1", "unplug r", "wait rm lines 3", "replug r", "wait rm lines 4",
                            "press r KEY_PAGEUP >2"],
     dict(out=[attached("$R", "Page Turner BT-1", KB), detached("$R", "Page Turner BT-1"),
               attached("$R'", "Page Turner BT-1", KB), STOPPED_RM], notty=True)),
    ("a remote named like an option: the plain call says to put -- before it", ["r keyboard name -Ring 2"],
     "'-Ring 2'", [], misuse("unknown option '-Ring 2'; a remote of that name is there: put -- before it "
                             "(tapbridge-remote -- '-Ring 2')")),
    ("-- before a name that starts with '-': taken, a press taps", ["r keyboard name -Ring 2"], "-- '-Ring 2'",
     ["press r KEY_PAGEDOWN >1"], dict(out=[attached("$R", "-Ring 2", KB), STOPPED_RM])),
    ("the touch screen's name", [], "'virtual touch screen'", [],
     gone(66, '"virtual touch screen" is a touch screen: tapbridge taps it, and it is no remote')),
    ("the touch screen's node", [], "$TOUCH", [],
     gone(66, '"$TOUCH" is a touch screen: tapbridge taps it, and it is no remote')),
    ("no such node", [], "/dev/input/event99", [],
     gone(66, "/dev/input/event99 does not exist: give the remote's event node, name or unique id, as tapbridge-setup "
              "prints them")),
    ("a node that is no input device", [], "/dev/null", [],
     gone(66, "/dev/null is not an input event device (a character device 1:3): give the remote's event node, name "
              "or unique id, as tapbridge-setup prints them")),
    ("no /dev/uinput", [TURNER], "'Page Turner BT-1'", [],
     gone(69, "no /dev/uinput: load it (modprobe uinput), or use a kernel with CONFIG_INPUT_UINPUT")
     | dict(before=["sh mv /dev/uinput /tmp/uinput.away"])),
    ("a remote another process grabbed", [TURNER], "'Page Turner BT-1'", [],
     dict(out=[], err=['tapbridge-remote: $R "Page Turner BT-1" is grabbed by another process (open by pid $driver '
                       '(tapbridge-guest), pid $g (tapbridge-guest)), which takes all its presses; stop that program '
                       'first'], status="status 75", attach=False, before=["run g /guest/tapbridge-guest --grab $R",
                                                                            "wait g text grabbed"])),
    ("two tapbridge-remote on one remote: the second ends, the first taps once", [TURNER],
     "--no-grab 'Page Turner BT-1'", ["run rm2 tapbridge-remote 'Page Turner BT-1'", "wait rm2 exit",
                                      "press r KEY_PAGEDOWN >1"],
     dict(out=[attached("$R", "Page Turner BT-1", KB, False), STOPPED_RM],
          more=[("rm2", [], ['tapbridge-remote: another tapbridge-remote already serves $R "Page Turner BT-1" (pid $rm '
                             '(tapbridge-remot)); one is enough'], "status 75")])),
    ("SIGINT ends it: the grab released, the virtual mouse gone", [TURNER], "'Page Turner BT-1'",
     ["press r KEY_PAGEDOWN >1", "stop rm 2", VM_SYS, "press r KEY_PAGEUP", "wait r seen 2"],
     dict(out=[attached("$R", "Page Turner BT-1", KB), STOPPED_RM.replace("SIGTERM", "SIGINT")], sh=["none"],
          seen=["r EV_KEY KEY_PAGEUP 1", "r EV_KEY KEY_PAGEUP 0"])),
    ("SIGTERM ends it: the grab released, the virtual mouse gone", [TURNER], "'Page Turner BT-1'",
     ["press r KEY_PAGEUP >2", "stop rm", VM_SYS, "press r KEY_PAGEDOWN", "wait r seen 2"],
     dict(out=[attached("$R", "Page Turner BT-1", KB), STOPPED_RM], sh=["none"],
          seen=["r EV_KEY KEY_PAGEDOWN 1", "r EV_KEY KEY_PAGEDOWN 0"])),
    # Stopped while 100 presses overflow evdev's queue: the key that went down first is lost with it, and
    # comes back only from the state libevdev reads again. It taps once.
    ("a key pressed in an overflow of the kernel's queue taps once", [TURNER], "'Page Turner BT-1'",
     ["signal rm 19", "wait rm stopped", "key r KEY_PAGEDOWN 1", *["press r KEY_B"] * 100, "signal rm 18 >1",
      "key r KEY_PAGEDOWN 0", "press r KEY_UP >2"], {}),
    ("no REMOTE", [], "", [], misuse("no REMOTE given: its event node, its name or its unique id, as tapbridge-setup "
                                    "prints them")),
    ("an unknown option, escaped", [], "\"$(printf -- '--grab\\033[2J')\" x", [],
     misuse("unknown option '--grab\\x1b[2J'")),
    ("two remotes", [], "a b", [], misuse("one remote only: 'a' and 'b' (run one tapbridge-remote for each)")),
    ("--map without =", [], "--map KEY_ENTER x", [],
     misuse("--map 'KEY_ENTER': give CODE=BUTTON, for instance --map KEY_PAGEDOWN=left")),
    ("--map with an unknown code", [], "--map KEY_NOSUCH=left x", [],
     misuse("--map 'KEY_NOSUCH=left': no such code; give the kernel's name of a key or button (KEY_ENTER, BTN_TR), a "
           "hat end (ABS_HAT0X+, ABS_HAT0X-), a key's number (115) or a ring's gesture (SWIPE_LEFT, SWIPE_RIGHT, "
           "SWIPE_UP, SWIPE_DOWN, TAP, TAP@X,Y)")),
    ("--map with an unknown button", [], "--map KEY_ENTER=up x", [],
     misuse("--map 'KEY_ENTER=up': no such button; give left, right, middle, wheel-up or wheel-down")),
    ("--map of one code twice", [], "--map KEY_ENTER=left --map 28=right x", [],
     misuse("--map '28=right': that code is mapped already; give each code once")),
    ("not root", [], "x", [], gone(77, "run it as root: it grabs input devices and makes a virtual mouse through "
                                      "/dev/uinput") | dict(uid=1000)),
]


def tapped(action):
    """An action's step, the button it taps (0: none) and whether to wait
    for that tap: "STEP >N" taps N and is waited for, "STEP ~N" taps N and
    the next wait takes it in (a gesture right after another)."""
    for mark, wait in ((" >", True), (" ~", False)):
        step, found, button = action.partition(mark)
        if found:
            return step, int(button), wait
    return action, 0, False


def remote_scenario(name, remotes, args, actions, more):
    steps = ["screen mt 0 1071 0 1447"] + [f"remote {r}" for r in remotes] + more.get("before", [])
    starts = more.get("attach", True)
    if starts:
        steps += [TB_PTS, f"wait tb text {IMPS2}"]
    who = (f"as {more['uid']} " if "uid" in more else "") + ("notty " if more.get("notty") else "")
    steps.append(f"run rm {who}tapbridge-remote {args}")
    out = more.get("out", [attached("$R", "Page Turner BT-1", KB), STOPPED_RM])
    if not starts:
        steps.append("wait rm exit")
    elif out is not None:
        # The virtual mouse's line and the attach lines are out before the first press.
        leading = next((i for i, x in enumerate(out) if not x.startswith("attached")), len(out))
        steps.append(f"wait rm lines {1 + leading}")
    else:
        steps.append("wait rm lines 2")
    taps, lines = [], 0
    for action in actions:
        step, button, wait = tapped(action)
        steps.append(step)
        if button:
            taps.append((PTS[2 * button - 2], PTS[2 * button - 1]))
            lines += 1
        if wait:
            steps += [f"wait tb lines {1 + lines}", f"wait touch frames {4 * len(taps)}"]
    sc = Scenario(f"{more.get('table', 'remote')}: {name}", steps + more.get("after", []))
    vm_node = lambda d: next((m.group(1) for x in d.lines("out", "rm")  # noqa: E731
                              for m in [re.match(r"virtual mouse (/dev/input/event\d+) made", x)] if m), None)
    plain = lambda d, lines: [x.replace(vm_node(d), "$VM") if vm_node(d) else x for x in lines]  # noqa: E731
    if out is not None:
        sc.expect("standard output of rm", lambda d: plain(d, d.lines("out", "rm")), ([VM_LINE] if starts else []) + out)
    sc.expect("standard error of rm", lambda d: d.lines("err", "rm"), more.get("err", []))
    sc.expect("end of rm", lambda d: d.exit("rm"), more.get("status", "status 0"))
    for who, o, e, st in more.get("more", []):
        program_checks(sc, who, o, e, st)
    sc.expect("frames on the touch node", Delivered.frames, tap_frames(taps))
    if starts:
        sc.expect("standard output of tb", lambda d: d.lines("out", "tb"),
                  [IMPS2] + [f"button {c}, x {PTS[2 * c - 2]} y {PTS[2 * c - 1]}"
                             for c in [tapped(a)[1] for a in actions] if c])
    if "seen" in more:
        sc.expect("what the remote's second reader got", lambda d: d.tagged("seen"), more["seen"])
    if more.get("sh") == "same":
        sc.expect("the virtual mouse's device, before and after", lambda d: len(set(d.tagged("sh"))) == 1
                  and len(d.tagged("sh")) == 2 and d.tagged("sh")[0] != "none", True)
    elif "sh" in more:
        sc.expect("what sh printed", lambda d: d.tagged("sh"), more["sh"])
    return sc


# --- the guest's rings: what a second reader of each gets -----------------------

def ring_frames(d, rid):
    """Remote rid's frames as its second reader got them: (kernel time in us,
    ["CODE VALUE", ...]) each."""
    frames, current = [], []
    for tag, text in d.records:
        words = text.split()
        if tag == "seen" and words[0] == rid:
            current.append(f"{words[2]} {words[3]}")
        elif tag == "frame" and words[0] == rid:
            sec, usec = words[1].split(".")
            frames.append((int(sec) * 1_000_000 + int(usec), current))
            current = []
    return frames


def paced(least):
    """A judge of the gaps between frames, in ms: each at least as long as
    least says."""
    def judge(gaps):
        if len(gaps) != len(least):
            return f"want {len(least)} gaps"
        short = [f"{g:.1f} ms where at least {w}" for g, w in zip(gaps, least) if g < w]
        return f"frames too close: {', '.join(short)}" if short else None
    return judge


def caps(bus, *lines, prop=True):
    """What tapbridge-guest --caps prints of a device: its bus, INPUT_PROP_DIRECT
    if prop, then "TYPE CODE ..." lines, the type told by the code's prefix."""
    kind = {"KEY": "EV_KEY", "BTN": "EV_KEY", "ABS": "EV_ABS", "REL": "EV_REL", "MSC": "EV_MSC"}
    return [f"bus {bus}"] + (["prop INPUT_PROP_DIRECT"] if prop else []) + \
        [f"{kind[x.split('_')[0]]} {x}" for x in lines]


CAPS = "sh /guest/tapbridge-guest --caps "
# Each node's bus and properties, as /sys shows them.
BUSTYPE = "sh for n in {}; do d=/sys/class/input/${{n##*/}}/device; cat $d/id/bustype $d/properties; done"
SCAN = "MSC_SCAN 852034"  # HID's Tip Switch usage, 0xd0042
PEN_DOWN, PEN_UP = ["BTN_TOOL_PEN 1", "BTN_TOUCH 1", SCAN], ["BTN_TOUCH 0", "BTN_TOOL_PEN 0", SCAN]
FINGER_UP = ["ABS_MT_TRACKING_ID -1", "BTN_TOUCH 0"]


def digitizer(x="0 4095", y="0 4095", res=0):
    """The axes of a finger ring, in --caps's words."""
    return [f"ABS_X {x} res {res}", f"ABS_Y {y} res {res}", "ABS_MT_SLOT 0 4 res 0", f"ABS_MT_POSITION_X {x} res {res}",
            f"ABS_MT_POSITION_Y {y} res {res}", "ABS_MT_TRACKING_ID 0 65535 res 0"]


def finger_at(x, y, tid=None):
    return ([f"ABS_MT_TRACKING_ID {tid}"] if tid is not None else []) + \
        [f"ABS_MT_POSITION_X {x}", f"ABS_MT_POSITION_Y {y}"] + (["BTN_TOUCH 1"] if tid is not None else []) + \
        [f"ABS_X {x}", f"ABS_Y {y}"]


RINGS = [
    # name, remotes, steps, frames: {ring: [(least ms since the frame before, [its records])]}, what sh printed.
    # The input core drops a value that did not change: a second contact at the place of the last keeps quiet there.
    ("finger: a swipe each way, 30 and 60 ms a frame, 300 ms apart; what it declares, its range and resolution",
     ["f finger range 0 1023 0 767 res 12 name Ring F"],
     ["stroke f 700,500 660,503 620,497", "pause 300", "stroke f 620,500 660,498 700,502 every 60", CAPS + "$F"],
     {"f": [(0, finger_at(700, 500, 0)), (30, finger_at(660, 503)), (30, finger_at(620, 497)), (30, FINGER_UP),
            (300, ["ABS_MT_TRACKING_ID 1", "ABS_MT_POSITION_Y 500", "BTN_TOUCH 1", "ABS_Y 500"]),
            (60, finger_at(660, 498)), (60, finger_at(700, 502)), (60, FINGER_UP)]},
     caps("0005", "BTN_TOUCH", *digitizer("0 1023", "0 767", 12))),
    ("pen: a stroke down the page, taps at Y 1012 and at Y 500; its range and resolution",
     ["p pen range 0 3000 0 4000 res 20 name Ring P"],
     ["stroke p 2000,1012 2000,1100 2000,1400 2000,1700 2000,2000 2000,2300", "pause 300", "stroke p 1500,1012",
      "pause 300", "stroke p 1500,500 every 80", CAPS + "$P"],
     {"p": [(0, PEN_DOWN + ["ABS_X 2000", "ABS_Y 1012"])]
      + [(30, [f"ABS_Y {y}"]) for y in (1100, 1400, 1700, 2000, 2300)]
      + [(30, PEN_UP), (300, PEN_DOWN + ["ABS_X 1500", "ABS_Y 1012"]), (30, PEN_UP), (300, PEN_DOWN + ["ABS_Y 500"]),
         (80, PEN_UP)]},
     caps("0005", "BTN_TOOL_PEN", "BTN_TOUCH", "ABS_X 0 3000 res 20", "ABS_Y 0 4000 res 20", "MSC_SCAN")),
    ("pad: bursts 35 ms a frame, two strokes 300 ms apart, 100 ms within one; motion alone", ["d pad name Ring D"],
     ["rel d 12 0 4", "pause 300", "rel d 0 -10 3 every 100", "pause 300", "stroke d 8,0 15,1 11,-1", CAPS + "$D"],
     {"d": [(0, ["REL_X 12"])] + [(35, ["REL_X 12"])] * 3 + [(300, ["REL_Y -10"])] + [(100, ["REL_Y -10"])] * 2
      + [(300, ["REL_X 8"]), (30, ["REL_X 15", "REL_Y 1"]), (30, ["REL_X 11", "REL_Y -1"])]},
     caps("0005", "REL_X", "REL_Y", prop=False)),
    ("drag: a stroke with BTN_LEFT held, and one of contact steps; a HID mouse's codes", ["m drag name Ring M"],
     ["stroke m 0,10 0,12 0,-9 every 40", "pause 200", "contact m down", "contact m move 5 0", "rel m 0 7 2",
      "contact m up", CAPS + "$M"],
     {"m": [(0, ["BTN_LEFT 1"]), (40, ["REL_Y 10"]), (40, ["REL_Y 12"]), (40, ["REL_Y -9"]), (40, ["BTN_LEFT 0"]),
            (200, ["BTN_LEFT 1"]), (0, ["REL_X 5"]), (0, ["REL_Y 7"]), (35, ["REL_Y 7"]), (0, ["BTN_LEFT 0"])]},
     caps("0005", "BTN_LEFT", "BTN_RIGHT", "REL_X", "REL_Y", "REL_WHEEL", prop=False)),
    ("fingerkeys: media keys and a tap on one node; a page key it does not declare is dropped",
     ["k fingerkeys name Ring K"],
     ["press k KEY_VOLUMEUP", "stroke k 300,800 every 50", "press k KEY_PAGEDOWN", "press k KEY_NEXTSONG", CAPS + "$K"],
     {"k": [(0, ["KEY_VOLUMEUP 1"]), (0, ["KEY_VOLUMEUP 0"]), (0, finger_at(300, 800, 0)), (50, FINGER_UP),
            (0, ["KEY_NEXTSONG 1"]), (0, ["KEY_NEXTSONG 0"])]},
     caps("0005", "KEY_VOLUMEDOWN", "KEY_VOLUMEUP", "KEY_NEXTSONG", "KEY_PLAYPAUSE", "KEY_PREVIOUSSONG", "BTN_TOUCH",
          *digitizer())),
    ("a finger unplugged mid-touch comes back under another node with nothing down", ["f finger"],
     ["contact f down 100 200", "contact f move 110 200", "wait f seen 8", "unplug f", "replug f",
      "contact f down 300 400", "contact f up", "stroke f 300,400", "sh echo $F"],
     {"f": [(0, finger_at(100, 200, 0)), (0, ["ABS_MT_POSITION_X 110", "ABS_X 110"]), (0, finger_at(300, 400, 0)),
            (0, FINGER_UP), (0, ["ABS_MT_TRACKING_ID 1", "BTN_TOUCH 1"]), (30, FINGER_UP)]},
     ["$F'"]),
    ("buses: rings on i2c and usb, a keyboard on virtual, the older kinds as they were; nodirect; a pen's contact",
     ["b finger bus i2c nodirect", "u pad bus usb", "v keyboard bus virtual", "r keyboard", "g gamepad",
      "p pen bus virtual nodirect"],
     ["screen2 direct 0 4095 0 4095", BUSTYPE.format("$B $U $V $R $G $P $TOUCH $TOUCH2 $MOUSE"),
      "contact p down 10 20", "contact p move 10 30", "contact p up"],
     {"p": [(0, PEN_DOWN + ["ABS_X 10", "ABS_Y 20"]), (0, ["ABS_Y 30"]), (0, PEN_UP)]},
     ["0018", "0", "0003", "0", "0006", "0", "0005", "0", "0003", "0", "0006", "0", "0018", "2", "0018", "2",
      "0006", "0"]),
    ("screens: bus and nodirect as given, on screen and screen2", [],
     ["screen2 mt 0 1071 0 1447 bus host", BUSTYPE.format("$TOUCH $TOUCH2 $MOUSE")], {},
     ["001c", "0", "0019", "2", "0006", "0"], "screen direct 0 4095 0 4095 bus spi nodirect"),
]


def ring_scenario(name, remotes, steps, frames, sh, screen="screen mt 0 1071 0 1447"):
    waits = [f"wait {rid} seen {sum(len(f) for _, f in want)}" for rid, want in frames.items()]
    sc = Scenario(f"rings: {name}", [screen] + [f"remote {r}" for r in remotes] + steps + waits)
    for rid, want in frames.items():
        sc.expect(f"what {rid}'s second reader got, a frame a line",
                  lambda d, rid=rid: [f for _, f in ring_frames(d, rid)], [f for _, f in want])
        sc.expect(f"the gaps between {rid}'s frames (ms)", lambda d, rid=rid: [
            (b - a) / 1000 for (a, _), (b, _) in zip(ring_frames(d, rid), ring_frames(d, rid)[1:])],
            paced([least for least, _ in want[1:]]))
    return sc.expect("what sh printed", lambda d: d.tagged("sh"), sh)


# --- tapbridge-remote: rings, read by their gestures ------------------------------

RING_SWIPES = "left on SWIPE_LEFT SWIPE_UP, right on SWIPE_RIGHT SWIPE_DOWN"
UNLEARNT = "its taps click nothing until mapped (tapbridge-setup --learn learns them)"
DRAGGED = "its left button held is a drag's contact, its other buttons and wheel go on as themselves"
FINGER_RING = "r finger name Swipe Ring"


def ring_attached(name, clicks):
    return attached("$R", name, clicks)


def ring_row(name, ring, args, actions, clicks, **more):
    """A ring beside the touch screen, served by tapbridge-remote: each
    gesture's click, and nothing for the ring's second reader (grabbed)."""
    ring_name = ring.split(" name ", 1)[1]
    out = more.pop("out", [ring_attached(ring_name, clicks), STOPPED_RM])
    return (name, [ring], args, actions, dict(out=out, seen=[], table="ring") | more)


RING_REMOTES = [
    ring_row("a finger ring: a swipe is one click of its way, a tap none, its touch no click of its own", FINGER_RING,
             "'Swipe Ring'", ["stroke r 700,500 660,505 620,498 >1", "stroke r 620,500 660,495 700,502 >2",
                              "stroke r 2000,2000 2004,1800 2010,1600 >1", "stroke r 2000,1600 1995,1800 2000,2000 >2",
                              "stroke r 1000,1000", "stroke r 1000,1000 1003,1002", "stroke r 700,500 620,500 >1"],
             RING_SWIPES + "; " + UNLEARNT),
    ring_row("swipes that curve, jitter, go slowly or are short", FINGER_RING, "'Swipe Ring'",
             ["stroke r 1000,1000 1300,1100 1200,1600 >2", "stroke r 3000,2000 2960,2008 2925,1995 2890,2006 2850,2001 >1",
              "stroke r 2000,2000 2000,1900 2000,1800 every 400 >1", "stroke r 2000,2000 1915,2000 >1",
              "stroke r 2000,2000 1960,2000", "stroke r 2000,2000 2085,2000 >2"], RING_SWIPES + "; " + UNLEARNT),
    ring_row("two swipes in quick succession: two clicks", FINGER_RING, "'Swipe Ring'",
             ["stroke r 700,500 660,500 620,500 ~1", "stroke r 620,500 660,500 700,500 >2"],
             RING_SWIPES + "; " + UNLEARNT),
    ring_row("a pen stroke down Y 1012 to 2300: previous page; back up: next", "r pen name Pen Ring", "'Pen Ring'",
             ["stroke r 2000,1012 2000,1100 2000,1400 2000,1700 2000,2000 2000,2300 >2",
              "stroke r 2000,2300 2000,2000 2000,1700 2000,1400 2000,1100 2000,1012 >1"], RING_SWIPES + "; " + UNLEARNT),
    ring_row("taps at two places, learnt: the nearer place clicks, a swipe no longer does", "r pen name Tap Ring",
             "--map TAP@2000,500=left --map TAP@2000,1012=right 'Tap Ring'",
             ["stroke r 2000,500 >1", "stroke r 2000,1012 >2", "stroke r 2003,498 >1", "stroke r 1990,1015 2000,1016 >2",
              "stroke r 2000,500 2000,1500"], "left on TAP@2000,500, right on TAP@2000,1012"),
    ring_row("another ring's places, another range: Y 200 previous, Y 800 next",
             "r finger range 0 1000 0 1000 res 10 name Zone Ring", "--map TAP@500,800=left --map TAP@500,200=right "
             "'Zone Ring'", ["stroke r 500,200 >2", "stroke r 500,800 >1", "stroke r 510,780 >1"],
             "left on TAP@500,800, right on TAP@500,200"),
    ring_row("axes of different spans: each measured against its own, 20 of 1023 a swipe, 30 of 4095 none",
             "r finger range 0 4095 0 1023 name Flat Ring", "'Flat Ring'",
             ["stroke r 500,500 500,520 >2", "stroke r 500,520 500,500 >1", "stroke r 1000,500 1030,500"],
             RING_SWIPES + "; " + UNLEARNT),
    ring_row("a wide range from below zero: 2.5 % is a swipe", "r finger range -2000 2000 -2000 2000 name Wide Ring",
             "'Wide Ring'", ["stroke r -100,0 -200,0 >1", "stroke r 0,-100 0,0 >2"], RING_SWIPES + "; " + UNLEARNT),
    ring_row("a touchpad ring: each burst of motion one click once it is quiet; one event alone nothing",
             "r pad name Pad Ring", "'Pad Ring'",
             ["rel r 12 0 4 >2", "rel r -12 0 4 >1", "rel r 0 -10 5 >1", "rel r 0 12 4 every 100 >2", "rel r 8 0 1",
              "rel r -15 2 4 >1"], RING_SWIPES),
    ring_row("a touchpad ring: two strokes 300 ms apart are two clicks", "r pad name Pad Ring", "'Pad Ring'",
             ["rel r 12 0 4 ~2", "pause 300", "rel r 12 0 4 >2"], RING_SWIPES),
    # Many rings declare a whole mouse: their motion alone, in a burst, is a stroke too.
    ring_row("a drag ring: the drag's way clicks, its button alone nothing, a burst of its motion alone its way", "r drag name Drag Ring", "'Drag Ring'",
             ["stroke r 0,0 0,-12 0,-12 0,-12 >1", "stroke r 0,0 0,12 0,12 0,12 >2", "stroke r 0,0",
              "stroke r 0,0 -12,0 -12,0 -12,0 >1", "rel r 12 0 4 >2", "rel r 2 1 3"],
             RING_SWIPES + "; " + DRAGGED + "; " + UNLEARNT),
    ring_row("a ring with keys and a digitizer: both turn pages", "r fingerkeys name Keys Ring", "'Keys Ring'",
             ["press r KEY_VOLUMEDOWN >1", "stroke r 700,500 620,500 >1", "press r KEY_VOLUMEUP >2",
              "stroke r 620,500 700,500 >2", "press r KEY_PLAYPAUSE >3"],
             "left on KEY_VOLUMEDOWN KEY_NEXTSONG SWIPE_LEFT SWIPE_UP, right on KEY_VOLUMEUP KEY_PREVIOUSSONG "
             "SWIPE_RIGHT SWIPE_DOWN, middle on KEY_PLAYPAUSE; " + UNLEARNT),
    ring_row("next page on wheel-down, as where point 1 is off", FINGER_RING, "--next-page wheel-down 'Swipe Ring'",
             ["stroke r 700,500 620,500 >5", "stroke r 620,500 700,500 >2"],
             "right on SWIPE_RIGHT SWIPE_DOWN, wheel-down on SWIPE_LEFT SWIPE_UP; " + UNLEARNT),
    # Unplugged with the finger down: the kernel's releases end the stroke, which is no gesture; back, a swipe
    # clicks once.
    ring_row("unplugged in mid-swipe: no click, and the next swipe after it is back clicks once", FINGER_RING,
             "'Swipe Ring'", ["contact r down 700 500", "contact r move 600 500", "contact r move 500 500", "unplug r",
                              "wait rm lines 3", "replug r", "wait rm lines 4", "stroke r 700,500 600,500 >1"],
             "", out=[ring_attached("Swipe Ring", RING_SWIPES + "; " + UNLEARNT), detached("$R", "Swipe Ring"),
                      attached("$R'", "Swipe Ring", RING_SWIPES + "; " + UNLEARNT), STOPPED_RM]),
    ring_row("unplugged in mid-drag: no click", "r drag name Drag Ring", "'Drag Ring'",
             ["contact r down", "contact r move 0 -30", "unplug r", "wait rm lines 3", "replug r", "wait rm lines 4",
              "stroke r 0,0 0,12 0,12 >2"], "",
             out=[ring_attached("Drag Ring", RING_SWIPES + "; " + DRAGGED + "; " + UNLEARNT),
                  detached("$R", "Drag Ring"), attached("$R'", "Drag Ring", RING_SWIPES + "; " + DRAGGED + "; " +
                                                         UNLEARNT), STOPPED_RM]),
    # Stopped once the touch is read, while 400 moves overflow evdev's queue: the lift is lost with them, and
    # comes back only from the state libevdev reads again. The swipe clicks once.
    ring_row("a swipe whose lift is lost in an overflow of the kernel's queue clicks once", FINGER_RING,
             "'Swipe Ring'", ["contact r down 3000 2000", "wait rm idle", "signal rm 19", "wait rm stopped",
                              *[f"contact r move {2990 - i % 2} {2000 + i % 2}" for i in range(400)],
                              "contact r move 2500 2000", "contact r up", "signal rm 18 >1",
                              "stroke r 700,500 620,500 >1"], RING_SWIPES + "; " + UNLEARNT),
    ring_row("--no-grab: mousedev would click each touch too", FINGER_RING, "--no-grab 'Swipe Ring'", [], "",
             out=[], err=["tapbridge-remote: --no-grab with a ring's gestures on $R \"Swipe Ring\": mousedev itself "
                          "makes a click of BTN_TOUCH on this device at each touch, so each gesture would tap twice; "
                          "leave out --no-grab"], status="status 65", attach=False),
    ring_row("a touchpad ring makes no taps at a place", "r pad name Pad Ring", "--map TAP@0,500=left 'Pad Ring'", [],
             "", out=[], err=["tapbridge-remote: --map TAP@0,500: $R \"Pad Ring\" gives no positions to tap at, so it "
                              "never makes TAP@0,500; tapbridge-setup lists what it sends"], status="status 65",
             attach=False),
    ring_row("the screen tapbridge writes to, even asked for by node", FINGER_RING, "--take-screen $TOUCH", [], "",
             out=[], err=["tapbridge-remote: $TOUCH \"virtual touch screen\" is the touch screen that tapbridge writes "
                          "its taps to (pid $tb (tapbridge)): it is no ring"], status="status 66", attach=False,
             before=[TB_PTS, f"wait tb text {IMPS2}"]),
    ring_row("a touch screen whose bus cannot tell, by name: left alone", FINGER_RING, "'Odd Touch'", [], "",
             out=[], err=["tapbridge-remote: \"Odd Touch\" may be the device's own touch screen or pen (its bus, 0x06, "
                          "is neither Bluetooth nor USB): if it is a ring, give its node with --take-screen"],
             status="status 66", attach=False, before=["screen2 mt 0 4095 0 4095 bus virtual name Odd Touch"]),
]


def served_scenario(name, remotes, lines, presses):
    """The report's lines run as printed: tapbridge's, then each remote's
    run: line holding a word of lines; presses (step, button) each one tap
    at that button's point of the printed tapbridge line."""
    steps = ["screen mt 0 1071 0 1447"] + [f"remote {r}" for r in remotes] + [
        "run s tapbridge-setup", "wait s exit", f"runline tb s {TAPBRIDGE}", f"wait tb text {IMPS2}"]
    for i, word in enumerate(lines):
        steps += [f"runline rm{i} with {word} s run:", f"wait rm{i} text attached"]
    sc = Scenario(f"ring: {name}", steps)
    points = lambda d: line_points(next(x for x in d.lines("out", "s") if x.strip().startswith(TAPBRIDGE)))  # noqa
    taps, want = [], []
    for step, button in presses:
        steps.append(step)
        if button:
            want.append(button)
            steps += [f"wait tb lines {1 + len(want)}", f"wait touch frames {4 * len(want)}"]
    sc.expect("end of the report", lambda d: d.exit("s"), "status 0")
    sc.expect("standard output of tb", lambda d: d.lines("out", "tb"),
              lambda got: None if got == [IMPS2] + [button_line(b, DEFAULT) for b in want] else
              f"want {[IMPS2] + [button_line(b, DEFAULT) for b in want]!r}")
    sc.expect("the points of the printed line", points, [-1, -1] + DEFAULT[2:])
    sc.expect("frames on the touch node", Delivered.frames, tap_frames([tuple(DEFAULT[2 * b - 2:2 * b]) for b in want]))
    return sc


# name, remotes, a word of each remote line run, presses (step, the button it taps or 0)
SERVED = [
    # The ring keeps point 1 off, so next page is on wheel down in both remotes' lines: each page turns once
    # from either remote, and nothing taps point 1.
    ("a ring and a page turner, the report's three lines run as printed: each page once from either",
     ["r finger name Swipe Ring", "p keyboard name Page Turner BT-1"], ["Swipe", "Turner"],
     [("stroke r 700,500 620,500", 5), ("press p KEY_PAGEDOWN", 5), ("stroke r 620,500 700,500", 2),
      ("press p KEY_PAGEUP", 2), ("stroke r 1000,1000", 0), ("press p KEY_SPACE", 5)]),
    ("a pen ring and a gamepad: the same", ["r pen name Pen Ring", "g gamepad name Pad"], ["Pen", "Pad"],
     [("stroke r 2000,1012 2000,1400 2000,2300", 2), ("press g BTN_TR", 5), ("hat g ABS_HAT0X -1", 2),
      ("stroke r 2000,2300 2000,1012", 5)]),
]


TABLES = {
    "taps": lambda: [taps_scenario(*row) for row in TAPS] + [corner_scenario(*row) for row in CORNERS],
    "echo": lambda: [echo_scenario(*row) for row in ECHO],
    "report": lambda: [report_scenario(*row) for row in REPORT],
    "pick": lambda: [pick_scenario(*row) for row in PICK],
    "fix": lambda: [fix_scenario(*row) for row in FIX],
    "blind": lambda: [blind_scenario(*row) for row in BLIND],
    "boot": lambda: [boot_scenario(*row) for row in BOOT],
    "learn": lambda: [remote_report_scenario(*row) for row in REMOTE_REPORT] + [learn_scenario(*row) for row in LEARN]
    + [shell_line_scenario(*row) for row in SHELL_LINES],
    "remote": lambda: [remote_scenario(*row) for row in REMOTES],
    "ring": lambda: [remote_scenario(*row) for row in RING_REMOTES] + [served_scenario(*row) for row in SERVED],
    "ringguest": lambda: [ring_scenario(*row) for row in RINGS],
}


def batch_text(scenarios):
    return "".join(f"scenario {sc.name}\n" + "".join(s + "\n" for s in sc.steps) for sc in scenarios)


def verdict(records, scenarios, console, where, accel="", say=print):
    """Judges the guest's records, (tag, text) as they come, against the
    scenarios, saying each verdict as it is reached and, last, the count
    for where. Returns the exit status: 0 only when every scenario ran and
    passed."""
    by_name = {sc.name: sc for sc in scenarios}
    delivered, current, driver_pid = {}, None, None
    passed = failed = 0

    def judge(d):
        nonlocal passed, failed
        problems = by_name[d.name].problems(d)
        say(f"{'ok  ' if not problems else 'FAIL'} kernel: {d.name}", flush=True)
        if problems:
            failed += 1
            for p in problems:
                say(f"     {p}")
            say("     what the kernel delivered:")
            for t in d.transcript():
                say(f"       {t}")
        else:
            passed += 1

    try:
        for tag, text in records:
            if tag == "scenario":
                current = delivered[text] = Delivered(text)
                current.pids["driver"] = driver_pid
            elif tag == "end":
                judge(current)
                current = None
            elif tag == "pid" and current is None:
                driver_pid = text.split()[1]
            elif tag == "kernel":
                say(f"guest: Linux {text}, {accel}", flush=True)
            elif current is not None:
                current.add(tag, text)
            elif tag == "fail":
                say(f"FAIL kernel: guest: {text}")
                failed += 1
    except vm.GuestError as e:
        say(f"FAIL kernel: {e}")
        if current is not None:
            say(f"     in scenario {current.name!r}; what the kernel delivered:")
            for t in current.transcript():
                say(f"       {t}")
        say("     the console's last lines:\n" + "\n".join("       " + c for c in console[-15:]))
        failed += 1
    missing_runs = [sc.name for sc in scenarios if sc.name not in delivered]
    for name in missing_runs:
        say(f"FAIL kernel: {name}: not run")
    failed += len(missing_runs)
    say(f"{where}: {passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


def runner_faults():
    """What is wrong with verdict itself, found on canned streams: a pass
    among failures, a scenario never run, a guest that broke off or a
    guest's own failure must each make the tier fail, and good rows alone
    must pass it. A broken runner would hide every failure of the kernel."""
    def row(name):
        return Scenario(f"runner: {name}", []).expect("sh", lambda d: d.tagged("sh"), ["yes"])

    def ran(name, said):
        return [("scenario", f"runner: {name}"), ("sh", said), ("end", f"runner: {name}")]

    good = ran("good", "yes") + ran("also good", "yes")

    def broken_off():
        # after every row: only the error itself can fail the run
        yield from good
        raise vm.GuestError("canned: the guest broke off")

    rows = [row("good"), row("also good")]
    cases = [
        # what, records, scenarios, whether the tier passes
        ("good rows alone", good, rows, True),
        ("a known-bad row among good ones", good + ran("bad", "no"), rows + [row("bad")], False),
        ("a row not run", good, rows + [row("not run")], False),
        ("a guest's failure outside the rows", good + [("fail", "canned")], rows, False),
        ("a guest that broke off", broken_off(), rows, False),
        ("no row at all", [], [], False),
    ]
    return len(cases), [f"{what}: exit status {status}, but the tier should {'pass' if ok else 'fail'}"
                        for what, records, scenarios, ok in cases
                        if ((status := verdict(records, scenarios, [], "canned", say=lambda *a, **k: None)) == 0) != ok]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--driver")
    ap.add_argument("--tapbridge")
    ap.add_argument("--setup")
    ap.add_argument("--remote", help="tapbridge-remote, for the tables that run it")
    ap.add_argument("--bound", type=float, default=280, help="seconds the guest may take")
    ap.add_argument("--skip-missing", action="store_true", default=os.environ.get("TAPBRIDGE_SKIP_MISSING") == "1")
    ap.add_argument("--runner-only", action="store_true", help="check the runner's verdict on canned rows, boot nothing")
    ap.add_argument("tables", nargs="*", choices=[[]] + sorted(TABLES), default=[])
    args = ap.parse_args()
    # First the runner itself: if it could pass a failing row, no run of it means anything.
    checked, faults = runner_faults()
    for fault in faults:
        print(f"FAIL kernel: the runner itself is broken: {fault}")
    if faults or args.runner_only:
        print(f"kernel runner: {checked - len(faults)} passed, {len(faults)} failed")
        return 1 if faults else 0
    if not (args.driver and args.tapbridge and args.setup):
        ap.error("--driver, --tapbridge and --setup are needed (or --runner-only)")
    arch = vm.arch_of(args.driver)
    lack = vm.missing(arch)
    if lack:
        print(f"{'SKIP' if args.skip_missing else 'FAIL'} kernel ({arch}): missing {', '.join(lack)} "
              "(bash tools/deps.sh --kernel installs them)")
        return 77 if args.skip_missing else 1
    scenarios = [sc for name in (args.tables or TABLES) for sc in TABLES[name]()]
    if len({sc.name for sc in scenarios}) != len(scenarios):
        raise SystemExit("two scenarios share a name")
    console = []
    programs = [args.tapbridge, args.setup] + ([args.remote] if args.remote else [])
    records = vm.run(os.path.abspath(args.driver), [os.path.abspath(p) for p in programs],
                     batch_text(scenarios), args.bound, console, {INIT_IN_GUEST: INIT_SOURCE})
    try:
        return verdict(records, scenarios, console, f"kernel ({arch})", vm.accelerator(arch))
    except KeyboardInterrupt:
        # qemu is already gone: the runner stops it on every way out.
        print(f"kernel ({arch}): interrupted")
        return 130


if __name__ == "__main__":
    sys.exit(main())
