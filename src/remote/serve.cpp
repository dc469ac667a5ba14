#include "remote/serve.hpp"

#include "input/evdev_node.hpp"
#include "input/identity.hpp"
#include "input/processes.hpp"
#include "gesture/decide/place.hpp"
#include "keymap/press.hpp"
#include "remote/scan.hpp"
#include "text/printable.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

constexpr const char* input_dir = "/dev/input";

void error_line(const std::string& text)
{
    std::fprintf(stderr, "tapbridge-remote: %s\n", text.c_str());
}

void line(const std::string& text)
{
    std::printf("%s\n", text.c_str());
}

std::string device_text(const std::string& path, const std::string& name)
{
    return printable(path) + " \"" + printable(name) + '"';
}

std::string device_text(const candidate& c)
{
    return device_text(c.path, c.id.name);
}

std::string node_key(const candidate& c)
{
    return c.path + ' ' + std::to_string(c.rdev);
}

// The device number tells a node: a remote given by another path to it (a
// by-id link) is found again under its eventN by the next scan.
bool is_taken(const server& s, const candidate& c)
{
    return std::any_of(s.nodes.begin(), s.nodes.end(), [&](const taken_node& n) { return n.rdev == c.rdev; });
}

// A taken node that a scan no longer lists is going away: the kernel takes
// its node from /dev/input before it ends the device for its readers.
bool taken_one_going(const server& s, const std::vector<candidate>& all)
{
    return std::any_of(s.nodes.begin(), s.nodes.end(), [&](const taken_node& n) {
        return std::none_of(all.begin(), all.end(), [&](const candidate& c) { return c.rdev == n.rdev; });
    });
}

bool refused(const server& s, const candidate& c)
{
    return std::find(s.refused.begin(), s.refused.end(), node_key(c)) != s.refused.end();
}

// A line about what a scan found, unless it was the last one said.
void notice(server& s, const std::string& text)
{
    if (text != s.last_notice)
        line(text);
    s.last_notice = text;
}

std::string several_text(const server& s, const std::vector<candidate>& all, const pick& p)
{
    std::string text = '"' + printable(s.want.given) + "\" matches more than one remote:";
    for (std::size_t i : p.nodes)
        text += ' ' + device_text(all[i]) +
                (all[i].id.uniq.empty() ? " (no unique id)," : " (unique id " + printable(all[i].id.uniq) + "),");
    text.back() = ';';
    // What was taken while the name was its alone stays: its presses go on
    // tapping, and another remote of that name takes nothing over from it.
    if (!s.nodes.empty()) {
        text += " keeps";
        for (const taken_node& n : s.nodes)
            text += ' ' + device_text(n.path, n.name) + ',';
        text += " taken while it was the only one, and takes none of the others;";
    }
    return text + " give its unique id or its node instead";
}

std::string misfit_text(const server& s, const fit_verdict& fit, const candidate& first)
{
    const std::string code = code_name(fit.code);
    switch (fit.kind) {
    case fit_kind::fits: break;
    case fit_kind::undeclared:
        if (fit.gesture) {
            const std::string name = gesture_name(*fit.gesture);
            return "--map " + name + ": " + device_text(first) +
                   (fit.gesture->placed ? " gives no positions to tap at, so it never makes " + name
                                        : " makes no gestures (no touch, pen, drag or motion)") +
                   "; tapbridge-setup lists what it sends";
        }
        return "--map " + code + ": " + device_text(first) + " does not declare " + code +
               ", so it never sends it; tapbridge-setup lists the codes that it declares";
    case fit_kind::nothing_mapped:
        return device_text(first) + " sends none of the default map's codes" +
               (s.args.grab ? " and has no mouse buttons of its own"
                            : ", and shared (--no-grab) its own mouse buttons reach /dev/input/mice without "
                              "tapbridge-remote") +
               ": give its codes with --map CODE=BUTTON";
    case fit_kind::taps_twice:
        if (fit.gesture)
            return "--no-grab with a ring's gestures on " + device_text(first) + ": mousedev itself makes a click of " +
                   code + " on this device at each touch, so each gesture would tap twice; leave out --no-grab";
        return "--no-grab with " + code + " on " + device_text(first) + ": mousedev itself makes a click of " +
               code + " on this device, so each press would tap twice; leave out --no-grab, or map another code";
    }
    return {};
}

