// tapbridge-guest: the driver of the kernel tier, run inside a guest booted
// by tools/vm.py. It plays a batch of scenarios on a real input stack and
// reports, a record a line, everything the kernel delivered to its
// witnesses and everything the programs under test printed.
//
//   tapbridge-guest BATCH        runs the scenarios in the file BATCH
//   tapbridge-guest --grab NODE  holds a grab on NODE until killed (the
//                                "other process" of grab scenarios)
//
// Per scenario: the devices of its first step, a second reader of the touch
// node, a client of /dev/input/mice; then its steps; then a short quiet
// window for strays, every program it started stopped, the devices removed
// and the kernel state put back. The steps:
//
//   screen KIND XMIN XMAX YMIN YMAX  a mouse and a touch screen (mt, touchpad, direct)
//   run ID [as UID] COMMAND          COMMAND by sh -c on a terminal of its own, in the
//                                    background; $TOUCH and $MOUSE name the event nodes
//   runline ID FROM PREFIX           runs, as ID, the last line FROM printed that starts
//                                    with PREFIX (leading blanks ignored), as printed
//   sh COMMAND                       runs COMMAND by sh -c to its end (state changes)
//   mouse TOKENS                     L1 L0 R1 R0 M1 M0 X<n> Y<n> W<n> S (see devices.hpp)
//   finger down|move SLOT X Y        one frame of a finger in SLOT
//   finger up SLOT
//   tap X Y                          a finger down and up in slot 0
//   keys ID TEXT                     types TEXT on ID's terminal (\n Enter, \x03 Ctrl-C,
//                                    \x04 Ctrl-D)
//   pause MS                         paces input (a held button, a long touch)
//   wait ID lines N                  until ID printed N whole lines on standard output
//   wait ID text TEXT                until ID printed TEXT, on either stream
//   wait ID idle                     until ID sleeps in poll or select: waiting for input,
//                                    all it does before that done (a question asked and
//                                    the touches made before it taken away)
//   wait ID exit                     until ID ended
//   wait touch frames N              until the touch reader got N SYN_REPORTs
//   wait mice packets N              until the mice client got N packets
//   stop ID [SIGNAL]                 sends SIGNAL (default 15) and waits for the end
//
// Every wait has a generous bound; one that runs out fails the scenario,
// which then skips to its end. Records: "scenario NAME", "node touch|mouse
// PATH", "pid ID N", "step VERB REST", "touch ...", "mice ...", "out ID
// LINE", "err ID LINE", "sh LINE", "exit ID status|signal N", "fail WHY",
// "end NAME".

#include "devices.hpp"
#include "programs.hpp"
#include "readers.hpp"
#include "report.hpp"
#include "script.hpp"
#include "state.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <linux/input.h>
#include <poll.h>
#include <sstream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Bounds, not delays: emulated without KVM on a loaded two-core machine, a
// program can take seconds to start.
constexpr int wait_bound_ms = 30000;
constexpr int stop_bound_ms = 10000;
// After the last step: room for a stray tap, echo or line to show up.
constexpr int quiet_window_ms = 500;

struct world {
    devices made;
    bool have_devices;
    int touch_fd;
    int mice_fd;
    int frames;  // SYN_REPORTs the touch reader got
    int packets; // packets the mice client got
    std::vector<program> programs;
};

long long now_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

program* find_program(world& w, std::string_view id)
{
    for (program& p : w.programs)
        if (p.id == id)
            return &p;
    return nullptr;
}

// One round: waits up to timeout_ms for anything from the witnesses or the
// programs, and records it.
void pump_once(world& w, int timeout_ms)
{
    std::vector<pollfd> fds;
    for (int fd : {w.touch_fd, w.mice_fd})
        fds.push_back({fd, POLLIN, 0});
    for (const program& p : w.programs)
        for (int fd : {p.terminal, p.errors, p.pidfd})
            fds.push_back({fd, POLLIN, 0}); // a negative descriptor is skipped by poll
    if (poll(fds.data(), fds.size(), std::max(timeout_ms, 0)) <= 0)
        return;
    // What came at once is recorded in the order it usually happens: the
    // mouse's packet, the program's line about it, then its tap.
    if (fds[1].revents)
        w.packets += report_mice(w.mice_fd);
    std::size_t i = 2;
    for (program& p : w.programs) {
        const bool output = fds[i].revents || fds[i + 1].revents;
        const bool ended = fds[i + 2].revents;
        i += 3;
        if (output)
            read_output(p);
        if (ended)
            reap(p);
    }
    if (fds[0].revents)
        w.frames += report_touch(w.touch_fd);
}

// Collects until done() holds or bound_ms pass; returns done(). done() is
// asked again after each thing collected, and at least every look_ms: a
// condition that no descriptor announces (a process falling asleep) needs
// a short look_ms.
template <typename Done>
bool wait_until(world& w, Done done, int bound_ms, int look_ms = 1000)
{
    const long long deadline = now_ms() + bound_ms;
    while (!done()) {
        const long long left = deadline - now_ms();
        if (left <= 0)
            return done();
        pump_once(w, static_cast<int>(std::min<long long>(left, look_ms)));
    }
    return true;
}

