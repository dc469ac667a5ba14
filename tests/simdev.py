"""Simulated devices for driving the real tapbridge binary.

The mouse multiplexer is a raw pty placed at /dev/input/mice by bubblewrap;
the test holds its master side. Standard output can be a second pty, so lines
arrive as the binary prints them. Shared by the tests, the demo and the
benchmarks. Every process started here dies with the process that started it
(SIGKILL, by the kernel), and reap() stops them earlier.
"""
import atexit
import contextlib
import fcntl
import json
import os
import pty
import select
import shutil
import signal
import struct
import termios
import subprocess
import sys
import threading
import time
import tty

IMPS2_SEQUENCE = bytes([0xF3, 0xC8, 0xF3, 0x64, 0xF3, 0x50])
ACK = b"\xfa"
FAKETIME_LIB = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"

EV_SYN, EV_KEY, EV_ABS = 0, 1, 3
BTN_TOOL_FINGER, BTN_TOUCH = 0x145, 0x14A
ABS_MT_POSITION_X, ABS_MT_POSITION_Y, ABS_MT_TRACKING_ID = 0x35, 0x36, 0x39
NAMES = {(EV_SYN, 0): ("EV_SYN", "SYN_REPORT"), (EV_KEY, BTN_TOOL_FINGER): ("EV_KEY", "BTN_TOOL_FINGER"),
         (EV_KEY, BTN_TOUCH): ("EV_KEY", "BTN_TOUCH"), (EV_ABS, ABS_MT_POSITION_X): ("EV_ABS", "ABS_MT_POSITION_X"),
         (EV_ABS, ABS_MT_POSITION_Y): ("EV_ABS", "ABS_MT_POSITION_Y"),
         (EV_ABS, ABS_MT_TRACKING_ID): ("EV_ABS", "ABS_MT_TRACKING_ID")}


PROCS = []  # every process spawned, oldest first


def spawn(cmd, **kw):
    """Starts cmd in a process group of its own, to be killed if this process
    dies first (bwrap does that itself with --die-with-parent)."""
    if cmd[0] != "bwrap":
        cmd = ["setpriv", "--pdeathsig", "KILL", "--"] + cmd
    proc = subprocess.Popen(cmd, process_group=0, **kw)
    PROCS.append(proc)
    return proc


def reap(keep=0):
    """Kills every process group spawned after the first keep, newest first."""
    while len(PROCS) > keep:
        proc = PROCS.pop()
        with contextlib.suppress(ProcessLookupError):
            os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()


# An interrupted or killed-by-timeout run still stops what it started.
atexit.register(reap)
for _sig in (signal.SIGTERM, signal.SIGHUP):
    signal.signal(_sig, lambda sig, frame: sys.exit(128 + sig))


def record_size(binary):
    """struct input_event of the binary's own ABI: two longs of timestamp."""
    with open(binary, "rb") as f:
        ident = f.read(5)
    return 24 if ident[4] == 2 else 16


def tap_triples(x, y):
    return [(EV_KEY, BTN_TOUCH, 1), (EV_ABS, ABS_MT_TRACKING_ID, 0), (EV_ABS, ABS_MT_POSITION_X, x),
            (EV_ABS, ABS_MT_POSITION_Y, y), (EV_SYN, 0, 0), (EV_KEY, BTN_TOOL_FINGER, 1), (EV_SYN, 0, 0),
            (EV_ABS, ABS_MT_TRACKING_ID, -1), (EV_SYN, 0, 0), (EV_KEY, BTN_TOUCH, 0),
            (EV_KEY, BTN_TOOL_FINGER, 0), (EV_SYN, 0, 0)]


def decode(data, size):
    """Returns (timestamp bytes, type, code, value) per whole record."""
    return [(data[i:i + size - 8],) + struct.unpack("<HHi", data[i + size - 8:i + size])
            for i in range(0, len(data) - size + 1, size)]


