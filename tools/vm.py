#!/usr/bin/env python3
"""Boots Debian's own kernel under qemu with a real input stack, and runs the
project's guest driver there on a batch of scenarios.

The guest is made here, in the build tree, from the packages that
tools/deps.sh --kernel downloaded (build/guest-debs): the kernel and its input
modules (evdev, uinput, and mousedev where it is a module), static busybox,
the shells a printed line must run under besides busybox sh (static bash at
/bin/bash; dash at /bin/dash, with its C library on ARM, and this machine's
own for amd64), the guest driver (tools/guest/) and the programs under test,
copied in as they are (a dynamic one with the libraries ldd names). amd64 programs boot
qemu-system-x86_64, ARM ones qemu-system-arm on the virt board with a
Cortex-A15. Nothing is installed as this machine's kernel.

The driver's report comes back over the serial console, one record a line
("@ TAG TEXT"); run() yields the records as they arrive. qemu dies on every way
out of run(): its end, an error, the time bound, an interrupt, or the death of
this process (setpriv --pdeathsig KILL).

usage: vm.py --driver PATH [--program PATH]... [--bound S] BATCH
"""
import argparse
import contextlib
import fcntl
import glob
import json
import os
import queue
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
import simdev as sd  # noqa: E402

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
DEBS = os.path.join(ROOT, "build", "guest-debs")
CACHE = os.path.join(ROOT, "build", "guest")
PROGRAM_DIR = "/usr/local/bin"  # where the programs under test live in the guest
DRIVER = "/guest/tapbridge-guest"
BATCH = "/guest/batch"
RECORD = "@ "  # the driver's lines; everything else on the console is the kernel's or init's

# Per architecture: the packages the guest is made of, and how qemu boots it.
# Without a dash package the guest takes this machine's dash (host_dash).
ARCHS = {
    "amd64": dict(elf_machine=62, debs=dict(kernel="linux-image-*-amd64_*_amd64.deb",
                                            busybox="busybox-static_*_amd64.deb", bash="bash-static_*_amd64.deb"),
                  qemu="qemu-system-x86_64", package="qemu-system-x86", board=[], console="ttyS0"),
    "armhf": dict(elf_machine=40, debs=dict(kernel="linux-image-*-armmp_*_armhf.deb",
                                            busybox="busybox-static_*_armhf.deb", bash="bash-static_*_armhf.deb",
                                            dash="dash_*_armhf.deb", libc="libc6_*_armhf.deb"),
                  qemu="qemu-system-arm", package="qemu-system-arm", board=["-M", "virt", "-cpu", "cortex-a15"],
                  console="ttyAMA0"),
}
# What a package gives the guest: the file in the package, where the guest has it.
SHELL_FILES = {"bash": [("bin/bash-static", "/bin/bash")], "dash": [("bin/dash", "/bin/dash")],
               "libc": [("lib/arm-linux-gnueabihf/ld-linux-armhf.so.3", "/lib/ld-linux-armhf.so.3"),
                        ("lib/arm-linux-gnueabihf/libc.so.6", "/lib/arm-linux-gnueabihf/libc.so.6")]}
# The input handlers the tier needs; each is built in or a module.
INPUT_OPTIONS = {"CONFIG_INPUT_EVDEV": "evdev", "CONFIG_INPUT_UINPUT": "uinput", "CONFIG_INPUT_MOUSEDEV": "mousedev"}

INIT = """#!/bin/busybox sh
/bin/busybox mkdir -p /proc /sys /dev /tmp
/bin/busybox --install -s /bin
export PATH={program_dir}:/bin HOME=/
# Mounted as a Debian system mounts them: a device's /dev is nosuid too.
mount -t proc -o nosuid,nodev,noexec proc /proc
mount -t sysfs -o nosuid,nodev,noexec sysfs /sys
mount -t devtmpfs -o nosuid,mode=0755 devtmpfs /dev
mkdir -p /dev/pts
mount -t devpts devpts /dev/pts
echo "@ kernel $(uname -r) $(uname -m)"
for module in $(cat /guest/modules.order); do
  insmod "$module" || echo "@ fail insmod $module"
done
{driver} {batch}
echo "@ exit-driver $?"
poweroff -f
"""


class GuestError(RuntimeError):
    """The guest could not be made or did not report."""