void collect_for(world& w, int ms)
{
    const long long end = now_ms() + ms;
    while (now_ms() < end)
        pump_once(w, static_cast<int>(end - now_ms()));
}

std::vector<std::string> environment(const world& w)
{
    return {"PATH=/usr/local/bin:/bin", "HOME=/", "TOUCH=" + w.made.screen_node, "MOUSE=" + w.made.mouse_node};
}

std::string start(world& w, const launch& how)
{
    if (find_program(w, how.id))
        return "a program named " + how.id + " was already started";
    program p{};
    const std::string error = start_program(how, environment(w), p);
    if (!error.empty())
        return error;
    w.programs.push_back(p);
    record("pid", how.id + ' ' + std::to_string(p.pid));
    return {};
}

std::string make_screen(world& w, const std::string& rest)
{
    const auto words = split_words(rest);
    const auto kind = words.empty() ? std::nullopt : kind_named(words[0]);
    std::vector<int> numbers;
    for (std::size_t i = 1; i < words.size(); ++i)
        if (const auto n = parse_number(words[i]))
            numbers.push_back(*n);
    if (w.have_devices || !kind || words.size() != 5 || numbers.size() != 4)
        return "screen KIND XMIN XMAX YMIN YMAX, once";
    if (std::string error = make_devices({*kind, {numbers[0], numbers[1]}, {numbers[2], numbers[3]}}, w.made);
        !error.empty())
        return error;
    w.have_devices = true;
    record("node", "mouse " + w.made.mouse_node);
    record("node", "touch " + w.made.screen_node);
    w.touch_fd = open_touch_reader(w.made.screen_node);
    if (w.touch_fd < 0)
        return "cannot open " + w.made.screen_node + " as a second reader";
    std::string error;
    w.mice_fd = open_mice_reader(error);
    return error;
}

std::string run_step(world& w, const std::string& rest)
{
    auto [id, command] = first_word(rest);
    std::optional<unsigned> uid;
    if (auto [word, after] = first_word(command); word == "as") {
        auto [number, tail] = first_word(after);
        const auto n = parse_number(number);
        if (!n || *n < 0)
            return "run ID as UID COMMAND";
        uid = static_cast<unsigned>(*n);
        command = tail;
    }
    if (id.empty() || command.empty())
        return "run ID [as UID] COMMAND";
    return start(w, {id, command, uid, true});
}

// The command line a program printed, taken as printed.
std::string runline_step(world& w, const std::string& rest)
{
    const auto [id, more] = first_word(rest);
    const auto [from, prefix] = first_word(more);
    const program* source = find_program(w, from);
    if (!source || prefix.empty())
        return "runline ID FROM PREFIX: FROM must be a program of this scenario";
    for (auto line = source->lines.rbegin(); line != source->lines.rend(); ++line) {
        const auto first = line->find_first_not_of(' ');
        if (first != std::string::npos && line->compare(first, prefix.size(), prefix) == 0)
            return start(w, {id, line->substr(first), std::nullopt, true});
    }
    return from + " printed no line starting with " + prefix;
}

std::string sh_step(world& w, const std::string& command)
{
    program p{};
    if (std::string error = start_program({"sh", command, std::nullopt, false}, environment(w), p); !error.empty())
        return error;
    w.programs.push_back(p);
    const std::size_t index = w.programs.size() - 1;
    const bool ended = wait_until(w, [&] { return w.programs[index].ended; }, wait_bound_ms);
    program& done = w.programs[index];
    std::string why;
    if (!ended) {
        signal_program(done, SIGKILL);
        wait_until(w, [&] { return w.programs[index].ended; }, stop_bound_ms);
        why = "sh did not finish: " + command;
    } else if (done.status != 0) {
        why = "sh failed (status " + std::to_string(done.status) + "): " + command;
    }
    // Output still buffered in the pipe belongs to this step.
    read_output(w.programs[index]);
    close_program(w.programs[index]);
    w.programs.erase(w.programs.begin() + static_cast<std::ptrdiff_t>(index));
    return why;
}

std::string finger_step(world& w, const std::string& rest)
{
    const auto words = split_words(rest);
    std::vector<int> numbers;
    for (std::size_t i = 1; i < words.size(); ++i)
        if (const auto n = parse_number(words[i]))
            numbers.push_back(*n);
    const bool up = !words.empty() && words[0] == "up";
    const bool placed = !words.empty() && (words[0] == "down" || words[0] == "move");
    if (numbers.size() + 1 != words.size() || (up && numbers.size() != 1) || (placed && numbers.size() != 3) ||
        (!up && !placed) || numbers[0] < 0 || numbers[0] >= slot_count)
        return "finger down|move SLOT X Y, or finger up SLOT";
    const finger_action action = up ? finger_action::up : words[0] == "down" ? finger_action::down : finger_action::move;
    const auto events = finger_frame(w.made.touch, w.made.spec.kind, action, numbers[0], up ? 0 : numbers[1],
                                     up ? 0 : numbers[2]);
    return emit(w.made.screen, events) ? std::string() : "cannot write to the touch screen";
}

