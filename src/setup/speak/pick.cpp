#include "setup/speak/pick.hpp"

#include "input/evdev_node.hpp"
#include "input/processes.hpp"
#include "input/sysfs.hpp"
#include "setup/decide/choose.hpp"
#include "setup/decide/command.hpp"
#include "setup/decide/lift.hpp"
#include "setup/probe/describe.hpp"
#include "setup/speak/explain.hpp"
#include "setup/speak/output.hpp"
#include "setup/speak/show_sketch.hpp"
#include "setup/speak/typed_lines.hpp"
#include "text/printable.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <linux/input.h>
#include <optional>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace {

enum class answer_kind { touched, off, stopped, input_ended, device_lost, output_lost };

struct answer {
    answer_kind kind;
    point at;
    int error;
};

struct read_result {
    int error;
    std::optional<contact> finished;
};

// The kernel's time of an event, in microseconds: the clock the node was
// set to, not this program's, so a slow wake-up does not lengthen a touch.
std::int64_t event_time_us(const input_event& ev)
{
    return static_cast<std::int64_t>(ev.input_event_sec) * 1'000'000 + ev.input_event_usec;
}

// After SYN_DROPPED the kernel has thrown away what it could not queue, and
// libevdev's resync brings back a lift but not where the finger was when it
// lifted: each slot's position stays in the kernel after a lift, so it is
// asked for (EVIOCGMTSLOTS) and fed to the tracker as moves, in the frame the
// resync ends, before the slot the resync starts from.
void feed_kernel_positions(libevdev* device, lift_tracker& tracker, std::int64_t time_us)
{
    // The ioctl's size field holds at most 14 bits: the code and this many values.
    constexpr std::size_t most_slots = ((1u << _IOC_SIZEBITS) - 1) / sizeof(std::int32_t) - 1;
    const auto slots = std::min<std::size_t>(tracker.now.slots.size(), most_slots);
    if (libevdev_get_num_slots(device) <= 0 || slots == 0)
        return;
    // EVIOCGMTSLOTS fills a __u32 code followed by one __s32 a slot.
    std::vector<std::int32_t> x(slots + 1, ABS_MT_POSITION_X);
    std::vector<std::int32_t> y(slots + 1, ABS_MT_POSITION_Y);
    const int fd = libevdev_get_fd(device);
    const std::size_t size = x.size() * sizeof x[0];
    if (ioctl(fd, EVIOCGMTSLOTS(size), x.data()) < 0 || ioctl(fd, EVIOCGMTSLOTS(size), y.data()) < 0)
        return;
    const std::int32_t slot = tracker.now.slot;
    for (std::size_t s = 0; s < slots; ++s) {
        (void)track(tracker, {EV_ABS, ABS_MT_SLOT, static_cast<std::int32_t>(s)}, time_us);
        (void)track(tracker, {EV_ABS, ABS_MT_POSITION_X, x[s + 1]}, time_us);
        (void)track(tracker, {EV_ABS, ABS_MT_POSITION_Y, y[s + 1]}, time_us);
    }
    (void)track(tracker, {EV_ABS, ABS_MT_SLOT, slot}, time_us);
}

// Reads every event queued on the device, feeding each to tracker (if any)
// until the followed contact is over.
read_result read_events(libevdev* device, lift_tracker* tracker)
{
    unsigned flags = LIBEVDEV_READ_FLAG_NORMAL;
    for (;;) {
        input_event ev{};
        const int rc = libevdev_next_event(device, flags, &ev);
        if (rc == -EAGAIN && flags == LIBEVDEV_READ_FLAG_SYNC) {
            flags = LIBEVDEV_READ_FLAG_NORMAL;
            continue;
        }
        if (rc == -EAGAIN)
            return {0, std::nullopt};
        if (rc < 0)
            return {-rc, std::nullopt};
        // After SYN_DROPPED libevdev hands out, in sync mode, the changes the
        // kernel could not queue: a lift may be among them.
        if (rc == LIBEVDEV_READ_STATUS_SYNC && flags == LIBEVDEV_READ_FLAG_NORMAL) {
            flags = LIBEVDEV_READ_FLAG_SYNC;
            if (tracker)
                feed_kernel_positions(device, *tracker, event_time_us(ev));
        }
        if (!tracker)
            continue;
        if (const auto done = track(*tracker, {ev.type, ev.code, ev.value}, event_time_us(ev)))
            return {0, done};
    }
}