found_list<process> other_servers(dev_t rdev)
{
    found_list<process> holders = holders_of(rdev);
    std::erase_if(holders.items, [](const process& p) { return p.name != remote_program_comm; });
    return holders;
}

// A node tapbridge itself holds open is the touch screen it writes its taps
// to: taking it would feed tapbridge's own taps back as clicks.
found_list<process> tapbridges_on(dev_t rdev)
{
    found_list<process> holders = holders_of(rdev);
    std::erase_if(holders.items, [](const process& p) { return p.name != "tapbridge"; });
    return holders;
}

std::string grabbed_text(const candidate& c)
{
    return device_text(c) + " is grabbed by another process (open by " + process_list(holders_of(c.rdev)) +
           "), which takes all its presses; stop that program first";
}

// Why a touch device is left alone: the device's own screen or pen, or one
// whose bus cannot tell it from a ring.
std::string screen_text(const server& s, const candidate& c)
{
    const std::string named = '"' + printable(s.want.given) + '"';
    if (place_of(c.id.bus, c.caps) == touch_place::built_in)
        return named + " is a touch screen: tapbridge taps it, and it is no remote";
    char bus[8];
    std::snprintf(bus, sizeof bus, "0x%02x", c.id.bus);
    return named + " may be the device's own touch screen or pen (its bus, " + bus + ", is neither Bluetooth nor "
           "USB): if it is a ring, give its node with --take-screen";
}

// Takes one node: 0, or at start the status that ends the program (later
// a line says why it is left alone). dry: only whether it could be taken,
// before anything is made.
int attach(server& s, const candidate& c, bool at_start, bool dry)
{
    const auto refuse = [&](int status, const std::string& why) {
        if (at_start) {
            error_line(why);
            return status;
        }
        s.refused.push_back(node_key(c));
        line(device_text(c) + " left alone: " + why);
        return 0;
    };
    if (const found_list<process> others = other_servers(c.rdev); !others.items.empty())
        return refuse(status_busy, "another tapbridge-remote already serves " + device_text(c) + " (" +
                                       process_list(others) + "); one is enough");
    if (const found_list<process> writers = tapbridges_on(c.rdev); !writers.items.empty())
        return refuse(status_no_remote, device_text(c) + " is the touch screen that tapbridge writes its taps to (" +
                                            process_list(writers) + "): it is no ring");
    input_node node = open_input(c.path);
    if (node.outcome != open_outcome::ok)
        return 0; // gone since the scan: its removal is no news
    if (dry) {
        const bool grabbed = s.args.grab && grabbed_by_other(node);
        close_input(node);
        return grabbed ? refuse(status_busy, grabbed_text(c)) : 0;
    }
    if (s.args.grab && libevdev_grab(node.device, LIBEVDEV_GRAB) != 0) {
        close_input(node);
        return refuse(status_busy, grabbed_text(c));
    }
    s.nodes.push_back({c.path, c.rdev, node.fd, node.device, c.id.name, s.args.grab, frame_reader_for(node.device),
                       no_stroke, spans_of(node.device)});
    line("attached " + device_text(c) + (s.args.grab ? ", grabbed: " : ", shared: ") +
         clicks_text(s.args.map, s.args.grab, c.caps));
    return 0;
}

