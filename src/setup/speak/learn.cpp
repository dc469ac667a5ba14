#include "setup/speak/learn.hpp"

#include "gesture/read/frames.hpp"
#include "input/evdev_node.hpp"
#include "keymap/press.hpp"
#include "setup/decide/command.hpp"
#include "setup/decide/layout.hpp"
#include "setup/decide/mice.hpp"
#include "setup/decide/remotes.hpp"
#include "setup/decide/traps.hpp"
#include "setup/speak/explain.hpp"
#include "setup/speak/output.hpp"
#include "setup/speak/remotes_report.hpp"
#include "setup/speak/typed_lines.hpp"
#include "text/printable.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A question nobody answers is skipped after this long.
constexpr int skip_after_ms = 10000;
static_assert(skip_after_ms == 10000, "the questions say 10 s");

// Next page, previous page and menu: the buttons a remote turns pages with
// (next page on wheel down where tapbridge's point 1 is off).
std::array<int, 3> learned_buttons(int next_page)
{
    return {next_page, btn_right, btn_middle};
}

constexpr std::size_t hat_axes = ABS_HAT3Y - ABS_HAT0X + 1;

// A device held while the questions are asked.
struct held_device {
    const input_device* device;
    input_node node;
    std::array<std::int32_t, hat_axes> hats; // each hat's last value: a press is a change to -1 or +1
    frame_reader frames; // a ring's events as frames of its strokes
    stroke under_way;
    axis_spans spans;
};

// What answers a question: a key's or hat's press, or a ring's gesture.
struct answer {
    bool is_gesture;
    input_code code;
    gesture_code gesture;

    friend bool operator==(const answer&, const answer&) = default;
};

std::string name_of(const answer& a)
{
    return a.is_gesture ? gesture_name(a.gesture) : code_name(a.code);
}

struct heard {
    enum { pressed, skipped, lost, output_lost } what;
    const input_device* device;
    answer said;
    int error;
};

std::int64_t now_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// A ring's contact and its tools (BTN_TOUCH, BTN_TOOL_PEN, BTN_LEFT held to
// drag) begin and end its strokes: they answer nothing themselves.
bool contact_key(const held_device& held, const input_event& ev)
{
    if (ev.type != EV_KEY || held.frames.source == gesture_source::none || held.frames.source == gesture_source::motion)
        return false;
    return ev.code == BTN_LEFT || ev.code == BTN_TOUCH || (ev.code >= BTN_TOOL_PEN && ev.code <= BTN_TOOL_LENS) ||
           (ev.code >= BTN_TOOL_DOUBLETAP && ev.code <= BTN_TOOL_QUADTAP);
}

// The gesture a frame ends, if it ends a stroke.
std::optional<answer> stroke_answer(held_device& held, const input_event& ev)
{
    stroke_frame frame{};
    if (held.frames.source == gesture_source::none || !take_event(held.frames, held.node.device, ev, frame))
        return std::nullopt;
    const auto end = after_frame(held.under_way, frame, now_ms());
    if (!end)
        return std::nullopt;
    return answer{true, {}, gesture_of(*end, held.spans)};
}

// Opens and grabs the device; false, with why on standard error when it
// was asked for by name, when it cannot be held.
bool hold(const input_device& d, held_device& held, bool asked)
{
    held = {&d, open_input(d.node), {}, {}, no_stroke, {}};
    if (held.node.outcome != open_outcome::ok) {
        if (asked)
            std::fprintf(stderr, "tapbridge-setup: %s: %s.\n", printable(d.node).c_str(),
                         failure_text(held.node.outcome, held.node.error).c_str());
        return false;
    }
    if (const int rc = libevdev_grab(held.node.device, LIBEVDEV_GRAB); rc < 0) {
        if (asked)
            std::fprintf(stderr, "tapbridge-setup: %s is grabbed by another process, which takes every key (open "
                         "by %s). Stop that program and try again.\n", device_text(d).c_str(),
                         process_list(d.holders).c_str());
        close_input(held.node);
        return false;
    }
    for (std::size_t i = 0; i < hat_axes; ++i)
        held.hats[i] = libevdev_get_event_value(held.node.device, EV_ABS, static_cast<unsigned>(ABS_HAT0X + i));
    held.frames = frame_reader_for(held.node.device);
    held.spans = spans_of(held.node.device);
    return true;
}