// A tracker from the device's state now, which libevdev keeps per slot.
lift_tracker tracker_now(const libevdev* device, const touch_screen& screen)
{
    touch_state state{};
    state.tracking_ids = libevdev_has_event_code(device, EV_ABS, ABS_MT_TRACKING_ID);
    state.touching = libevdev_get_event_value(device, EV_KEY, BTN_TOUCH) != 0;
    const still_box still = still_box_for(screen.x, screen.y);
    // Every slot libevdev keeps: all the screen declares.
    const int slots = libevdev_get_num_slots(device);
    if (slots <= 0) {
        state.slots = {{{libevdev_get_event_value(device, EV_ABS, ABS_MT_POSITION_X),
                         libevdev_get_event_value(device, EV_ABS, ABS_MT_POSITION_Y)},
                        false}};
        return start_tracking(state, still);
    }
    state.slots.resize(static_cast<std::size_t>(slots));
    for (unsigned s = 0; s < static_cast<unsigned>(slots); ++s)
        state.slots[s] = {{libevdev_get_slot_value(device, s, ABS_MT_POSITION_X),
                           libevdev_get_slot_value(device, s, ABS_MT_POSITION_Y)},
                          libevdev_get_slot_value(device, s, ABS_MT_TRACKING_ID) >= 0};
    state.slot = libevdev_get_current_slot(device);
    return start_tracking(state, still);
}

// What a finished contact answers.
answer answer_of(const contact& c)
{
    switch (meaning(c)) {
    case gesture::off:
        return {answer_kind::off, {}, 0};
    case gesture::stop:
        return {answer_kind::stopped, {}, 0};
    case gesture::point:
        break;
    }
    return {answer_kind::touched, c.lifted, 0};
}

// What the keyboard and the screen gave that no question has taken yet.
struct pending_input {
    typed_lines typed;
    std::optional<contact> finished; // a touch read with a line that answered first
};

// Touches made before a question can be read are no answer to it, and a
// finger already down then is not followed. Settled before the question is
// printed, so that every touch made once it shows counts. Returns the error
// that lost the device, or 0.
int forget_touches(libevdev* device, const touch_screen& screen, lift_tracker& tracker)
{
    if (const read_result r = read_events(device, nullptr); r.error)
        return r.error;
    tracker = tracker_now(device, screen);
    return 0;
}

// Waits for a touch to finish or a line on standard input. A line and a
// touch that arrive in one wake-up both count, the line first: the terminal
// gives it no time, and it was typed before this wake-up at the latest. The
// touch then answers the next question.
answer wait_for_answer(libevdev* device, lift_tracker& tracker, pending_input& in)
{
    if (const auto done = in.finished) {
        in.finished.reset();
        return answer_of(*done);
    }
    for (;;) {
        if (take_line(in.typed))
            return {answer_kind::off, {}, 0};
        if (in.typed.ended)
            return {answer_kind::input_ended, {}, 0};
        // A negative descriptor is left out by poll: standard input while
        // it is closed, or paced and not due yet. Standard output is asked
        // for nothing, so it reports only an error or a hang-up: a pipe
        // whose reader went away, where no question can be read.
        int wait_ms = -1;
        pollfd fds[3] = {{typed_fd(in.typed, wait_ms), POLLIN, 0}, {libevdev_get_fd(device), POLLIN, 0},
                         {STDOUT_FILENO, 0, 0}};
        if (poll(fds, 3, wait_ms) < 0) {
            if (errno == EINTR)
                continue;
            return {answer_kind::device_lost, {}, errno};
        }
        std::optional<contact> finished;
        if (fds[1].revents) {
            const read_result r = read_events(device, &tracker);
            if (r.error)
                return {answer_kind::device_lost, {}, r.error};
            finished = r.finished;
        }
        if (fds[2].revents & (POLLERR | POLLHUP))
            return {answer_kind::output_lost, {}, EPIPE};
        if (fds[0].revents)
            read_typed(in.typed);
        if (take_line(in.typed)) {
            in.finished = finished;
            return {answer_kind::off, {}, 0};
        }
        if (finished)
            return answer_of(*finished);
    }
}

