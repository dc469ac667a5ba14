#!/usr/bin/env python3
"""Soak run: thousands of packets at the full rate the loop allows.

usage: soak.py --binary PATH [--packets N] [--smoke]

Keeps the simulated mouse's queue topped up, so tapbridge handles one packet
every pass (about twenty a second), with a mix of buttons, wheel steps,
releases and chords. Afterwards every expected record must be in the touch
node and none extra, every button line on standard output, and resident memory
and the count of open descriptors as they were after the first hundred taps.
Exits 1 otherwise.
"""
import argparse
import os
import random
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
import simdev as sd  # noqa: E402
from bench import status_field  # noqa: E402

POINTS = [11, 12, 21, 22, 31, 32, 41, 42, 51, 52]
# packet, the code it must give
KINDS = [(sd.packet(0x09, 0), 1), (sd.packet(0x0A, 0), 2), (sd.packet(0x0C, 0), 3), (sd.packet(0x08, 0xFF), 4),
         (sd.packet(0x08, 0x01), 5), (sd.packet(0x08, 0), 0), (sd.packet(0x0B, 0), 0), (sd.packet(0x09, 0x02), 5)]


def feeder(s, packets):
    for data in packets:
        while s.queued() >= 16:  # four packets waiting: never idle, never overflowing
            time.sleep(0.005)
        s.send(data)


def fast_clock(path, stop, start=1767225600, speed=30):
    t0 = time.monotonic()
    while not stop.is_set():
        sd.set_clock(path, start + int((time.monotonic() - t0) * speed))
        time.sleep(0.1)


def sample(pid):
    return status_field(pid, "VmRSS"), len(os.listdir(f"/proc/{pid}/fd"))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    ap.add_argument("--packets", type=int, default=3000)
    ap.add_argument("--smoke", action="store_true")
    a = ap.parse_args()
    if a.smoke:
        a.packets = 200
    binary = os.path.abspath(a.binary)
    rsize = sd.record_size(binary)
    rng = random.Random(1)
    plan = [rng.choice(KINDS) for _ in range(a.packets)]
    codes = [c for _, c in plan if c]
    node = os.path.join(tempfile.mkdtemp(prefix="tapbridge-soak-"), "event0")
    open(node, "wb").close()

    # The wall clock runs 30 times fast (libfaketime, steered from here), so
    # the keep-awake command, one shell per minute of taps, runs every two
    # seconds and is part of the pages and descriptors counted after 100 taps.
    tmp = os.path.dirname(node)
    log, clock = os.path.join(tmp, "lipc.log"), os.path.join(tmp, "clock")
    stop = threading.Event()
    threading.Thread(target=fast_clock, args=(clock, stop), daemon=True).start()
    stand_in = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "stand-in")
    env = dict(os.environ, PATH=stand_in + ":" + os.environ["PATH"], LIPC_LOG=log, **sd.steered_clock_env(clock))
    s = sd.Session(binary, [node, 0] + POINTS, env=env)
    s.handshake()
    pid = s.pid()
    t0 = time.monotonic()
    threading.Thread(target=feeder, args=(s, [p for p, _ in plan]), daemon=True).start()
    tap_bytes = 12 * rsize
    sd.until(lambda: os.path.getsize(node) >= 100 * tap_bytes, 60)
    first = sample(pid)
    timeout = a.packets * 0.1 + 30
    sd.until(lambda: os.path.getsize(node) >= len(codes) * tap_bytes, timeout)
    got = os.path.getsize(node)
    s.wait_lines(1 + len(codes), timeout=10)
    elapsed = time.monotonic() - t0
    time.sleep(0.5)  # anything extra would arrive now
    last = sample(pid)
    s.stop()

    want = sd.tap_bytes(sd.enabled_taps(codes, POINTS), rsize)
    data = open(node, "rb").read()
    lines = "use imps2 protocol\n" + sd.button_lines(codes, POINTS)
    out = s.out.text().splitlines()
    keep_awake = out.count("Prevent sleep...")
    stop.set()
    stamps = [int(line.rsplit("@", 1)[1]) for line in open(log)] if os.path.exists(log) else []
    runs = len(stamps)
    gaps = [b - a for a, b in zip(stamps, stamps[1:])]
    out = [line for line in out if line != "Prevent sleep..."]
    checks = [("every expected record, none extra", data == want),
              ("every button line", out == lines.splitlines()),
              # How far apart the stand-in's own clock readings fall depends
              # on scheduling, so the gaps are printed, not judged.
              ("keep-awake: each notice one run", keep_awake == runs > 0),
              ("resident memory steady", last[0] == first[0]),
              ("open descriptors steady", last[1] == first[1])]
    print(f"packets {a.packets}, taps {len(codes)}, {elapsed:.1f} s, {a.packets / elapsed:.1f} packets/s")
    print(f"touch node: {got} bytes, expected {len(want)} ({len(data) // rsize} records of {rsize} bytes)")
    print(f"keep-awake: {keep_awake} notices, {runs} command runs, "
          f"{min(gaps, default=0)} to {max(gaps, default=0)} steered seconds apart by the stand-in's clock")
    print(f"after 100 taps: VmRSS {first[0]} KiB, {first[1]} descriptors; at the end: VmRSS {last[0]} KiB, "
          f"{last[1]} descriptors")
    for name, ok in checks:
        print(f"{'ok  ' if ok else 'FAIL'} {name}")
    for i, (g, w) in enumerate(zip(out, lines.splitlines())):
        if g != w:
            print(f"  standard output differs at line {i + 1}: {g!r}, expected {w!r}")
            break
    else:
        if len(out) != len(lines.splitlines()):
            print(f"  standard output has {len(out)} button lines, expected {len(lines.splitlines())}")
    return 0 if all(ok for _, ok in checks) else 1


if __name__ == "__main__":
    sys.exit(main())
