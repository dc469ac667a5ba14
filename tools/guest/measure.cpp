#include "measure.hpp"

#include "gesture/decide/stroke.hpp"
#include "gestures.hpp"
#include "remotes.hpp"
#include "report.hpp"
#include "rings.hpp"
#include "script.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <linux/input.h>
#include <optional>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

// A click at most every 150 ms: tapbridge takes a packet per pass of 50 ms,
// so the release packet is taken before the next press.
constexpr auto pace = std::chrono::milliseconds(150);
constexpr int bound_ms = 5000;

// After a gesture the program writes its click and goes back to poll; under
// emulation that may take a while, never this long.
constexpr int settle_bound_ms = 2000;

constexpr const char* usage = "measure PROGRAM REMOTE CODE N IDLE_MS | measure PROGRAM RING N IDLE_MS | measure mouse N";

// A touch ring's swipe to the left, at half its height: four places, in
// shares of its span (30 % in all, far above the 1.5 % a swipe needs).
constexpr std::array swipe_shares{0.75, 0.65, 0.55, 0.45};

// A drag's or a touchpad's moves, 12 counts to the left each, as such rings
// send them: three of them with the button held, or a burst of four, make
// a swipe (more than 20 counts).
constexpr const char* motion_point = "-12,0";
constexpr std::size_t drag_moves = 3;
constexpr std::size_t burst_events = 4;

using frame = std::vector<tap_event>;

long long status_field(pid_t pid, const std::string& field)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.starts_with(field + ":"))
            return std::stoll(line.substr(field.size() + 1));
    return -1;
}

// Each time the process went to sleep or was put off the CPU: a wake-up
// of its own counts as one when it sleeps again.
long long switches(pid_t pid)
{
    return status_field(pid, "voluntary_ctxt_switches") + status_field(pid, "nonvoluntary_ctxt_switches");
}

// Records p's wake-ups over ms of quiet, as NAME; what the witnesses get
// meanwhile is recorded too.
void record_wakeups(world& w, const program& p, const std::string& name, int ms)
{
    const long long before = switches(p.pid);
    collect_for(w, ms);
    const long long quiet = switches(p.pid) - before;
    char text[160];
    std::snprintf(text, sizeof text, " %lld in %d ms: %.2f a second", quiet, ms, static_cast<double>(quiet) * 1000 / ms);
    record("bench", name + text);
}

void record_memory(const program& p, const std::string& name)
{
    char text[120];
    std::snprintf(text, sizeof text, " VmHWM %lld KiB VmRSS %lld KiB", status_field(p.pid, "VmHWM"),
                  status_field(p.pid, "VmRSS"));
    record("bench", name + text);
}

// Waits for fd to be readable and reads what is there; the count of
// SYN_REPORTs when events is set, else of reads (a mice packet a read).
int take(int fd, bool events)
{
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, bound_ms) != 1)
        return -1;
    input_event e[64];
    const ssize_t n = read(fd, e, sizeof e);
    if (!events)
        return n > 0;
    int frames = 0;
    for (ssize_t i = 0; i < n / static_cast<ssize_t>(sizeof e[0]); ++i)
        frames += e[i].type == EV_SYN && e[i].code == SYN_REPORT;
    return frames;
}

bool readable_now(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) == 1;
}

// One click as a device makes it: the frames that lead to it, each written
// at least gap_ms after the one before (a ring's contact and its moves);
// the frame it is timed from; the frame that ends it after the tap (a key's
// or a button's release; a ring has none).
struct click_input {
    std::vector<frame> lead;
    int gap_ms;
    frame timed;
    frame after;
};

struct timing {
    std::vector<double> mice_us;
    std::vector<double> touch_us;
};

// Writes one click: from the write of its timed frame until the mice
// packet, and until the tap's four frames; then the second packet (the
// virtual mouse writes its button's release with the press).
std::string time_click(world& w, libevdev_uinput* device, const click_input& click, timing& t)
{
    for (std::size_t i = 0; i < click.lead.size(); ++i) {
        if (i > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(click.gap_ms));
        if (!emit(device, click.lead[i]))
            return "cannot write the gesture";
    }
    if (!click.lead.empty())
        std::this_thread::sleep_for(std::chrono::milliseconds(click.gap_ms));
    // A packet before the gesture ended would be taken for its click.
    if (readable_now(w.mice_fd))
        return "a packet on /dev/input/mice before the click was written";
    const long long start = now_us();
    if (!emit(device, click.timed))
        return "cannot write the click";
    if (take(w.mice_fd, false) != 1)
        return "no packet on /dev/input/mice";
    t.mice_us.push_back(static_cast<double>(now_us() - start));
    for (int frames = 0; frames < 4;) {
        const int got = take(w.touch_fd, true);
        if (got < 0)
            return "no tap on the touch node";
        frames += got;
    }
    t.touch_us.push_back(static_cast<double>(now_us() - start));
    if ((!click.after.empty() && !emit(device, click.after)) || take(w.mice_fd, false) != 1)
        return "no packet for the release";
    std::this_thread::sleep_for(pace);
    return {};
}

std::string percentiles(std::vector<double> v, double less = 0)
{
    std::sort(v.begin(), v.end());
    const auto at = [&](double q) { return v[std::min(v.size() - 1, static_cast<std::size_t>(q * v.size()))] - less; };
    char text[120];
    std::snprintf(text, sizeof text, "p50 %.0f p90 %.0f max %.0f us", at(0.5), at(0.9), v.back() - less);
    return text;
}