std::string wait_step(world& w, const std::string& rest)
{
    const auto [id, more] = first_word(rest);
    const auto [what, value] = first_word(more);
    const auto count = parse_number(value);
    if (id == "touch" && what == "frames" && count)
        return wait_until(w, [&] { return w.frames >= *count; }, wait_bound_ms) ? "" : "too few frames on the touch node";
    if (id == "mice" && what == "packets" && count)
        return wait_until(w, [&] { return w.packets >= *count; }, wait_bound_ms) ? "" : "too few packets on /dev/input/mice";
    if (!find_program(w, id))
        return "wait: no program " + id;
    // The vector does not grow while waiting: look the program up each time.
    auto p = [&] { return find_program(w, id); };
    bool done = false;
    if (what == "lines" && count)
        done = wait_until(w, [&] { return p()->out_lines >= *count; }, wait_bound_ms);
    else if (what == "text" && !value.empty())
        done = wait_until(w, [&, text = unescape(value)] { return p()->text.find(text) != std::string::npos; },
                          wait_bound_ms);
    else if (what == "idle")
        done = wait_until(w, [&] { return waiting_for_input(*p()); }, wait_bound_ms, 10);
    else if (what == "exit")
        done = wait_until(w, [&] { return p()->ended; }, wait_bound_ms);
    else
        return "wait ID lines N | text TEXT | idle | exit, or wait touch frames N | mice packets N";
    return done ? "" : "timed out";
}

std::string play(world& w, const step& s)
{
    if (s.verb == "screen")
        return make_screen(w, s.rest);
    if (s.verb == "run")
        return run_step(w, s.rest);
    if (s.verb == "runline")
        return runline_step(w, s.rest);
    if (s.verb == "sh")
        return sh_step(w, s.rest);
    if (s.verb == "wait")
        return wait_step(w, s.rest);
    if (s.verb == "pause") {
        const auto ms = parse_number(s.rest);
        if (!ms || *ms < 0)
            return "pause MS";
        collect_for(w, *ms);
        return {};
    }
    if (s.verb == "keys" || s.verb == "stop") {
        const auto [id, text] = first_word(s.rest);
        program* p = find_program(w, id);
        if (!p)
            return s.verb + ": no program " + id;
        if (s.verb == "stop") {
            const auto sig = text.empty() ? std::optional<int>(SIGTERM) : parse_number(text);
            if (!sig)
                return "stop ID [SIGNAL]";
            signal_program(*p, *sig);
            return wait_until(w, [&] { return find_program(w, id)->ended; }, stop_bound_ms) ? "" : "did not stop";
        }
        const std::string bytes = unescape(text);
        return p->terminal >= 0 && write(p->terminal, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size())
                   ? ""
                   : "cannot type on the terminal of " + id;
    }
    if (!w.have_devices)
        return s.verb + ": no devices yet (screen first)";
    if (s.verb == "mouse") {
        const auto events = mouse_events(s.rest);
        if (!events)
            return "mouse: tokens are L1 L0 R1 R0 M1 M0 X<n> Y<n> W<n> S";
        return emit(w.made.mouse, *events) ? "" : "cannot write to the mouse";
    }
    if (s.verb == "finger")
        return finger_step(w, s.rest);
    if (s.verb == "tap") {
        const auto words = split_words(s.rest);
        if (words.size() != 2)
            return "tap X Y";
        if (std::string error = finger_step(w, "down 0 " + words[0] + ' ' + words[1]); !error.empty())
            return error;
        return finger_step(w, "up 0");
    }
    return "unknown step " + s.verb;
}

// Stops what is still running: SIGTERM, as a user does, then SIGKILL.
void stop_all(world& w)
{
    auto all_ended = [&] {
        return std::all_of(w.programs.begin(), w.programs.end(), [](const program& p) { return p.ended; });
    };
    for (int sig : {SIGTERM, SIGKILL}) {
        for (const program& p : w.programs)
            signal_program(p, sig);
        if (wait_until(w, all_ended, stop_bound_ms))
            break;
    }
    // What the terminals still hold (a pty hands out its last bytes after
    // the process is gone).
    for (program& p : w.programs) {
        read_output(p);
        close_program(p);
    }
    w.programs.clear();
}

bool run_scenario(const scenario& sc, const saved_state& saved)
{
    record("scenario", sc.name);
    world w{{}, false, -1, -1, 0, 0, {}};
    bool ok = true;
    for (const step& s : sc.steps) {
        record("step", s.verb + ' ' + s.rest);
        if (const std::string why = play(w, s); !why.empty()) {
            record("fail", "line " + std::to_string(s.line) + ": " + s.verb + ": " + why);
            ok = false;
            break;
        }
    }
    collect_for(w, quiet_window_ms);
    stop_all(w);
    collect_for(w, 0);
    for (int fd : {w.touch_fd, w.mice_fd})
        if (fd >= 0)
            close(fd);
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
    if (argc != 2) {
        std::fputs("usage: tapbridge-guest BATCH | tapbridge-guest --grab NODE\n", stderr);
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