// Reads what is queued; returns the first press or gesture among it.
// Presses after it in the same read answer nothing: the next question
// forgets them.
std::optional<answer> read_presses(held_device& held, int& error)
{
    std::optional<answer> first;
    unsigned flags = LIBEVDEV_READ_FLAG_NORMAL;
    for (;;) {
        input_event ev{};
        const int rc = libevdev_next_event(held.node.device, flags, &ev);
        if (rc == -EAGAIN && flags == LIBEVDEV_READ_FLAG_SYNC) {
            flags = LIBEVDEV_READ_FLAG_NORMAL;
            continue;
        }
        if (rc == -EAGAIN)
            return first;
        if (rc < 0) {
            error = -rc;
            return first;
        }
        // After SYN_DROPPED, libevdev hands out what changed meanwhile: a
        // key down then was pressed.
        if (rc == LIBEVDEV_READ_STATUS_SYNC)
            flags = LIBEVDEV_READ_FLAG_SYNC;
        std::int32_t previous = 0;
        if (ev.type == EV_ABS && is_hat_axis(ev.code)) {
            previous = held.hats[ev.code - ABS_HAT0X];
            held.hats[ev.code - ABS_HAT0X] = ev.value;
        }
        const auto press = contact_key(held, ev) ? std::nullopt : press_of(ev.type, ev.code, ev.value, previous);
        if (press && !first)
            first = answer{false, *press, {}};
        if (const auto gesture = stroke_answer(held, ev); gesture && !first)
            first = gesture;
    }
}

// The first held ring's burst of motion that has been quiet long enough.
std::optional<answer> quiet_burst(held_device& held)
{
    const auto end = held.device ? after_quiet(held.under_way, now_ms()) : std::nullopt;
    if (!end)
        return std::nullopt;
    return answer{true, {}, gesture_of(*end, held.spans)};
}

// How long until the first open burst of a held ring ends, at most limit.
int quiet_wait(const std::vector<held_device>& held, int limit)
{
    const std::int64_t now = now_ms();
    std::int64_t wait = limit;
    for (const held_device& h : held)
        if (const std::int64_t left = h.device ? quiet_left_ms(h.under_way, now) : -1; left >= 0)
            wait = std::min(wait, left);
    return static_cast<int>(wait);
}

void let_go(held_device& held)
{
    close_input(held.node);
    held.device = nullptr;
}

bool of_remote(const input_device& d, const input_device* remote)
{
    return !remote || &d == remote || same_physical(d.id, remote->id);
}

// Waits for a press on the held devices of remote (any, while it is
// null), a line on standard input, or the question's time to run out.
heard wait_for_press(std::vector<held_device>& held, const input_device* remote, typed_lines& in)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(skip_after_ms);
    for (;;) {
        if (take_line(in))
            return {heard::skipped, nullptr, {}, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return {heard::skipped, nullptr, {}, 0};
        // Standard output is asked for nothing: it reports only an error or
        // a hang-up, a reader gone away. A ring's open burst of motion ends
        // after a quiet gap: only then is there a timer short of the question's.
        int wait_ms = quiet_wait(held, static_cast<int>(left.count()));
        std::vector<pollfd> fds{{typed_fd(in, wait_ms), POLLIN, 0}, {STDOUT_FILENO, 0, 0}};
        for (const held_device& h : held)
            fds.push_back({h.device ? h.node.fd : -1, POLLIN, 0});
        const int n = poll(fds.data(), fds.size(), wait_ms);
        if (n < 0 && errno != EINTR)
            return {heard::lost, nullptr, {}, errno};
        for (held_device& h : held)
            if (const auto burst = quiet_burst(h); burst && of_remote(*h.device, remote))
                return {heard::pressed, h.device, *burst, 0};
        if (n <= 0)
            continue;
        if (fds[1].revents & (POLLERR | POLLHUP))
            return {heard::output_lost, nullptr, {}, EPIPE};
        for (std::size_t i = 0; i < held.size(); ++i) {
            held_device& h = held[i];
            if (!h.device || !fds[i + 2].revents)
                continue;
            int error = 0;
            const auto press = read_presses(h, error);
            const bool ours = of_remote(*h.device, remote);
            if (error != 0 && ours)
                return {heard::lost, h.device, {}, error};
            if (error != 0)
                let_go(h);
            else if (press && ours)
                return {heard::pressed, h.device, *press, 0};
        }
        if (fds[0].revents)
            read_typed(in);
    }
}