std::string measure_key(world& w, const program& p, remote_device& r, const std::string& code, int presses, int idle)
{
    const auto down = remote_events(EV_KEY, code, 1);
    const auto up = remote_events(EV_KEY, code, 0);
    if (!down || !up)
        return usage;
    // What came so far goes to the record first; the timings read the witnesses themselves.
    collect_for(w, 200);
    record_wakeups(w, p, "idle_wakeups", idle);
    timing remote{};
    const long long cpu_before = cpu_ns(p);
    for (int i = 0; i < presses; ++i)
        if (std::string why = time_click(w, r.device, {{}, 0, *down, *up}, remote); !why.empty())
            return why;
    const long long cpu = cpu_ns(p) - cpu_before;
    record("bench", "remote_to_mice " + percentiles(remote.mice_us));
    record("bench", "remote_to_touch " + percentiles(remote.touch_us));
    char text[160];
    std::snprintf(text, sizeof text, "cpu_per_press %.1f us over %d presses", static_cast<double>(cpu) / 1000 / presses,
                  presses);
    record("bench", text);
    record_memory(p, "memory");
    return {};
}

// One gesture of the ring's kind, as stroke would play it: a touch ring's
// swipe, a drag ring's drag, a touchpad ring's burst.
std::optional<std::vector<frame>> gesture_frames(remote_device& ring)
{
    std::vector<std::string> points;
    if (places_contact(ring.kind)) {
        const auto at = [](axis_span s, double share) {
            return std::to_string(s.minimum + static_cast<int>(share * (s.maximum - s.minimum)));
        };
        for (double share : swipe_shares)
            points.push_back(at(ring.x, share) + ',' + at(ring.y, 0.5));
    } else {
        points.assign(ring.kind == remote_kind::pad ? burst_events : drag_moves, motion_point);
    }
    return stroke_frames(ring, points);
}

std::string measure_ring(world& w, const program& p, remote_device& ring, int gestures, int idle)
{
    const bool burst = ring.kind == remote_kind::pad;
    const int gap_ms = burst ? rel_gap_ms : stroke_gap_ms;
    const std::string name = ring.id + '_';
    collect_for(w, 200);
    record_wakeups(w, p, name + "idle_wakeups", idle);
    timing t{};
    std::size_t frames = 0;
    const long long cpu_before = cpu_ns(p);
    for (int i = 0; i < gestures; ++i) {
        auto gesture = gesture_frames(ring);
        if (!gesture)
            return ring.id + " cannot make its gesture (a contact still down?)";
        frames = gesture->size();
        const frame last = gesture->back();
        gesture->pop_back();
        if (std::string why = time_click(w, ring.device, {*gesture, gap_ms, last, {}}, t); !why.empty())
            return why;
    }
    const long long cpu = cpu_ns(p) - cpu_before;
    // Right after the last gesture ended: once the program sleeps again,
    // nothing may wake it (a motion ring's timer is gone with its burst).
    wait_until(w, [&] { return waiting_for_input(p); }, settle_bound_ms, 1);
    record_wakeups(w, p, name + "after_wakeups", idle);
    char text[160];
    std::snprintf(text, sizeof text, "frames %zu, %d ms apart", frames, gap_ms);
    record("bench", name + text);
    record("bench", name + "to_mice " + percentiles(t.mice_us));
    record("bench", name + "to_touch " + percentiles(t.touch_us));
    if (burst)
        record("bench", name + "beyond_gap " + percentiles(t.mice_us, static_cast<double>(burst_gap_ms) * 1000));
    std::snprintf(text, sizeof text, "cpu_per_gesture %.1f us over %d gestures", static_cast<double>(cpu) / 1000 / gestures,
                  gestures);
    record("bench", name + text);
    record_memory(p, name + "memory");
    return {};
}

std::string measure_mouse(world& w, int clicks)
{
    const frame left_down{{EV_KEY, BTN_LEFT, 1}, {EV_SYN, SYN_REPORT, 0}};
    const frame left_up{{EV_KEY, BTN_LEFT, 0}, {EV_SYN, SYN_REPORT, 0}};
    collect_for(w, 200);
    timing mouse{};
    for (int i = 0; i < clicks; ++i)
        if (std::string why = time_click(w, w.made.mouse, {{}, 0, left_down, left_up}, mouse); !why.empty())
            return why;
    record("bench", "mouse_to_mice " + percentiles(mouse.mice_us));
    record("bench", "mouse_to_touch " + percentiles(mouse.touch_us));
    return {};
}

} // namespace

std::string measure_step(world& w, const std::string& rest)
{
    const auto words = split_words(rest);
    if (words.size() == 2 && words[0] == "mouse") {
        const int clicks = parse_number(words[1]).value_or(0);
        return clicks < 1 ? usage : measure_mouse(w, clicks);
    }
    if (words.size() != 4 && words.size() != 5)
        return usage;
    const program* p = find_program(w, words[0]);
    remote_device* r = find_remote(w, words[1]);
    const bool ring = r && is_ring(r->kind);
    const int count = parse_number(words[words.size() - 2]).value_or(0);
    const int idle = parse_number(words.back()).value_or(-1);
    if (!p || !r || !r->device || ring != (words.size() == 4) || count < 1 || idle < 1)
        return usage;
    return ring ? measure_ring(w, *p, *r, count, idle) : measure_key(w, *p, *r, words[2], count, idle);
}