void print_open_failure(const std::string& path, const input_node& node)
{
    const std::string where = printable(path);
    switch (node.outcome) {
    case open_outcome::missing:
        std::fprintf(stderr, "tapbridge-setup: %s does not exist. Give the touch screen's event node, "
                     "/dev/input/eventN; tapbridge-setup without options lists them.\n", where.c_str());
        break;
    case open_outcome::not_input:
        std::fprintf(stderr, "tapbridge-setup: %s is not an input event device (it is %s); give the touch "
                     "screen's event node, /dev/input/eventN.\n", where.c_str(), node.what.c_str());
        break;
    default:
        std::fprintf(stderr, "tapbridge-setup: %s: %s.\n", where.c_str(),
                     failure_text(node.outcome, node.error).c_str());
        break;
    }
}

struct picked {
    int status; // status_ready when all five were answered
    point_set points;
};

// Says why the pick stopped before its end; returns the status for it.
int stopped(const answer& a, const std::string& node)
{
    if (a.kind == answer_kind::stopped) {
        std::fputs("tapbridge-setup: stopped by two fingers; no command line printed.\n", stderr);
        return status_stopped;
    }
    if (a.kind == answer_kind::input_ended) {
        std::fputs("tapbridge-setup: standard input ended before all five buttons were answered; "
                   "no command line printed.\n", stderr);
        return status_usage;
    }
    if (a.error == ENODEV)
        std::fprintf(stderr, "tapbridge-setup: %s went away (unplugged, or its driver removed); no command line "
                     "printed. Plug it in again and run tapbridge-setup --pick.\n", printable(node).c_str());
    else
        std::fprintf(stderr, "tapbridge-setup: reading %s failed: %s; no command line printed.\n",
                     printable(node).c_str(), std::strerror(a.error));
    return status_nothing;
}

static_assert(hold_us == 1'000'000, "the questions say 1 s");

// One question. The first says every way to answer; the rest, read by then,
// only name them.
void ask(const button_role& role, bool first, bool keyboard)
{
    if (first)
        std::printf("%s (%s): touch where it should tap; hold still 1 s to leave it off; two fingers stop "
                    "without a command line%s\n", role.button, role.purpose,
                    keyboard ? " (keyboard: Enter leaves it off, Ctrl-C stops)" : "");
    else
        std::printf("%s (%s): touch where it should tap; hold still 1 s: off; two fingers: stop%s\n", role.button,
                    role.purpose, keyboard ? "; Enter: off" : "");
}

// Asks for each button in turn and shows each answer.
// Why point 1 stays off, in a line of its own.
void say_left_off(const left_clicker& clicker)
{
    if (clicker.is_the_screen)
        std::puts("left: off. mousedev feeds this screen into /dev/input/mice with BTN_TOUCH as the left button, "
                  "so every tap would come back as a left press and tap point 1 again; point 1 stays -1 -1.");
    else
        std::printf("left: off. %s; point 1 stays -1 -1.\n", left_off_text(clicker).c_str());
}

picked ask_points(libevdev* device, const touch_screen& screen, const std::optional<left_clicker>& left_off,
                  bool keyboard)
{
    point_set points{};
    pending_input in{{keyboard, false, 0, 0, 0}, std::nullopt};
    forget_typed(in.typed);
    bool first = true;
    for (std::size_t i = 0; i < point_count; ++i) {
        const button_role& role = page_turning[i];
        points[i] = point_off;
        if (i == btn_left - 1 && left_off) {
            say_left_off(*left_off);
            continue;
        }
        // A touch read along with the last answer's line answers this one.
        lift_tracker tracker{};
        if (const int error = in.finished ? 0 : forget_touches(device, screen, tracker))
            return {stopped({answer_kind::device_lost, {}, error}, screen.node), points};
        ask(role, first, keyboard);
        first = false;
        // A question nobody can read must not hold the screen.
        if (const int error = output_error())
            return {output_failed(error), points};
        const answer a = wait_for_answer(device, tracker, in);
        if (a.kind == answer_kind::off) {
            std::printf("  %s: off\n", role.button);
            continue;
        }
        // The question nobody can read must not hold the screen either.
        if (a.kind == answer_kind::output_lost)
            return {output_failed(a.error), points};
        if (a.kind != answer_kind::touched)
            return {stopped(a, screen.node), points};
        points[i] = {inside(screen.x, a.at.x), inside(screen.y, a.at.y)};
        std::printf("  %s: x %d y %d\n", role.button, points[i].x, points[i].y);
    }
    return {status_ready, points};
}

