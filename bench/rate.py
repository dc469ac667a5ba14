#!/usr/bin/env python3
"""How many clicks and wheel steps become taps, by how fast they come.

usage: rate.py --build DIR [--clicks N] [--steps N] [--smoke]

Boots Debian's kernel under qemu (tools/vm.py) with the guest driver and the
tapbridge of DIR (build/default for the amd64 guest, build/armv7 for the ARM
one), makes a uinput mouse and touch screen, and plays, for each case, a
burst or a paced run of clicks or wheel steps while tapbridge reads
/dev/input/mice as it always does: one packet a pass, each pass at least
50 ms. mousedev keeps a few packets for each reader and merges what comes
on top; what is lost shows as fewer taps than inputs. After the last input,
tapbridge is given time to read what is still queued; then its button lines
are counted (each one tap) and the touch node's taps with them.
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import vm  # noqa: E402

POINTS = "110 120 230 240 350 360 470 480 590 600"
CLICK, STEP = "L1 S L0 S", "W-1 S"
# Time for what is still queued after the last input: a pass is 50 ms and
# more, and an emulated guest is slow.
DRAIN_MS = 2500


def cases(clicks, steps, smoke):
    """(what, count sent, interval ms, tokens) for each case."""
    if smoke:
        return [("burst of 20 clicks", 20, 0, CLICK), (f"{4} clicks 150 ms apart", 4, 150, CLICK)]
    out = [(f"burst of {n} clicks", n, 0, CLICK) for n in (1, 4, 8, 9, 16, 100)]
    out += [(f"{clicks} clicks {ms} ms apart", clicks, ms, CLICK) for ms in (50, 75, 90, 100, 110, 125, 150, 200)]
    out += [(f"burst of {steps} wheel steps", steps, 0, STEP)]
    out += [(f"{steps} wheel steps {ms} ms apart", steps, ms, STEP) for ms in (10, 25, 50, 60, 75, 100)]
    return out


def batch(rows):
    text = ""
    for what, count, ms, tokens in rows:
        text += (f"scenario {what}\nscreen mt 0 1071 0 1447\nrun tb tapbridge $TOUCH 0 {POINTS}\n"
                 "wait tb text use imps2 protocol\nwait tb idle\n"
                 f"paced {ms} {count} {tokens}\npause {DRAIN_MS}\n")
    return text


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True, help="build tree with tapbridge and tapbridge-guest")
    ap.add_argument("--clicks", type=int, default=100, help="clicks in each paced run")
    ap.add_argument("--steps", type=int, default=20, help="wheel steps in each run")
    ap.add_argument("--smoke", action="store_true", help="two short cases, to prove the script works")
    args = ap.parse_args()
    rows = cases(args.clicks, args.steps, args.smoke)
    driver, tapbridge = (os.path.abspath(os.path.join(args.build, p)) for p in ("tapbridge-guest", "tapbridge"))
    arch = vm.arch_of(driver)
    taps, frames, current, failures, console = {}, {}, None, [], []
    try:
        for tag, text in vm.run(driver, [tapbridge], batch(rows), 60 + sum(c * ms / 1000 + 4 for _, c, ms, _ in rows),
                                console):
            if tag == "kernel":
                print(f"guest: Linux {text} ({arch}, {vm.accelerator(arch)}), tapbridge {args.build}/tapbridge")
            elif tag == "scenario":
                current = text
                taps[current] = frames[current] = 0
            elif tag == "out" and current and text.startswith("tb button "):
                taps[current] += 1
            elif tag == "touch" and current and text.endswith("SYN_REPORT 0"):
                frames[current] += 1
            elif tag == "fail":
                failures.append(f"{current}: {text}")
            elif tag == "end":
                current = None
    except vm.GuestError as e:
        failures.append(str(e))
        failures += console[-10:]
    print(f"{'input':<32} {'sent':>5} {'taps':>5} {'lost':>5}  lost share")
    for what, count, _, _ in rows:
        if what not in taps:
            continue
        # Every tap is four frames on the touch node; a button line without them is no tap.
        done = min(taps[what], frames[what] // 4)
        print(f"{what:<32} {count:>5} {done:>5} {count - done:>5}  {100 * (count - done) / count:5.1f} %")
    for f in failures:
        print(f"FAIL {f}")
    return 1 if failures or len(taps) != len(rows) else 0


if __name__ == "__main__":
    sys.exit(main())