def tap_bytes(taps, size):
    """The exact bytes that taps at the given (x, y) points leave in a touch node."""
    return b"".join(b"\0" * (size - 8) + struct.pack("<HHi", *t) for x, y in taps for t in tap_triples(x, y))


def button_lines(codes, points):
    """The line printed for each button code, disabled points included."""
    return "".join(f"button {c}, x {points[2 * c - 2]} y {points[2 * c - 1]}\n" for c in codes)


def enabled_taps(codes, points):
    """The points actually tapped: those with no negative coordinate."""
    return [(points[2 * c - 2], points[2 * c - 1]) for c in codes
            if points[2 * c - 2] >= 0 and points[2 * c - 1] >= 0]


def set_clock(path, t):
    """Freezes a libfaketime clock file at Unix time t; replaced whole, so a
    reader never sees half a timestamp."""
    with open(path + ".new", "w") as f:
        f.write(time.strftime("%Y-%m-%d %H:%M:%S\n", time.gmtime(t)))
    os.replace(path + ".new", path)


def steered_clock_env(clock):
    """Environment that makes time() read the clock file (the monotonic clock,
    and so poll and the pause, stay real)."""
    return dict(LD_PRELOAD=FAKETIME_LIB, FAKETIME_TIMESTAMP_FILE=clock, FAKETIME_NO_CACHE="1",
                FAKETIME_DONT_FAKE_MONOTONIC="1", TZ="UTC")


def packet(status, wheel=None):
    """A mouse packet: status byte, no movement, and the wheel byte in IMPS/2 form."""
    return bytes([status, 0, 0]) + (b"" if wheel is None else bytes([wheel & 0xFF]))


class Reader(threading.Thread):
    """Collects everything a descriptor yields until end of file or EIO."""

    def __init__(self, fd):
        super().__init__(daemon=True)
        self.fd, self.data, self.cond = fd, b"", threading.Condition()
        self.start()

    def run(self):
        while True:
            try:
                chunk = os.read(self.fd, 65536)
            except OSError:
                chunk = b""
            with self.cond:
                self.data += chunk
                self.cond.notify_all()
            if not chunk:
                return

    def wait(self, predicate, timeout):
        with self.cond:
            return self.cond.wait_for(lambda: predicate(self.data), timeout)

    def text(self):
        return self.data.decode(errors="replace").replace("\r\n", "\n")


def raw_pty():
    master, slave = pty.openpty()
    tty.setraw(slave)
    return master, slave