// Looks for the remote and takes what of it is not taken yet. Returns 0,
// or at start the status that ends the program. dry: only decides, at
// start, whether it ends.
int take(server& s, bool at_start, const std::vector<candidate>& all, bool dry = false)
{
    std::erase_if(s.refused, [&](const std::string& key) {
        return std::none_of(all.begin(), all.end(), [&](const candidate& c) { return node_key(c) == key; });
    });
    const pick p = pick_remote(s.want, all);
    const auto end_or_say = [&](int status, const std::string& why) {
        if (at_start) {
            error_line(why);
            return status;
        }
        notice(s, why);
        return 0;
    };
    const std::string named = '"' + printable(s.want.given) + '"';
    switch (p.kind) {
    case pick_kind::absent:
        if (at_start && !dry)
            line("waiting for " + named + ": not there yet; it is taken as soon as it appears");
        return 0;
    case pick_kind::several: return end_or_say(status_no_remote, several_text(s, all, p));
    case pick_kind::touch_screen: return end_or_say(status_no_remote, screen_text(s, all[p.nodes.front()]));
    case pick_kind::virtual_mouse:
        return end_or_say(status_no_remote, named + " is a tapbridge-remote virtual mouse: taking it would loop "
                                                    "its clicks back");
    case pick_kind::found: break;
    }
    // Its end comes through its own descriptor, then a look again: nothing
    // is taken before, so that its detach line comes first.
    if (taken_one_going(s, all))
        return 0;
    s.last_notice.clear();
    std::vector<const candidate*> nodes;
    for (std::size_t i : p.nodes)
        nodes.push_back(&all[i]);
    const fit_verdict fit = fit_of(s.args.map, s.args.given_map, s.args.grab, nodes);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const candidate& c = *nodes[i];
        if (is_taken(s, c) || refused(s, c))
            continue;
        if (fit.kind != fit_kind::fits) {
            if (at_start) {
                error_line(misfit_text(s, fit, c));
                return status_misfit;
            }
            s.refused.push_back(node_key(c));
            line(device_text(c) + " left alone: " + misfit_text(s, fit, c));
        } else if (fit.take[i]) {
            if (const int status = attach(s, c, at_start, dry))
                return status;
        }
    }
    return 0;
}

void let_go(taken_node& n)
{
    if (n.grabbed)
        [[maybe_unused]] const int released = libevdev_grab(n.device, LIBEVDEV_UNGRAB);
    libevdev_free(n.device);
    close(n.fd);
}

void detach(server& s, std::size_t i)
{
    const std::string text = device_text(s.nodes[i].path, s.nodes[i].name);
    let_go(s.nodes[i]);
    s.nodes.erase(s.nodes.begin() + static_cast<std::ptrdiff_t>(i));
    line("detached " + text + ": it went away" + (s.nodes.empty() ? "; waiting for it to come back" : ""));
}

enum class read_outcome { fine, gone, failed };

std::int64_t now_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// A ring's BTN_TOUCH or BTN_LEFT begins and ends its strokes: no click of
// its own.
bool contact_key(const taken_node& n, const input_event& e)
{
    return e.type == EV_KEY && (e.code == BTN_TOUCH || e.code == BTN_LEFT) &&
           (n.frames.source == gesture_source::touch || n.frames.source == gesture_source::drag);
}

// The click of the gesture a stroke made, at the frame that ends it.
mouse_action stroke_action(const server& s, taken_node& n, const input_event& e)
{
    stroke_frame frame{};
    if (n.frames.source == gesture_source::none || !take_event(n.frames, n.device, e, frame))
        return {};
    const auto end = after_frame(n.under_way, frame, now_ms());
    return end ? click_of(button_of(s.args.map, gesture_of(*end, n.spans))) : mouse_action{};
}

int send(const server& s, const mouse_action& action, std::string& why)
{
    const int error = send_action(s.mouse, action);
    if (error)
        why = "cannot write to the virtual mouse " + printable(s.mouse.node) + ": " + std::strerror(error);
    return error;
}

