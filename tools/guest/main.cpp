// tapbridge-guest: the driver of the kernel tier, run inside a guest booted
// by tools/vm.py. It plays a batch of scenarios on a real input stack and
// reports, a record a line, everything the kernel delivered to its
// witnesses and everything the programs under test printed.
//
//   tapbridge-guest BATCH        runs the scenarios in the file BATCH
//   tapbridge-guest --grab NODE  holds a grab on NODE until killed (the
//                                "other process" of grab scenarios)
//   tapbridge-guest --caps NODE  prints what NODE declares (declared.hpp)
//
// Per scenario: the devices of its first step, a second reader of the touch
// node, a client of /dev/input/mice; then its steps (steps.hpp); then, while
// programs still run, a short quiet window for strays; every program it
// started stopped, the devices removed and the kernel state put back. A step
// that fails ends its scenario early. Records, one a line: "scenario NAME",
// "node touch|mouse|ID PATH", "pid ID N", "step VERB REST", "touch ...", "mice
// ...", "seen ID ...", "frame ID SEC.USEC" (remotes.hpp), "out ID LINE", "err ID
// LINE", "sh LINE", "cpu ID TICKS MS", "exit ID status|signal N", "fail WHY",
// "end NAME".

#include "declared.hpp"
#include "report.hpp"
#include "script.hpp"
#include "state.hpp"
#include "steps.hpp"
#include "world.hpp"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <linux/input.h>
#include <sstream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// After the last step: room for a stray tap, echo or line to show up from
// a program still running. Once all have ended nothing more can come: the
// kernel hands a written event to its readers before the write returns.
// (A scenario whose script leaves a daemon behind pauses for it itself.)
constexpr int quiet_window_ms = 500;

bool run_scenario(const scenario& sc, const saved_state& saved)
{
    record("scenario", sc.name);
    world w{{}, false, -1, -1, 0, 0, {}, {}};
    bool ok = true;
    for (const step& s : sc.steps) {
        record("step", s.verb + ' ' + s.rest);
        if (const std::string why = play(w, s); !why.empty()) {
            record("fail", "line " + std::to_string(s.line) + ": " + s.verb + ": " + why);
            ok = false;
            break;
        }
    }
    if (std::any_of(w.programs.begin(), w.programs.end(), [](const program& p) { return !p.ended; }))
        collect_for(w, quiet_window_ms);
    stop_all(w);
    collect_for(w, 0);
    for (int fd : {w.touch_fd, w.mice_fd})
        if (fd >= 0)
            close(fd);
    for (remote_device& r : w.remotes)
        remove_remote(r);
    remove_devices(w.made);
    if (const std::string why = restore_state(saved); !why.empty()) {
        record("fail", "restoring the system: " + why);
        ok = false;
    }
    record("end", sc.name);
    return ok;
}

// The other process of the grab scenarios: it holds the grab until killed.
int hold_grab(const char* node)
{
    const int fd = open(node, O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ioctl(fd, EVIOCGRAB, 1) != 0) {
        std::perror(node);
        return 1;
    }
    std::printf("grabbed %s\n", node);
    std::fflush(stdout);
    for (;;)
        pause();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string_view(argv[1]) == "--grab")
        return hold_grab(argv[2]);
    if (argc == 3 && std::string_view(argv[1]) == "--caps")
        return print_declared(argv[2]);
    if (argc != 2) {
        std::fputs("usage: tapbridge-guest BATCH | tapbridge-guest --grab NODE | tapbridge-guest --caps NODE\n", stderr);
        return 2;
    }
    // A program that closes its terminal early must not take the driver along.
    signal(SIGPIPE, SIG_IGN);
    std::ostringstream text;
    bool readable = false;
    {
        // Closed before any program starts: the stream's descriptor would be inherited.
        std::ifstream in(argv[1]);
        text << in.rdbuf();
        readable = static_cast<bool>(in);
    }
    const batch b = parse_batch(text.str());
    if (!readable || !b.error.empty()) {
        record("fail", std::string("batch ") + argv[1] + ": " + (b.error.empty() ? "cannot be read" : b.error));
        return 2;
    }
    record("pid", "driver " + std::to_string(getpid()));
    const saved_state saved = save_state();
    int failed = 0;
    for (const scenario& sc : b.scenarios)
        failed += !run_scenario(sc, saved);
    return failed ? 1 : 0;
}