class Session:
    """One run of the binary on simulated devices.

    mouse: "rw" (pty, writable), "ro" (pty made 0444, capabilities dropped),
    "none" (nothing at /dev/input/mice). stdout: "pty" or "pipe". closed: the
    standard descriptors (digits) that the binary starts with closed.
    """

    def __init__(self, binary, args, mouse="rw", stdout="pty", emulator=None, env=None, argv0=None, closed=""):
        self.mouse_master, self.from_mouse, self.mouse, self.stdout, self.closed = None, None, mouse, stdout, closed
        info, info_w = os.pipe()  # bwrap reports the sandboxed process here
        cmd = ["bwrap", "--die-with-parent", "--info-fd", str(info_w), "--bind", "/", "/", "--dev", "/dev"]
        if mouse in ("rw", "ro"):
            self.mouse_master, slave = raw_pty()
            path = os.ttyname(slave)
            os.chmod(path, 0o444 if mouse == "ro" else 0o666)
            cmd += ["--dev-bind", path, "/dev/input/mice"]
            self._mouse_slave = slave
        if mouse != "rw":
            cmd += ["--cap-drop", "ALL"]
        cmd.append("--")
        if closed:
            cmd += ["sh", "-c", 'exec "$@" ' + " ".join(f"{fd}>&-" for fd in closed), "sh"]
        if emulator:
            cmd += [emulator] + (["-0", argv0] if argv0 else []) + [binary]
        elif argv0:  # exec under another name, as a shell or a symlink would
            cmd += [sys.executable, "-c", "import os,sys; os.execv(sys.argv[1], sys.argv[2:])", binary, argv0]
        else:
            cmd.append(binary)
        cmd += [str(a) for a in args]
        out_child = subprocess.PIPE
        if stdout == "pty":
            self.out_master, out_child = raw_pty()
        self.proc = spawn(cmd, stdin=subprocess.DEVNULL, stdout=out_child, stderr=subprocess.PIPE, env=env,
                          pass_fds=(info_w,))
        os.close(info_w)
        self._info, self._pid = info, None
        if stdout == "pty":
            os.close(out_child)
        else:
            self.out_master = self.proc.stdout.fileno()
        self.out = Reader(self.out_master)
        self.err = Reader(self.proc.stderr.fileno())
        self.sent = b""
        if self.mouse_master is not None:
            self.from_mouse = Reader(self.mouse_master)

    def pid(self):
        """The binary's process (its emulator's, under one): the sandbox's
        child, which execs it in place."""
        if self._pid is None:
            with os.fdopen(self._info) as f:
                self._pid = json.load(f)["child-pid"]
        return self._pid

    def wait(self, reader, predicate, timeout=10):
        """Waits for predicate over what reader collected; gives up at once
        when the run has ended."""
        return until(lambda: predicate(reader.data), timeout, self.running)

    def ended(self):
        """Why a run stopped early: bwrap's or the binary's own words."""
        return "" if self.running() else f"; it ended ({self.proc.returncode}): {self.err.text()!r}"

    def handshake(self, timeout=10):
        """Answers the IntelliMouse sequence with its acknowledge byte. The
        binary prints "use imps2 protocol" before it reads the answer, so on
        a pty that line must be there first."""
        if not self.wait(self.from_mouse, lambda d: len(d) >= len(IMPS2_SEQUENCE), timeout):
            raise AssertionError(f"no IntelliMouse sequence; mouse saw {self.from_mouse.data!r}{self.ended()}")
        if self.stdout == "pty" and "1" not in self.closed and not self.wait_out("use imps2 protocol\n", timeout):
            raise AssertionError(f"no 'use imps2 protocol' before the acknowledge: {self.out.text()!r}{self.ended()}")
        self.send(ACK)
        self.drain()
        return self.from_mouse.data

    def drain(self, timeout=10):
        """Waits until the binary has read everything sent to the mouse."""
        if not until(lambda: not self.queued(), timeout, self.running):
            raise AssertionError(f"the binary did not read the mouse stream{self.ended()}")

    def queued(self):
        """Bytes sent to the mouse that the binary has not read yet. A pty
        hands bytes from master to slave a moment after the write; polling
        the slave first pushes them through, so none is missed."""
        select.select([self._mouse_slave], [], [], 0)
        return struct.unpack("i", fcntl.ioctl(self._mouse_slave, termios.TIOCINQ, b"\0" * 4))[0]

    def send(self, data):
        os.write(self.mouse_master, data)
        self.sent += data

    def wait_out(self, text, timeout=10):
        return self.wait(self.out, lambda d: text in d.decode(errors="replace").replace("\r\n", "\n"), timeout)

    def wait_lines(self, count, timeout=10):
        return self.wait(self.out, lambda d: d.count(b"\n") >= count, timeout)

    def wait_exit(self, timeout=10):
        try:
            rc = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None
        self.out.join(2)
        self.err.join(2)
        return rc

    def stop(self):
        """Ends the run with a signal, as a user does; returns its status."""
        if self.proc.poll() is None:
            os.killpg(self.proc.pid, signal.SIGTERM)
        rc = self.proc.wait(10)
        self.err.join(2)
        return rc

    def running(self):
        return self.proc.poll() is None


def until(condition, timeout=10, alive=lambda: True):
    """Polls condition until it holds; False once timeout passes or alive()
    turns false without it."""
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline or not alive():
            return condition()
        time.sleep(0.005)
    return True