// Reads what the node has, through libevdev: after the kernel's queue
// overflowed (SYN_DROPPED), libevdev brings the state back, and a key
// that reads as down then counts as one press, a ring's contact that
// reads as lifted as its stroke's lift.
read_outcome read_node(server& s, taken_node& n, std::string& why)
{
    unsigned flag = LIBEVDEV_READ_FLAG_NORMAL;
    for (;;) {
        input_event e{};
        const int rc = libevdev_next_event(n.device, flag, &e);
        if (rc == -EAGAIN) {
            if (flag == LIBEVDEV_READ_FLAG_NORMAL)
                return read_outcome::fine;
            flag = LIBEVDEV_READ_FLAG_NORMAL;
            continue;
        }
        if (rc == -ENODEV)
            return read_outcome::gone;
        if (rc < 0) {
            why = "cannot read " + device_text(n.path, n.name) + ": " + std::strerror(-rc);
            return read_outcome::failed;
        }
        if (rc == LIBEVDEV_READ_STATUS_SYNC)
            flag = LIBEVDEV_READ_FLAG_SYNC;
        // The input core passes an axis event only when its value changed,
        // and libevdev's resync only what changed: the hat's value before
        // was another, and a 1 or -1 is always a press.
        constexpr std::int32_t previous = 0;
        const mouse_action action = contact_key(n, e) ? mouse_action{}
                                                      : action_of(s.args.map, n.grabbed, e.type, e.code, e.value, previous);
        if (send(s, action, why) || send(s, stroke_action(s, n, e), why))
            return read_outcome::failed;
    }
}

// Milliseconds until the first open burst of motion ends, or -1 (no
// timer) while none is open.
int quiet_timeout(const server& s)
{
    std::int64_t least = -1;
    const std::int64_t now = now_ms();
    for (const taken_node& n : s.nodes)
        if (const std::int64_t left = quiet_left_ms(n.under_way, now); left >= 0 && (least < 0 || left < least))
            least = left;
    return static_cast<int>(least);
}

// Clicks the bursts that have been quiet long enough.
int end_quiet_bursts(server& s, std::string& why)
{
    const std::int64_t now = now_ms();
    for (taken_node& n : s.nodes)
        if (const auto end = after_quiet(n.under_way, now))
            if (const int error = send(s, click_of(button_of(s.args.map, gesture_of(*end, n.spans))), why))
                return error;
    return 0;
}

// A node made in /dev/input or moved there under its final name (as a
// device manager does) may be the remote; one deleted or moved away may
// leave a name to one remote alone.
constexpr std::uint32_t node_changes = IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM | IN_ONLYDIR;

void watch_input(server& s)
{
    if (s.input_watch < 0)
        s.input_watch = inotify_add_watch(s.notify, input_dir, node_changes);
    if (s.input_watch < 0 && s.dev_watch < 0) {
        // Until the first input device appears, /dev/input may not exist.
        s.dev_watch = inotify_add_watch(s.notify, "/dev", IN_CREATE | IN_MOVED_TO | IN_ONLYDIR);
        s.input_watch = inotify_add_watch(s.notify, input_dir, node_changes);
    }
}