// Presses and strokes made before a question can be read answer nothing.
void forget_presses(std::vector<held_device>& held)
{
    for (held_device& h : held)
        if (h.device) {
            int error = 0;
            (void)read_presses(h, error);
            h.under_way = no_stroke;
        }
}

// The learnt maps as --map takes them.
struct learnt_map {
    answer said;
    int button;
};

void ask(const button_role& role, bool first)
{
    if (first)
        std::printf("%s (%s): press the remote's button for it; Enter, or 10 s without a press, skips it\n",
                    role.purpose, role.button);
    else
        std::printf("%s (%s): press its button; Enter or 10 s: skip\n", role.purpose, role.button);
}

struct learnt {
    int status; // status_ready when every question was answered or skipped
    std::vector<learnt_map> maps;
    const input_device* remote;
};

// The remote is the device that answers first: the other devices are let go.
void settle_remote(std::vector<held_device>& held, const input_device& remote)
{
    for (held_device& h : held)
        if (h.device && !of_remote(*h.device, &remote))
            let_go(h);
    std::printf("  the remote: %s\n", device_text(remote).c_str());
}

learnt ask_buttons(std::vector<held_device>& held, const input_device* given, bool keyboard, int next_page)
{
    learnt result{status_ready, {}, given};
    typed_lines in{keyboard, false, 0, 0, 0};
    forget_typed(in);
    const std::array<int, 3> buttons = learned_buttons(next_page);
    for (std::size_t q = 0; q < buttons.size(); ++q) {
        const int button = buttons[q];
        const button_role& role = page_turning[static_cast<std::size_t>(button - 1)];
        forget_presses(held);
        ask(role, q == 0);
        if (const int error = output_error())
            return {output_failed(error), {}, nullptr};
        for (;;) {
            const heard h = wait_for_press(held, result.remote, in);
            if (h.what == heard::output_lost)
                return {output_failed(h.error), {}, nullptr};
            if (h.what == heard::lost) {
                std::fprintf(stderr, "tapbridge-setup: %s %s; no command line printed.\n",
                             h.device ? device_text(*h.device).c_str() : "reading the remote",
                             h.error == ENODEV ? "went away (unplugged, asleep or out of range)"
                                               : (std::string("failed: ") + std::strerror(h.error)).c_str());
                return {status_nothing, {}, nullptr};
            }
            if (h.what == heard::skipped) {
                std::printf("  %s (%s): skipped\n", role.purpose, role.button);
                break;
            }
            const auto same = std::find_if(result.maps.begin(), result.maps.end(),
                                           [&](const learnt_map& m) { return m.said == h.said; });
            if (same != result.maps.end()) {
                const button_role& taken = page_turning[static_cast<std::size_t>(same->button - 1)];
                std::printf("  %s already gives %s (%s): press another button, or skip\n",
                            name_of(h.said).c_str(), taken.purpose, taken.button);
                continue;
            }
            if (!result.remote) {
                settle_remote(held, *h.device);
                result.remote = h.device;
            }
            result.maps.push_back({h.said, button});
            std::printf("  %s (%s): %s\n", role.purpose, role.button, name_of(h.said).c_str());
            break;
        }
    }
    return result;
}

int print_remote_line(const system_facts& facts, const learnt& l)
{
    const std::vector<remote_trap> traps = remote_traps(facts, *l.remote);
    if (!traps.empty()) {
        std::puts("Mend these first:");
        for (remote_trap t : traps)
            std::printf("  - %s.\n", remote_trap_text(t, facts, *l.remote).c_str());
    }
    std::puts(traps.empty() ? "Ready. Run as root:" : "Then run as root:");
    std::vector<std::string> maps;
    for (const learnt_map& m : l.maps)
        maps.push_back(m.said.is_gesture ? map_text(m.said.gesture, m.button) : map_text(m.said.code, m.button));
    std::printf("  %s\n", remote_command_line(program_beside(remote_program_name), maps, btn_left,
                                              remote_argument(*l.remote, facts.others)).c_str());
    return traps.empty() ? status_ready : status_traps;
}

