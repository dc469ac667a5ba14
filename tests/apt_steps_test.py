#!/usr/bin/env python3
"""tools/deps.sh's apt steps (tools/apt-steps.sh) against a real apt and a
mirror caught in mid-sync.

usage: apt_steps_test.py

A small apt repository is served over HTTP on 127.0.0.1 by this script:
suite "stable" with one Packages index (package tb-main), and suite
"stable-security", whose Release file lists two Packages indexes (amd64 and
armhf), as Debian's security suite did when one architecture's index failed.
apt keeps a Release file's indexes only all together: when one fails, the
lists that arrive are the other suite's, and those are what an install then
finds. The server sends chosen indexes a few bytes short of the size their Release
file gives, the first N times or always, and counts the requests. apt runs
with a configuration of this test's own (APT_CONFIG): its own sources list,
state, lists and cache directories and an empty dpkg status, installs only
simulated, dpkg replaced by /bin/false: the machine's lists and packages are
never touched; it runs as root or as any user. Each row runs, under bash as tools/deps.sh does, the update
step and then the install step for tb-main, with standard output a pipe or a
file, and is judged on every line printed, the exit status, the tries the
server saw and the lists apt kept.
"""
import hashlib
import http.server
import os
import re
import signal
import subprocess
import sys
import tempfile
import threading

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

MAIN = "dists/stable/main/binary-amd64/Packages"
SEC64 = "dists/stable-security/main/binary-amd64/Packages"
SECHF = "dists/stable-security/main/binary-armhf/Packages"
INDEXES = {MAIN: "tb-main", SEC64: "tb-security", SECHF: "tb-security"}
ALWAYS = 99  # served short on every request
TRIES = 3  # update_lists's tries

ROWS = [
    # name, indexes served short (index: how many requests), standard output,
    # the indexes the line names (one of each group: apt drops an index still
    # in flight with its suite, and which that is depends on timing; none: the
    # update is done), whether tb-main can then be installed
    ("one architecture's security index mid-sync", {SECHF: ALWAYS}, "pipe", [{SECHF}], True),
    ("mid-sync over by the second try", {SECHF: 1}, "file", [], True),
    ("mid-sync over by the third try", {SEC64: 2}, "pipe", [], True),
    ("every index failing", {MAIN: ALWAYS, SEC64: ALWAYS, SECHF: ALWAYS}, "pipe", [{MAIN}, {SEC64, SECHF}], False),
]

# As tools/deps.sh runs them; $1 is the source tree.
DRIVER = """set -euo pipefail
cd "$1"
source tools/quiet.sh
source tools/apt-steps.sh
quiet_log deps
update_lists
install_packages tb-main
"""


def packages(name):
    return (f"Package: {name}\nVersion: 1.0\nArchitecture: all\nMaintainer: tapbridge tests <tests@example.org>\n"
            f"Filename: pool/{name}_1.0_all.deb\nSize: 1000\nDescription: a package of the test repository\n\n").encode()


def release(suite):
    listed = [path for path in INDEXES if path.startswith(f"dists/{suite}/")]
    lines = [f"Suite: {suite}", f"Codename: {suite}", "Date: Sat, 05 Dec 2026 10:00:00 UTC",
             "Architectures: amd64 armhf", "Components: main", "SHA256:"]
    for path in listed:
        body = packages(INDEXES[path])
        lines.append(f" {hashlib.sha256(body).hexdigest()} {len(body)} {path.split('/', 2)[2]}")
    return ("\n".join(lines) + "\n").encode()


def serve(short):
    """A repository on 127.0.0.1: (server, port, requests counted by path)."""
    seen = {}
    lock = threading.Lock()
    files = {path: packages(name) for path, name in INDEXES.items()}
    files.update({f"dists/{suite}/Release": release(suite) for suite in ("stable", "stable-security")})

    class Mirror(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            path = self.path.lstrip("/")
            with lock:
                seen[path] = seen.get(path, 0) + 1
                count = seen[path]
            body = files.get(path)
            if body is None:
                self.send_error(404)
                return
            if count <= short.get(path, 0):
                body = body[:-7]  # a file the mirror has not finished writing
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Mirror)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, server.server_address[1], seen


def apt_config(top, port):
    """apt's configuration for this test alone; returns its path."""
    for sub in ("etc/apt.conf.d", "etc/sources.list.d", "etc/preferences.d", "etc/trusted.gpg.d",
                "state/lists/partial", "cache/archives/partial", "log"):
        os.makedirs(os.path.join(top, sub))
    open(os.path.join(top, "state/status"), "w").close()
    with open(os.path.join(top, "etc/sources.list"), "w") as f:
        for suite in ("stable", "stable-security"):
            f.write(f"deb [trusted=yes] http://127.0.0.1:{port}/ {suite} main\n")
    path = os.path.join(top, "apt.conf")
    with open(path, "w") as f:
        # Dir::Etc first: apt reads its configuration parts from there, after this file.
        f.write(f'Dir::Etc "{top}/etc/";\nDir::State "{top}/state/";\nDir::State::status "{top}/state/status";\n'
                f'Dir::Cache "{top}/cache/";\nDir::Log "{top}/log/";\nDir::Bin::dpkg "/bin/false";\n'
                'APT::Get::Simulate "true";\nAPT::Architecture "amd64";\nAPT::Architectures { "amd64"; "armhf"; };\n'
                'Acquire::Languages "none";\nAcquire::http::Proxy "DIRECT";\n'
                # a private temporary directory that apt's download user could not enter
                'APT::Sandbox::User "root";\n')
    return path