// True when what inotify says may have changed which remote is there: a
// node come or gone, a new /dev/input, or notices lost to an overflow.
bool read_notices(server& s)
{
    alignas(inotify_event) char buffer[4096];
    bool look = false;
    for (ssize_t n; (n = read(s.notify, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(at);
            at += sizeof(inotify_event) + e->len;
            const std::string_view name = e->len ? e->name : "";
            if (e->mask & IN_Q_OVERFLOW)
                look = true;
            if (e->wd == s.input_watch && (e->mask & IN_IGNORED)) {
                s.input_watch = -1; // /dev/input itself went away
                watch_input(s);
            } else if (e->wd == s.input_watch && name.starts_with("event")) {
                look = true;
            } else if (e->wd == s.dev_watch && name == "input") {
                watch_input(s);
                look = true;
            }
        }
    }
    return look;
}

const char* signal_name(int sig)
{
    return sig == SIGTERM ? "SIGTERM" : sig == SIGINT ? "SIGINT" : "SIGHUP";
}

void shut_down(server& s)
{
    for (taken_node& n : s.nodes)
        let_go(n);
    s.nodes.clear();
    remove_virtual_mouse(s.mouse);
}

int loop(server& s)
{
    for (;;) {
        std::vector<pollfd> fds{{s.signals, POLLIN, 0}, {s.notify, POLLIN, 0}};
        for (const taken_node& n : s.nodes)
            fds.push_back({n.fd, POLLIN, 0});
        // No timeout at idle: nothing wakes it but a press, a node come or
        // gone or a signal. Only a ring's open burst of motion needs its quiet
        // gap timed.
        if (poll(fds.data(), fds.size(), quiet_timeout(s)) < 0) {
            if (errno == EINTR)
                continue;
            error_line(std::string("poll: ") + std::strerror(errno));
            shut_down(s);
            return status_io;
        }
        if (fds[0].revents) {
            signalfd_siginfo info{};
            const bool read_one = read(s.signals, &info, sizeof info) == sizeof info;
            shut_down(s);
            line(std::string("stopped by ") + (read_one ? signal_name(static_cast<int>(info.ssi_signo)) : "a signal") +
                 ": the remote let go, the virtual mouse removed");
            return 0;
        }
        // A node gone is news too: another remote of its name may now be
        // the only one, whether /dev/input says so yet or not.
        bool look = false;
        for (std::size_t i = s.nodes.size(); i-- > 0;) {
            const short revents = fds[2 + i].revents;
            std::string why;
            const read_outcome outcome = revents & POLLIN ? read_node(s, s.nodes[i], why)
                                         : revents        ? read_outcome::gone
                                                          : read_outcome::fine;
            if (outcome == read_outcome::gone) {
                detach(s, i);
                look = true;
            } else if (outcome == read_outcome::failed) {
                error_line(why);
                shut_down(s);
                return status_io;
            }
        }
        if (std::string why; end_quiet_bursts(s, why)) {
            error_line(why);
            shut_down(s);
            return status_io;
        }
        if (fds[1].revents && read_notices(s))
            look = true;
        if (look)
            [[maybe_unused]] const int ignored = take(s, false, scan_nodes());
    }
}

// The node a path names, as it is at start: it must be an input event
// device now.
int resolve_path(server& s, std::vector<candidate>& found)
{
    input_node node = open_input(s.want.given);
    if (node.outcome != open_outcome::ok) {
        std::string why = failure_text(node.outcome, node.error);
        if (!node.what.empty())
            why += " (" + printable(node.what) + ')';
        error_line(printable(s.want.given) + ' ' + why + ": give the remote's event node, name or unique id, as "
                   "tapbridge-setup prints them");
        return status_no_remote;
    }
    found.push_back(candidate_of(s.want.given, node));
    close_input(node);
    s.want.identity = found.back().id;
    return 0;
}

int start_watching(server& s)
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    // Under nohup SIGHUP stays ignored: a blocked signal would be queued
    // to the signalfd even so.
    struct sigaction hup{};
    if (sigaction(SIGHUP, nullptr, &hup) == 0 && hup.sa_handler != SIG_IGN)
        sigaddset(&set, SIGHUP);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    s.signals = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    s.notify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (s.signals < 0 || s.notify < 0) {
        error_line(std::string("cannot wait for signals and new devices (signalfd, inotify): ") +
                   std::strerror(errno) + "; the kernel lacks them");
        return status_no_uinput;
    }
    watch_input(s);
    return 0;
}

} // namespace

int serve(const remote_args& args)
{
    server s{args, {args.remote, std::nullopt, args.take_screen}, {nullptr, 0, {}}, {}, {}, {}, -1, -1, -1, -1};
    // Watching first: a remote that appears while the first scan runs is
    // announced all the same.
    if (const int status = start_watching(s))
        return status;
    std::vector<candidate> found;
    if (args.remote.starts_with('/')) {
        if (const int status = resolve_path(s, found))
            return status;
    } else {
        found = scan_nodes();
    }
    // What would end it at start ends it before a virtual mouse comes and goes.
    if (const int status = take(s, true, found, true))
        return status;
    s.mouse = make_virtual_mouse();
    if (!s.mouse.device) {
        if (s.mouse.error == ENOENT || s.mouse.error == ENODEV)
            error_line("no /dev/uinput: load it (modprobe uinput), or use a kernel with CONFIG_INPUT_UINPUT");
        else
            error_line(std::string("cannot make the virtual mouse through /dev/uinput: ") +
                       std::strerror(s.mouse.error));
        return status_no_uinput;
    }
    line("virtual mouse " + printable(s.mouse.node) + " made: tapbridge reads its clicks through /dev/input/mice");
    if (const int status = take(s, true, found)) {
        shut_down(s);
        return status;
    }
    return loop(s);
}
