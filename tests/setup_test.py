#!/usr/bin/env python3
"""The shipped tapbridge-setup where there are no input devices, and its probes
under canned /dev, /sys and /proc.

usage: setup_test.py --binary PATH --probe PATH --version X.Y.Z [--emulator CMD]
bubblewrap gives each run a /dev of its own, without /dev/input unless a row
puts something there, so the run is the same on a machine that has input
devices. Device nodes are made with mknod (as root): with no driver behind
their numbers they stand for what a container or a stale /dev shows.
"""
import argparse
import os
import shutil
import socket
import stat
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import simdev as sd  # noqa: E402

USAGE = ["Usage: tapbridge-setup", "Try tapbridge-setup --help."]
NO_DEVICES = "no input devices"
OUTPUT_ERROR = "tapbridge-setup: cannot write to standard output: "
# Scenes: bubblewrap arguments, {t} is the directory of canned files.
INPUT = ["--dir", "/dev/input"]
# A /proc that is no procfs, with an entry no int holds. Its "self" leads to
# a real one: the sanitizers read their options from /proc/self/environ.
HUGE_PROC = ["--proc", "{t}/realproc", "--bind", "{t}/proc", "/proc"]
NO_SYS = ["--tmpfs", "/sys"]
SILENT_X = ["--unshare-net", "--bind", "{t}/x11", "/tmp/.X11-unix"]
CASES = [
    # name, arguments, exit status, words on stdout, words on stderr, scene, shell redirections, environment
    ("report: no input devices", [], 2, [], [NO_DEVICES, "/dev/input has no event nodes"]),
    ("--fix: nothing to fix it on", ["--fix"], 2, [], [NO_DEVICES, "nothing changed"]),
    ("--pick without NODE: no screen to choose", ["--pick"], 2, [], [NO_DEVICES]),
    ("--remotes: no input devices, so no remote", ["--remotes"], 2, [], [NO_DEVICES, "/dev/input has no event nodes"]),
    ("--pick: missing node", ["--pick", "/dev/input/event3"], 2, [], ["/dev/input/event3 does not exist"]),
    ("--pick: a path through a plain file", ["--pick", "/dev/null/event3"], 2, [],
     ["/dev/null/event3 does not exist"]),
    ("--pick: a character device of another kind", ["--pick", "/dev/null"], 2, [],
     ["/dev/null is not an input event device (it is a character device 1:3)"]),
    ("--pick: a plain file", ["--pick", __file__], 2, [], [f"{__file__} is not an input event device (it is a regular"]),
    ("--pick: a terminal, /sys hidden: never opened", ["--pick", "/dev/ptmx"], 2, [], ["character device 5:2"], NO_SYS),
    ("--pick: evdev's number without a driver", ["--pick", "/dev/input/event2"], 2, [], ["no driver answers"],
     INPUT + ["--dev-bind", "{t}/event66", "/dev/input/event2"]),
    ("--pick: a node on a nodev mount", ["--pick", "/dev/input/event2"], 2, [], ["mounted nodev"],
     INPUT + ["--bind", "{t}/event66", "/dev/input/event2"]),
    # A stale node that no driver answers is no device, whatever links to it.
    ("report: a stale node and its symbolic link are no device", [], 2, [], [NO_DEVICES],
     INPUT + ["--dev-bind", "{t}/event66", "/dev/input/event2", "--symlink", "event2", "/dev/input/event02"]),
    ("report: a pid too large for an int in /proc", [], 2, [], [NO_DEVICES], HUGE_PROC),
    ("--fix: a pid too large for an int in /proc", ["--fix"], 2, [], [NO_DEVICES], HUGE_PROC),
    ("report: an X server that never answers", [], 2, [], [NO_DEVICES], SILENT_X, "", {"DISPLAY": ":7"}),
    ("--help to a full device", ["--help"], 74, [], [OUTPUT_ERROR + "No space left on device"], [], ">/dev/full"),
    ("--version to a closed standard output", ["--version"], 74, [], ["standard output is closed"], [], ">&-"),
    ("report to a closed standard output", [], 74, [], ["standard output is closed"], [], ">&-"),
    ("unknown option", ["--frob"], 64, [], ["unknown option '--frob'"] + USAGE),
    # Echoed escaped: it can neither forge a line nor steer the terminal.
    ("unknown option with a line break and escapes", ["--x\x1b[2J\nReady. Run as root:\x9b"], 64, [],
     ["unknown option '--x\\x1b[2J\\nReady. Run as root:\\xc2\\x9b'"] + USAGE),
    ("report takes no argument", ["/dev/input/event3"], 64, [], ["unexpected argument '/dev/input/event3'"] + USAGE),
    ("--pick: an option where NODE goes", ["--pick", "-x"], 64, [], ["unknown option '-x'"] + USAGE),
    ("--pick takes one NODE", ["--pick", "/dev/null", "x"], 64, [], ["unexpected argument 'x'"] + USAGE),
    ("--fix takes none", ["--fix", "now"], 64, [], ["unexpected argument 'now'"] + USAGE),
    ("--remotes takes none", ["--remotes", "/dev/input/event3"], 64, [], ["unexpected argument '/dev/input/event3'"]
     + USAGE),
    ("--help", ["--help"], 0, ["Usage: tapbridge-setup", "--pick [NODE]", "--remotes", "--fix", "85%,50%", "Exit status",
                               "64", "74", "unknown", "held still\n               for 1 s", "130 --pick stopped by two fingers"], []),
]

