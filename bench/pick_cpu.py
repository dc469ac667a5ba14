#!/usr/bin/env python3
"""CPU that tapbridge-setup --pick uses while it waits, on a real kernel.

usage: pick_cpu.py --driver PATH --setup PATH [--window MS]

Boots the kernel tier's guest (tools/vm.py) for the driver's architecture and
has --pick wait on a touch screen with standard input that never ends a line
(/dev/zero, and a pipe fed from it), and with standard input closed; prints
the CPU it used in each window, in clock ticks (100 a second, sampled at
each timer interrupt) and in ms as the scheduler counts it. A wait that
spins fills the window: about window/10 ticks.
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import vm  # noqa: E402

INPUTS = [("/dev/zero", "</dev/zero", []),
          ("a pipe from /dev/zero", "</tmp/zeros", ["sh rm -f /tmp/zeros && mkfifo /tmp/zeros",
                                                    "run z cat /dev/zero >/tmp/zeros"]),
          ("closed", "<&-", [])]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--driver", required=True)
    ap.add_argument("--setup", required=True)
    ap.add_argument("--window", type=int, default=5000)
    args = ap.parse_args()
    batch = ""
    for name, redirect, before in INPUTS:
        # Measured once it first sleeps: what it read before is not the wait.
        batch += "".join(f"{s}\n" for s in [f"scenario {name}", "screen mt 0 1071 0 1447", *before,
                                            f"run p tapbridge-setup --pick $TOUCH {redirect}", "wait p text left (",
                                            "wait p idle", f"cpu p {args.window}"])
    arch, current = vm.arch_of(args.driver), None
    for tag, text in vm.run(os.path.abspath(args.driver), [os.path.abspath(args.setup)], batch):
        if tag == "scenario":
            current = text
        elif tag == "cpu":
            _, ticks, ms = text.split()
            print(f"{arch}: standard input {current}: {ticks} ticks, {ms} ms on CPU in {args.window} ms", flush=True)
        elif tag == "fail":
            print(f"{arch}: standard input {current}: {text}", flush=True)


if __name__ == "__main__":
    main()
