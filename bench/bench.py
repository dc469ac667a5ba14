#!/usr/bin/env python3
"""Speed and footprint of tapbridge against the one-shot tools a user would loop instead.

usage: bench.py --binary PATH [--taps N] [--idle S] [--smoke]

Runs the shipped binary on simulated devices (a pty mouse at /dev/input/mice,
a FIFO touch node, Xvfb) and prints a table. Nothing is timed inside the
program: latency is seen from outside, CPU comes from /proc/PID/schedstat
(nanoseconds on CPU), system calls from strace, memory from VmHWM.
"""
import argparse
import os
import platform
import resource
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
import simdev as sd  # noqa: E402

POINTS = [100, 110, 200, 210, 300, 310, 400, 410, 500, 510]
PAUSE_MS = 50.0
LEFT = sd.packet(0x09, 0)


def cpu_ns(pid):
    return int(open(f"/proc/{pid}/schedstat").read().split()[0])


def status_field(pid, field):
    for line in open(f"/proc/{pid}/status"):
        if line.startswith(field + ":"):
            return int(line.split()[1])
    raise KeyError(field)


class FifoCounter(threading.Thread):
    """Reads the touch FIFO and stamps the moment each twelfth record arrives."""

    def __init__(self, path, rsize):
        super().__init__(daemon=True)
        self.path, self.tap_bytes, self.total, self.stamps = path, 12 * rsize, 0, []
        self.cond = threading.Condition()
        self.start()

    def run(self):
        with open(self.path, "rb", buffering=0) as f:
            while chunk := f.read(65536):
                now = time.perf_counter()
                with self.cond:
                    before = self.total // self.tap_bytes
                    self.total += len(chunk)
                    self.stamps += [now] * (self.total // self.tap_bytes - before)
                    self.cond.notify_all()

    def wait_taps(self, n, timeout=10):
        with self.cond:
            return self.cond.wait_for(lambda: len(self.stamps) >= n, timeout)


def start_touch(binary, tmp, env):
    fifo = os.path.join(tmp, "event0")
    os.mkfifo(fifo)
    counter = FifoCounter(fifo, sd.record_size(binary))
    s = sd.Session(binary, [fifo, 0] + POINTS, env=env)
    s.handshake()
    s.wait_lines(1)
    return s, counter, s.pid()


def tap_latencies(s, counter, n):
    lat = []
    for _ in range(n):
        done = len(counter.stamps)
        time.sleep(0.02)  # arrive while the loop sits in poll, as a real press does
        t = time.perf_counter()
        s.send(LEFT)
        if not counter.wait_taps(done + 1):
            raise RuntimeError("tap did not arrive")
        lat.append((counter.stamps[done] - t) * 1000)
    return lat


def strace_window(pid, action):
    """Runs action() with strace attached; returns [(syscall, result)]."""
    log = f"/tmp/tapbridge-bench-strace-{pid}"
    tr = sd.spawn(["strace", "-qq", "-p", str(pid), "-o", log], stderr=subprocess.DEVNULL)
    sd.until(lambda: status_field(pid, "TracerPid") != 0, 10, lambda: tr.poll() is None)  # attached
    action()
    time.sleep(0.2)  # the last tap's trailing calls
    tr.terminate()
    tr.wait()
    calls = []
    for line in open(log):
        if "(" in line and "=" in line:
            name = line.split("(", 1)[0].strip()
            calls.append((name, line.rsplit("=", 1)[1].split()[0]))
    os.unlink(log)
    return calls


def syscall_profile(s, counter, pid, taps):
    idle = strace_window(pid, lambda: time.sleep(1.0))
    wakeups = sum(1 for n, r in idle if n == "poll" and r == "0")
    idle_per_wake = len(idle) / max(wakeups, 1)
    busy = strace_window(pid, lambda: tap_latencies(s, counter, taps))
    work = [c for c in busy if not (c[0] == "poll" and c[1] == "0")]  # drop idle time-outs
    by_name = {}
    for name, _ in work:
        by_name[name] = by_name.get(name, 0) + 1
    return idle_per_wake, len(work) / taps, {k: v / taps for k, v in sorted(by_name.items())}


def tapbridge_touch(binary, tmp, env, taps, idle_s):
    s, counter, pid = start_touch(binary, tmp, env)
    tap_latencies(s, counter, 5)  # warm up
    c0, t0 = cpu_ns(pid), time.perf_counter()
    lat = tap_latencies(s, counter, taps)
    c1, t1 = cpu_ns(pid), time.perf_counter()
    time.sleep(idle_s)
    c2, t2 = cpu_ns(pid), time.perf_counter()
    idle_rate = (c2 - c1) / (t2 - t1)  # ns of CPU per second idle
    per_tap_gross = (c1 - c0) / taps
    per_tap_net = net_cpu(c1 - c0, t1 - t0, lat, idle_rate)
    syscalls = syscall_profile(s, counter, pid, max(10, taps // 10))
    hwm = status_field(pid, "VmHWM")
    s.stop()
    return dict(lat=lat, cpu_tap=per_tap_gross, cpu_tap_net=per_tap_net, cpu_idle=idle_rate, sys=syscalls,
                hwm=hwm)


def net_cpu(cpu, window, lat, idle_rate):
    """CPU per tap less the idle polling done between taps: outside each
    press-to-tap interval the loop idles exactly as in the idle window."""
    idle_time = window - sum(lat) / 1000
    return (cpu - idle_rate * idle_time) / len(lat)


def tapbridge_x(binary, display, env, taps, idle_rate):
    xev, seen = sd.start_xev(display, "button")
    s = sd.Session(binary, ["/dev/null", 1] + POINTS, env=dict(env, DISPLAY=display))
    s.handshake()
    s.wait_lines(1)
    pid = s.pid()
    lat, c0, t0 = [], cpu_ns(pid), time.perf_counter()
    for i in range(taps):
        time.sleep(0.02)
        t = time.perf_counter()
        s.send(sd.packet(0x09 if i % 2 == 0 else 0x0A, 0))  # alternate points so every click moves
        if not seen.wait(lambda d: d.count(b"ButtonRelease") >= i + 1, 10):
            raise RuntimeError("click not seen")
        lat.append((time.perf_counter() - t) * 1000)
    cpu, window = cpu_ns(pid) - c0, time.perf_counter() - t0
    hwm = status_field(pid, "VmHWM")
    s.stop()
    return dict(lat=lat, cpu_tap=cpu / taps, cpu_tap_net=net_cpu(cpu, window, lat, idle_rate), hwm=hwm)


def children_cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def run_per_tap(commands_for_tap, taps, env):
    """Wall and CPU per tap of a shell-loop replacement: one process per command."""
    walls, c0 = [], children_cpu()
    for _ in range(taps):
        t = time.perf_counter()
        for cmd in commands_for_tap:
            subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        walls.append((time.perf_counter() - t) * 1000)
    return dict(wall=walls, cpu_tap=(children_cpu() - c0) * 1e9 / taps)


def evemu_tap(node, x, y):
    """The same twelve records, one evemu-event process each."""
    return [["evemu-event", node, "--type", sd.NAMES[(t, c)][0], "--code", sd.NAMES[(t, c)][1], "--value", str(v)]
            for t, c, v in sd.tap_triples(x, y)]


def pct(values, p):
    v = sorted(values)
    return v[min(len(v) - 1, int(round(p / 100 * (len(v) - 1))))]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    ap.add_argument("--taps", type=int, default=200)
    ap.add_argument("--idle", type=float, default=10.0)
    ap.add_argument("--smoke", action="store_true", help="a few taps, to prove the script works")
    a = ap.parse_args()
    if a.smoke:
        a.taps, a.idle = 20, 1.0
    missing = sd.have("bwrap", "strace", "Xvfb", "xev", "evemu-event", "xdotool")
    if missing:
        sys.exit(f"bench: missing {missing}; run: bash tools/deps.sh --bench")
    binary = os.path.abspath(a.binary)
    tmp = tempfile.mkdtemp(prefix="tapbridge-bench-")
    env = dict(os.environ)
    env.pop("LD_PRELOAD", None)
    xvfb, display = sd.start_xvfb("1024x768")
    try:
        touch = tapbridge_touch(binary, tmp, env, a.taps, a.idle)
        xm = tapbridge_x(binary, display, env, a.taps, touch["cpu_idle"])
        node = os.path.join(tmp, "evemu-node")
        open(node, "wb").close()
        ev = run_per_tap(evemu_tap(node, 100, 110), max(10, a.taps // 4), env)
        xd = run_per_tap([["xdotool", "mousemove", "100", "110", "click", "1"]], max(10, a.taps // 4),
                         dict(env, DISPLAY=display))
    finally:
        sd.reap()
    report(a, touch, xm, ev, xd)


def report(a, touch, xm, ev, xd):
    lat, xl = touch["lat"], xm["lat"]
    med, xmed = statistics.median(lat), statistics.median(xl)
    over, xover = med - PAUSE_MS, xmed - PAUSE_MS
    idle_per_wake, per_tap, by_name = touch["sys"]
    print(f"machine: {platform.node()} {platform.machine()} {os.cpu_count()} cpus, {platform.platform()}")
    print(f"taps: {a.taps} per mode, idle window {a.idle:.0f} s\n")
    print("| figure | touch mode | X mode |")
    print("|---|---|---|")
    print(f"| press-to-tap latency, median | {med:.2f} ms | {xmed:.2f} ms |")
    print(f"| latency p99 | {pct(lat, 99):.2f} ms | {pct(xl, 99):.2f} ms |")
    print(f"| latency max | {max(lat):.2f} ms | {max(xl):.2f} ms |")
    print(f"| overhead above the 50 ms pause (median) | {over:.2f} ms | {xover:.2f} ms |")
    print(f"| CPU per tap (gross, idle polls included) | {touch['cpu_tap'] / 1e3:.1f} µs | {xm['cpu_tap'] / 1e3:.1f} µs |")
    print(f"| CPU per tap (net of idle polls) | {touch['cpu_tap_net'] / 1e3:.1f} µs | {xm['cpu_tap_net'] / 1e3:.1f} µs |")
    print(f"| CPU per idle second | {touch['cpu_idle'] / 1e3:.1f} µs ({touch['cpu_idle'] / 1e7:.4f} %) | |")
    print(f"| peak resident memory (VmHWM) | {touch['hwm']} KiB | {xm['hwm']} KiB |")
    print()
    print(f"system calls per tap: {per_tap:.2f} (floor 16: poll, pause, read, 12 writes, the button line)")
    print("  " + ", ".join(f"{k} {v:.2f}" for k, v in by_name.items()))
    print(f"system calls per idle wake-up: {idle_per_wake:.2f} (floor 1: the timed-out poll)\n")
    print("| one tap done by | wall per tap, median | CPU per tap | wall ratio to tapbridge overhead | CPU ratio |")
    print("|---|---|---|---|---|")
    print(f"| tapbridge, touch mode | {over:.2f} ms above the pause | {touch['cpu_tap_net'] / 1e3:.1f} µs | 1 | 1 |")
    print(f"| evemu-event x12 processes | {statistics.median(ev['wall']):.2f} ms | {ev['cpu_tap'] / 1e3:.1f} µs | "
          f"{statistics.median(ev['wall']) / max(over, 1e-3):.0f} | {ev['cpu_tap'] / max(touch['cpu_tap_net'], 1):.0f} |")
    print(f"| tapbridge, X mode | {xover:.2f} ms above the pause | {xm['cpu_tap_net'] / 1e3:.1f} µs | 1 | 1 |")
    print(f"| xdotool mousemove click, 1 process | {statistics.median(xd['wall']):.2f} ms | {xd['cpu_tap'] / 1e3:.1f} µs | "
          f"{statistics.median(xd['wall']) / max(xover, 1e-3):.0f} | {xd['cpu_tap'] / max(xm['cpu_tap_net'], 1):.0f} |")


if __name__ == "__main__":
    main()