MICE = "/dev/input/mice"
PROCS = ["--unshare-pid", "--proc", "/proc"]


def started(command, comm):
    """A shell line that starts command in the background, waits until its
    process has become comm, and runs the probe."""
    return f'{command} & until grep -qx {comm} /proc/$!/comm 2>/dev/null; do sleep 0.01; done; exec "$@"'


PROBES = [
    # name, probe arguments, scene, words on stdout, shell line (starting a process first), environment
    ("mice: a FIFO", ["mice"], INPUT + ["--bind", "{t}/fifo", MICE], ["mice: not_mice a FIFO"]),
    ("mice: a regular file", ["mice"], INPUT + ["--bind", "{t}/file", MICE], ["mice: not_mice a regular file"]),
    ("mice: a directory", ["mice"], INPUT + ["--dir", MICE], ["mice: not_mice a directory"]),
    ("mice: a link to /dev/null", ["mice"], INPUT + ["--symlink", "/dev/null", MICE],
     ["mice: not_mice a character device 1:3, reached through a symbolic link"]),
    ("mice: a symbolic link loop", ["mice"], INPUT + ["--symlink", MICE, MICE], ["mice: failed"]),
    ("mice: a terminal", ["mice"], INPUT + ["--dev-bind", "/dev/ptmx", MICE], ["mice: not_mice a character device 5:2"]),
    # mousedev's numbers on a block device are no multiplexer either.
    ("mice: a block device 13:63", ["mice"], INPUT + ["--dev-bind", "{t}/blockmice", MICE],
     ["mice: not_mice a block device 13:63"]),
    ("mice: 13:63 without mousedev", ["mice"], INPUT + ["--dev-bind", "{t}/mice", MICE], ["mice: no_driver"]),
    ("mice: 13:63 on a nodev mount", ["mice"], INPUT + ["--bind", "{t}/mice", MICE], ["mice: nodev_mount"]),
    ("mice: nothing there", ["mice"], INPUT, ["mice: missing"]),
    ("tap_time: /sys hidden", ["tap_time"], NO_SYS, ["present: unknown: ", "/sys/module"]),
    ("fed: /sys hidden", ["fed", "/dev/null"], NO_SYS, ["fed: unknown: ", "/sys/dev/char"]),
    ("fed: no /sys entry for the device", ["fed", "{t}/event1000"], [],
     ["fed: unknown: cannot read /sys/dev/char/13:1000/device"]),
    ("open: a terminal is not opened", ["open", "/dev/ptmx"], NO_SYS, ["outcome: not_input a character device 5:2"]),
    ("open: a mousedev node", ["open", "{t}/input/mouse0"], [], ["outcome: not_input a character device 13:32"]),
    ("open: evdev's number without a driver", ["open", "{t}/event66"], ["--dev-bind", "{t}/event66", "{t}/event66"],
     ["outcome: no_driver"]),
    ("nodes: by number, each device once, by its own name", ["nodes", "{t}/input"], [],
     ["{t}/input/event2\n{t}/input/event007\n{t}/input/event10\n{t}/input/event4294967296\n"]),
    ("display: a server that never answers", ["display"], SILENT_X, ["asked 1 timed_out 1 opened 0"], "",
     {"DISPLAY": ":7"}),
    ("display: no server there", ["display"], SILENT_X, ["asked 1 timed_out 0 opened 0"], "", {"DISPLAY": ":8"}),
    ("display: DISPLAY set but empty is not asked", ["display"], [], ["asked 0 "], "", {"DISPLAY": ""}),
    # A screen wider than it is tall, so that its two sides cannot be mixed up.
    ("display: a live server's size", ["display"], [], ["asked 1 timed_out 0 opened 1 xtest 1 size 800x480\n"], "",
     {"DISPLAY": "{display}"}),
    ("tapbridges: /proc hidden, a pid too large for an int", ["tapbridges"], HUGE_PROC,
     ["any: unknown: /proc is not on procfs"]),
    ("tapbridges: none", ["tapbridges"], PROCS, ["any: no\n"]),
    ("tapbridges: one running", ["tapbridges"], PROCS, ["any: yes\npid "], started("{t}/tapbridge 60", "tapbridge")),
    ("holders: who has the device open", ["holders", "/dev/zero"], PROCS, ["any: yes\npid ", " sleep\n"],
     started("sleep 60 3</dev/zero", "sleep")),
]