def run_driver(top, config, stdout):
    env = {k: v for k, v in os.environ.items() if not k.lower().endswith("_proxy")}
    env.update(APT_CONFIG=config, TAPBRIDGE_LOG=os.path.join(top, "deps.log"), TAPBRIDGE_APT_PAUSE="0", LC_ALL="C")
    out_path = os.path.join(top, "stdout")
    with open(out_path, "w") as out:
        proc = subprocess.Popen(["bash", "-c", DRIVER, "driver", SOURCE], env=env, stdin=subprocess.DEVNULL,
                                stdout=out if stdout == "file" else subprocess.PIPE, stderr=subprocess.STDOUT,
                                start_new_session=True)
        try:
            said, _ = proc.communicate(timeout=120)
        finally:
            if proc.poll() is None:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
    if said is None:
        with open(out_path, "rb") as f:
            said = f.read()
    return proc.returncode, said.decode(errors="replace").splitlines()


def update_problems(line, port, named):
    """What is wrong with the update step's line."""
    if not named:
        return [] if re.fullmatch(r"updating apt's package lists \.\.\. done \(\d+ s\)", line) else [
            f"the update line: {line!r}, want done"]
    whole = re.fullmatch(r"updating apt's package lists \.\.\. incomplete after 3 tries: (.*); "
                         r"going on with the lists there are", line)
    if not whole:
        return [f"the update line: {line!r}, want it incomplete, naming indexes"]
    problems, paths = [], set()
    for entry in whole[1].split(";"):
        index = re.fullmatch(rf"http://127\.0\.0\.1:{port}/(\S+) \(File has unexpected size \(\d+ != \d+\)\. "
                             rf"Mirror sync in progress\? \[IP: 127\.0\.0\.1 {port}\]\)", entry)
        if not index:
            problems.append(f"the update line names {entry!r}, want an index with apt's words on it")
        else:
            paths.add(index[1])
    want = set().union(*named)
    problems += [f"the update line names {path}, which did not fail" for path in sorted(paths - want)]
    problems += [f"the update line names none of {sorted(group)}" for group in named if not group & paths]
    return problems


def check(row):
    name, short, stdout, named, installs = row
    problems = []
    with tempfile.TemporaryDirectory() as top:
        server, port, seen = serve(short)
        try:
            status, lines = run_driver(top, apt_config(top, port), stdout)
        finally:
            server.shutdown()
            server.server_close()
        # After the update line: the install step's, and when it fails, apt's
        # own error among what apt said (as a user, apt also says it only simulates).
        if installs:
            want, want_status = r"installing 1 package \(tb-main\) \.\.\. done \(\d+ s\)", 0
        else:
            want = (r"installing 1 package \(tb-main\) \.\.\. FAILED \(exit status 100\)\. Its output:\n(?:.*\n)*"
                    r"E: Unable to locate package tb-main\n" + re.escape(f"(the whole log: {top}/deps.log)"))
            want_status = 100
        if status != want_status:
            problems.append(f"exit status {status}, want {want_status}")
        problems += update_problems(lines[0] if lines else "", port, named)
        if not re.fullmatch(want, "\n".join(lines[1:])):
            problems.append("printed:\n      " + "\n      ".join(lines) + f"\n    want after the update line: {want}")
        for path, times in short.items():
            tries = TRIES if times >= TRIES else times + 1
            if seen.get(path, 0) != tries:
                problems.append(f"{path} fetched {seen.get(path, 0)} times, want {tries} (one a try)")
        if installs:
            lists = os.listdir(os.path.join(top, "state/lists"))
            if f"127.0.0.1:{port}_{MAIN.replace('/', '_')}" not in lists:
                problems.append(f"stable's index is not among the lists: {sorted(lists)}")
            with open(os.path.join(top, "deps.log")) as f:
                if "Inst tb-main " not in f.read():
                    problems.append("the log has no simulated install of tb-main from the lists")
    print(f"{'FAIL' if problems else 'ok  '} {name}")
    for problem in problems:
        print(f"    {problem}")
    return not problems


def main():
    failed = [row[0] for row in ROWS if not check(row)]
    print(f"{len(ROWS) - len(failed)} of {len(ROWS)} rows passed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
