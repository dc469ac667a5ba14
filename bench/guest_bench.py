"""What the benchmarks of tapbridge-remote on the kernel tier's guest share:
a batch run there with the programs of a build, its "bench" records
gathered, and the line that says what machine the figures come from."""
import os
import platform
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tools"))
import vm  # noqa: E402

# tapbridge's five points on the bench's screen (mt 0 1071 0 1447).
SCREEN = "screen mt 0 1071 0 1447"
TAPBRIDGE = ["run tb tapbridge $TOUCH 0 110 120 230 240 350 360 470 480 590 600", "wait tb text use imps2 protocol"]


def run(me, build, batch, bound, want):
    """Runs batch on the guest of build's architecture with tapbridge and
    tapbridge-remote; returns the bench records as {name: value} and the
    guest's kernel. Ends the script, naming me, on a failure or when a name
    of want is missing."""
    build = os.path.abspath(build)
    driver = os.path.join(build, "tapbridge-guest")
    arch = vm.arch_of(driver)
    lack = vm.missing(arch)
    if lack:
        sys.exit(f"{me}: missing {', '.join(lack)}; run: bash tools/deps.sh --kernel")
    figures, fails, kernel = {}, [], ""
    for tag, text in vm.run(driver, [os.path.join(build, p) for p in ("tapbridge", "tapbridge-remote")], batch, bound):
        if tag == "bench":
            name, _, value = text.partition(" ")
            figures[name] = value
        elif tag == "fail":
            fails.append(text)
        elif tag == "kernel":
            kernel = text
    absent = [name for name in want if name not in figures]
    if fails or absent:
        sys.exit(f"{me}: the guest failed: " + "; ".join(fails or ["figures missing: " + ", ".join(absent)]))
    return figures, kernel, arch


def machine_line(arch, kernel):
    accel = vm.accelerator(arch)
    emulated = " (emulated: absolute figures are the emulator's)" if accel == "tcg" else ""
    return (f"machine: {platform.node()} {platform.machine()} {os.cpu_count()} cpus; guest: Linux {kernel}, "
            f"{accel}{emulated}")


def p50(value):
    """The median of a "p50 A p90 B max C us" figure."""
    return float(value.split()[1])