def elf(path):
    """(machine, 32 or 64, static) of an ELF executable."""
    with open(path, "rb") as f:
        head = f.read(64)
        if head[:4] != b"\x7fELF":
            raise GuestError(f"{path} is not an ELF executable")
        bits = 64 if head[4] == 2 else 32
        machine = struct.unpack_from("<H", head, 18)[0]
        if bits == 64:
            phoff, = struct.unpack_from("<Q", head, 32)
            phentsize, phnum = struct.unpack_from("<HH", head, 54)
        else:
            phoff, = struct.unpack_from("<I", head, 28)
            phentsize, phnum = struct.unpack_from("<HH", head, 42)
        f.seek(phoff)
        table = f.read(phentsize * phnum)
    # PT_INTERP (3): a dynamic executable names its loader.
    static = all(struct.unpack_from("<I", table, i * phentsize)[0] != 3 for i in range(phnum))
    return machine, bits, static


def arch_of(path):
    machine = elf(path)[0]
    for arch, facts in ARCHS.items():
        if facts["elf_machine"] == machine:
            return arch
    raise GuestError(f"{path}: no guest for ELF machine {machine}")


def newest(pattern):
    found = sorted(glob.glob(os.path.join(DEBS, pattern)), key=os.path.getmtime)
    return found[-1] if found else None


def host_dash():
    """This machine's dash, for a guest of its own architecture."""
    return shutil.which("dash")


def missing(arch):
    """What the guest of arch needs and this machine lacks, by name."""
    facts = ARCHS[arch]
    lack = [] if shutil.which(facts["qemu"]) else [f"{facts['qemu']} (package {facts['package']})"]
    for pattern in facts["debs"].values():
        if not newest(pattern):
            lack.append(f"{os.path.join(DEBS, pattern)} (tools/deps.sh --kernel downloads it)")
    if "dash" not in facts["debs"] and not host_dash():
        lack.append("dash (package dash)")
    return lack


def modinfo_depends(path):
    """The modules a .ko needs, from the depends= entry of its .modinfo section."""
    with open(path, "rb") as f:
        data = f.read()
    wide = data[4] == 2
    if wide:
        shoff, = struct.unpack_from("<Q", data, 40)
        shentsize, shnum, shstrndx = struct.unpack_from("<HHH", data, 58)
    else:
        shoff, = struct.unpack_from("<I", data, 32)
        shentsize, shnum, shstrndx = struct.unpack_from("<HHH", data, 46)

    def section(i):
        base = shoff + i * shentsize
        if wide:
            name, = struct.unpack_from("<I", data, base)
            offset, size = struct.unpack_from("<QQ", data, base + 24)
        else:
            name, = struct.unpack_from("<I", data, base)
            offset, size = struct.unpack_from("<II", data, base + 16)
        return name, offset, size

    _, names_at, _ = section(shstrndx)
    for i in range(shnum):
        name, offset, size = section(i)
        if data[names_at + name:data.index(b"\0", names_at + name)] == b".modinfo":
            for entry in data[offset:offset + size].split(b"\0"):
                if entry.startswith(b"depends="):
                    return [d for d in entry[8:].decode().split(",") if d]
    return []


def module_files(tree, release, config):
    """The .ko files to load, dependencies first, for the input handlers
    that the kernel has as modules."""
    moddir = os.path.join(tree, "lib", "modules", release)
    by_name = {}
    with open(os.path.join(moddir, "modules.order")) as f:
        for rel in f.read().split():
            by_name[os.path.basename(rel)[:-3].replace("-", "_")] = os.path.join(moddir, rel)
    settings = dict(line.strip().split("=", 1) for line in open(config) if line.startswith("CONFIG_"))
    order = []

    def add(name):
        path = by_name.get(name.replace("-", "_"))
        if not path or not os.path.exists(path):
            raise GuestError(f"module {name} is not in the kernel package")
        if path in order:
            return
        for dep in modinfo_depends(path):
            add(dep)
        order.append(path)

    for option, name in INPUT_OPTIONS.items():
        setting = settings.get(option)
        if setting == "m":
            add(name)
        elif setting != "y":
            raise GuestError(f"kernel {release} has no {option}")
    return order