def make_canned(t):
    """The files the scenes put in place: odd nodes, a /proc with an entry no
    int holds, an input directory to list, a silent X server's socket."""
    os.mkfifo(f"{t}/fifo")
    open(f"{t}/file", "w").close()
    for name, major, minor in [("event66", 13, 66), ("event1000", 13, 1000), ("mice", 13, 63)]:
        os.mknod(f"{t}/{name}", 0o600 | 0o020000, os.makedev(major, minor))
    os.makedirs(f"{t}/proc/99999999999")
    os.makedirs(f"{t}/proc/12")
    with open(f"{t}/proc/12/comm", "w") as f:
        f.write("tapbridge\n")
    os.makedirs(f"{t}/realproc")
    os.symlink(f"{t}/realproc/self", f"{t}/proc/self")
    os.makedirs(f"{t}/input/by-id")
    for name, minor in [("event10", 74), ("event2", 66), ("event007", 71), ("event4294967296", 300), ("mouse0", 32)]:
        os.mknod(f"{t}/input/{name}", 0o600 | 0o020000, os.makedev(13, minor))
    os.symlink("event2", f"{t}/input/event02")
    os.symlink("../event10", f"{t}/input/by-id/touch-event")
    os.mknod(f"{t}/input/null", 0o600 | 0o020000, os.makedev(1, 3))
    os.mknod(f"{t}/blockmice", 0o600 | stat.S_IFBLK, os.makedev(13, 63))
    os.mkfifo(f"{t}/input/event5")
    shutil.copy("/bin/sleep", f"{t}/tapbridge")
    os.makedirs(f"{t}/x11")
    # Takes connections into its backlog and never answers them.
    silent = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    silent.bind(f"{t}/x11/X7")
    silent.listen(4)
    return silent