int pick_on(const system_facts& facts, const std::string& path, input_node& node, bool keyboard)
{
    touch_screen screen = describe(path, node);
    screen.holders = holders_of(node.rdev);
    if (!is_touch_screen(screen.caps)) {
        std::fprintf(stderr, "tapbridge-setup: %s is not a touch screen: it declares no multitouch "
                     "positions (ABS_MT_POSITION_X and ABS_MT_POSITION_Y). tapbridge-setup without options "
                     "lists the touch screens.\n", device_text(screen).c_str());
        return status_nothing;
    }
    if (!range_usable(screen.x) || !range_usable(screen.y)) {
        std::fprintf(stderr, "tapbridge-setup: %s has no range tapbridge can be given (x %d..%d, y %d..%d): "
                     "tapbridge reads a negative coordinate as \"off\".\n", printable(path).c_str(), screen.x.minimum,
                     screen.x.maximum, screen.y.minimum, screen.y.maximum);
        return status_nothing;
    }
    // Known before the first question: a pick whose line cannot be printed
    // would waste the user's touches.
    const std::optional<std::string> line_node = node_for_line(path, kernel_node_path(node.rdev));
    if (!line_node) {
        std::fprintf(stderr, "tapbridge-setup: %s ends in a line break, which no command line can hold, and /sys "
                     "does not say the screen's own node: give /dev/input/eventN instead.\n", printable(path).c_str());
        return status_nothing;
    }
    // A hold is timed by the kernel's event stamps. Monotonic ones do not jump
    // when the wall clock is set; a kernel older than 3.4 cannot switch, and
    // its wall-clock stamps still serve. Switching drops what is queued, all
    // of it made before the first question and so no answer anyway.
    [[maybe_unused]] const int clock_set = libevdev_set_clock_id(node.device, CLOCK_MONOTONIC);
    // Held until the process ends, Ctrl-C included: the kernel releases a
    // grab when its descriptor closes.
    if (const int rc = libevdev_grab(node.device, LIBEVDEV_GRAB); rc < 0) {
        if (rc == -EBUSY)
            std::fprintf(stderr, "tapbridge-setup: %s is grabbed by another process, which takes every touch "
                         "(open by %s). Stop that program and try again.\n", printable(path).c_str(),
                         process_list(screen.holders).c_str());
        else
            std::fprintf(stderr, "tapbridge-setup: cannot hold %s: %s.\n", printable(path).c_str(),
                         std::strerror(-rc));
        return status_nothing;
    }
    std::printf("Picking the points on %s (x %d..%d, y %d..%d).\n"
                "The screen is held for tapbridge-setup until it ends: touches act on nothing else "
                "meanwhile.\n",
                device_text(screen).c_str(), screen.x.minimum, screen.x.maximum, screen.y.minimum,
                screen.y.maximum);
    if (!keyboard)
        std::puts("Standard input is closed: there is no keyboard, so touches alone answer.");
    const picked answers = ask_points(node.device, screen, left_clicker_for(facts, screen), keyboard);
    if (answers.status != status_ready)
        return answers.status;
    show_sketch(screen, answers.points);
    if (*line_node != path) {
        std::printf("The line names %s, the screen's own node: %s ends in a line break, which no command line can "
                    "hold.\n", printable(*line_node).c_str(), printable(path).c_str());
        screen.node = *line_node;
    }
    return print_command(facts, screen, answers.points, false);
}

} // namespace

int run_pick(const system_facts& facts, const std::optional<std::string>& node_path, bool keyboard)
{
    std::string path;
    if (node_path) {
        path = *node_path;
    } else {
        const auto best = best_screen(facts.screens);
        if (!best) {
            print_nothing_usable(facts);
            return status_nothing;
        }
        path = facts.screens[*best].node;
    }
    input_node node = open_input(path);
    if (node.outcome != open_outcome::ok) {
        print_open_failure(path, node);
        return status_nothing;
    }
    const int status = pick_on(facts, path, node, keyboard);
    close_input(node);
    return status;
}