def prepare(arch):
    """Unpacks kernel, modules, busybox and the shells for arch into the build tree once
    per package version; returns the directory."""
    facts = ARCHS[arch]
    lack = missing(arch)
    if lack:
        raise GuestError("missing " + ", ".join(lack))
    debs = {what: newest(pattern) for what, pattern in facts["debs"].items()}
    out = os.path.join(CACHE, arch)
    os.makedirs(CACHE, exist_ok=True)
    # Two runs for one architecture (two presets at once) make it once.
    with open(os.path.join(CACHE, f"{arch}.lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        return unpack(debs, out)


def unpack(debs, out):
    stamp = os.path.join(out, "made-from.json")
    source = sorted(os.path.basename(deb) for deb in debs.values())
    with contextlib.suppress(OSError, ValueError):
        if json.load(open(stamp)) == source:
            return out
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(os.path.join(out, "modules"))
    with tempfile.TemporaryDirectory(dir=CACHE) as tree:
        for deb in debs.values():
            subprocess.run(["dpkg-deb", "-x", deb, tree], check=True)
        release = os.listdir(os.path.join(tree, "lib", "modules"))[0]
        shutil.copy(os.path.join(tree, "boot", f"vmlinuz-{release}"), os.path.join(out, "vmlinuz"))
        names = []
        for i, path in enumerate(module_files(tree, release, os.path.join(tree, "boot", f"config-{release}"))):
            names.append(f"{i:02d}-{os.path.basename(path)}")
            shutil.copy(path, os.path.join(out, "modules", names[-1]))
        shutil.copy(os.path.join(tree, "bin", "busybox"), os.path.join(out, "busybox"))
        # The shells and their library, by the path the guest has them at.
        shells = {}
        for what in debs:
            for inside, where in SHELL_FILES.get(what, []):
                shells[where] = where.lstrip("/").replace("/", "_")
                shutil.copy(os.path.join(tree, inside), os.path.join(out, shells[where]))
    with open(os.path.join(out, "shells.json"), "w") as f:
        json.dump(shells, f)
    with open(os.path.join(out, "modules", "order"), "w") as f:
        f.write("".join(f"/guest/modules/{n}\n" for n in names))
    with open(stamp, "w") as f:
        json.dump(source, f)
    return out


def libraries(path):
    """The shared libraries (and loader) a dynamic executable needs, as ldd names them."""
    if elf(path)[2]:
        return []
    out = subprocess.run(["ldd", path], capture_output=True, text=True, check=True).stdout
    return sorted({word for line in out.splitlines() for word in line.split() if word.startswith("/")})


class Cpio:
    """A newc archive, the initramfs format the kernel unpacks into its root."""

    def __init__(self, path):
        self.f, self.ino, self.dirs = open(path, "wb"), 1, set()

    def _entry(self, name, mode, data=b""):
        self.ino += 1
        name_bytes = name.lstrip("/").encode() + b"\0"
        fields = [self.ino, mode, 0, 0, 1, 0, len(data), 0, 0, 0, 0, len(name_bytes), 0]
        head = b"070701" + b"".join(b"%08X" % v for v in fields) + name_bytes
        self.f.write(head + b"\0" * (-len(head) % 4) + data + b"\0" * (-len(data) % 4))

    def dir(self, name):
        name = name.rstrip("/")
        if not name or name in self.dirs:
            return
        self.dir(os.path.dirname(name))
        self.dirs.add(name)
        self._entry(name, 0o040755)

    def file(self, name, source=None, data=None, mode=0o755):
        self.dir(os.path.dirname(name))
        if data is None:
            with open(source, "rb") as f:
                data = f.read()
        self._entry(name, 0o100000 | mode, data if isinstance(data, bytes) else data.encode())

    def close(self):
        self._entry("TRAILER!!!", 0)
        self.f.close()


def write_initramfs(path, image, driver, programs, batch, files):
    cpio = Cpio(path)
    cpio.file("/init", data=INIT.format(program_dir=PROGRAM_DIR, driver=DRIVER, batch=BATCH))
    cpio.file("/bin/busybox", os.path.join(image, "busybox"))
    for where, name in json.load(open(os.path.join(image, "shells.json"))).items():
        cpio.file(where, os.path.join(image, name))
    # busybox --install -s leaves these alone: it never replaces a file.
    dash = [] if os.path.exists(os.path.join(image, "bin_dash")) else [host_dash()]
    for path in dash:
        cpio.file("/bin/dash", path)
    modules = os.path.join(image, "modules")
    for name in sorted(os.listdir(modules)):
        if name != "order":
            cpio.file(f"/guest/modules/{name}", os.path.join(modules, name), mode=0o644)
    cpio.file("/guest/modules.order", data=open(os.path.join(modules, "order")).read(), mode=0o644)
    cpio.file(DRIVER, driver)
    cpio.file(BATCH, data=batch, mode=0o644)
    for where, source in files.items():
        cpio.file(where, source, mode=0o644)
    libs = set()
    for program in [driver] + programs + dash:
        libs.update(libraries(program))
    for program in programs:
        cpio.file(f"{PROGRAM_DIR}/{os.path.basename(program)}", program)
    for lib in sorted(libs):
        cpio.file(lib, os.path.realpath(lib))
    cpio.close()


def accelerator(arch):
    """KVM where it can run this guest (same architecture, and a CPU with
    virtualisation: /dev/kvm alone is not enough), otherwise TCG."""
    if arch != "amd64" or not os.access("/dev/kvm", os.W_OK):
        return "tcg"
    with open("/proc/cpuinfo") as f:
        flags = f.read()
    return "kvm" if " vmx" in flags or " svm" in flags else "tcg"


def run(driver, programs, batch, bound=240, console=None, files=None):
    """Boots a guest for driver's architecture with programs at
    /usr/local/bin and files (guest path: path here) where they are named,
    runs the driver on batch (text) and yields (tag, text)
    for each record as it comes. Ends with ("exit-driver", status). Lines
    that are not records go to console (a list) when given. Raises
    GuestError on a missing part, a time-out or a guest that stops without
    its last record."""
    arch = arch_of(driver)
    for program in programs:
        if arch_of(program) != arch:
            raise GuestError(f"{program} is not for the {arch} guest")
    image = prepare(arch)
    facts = ARCHS[arch]
    accel = accelerator(arch)
    with tempfile.TemporaryDirectory(prefix="tapbridge-vm-") as tmp:
        initramfs = os.path.join(tmp, "initramfs.cpio")
        write_initramfs(initramfs, image, driver, programs, batch, files or {})
        cmd = [facts["qemu"], *facts["board"], "-accel", accel, "-m", "256", "-smp", "1", "-nodefaults",
               "-no-reboot", "-display", "none", "-monitor", "none", "-serial", "stdio",
               "-kernel", os.path.join(image, "vmlinuz"), "-initrd", initramfs,
               "-append", f"console={facts['console']} panic=-1 quiet loglevel=1"]
        keep = len(sd.PROCS)
        qemu = sd.spawn(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        lines = queue.Queue()

        def pump():
            for raw in qemu.stdout:
                lines.put(raw.decode(errors="replace").rstrip("\r\n").lstrip("\r"))
            lines.put(None)

        threading.Thread(target=pump, daemon=True).start()
        deadline = time.monotonic() + bound
        try:
            while True:
                try:
                    line = lines.get(timeout=max(0.0, deadline - time.monotonic()))
                except queue.Empty:
                    raise GuestError(f"the guest did not finish within {bound} s") from None
                if line is None:
                    raise GuestError(f"qemu ended (status {qemu.wait()}) before the driver's last record")
                if not line.startswith(RECORD):
                    if console is not None:
                        console.append(line)
                    continue
                tag, _, text = line[len(RECORD):].partition(" ")
                yield tag, text
                if tag == "exit-driver":
                    return
        finally:
            sd.reap(keep)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--driver", required=True, help="the guest driver (build/PRESET/tapbridge-guest)")
    ap.add_argument("--program", action="append", default=[], help="a program to put at /usr/local/bin")
    ap.add_argument("--bound", type=float, default=240, help="seconds the whole run may take")
    ap.add_argument("batch", help="the scenarios, in the driver's step language")
    args = ap.parse_args()
    console = []
    try:
        status = 1
        for tag, text in run(os.path.abspath(args.driver), [os.path.abspath(p) for p in args.program],
                             open(args.batch).read(), args.bound, console):
            print(f"{tag} {text}", flush=True)
            if tag == "exit-driver":
                status = int(text)
        return status
    except GuestError as e:
        print("\n".join(console[-20:]), file=sys.stderr)
        print(f"vm.py: {e}", file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main())
