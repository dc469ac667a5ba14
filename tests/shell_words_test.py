#!/usr/bin/env python3
"""Words that tapbridge-setup prints, run by every shell a device may have.

usage: shell_words_test.py --helper PATH [--emulator CMD] [--skip-missing]

The helper (tests/shell_words.cpp) writes each awkward text of the table as
shell_word() makes it; each word is then run as `printf %s WORD` under dash,
busybox sh and bash, in the C locale and in a UTF-8 one, and what it prints
must be the text, byte for byte. A word must also be one line: a line break
in it would split the printed command line. A shell that is missing fails
the run and is named; with --skip-missing (or TAPBRIDGE_SKIP_MISSING=1),
asked for by hand, it exits 77 instead.
"""
import argparse
import os
import shutil
import subprocess
import sys

SHELLS = [["dash", "-c"], ["busybox", "sh", "-c"], ["bash", "-c"]]
LOCALES = ["C", "C.UTF-8"]
TEXTS = [
    # what it holds, the text
    ("plain", b"/dev/input/event3"),
    ("a blank", b"/tmp/touch screen"),
    ("empty", b""),
    ("a line break inside", b"evil\nReady. Run as root:"),
    ("a line break at the start", b"\nstart"),
    ("line breaks in a row", b"a\n\n\nb"),
    ("ESC and a bell", b"\x1b[2Jclear\x07"),
    ("DEL", b"del\x7f"),
    ("a control character last", b"end\x01"),
    ("control characters alone", b"\x01\x02\x1f"),
    ("a digit after a control character", b"\x017"),
    ("a quote", b"it's"),
    ("a quote after a line break", b"a\n'q'"),
    ("a backslash before a letter", b"/tmp/touch\\top\x01"),
    ("a backslash after a line break", b"\n\\n"),
    ("a %", b"100% \x01%d"),
    ("a % after a line break", b"a\n%s"),
    ("a $ and a command substitution", b"$HOME $(id) \x1b`id`"),
    ("a $ after a line break", b"\n$1"),
    ("double quotes", b'"q"\n"r"'),
    ("high bytes", b"caf\xc3\xa9 \x01\xe2\x84\xa2"),
    ("a high byte after a line break", b"\n\xc3\xa9\xff"),
    ("a tab and a carriage return", b"a\tb\rc"),
]
# No word on one line can end in a line break: the helper says so with "-".
NONE = [("a line break last", b"ends\n"), ("a line break alone", b"\n"), ("two line breaks last", b"a\x01\n\n")]


def words(helper, emulator, texts):
    out = subprocess.run(emulator + [helper] + texts, capture_output=True, check=True, timeout=60).stdout
    return out.split(b"\n")[:-1]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--helper", required=True)
    ap.add_argument("--emulator", default="")
    ap.add_argument("--skip-missing", action="store_true", default=os.environ.get("TAPBRIDGE_SKIP_MISSING") == "1")
    args = ap.parse_args()
    emulator = args.emulator.split()
    lack = [s[0] for s in SHELLS if not shutil.which(s[0])] + [e for e in emulator[:1] if not shutil.which(e)]
    if lack:
        print(f"{'SKIP' if args.skip_missing else 'FAIL'} shell words: missing {', '.join(lack)} "
              "(bash tools/deps.sh installs them)")
        return 77 if args.skip_missing else 1
    rows = TEXTS + NONE
    got = words(os.path.abspath(args.helper), emulator, [text for _, text in rows])
    if len(got) != len(rows):
        print(f"FAIL shell words: {len(got)} lines from the helper for {len(rows)} texts: {got!r}")
        return 1
    failed = 0
    for (name, text), word in zip(rows, got):
        problems = []
        if (name, text) in NONE:
            problems += [] if word == b"-" else [f"want no one-line word, got {word!r}"]
        else:
            problems += [f"the old $'...' form, which dash does not read: {word!r}"] if word.startswith(b"$'") else []
            for shell in SHELLS:
                for locale in LOCALES:
                    run = subprocess.run(shell + [b"printf %s " + word], capture_output=True, timeout=30,
                                         env=dict(os.environ, LC_ALL=locale))
                    if run.stdout != text or run.returncode != 0:
                        problems.append(f"{shell[0]} ({locale}) printed {run.stdout!r}, status {run.returncode}"
                                        + (f", said {run.stderr!r}" if run.stderr else ""))
        print(f"{'ok  ' if not problems else 'FAIL'} shell words: {name}: {word.decode(errors='backslashreplace')}")
        for p in problems:
            print(f"     {p}")
        failed += bool(problems)
    print(f"shell words: {len(rows) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