def start_xvfb(size="800x600"):
    """Starts Xvfb on a free display number, which it reports once it is
    ready for clients. Returns (process, display).

    The server must not reset. By default an X server resets when its last
    client closes, and the reset drops every client it accepted in the same
    pass, before answering its connection setup: that client fails with
    "unable to open display". Checks end by killing all their clients and
    the next check connects at once, so under load the two meet."""
    r, w = os.pipe()
    proc = spawn(["Xvfb", "-displayfd", str(w), "-screen", "0", size + "x24", "-nolisten", "tcp", "-noreset"],
                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(w,))
    os.close(w)
    with os.fdopen(r) as ready:
        number = ready.readline().strip()
    if not number:
        raise RuntimeError("Xvfb did not start")
    return proc, ":" + number


def start_xev(display, mask):
    """A real X client recording events on the root window, its output on a
    pty so that each event is seen as it comes. It is listening once it
    reports a property change made on the root window after it started.
    Returns (process, Reader)."""
    master, slave = raw_pty()
    xev = spawn(["xev", "-display", display, "-root", "-event", mask, "-event", "property"], stdout=slave,
                stderr=subprocess.PIPE)
    os.close(slave)
    reader, err = Reader(master), Reader(xev.stderr.fileno())
    deadline = time.monotonic() + 10
    while not reader.wait(lambda d: b"PropertyNotify" in d, 0.1):
        if time.monotonic() > deadline or xev.poll() is not None:
            if xev.poll() is not None:
                err.join(2)  # its own words are all in once it has exited
            raise RuntimeError(f"xev did not start listening (status {xev.poll()}): {err.text().strip()!r}")
        probe = subprocess.run(["xprop", "-display", display, "-root", "-f", "TAPBRIDGE_XEV_READY", "8s", "-set",
                                "TAPBRIDGE_XEV_READY", "1"], capture_output=True, text=True)
        if probe.returncode:
            raise RuntimeError(f"xprop failed ({probe.returncode}): {probe.stderr.strip()!r}")
    return xev, reader


def have(*tools):
    """The tools (or, given as absolute paths, files) that are missing."""
    return [t for t in tools if not (os.path.exists(t) if t.startswith("/") else shutil.which(t))]


# As the README and tools/quiet.sh write it.
CHROOT_REMEDY = ("in a plain chroot DIR, enter it from outside, as root: mount --bind DIR DIR && "
                 "mount -t proc proc DIR/proc && mount -t sysfs sysfs DIR/sys && mount -t devpts devpts DIR/dev/pts && "
                 "chroot DIR")


def sandbox_problem():
    """None where the simulated devices can be set up: bubblewrap binding a
    pseudo-terminal over /dev/input/mice, and /sys for tapbridge-setup.
    Otherwise one line on why not and what to do."""
    if not shutil.which("bwrap"):
        return "bubblewrap (bwrap) is not installed: bash tools/deps.sh installs it"
    probe = subprocess.run(["bwrap", "--bind", "/", "/", "--dev", "/dev", "--", "true"],
                           capture_output=True, text=True)
    if probe.returncode:
        why = (probe.stderr.strip().splitlines() or [f"exit status {probe.returncode}"])[-1]
        # A chroot's / is no mount point of its own (bwrap cannot make it a
        # slave mount), and a chroot often lacks /proc.
        remedy = CHROOT_REMEDY if "slave" in why or "/proc" in why else \
            "run as root on a machine or VM, or in a container that may create namespaces and mounts"
        return (f"bubblewrap cannot run here ({why}), and the simulated devices need it: "
                f"use a machine, VM or container where it can; {remedy}")
    if not os.path.isdir("/sys/class"):
        return f"/sys is not mounted here, and tapbridge-setup reads device facts there: {CHROOT_REMEDY}"
    try:
        for fd in os.openpty():
            os.close(fd)
    except OSError as e:
        return f"no pseudo-terminals here ({e}), and the simulated mouse is one: mount /dev/pts, or {CHROOT_REMEDY}"
    return None


if __name__ == "__main__":  # python3 tests/simdev.py: can the simulated devices run here?
    problem = sandbox_problem()
    if problem:
        sys.exit(problem)