// The devices to listen to: the one asked for with the other nodes of its
// remote (tapbridge-remote takes them all where the line names it by id or
// name), or every remote nobody else holds.
std::vector<const input_device*> to_listen(const system_facts& facts, const input_device* given)
{
    std::vector<const input_device*> devices;
    if (given && remote_argument(*given, facts.others) == given->node)
        return {given};
    for (const input_device& d : facts.others)
        if (is_remote(d) && (given ? &d == given || same_physical(d.id, given->id) : !d.grabbed))
            devices.push_back(&d);
    return devices;
}

// The device of facts at path, or why there is none to learn.
const input_device* asked_for(const system_facts& facts, const std::string& path)
{
    input_node node = open_input(path);
    if (node.outcome != open_outcome::ok) {
        std::fprintf(stderr, "tapbridge-setup: %s: %s. Give the remote's event node, /dev/input/eventN; "
                     "tapbridge-setup without options lists the remotes.\n", printable(path).c_str(),
                     node.outcome == open_outcome::not_input ? ("is not an input event device (it is " + node.what +
                                                                ")").c_str()
                                                             : failure_text(node.outcome, node.error).c_str());
        return nullptr;
    }
    const dev_t rdev = node.rdev;
    const bool screen = is_touch_screen(caps_of(node.device));
    close_input(node);
    for (const input_device& d : facts.others)
        if (struct stat st{}; stat(d.node.c_str(), &st) == 0 && st.st_rdev == rdev) {
            if (is_remote(d))
                return &d;
            std::fprintf(stderr, "tapbridge-setup: %s %s.\n", device_text(d).c_str(),
                         is_virtual_mouse(d.id) ? "is tapbridge-remote's own virtual mouse, never a remote"
                                                : "has no key, button (other than a mouse's) or hat for "
                                                  "tapbridge-remote to take");
            return nullptr;
        }
    std::fprintf(stderr, "tapbridge-setup: %s is %s; give a remote's event node.\n", printable(path).c_str(),
                 screen ? "a touch screen, never a remote" : "no input device that could be looked at");
    return nullptr;
}

void say_listening(const std::vector<held_device>& held, const input_device* given, bool keyboard)
{
    std::string names;
    for (const held_device& h : held)
        append_listed(names, device_text(*h.device));
    if (given)
        std::printf("Learning the buttons of %s. It is held for tapbridge-setup until it ends: its keys act on "
                    "nothing else meanwhile.\n", names.c_str());
    else
        std::printf("Listening to every remote: %s. They are held for tapbridge-setup; the first that answers is "
                    "the remote, and the others are let go.\n", names.c_str());
    if (!keyboard)
        std::puts("Standard input is closed: 10 s without a press skips a question.");
}

} // namespace

int run_learn(const system_facts& facts, const std::optional<std::string>& node_path, bool keyboard)
{
    const input_device* given = node_path ? asked_for(facts, *node_path) : nullptr;
    if (node_path && !given)
        return status_nothing;
    std::vector<held_device> held;
    for (const input_device* d : to_listen(facts, given)) {
        held_device h{};
        if (hold(*d, h, d == given))
            held.push_back(h);
        else if (d == given)
            return status_nothing;
    }
    if (held.empty()) {
        std::fputs("tapbridge-setup: no remote to learn: no input device with keys, buttons other than a mouse's, "
                   "or a hat that nobody else holds. Connect the remote (pair it, or wake it) and try again.\n",
                   stderr);
        return status_nothing;
    }
    say_listening(held, given, keyboard);
    const learnt l = ask_buttons(held, given, keyboard, next_page_button(facts));
    // The line may be run at once: nothing of the remote is held then.
    for (held_device& h : held)
        if (h.device)
            let_go(h);
    if (l.status != status_ready)
        return l.status;
    if (l.maps.empty()) {
        std::fputs("tapbridge-setup: no button was pressed; no command line printed.\n", stderr);
        return status_nothing;
    }
    return print_remote_line(facts, l);
}
