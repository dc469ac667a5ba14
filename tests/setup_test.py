#!/usr/bin/env python3
"""The shipped tapbridge-setup on a system without input devices.

usage: setup_test.py --binary PATH --version X.Y.Z [--emulator CMD]
bubblewrap gives the binary a /dev of its own, without /dev/input, so the
run is the same on a machine that has input devices.
"""
import argparse
import os
import shutil
import subprocess
import sys

USAGE = ["Usage: tapbridge-setup", "Try tapbridge-setup --help."]
CASES = [
    # name, arguments, exit status, words on stdout, words on stderr
    ("report: no input devices", [], 2, [], ["no input devices", "/dev/input has no event nodes"]),
    ("--fix: nothing to fix it on", ["--fix"], 2, [], ["no input devices", "nothing changed"]),
    ("--pick without NODE: no screen to choose", ["--pick"], 2, [], ["no input devices"]),
    ("--pick: missing node", ["--pick", "/dev/input/event3"], 2, [], ["/dev/input/event3 does not exist"]),
    ("--pick: a character device of another kind", ["--pick", "/dev/null"], 2, [],
     ["/dev/null is not an input device"]),
    ("--pick: a plain file", ["--pick", __file__], 2, [], [f"{__file__} is not an input device"]),
    ("unknown option", ["--frob"], 64, [], ["unknown option '--frob'"] + USAGE),
    ("report takes no argument", ["/dev/input/event3"], 64, [], ["unexpected argument '/dev/input/event3'"] + USAGE),
    ("--pick takes one NODE", ["--pick", "/dev/null", "x"], 64, [], ["unexpected argument 'x'"] + USAGE),
    ("--fix takes none", ["--fix", "now"], 64, [], ["unexpected argument 'now'"] + USAGE),
    ("--help", ["--help"], 0, ["Usage: tapbridge-setup", "--pick [NODE]", "--fix", "85%,50%", "Exit status",
                               "64"], []),
]


def run(args, binary, emulator, extra):
    cmd = ["bwrap", "--die-with-parent", "--bind", "/", "/", "--dev", "/dev", "--"] + emulator + [binary] + extra
    env = dict(os.environ, ASAN_OPTIONS="verify_asan_link_order=0")
    env.pop("DISPLAY", None)
    # Nothing here waits for input; a hang is a failure, not a wait.
    return subprocess.run(cmd, stdin=subprocess.DEVNULL, capture_output=True, text=True, env=env, timeout=60)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--emulator", default="")
    args = parser.parse_args()
    emulator = args.emulator.split()
    for tool in ["bwrap"] + emulator[:1]:
        if not shutil.which(tool):
            sys.exit(f"FAIL: {tool} is not installed (bash tools/deps.sh --cross)")
    cases = CASES + [("--version", ["--version"], 0, [f"tapbridge-setup {args.version}\n"], [])]
    failures = 0
    for name, extra, status, out_words, err_words in cases:
        p = run(args, os.path.abspath(args.binary), emulator, extra)
        problems = [f"exit status {p.returncode}, want {status}"] if p.returncode != status else []
        problems += [f"stdout lacks {w!r}" for w in out_words if w not in p.stdout]
        problems += [f"stderr lacks {w!r}" for w in err_words if w not in p.stderr]
        # A failure prints no command line, not even part of one.
        if status != 0 and p.stdout:
            problems.append(f"stdout not empty: {p.stdout!r}")
        if status == 0 and p.stderr:
            problems.append(f"stderr not empty: {p.stderr!r}")
        print(f"{'ok  ' if not problems else 'FAIL'} {name}")
        for problem in problems:
            print(f"     {problem}")
        if problems:
            print(f"     stdout: {p.stdout!r}\n     stderr: {p.stderr!r}")
        failures += bool(problems)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