def run(cmd, t, scene, shell="", env_extra=None, emulator=()):
    """Runs cmd under bubblewrap in scene; shell, when given, is a redirection
    or a command line that ends in exec "$@"."""
    bwrap = ["bwrap", "--die-with-parent", "--bind", "/", "/", "--dev", "/dev"]
    bwrap += [a.replace("{t}", t) for a in scene] + ["--"]
    if shell:
        script = shell.replace("{t}", t) if "exec" in shell else f'exec "$@" {shell}'
        bwrap += ["sh", "-c", script, "sh"]
    # The leak checker reads /proc/PID, which some scenes hide.
    leaks = "0" if HUGE_PROC[3] in scene else "1"
    env = dict(os.environ, ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=" + leaks)
    env.pop("DISPLAY", None)
    env.update({k: v.replace("{t}", t) for k, v in (env_extra or {}).items()})
    keep = len(sd.PROCS)  # the X server stays for the next run
    proc = sd.spawn(bwrap + list(emulator) + [a.replace("{t}", t) for a in cmd], stdin=subprocess.DEVNULL,
                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
    try:
        # Nothing here waits for input; a hang is a failure, not a wait.
        out, err = proc.communicate(timeout=60)
    except subprocess.TimeoutExpired:
        sd.reap(keep)
        return None, "", "hung: no end within 60 s"
    sd.reap(keep)
    return proc.returncode, out, err


def report(name, problems, out, err):
    print(f"{'ok  ' if not problems else 'FAIL'} {name}")
    for problem in problems:
        print(f"     {problem}")
    if problems:
        print(f"     stdout: {out!r}\n     stderr: {err!r}")
    return bool(problems)


def check_binary(args, t, emulator):
    cases = CASES + [("--version", ["--version"], 0, [f"tapbridge-setup {args.version}\n"], [])]
    failures = 0
    for name, extra, status, out_words, err_words, *how in cases:
        scene, shell, env = (how + [[], "", {}][len(how):])[:3]
        code, out, err = run([os.path.abspath(args.binary)] + extra, t, scene, shell, env, emulator)
        problems = [f"exit status {code}, want {status}"] if code != status else []
        problems += [f"stdout lacks {w!r}" for w in out_words if w not in out]
        problems += [f"stderr lacks {w!r}" for w in err_words if w not in err]
        # A failure prints no command line, not even part of one.
        if status != 0 and out:
            problems.append(f"stdout not empty: {out!r}")
        if status == 0 and err:
            problems.append(f"stderr not empty: {err!r}")
        failures += report(name, problems, out, err)
    return failures


def check_probes(args, t, emulator, display):
    failures = 0
    for name, extra, scene, words, *how in PROBES:
        shell, env = (how + ["", {}][len(how):])[:2]
        env = {k: v.replace("{display}", display) for k, v in env.items()}
        code, out, err = run([os.path.abspath(args.probe)] + extra, t, scene, shell, env, emulator)
        problems = [f"exit status {code}, want 0"] if code != 0 else []
        problems += [f"stdout lacks {w!r}" for w in (w.replace("{t}", t) for w in words) if w not in out]
        failures += report("probe " + name, problems, out, err)
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--emulator", default="")
    args = parser.parse_args()
    emulator = args.emulator.split()
    for tool in ["bwrap", "Xvfb"] + emulator[:1]:
        if not shutil.which(tool):
            sys.exit(f"FAIL: {tool} is not installed (bash tools/deps.sh --cross)")
    if os.geteuid() != 0:
        sys.exit("FAIL: the canned device nodes need root (mknod)")
    with tempfile.TemporaryDirectory() as t:
        silent = make_canned(t)
        # {display}: a live X server, the kind the report measures in pixels.
        _, display = sd.start_xvfb("800x480")
        failures = check_binary(args, t, emulator) + check_probes(args, t, emulator, display)
        silent.close()
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
