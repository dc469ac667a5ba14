#include "measure.hpp"

#include "remotes.hpp"
#include "report.hpp"
#include "script.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <linux/input.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

// A click at most every 150 ms: tapbridge takes a packet per pass of 50 ms,
// so the release packet is taken before the next press.
constexpr auto pace = std::chrono::milliseconds(150);
constexpr int bound_ms = 5000;

double now_us()
{
    using namespace std::chrono;
    return static_cast<double>(duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count()) / 1000;
}

long long status_field(pid_t pid, const std::string& field)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.starts_with(field + ":"))
            return std::stoll(line.substr(field.size() + 1));
    return -1;
}

long long cpu_ns(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
    long long ns = -1;
    in >> ns;
    return ns;
}

long long switches(pid_t pid)
{
    return status_field(pid, "voluntary_ctxt_switches") + status_field(pid, "nonvoluntary_ctxt_switches");
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

struct timing {
    std::vector<double> mice_us;
    std::vector<double> touch_us;
};

// n clicks through device: down, until the mice packet and the tap's four
// frames; then up, and its packet.
std::string time_clicks(world& w, libevdev_uinput* device, const std::vector<tap_event>& down,
                        const std::vector<tap_event>& up, int n, timing& t)
{
    for (int i = 0; i < n; ++i) {
        const double start = now_us();
        if (!emit(device, down))
            return "cannot write the press";
        if (take(w.mice_fd, false) != 1)
            return "no packet on /dev/input/mice";
        t.mice_us.push_back(now_us() - start);
        for (int frames = 0; frames < 4;) {
            const int got = take(w.touch_fd, true);
            if (got < 0)
                return "no tap on the touch node";
            frames += got;
        }
        t.touch_us.push_back(now_us() - start);
        if (!emit(device, up) || take(w.mice_fd, false) != 1)
            return "no packet for the release";
        std::this_thread::sleep_for(pace);
    }
    return {};
}

std::string percentiles(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const auto at = [&](double q) { return v[std::min(v.size() - 1, static_cast<std::size_t>(q * v.size()))]; };
    char text[120];
    std::snprintf(text, sizeof text, "p50 %.0f p90 %.0f max %.0f us", at(0.5), at(0.9), v.back());
    return text;
}

} // namespace

std::string measure_step(world& w, const std::string& rest)
{
    const auto words = split_words(rest);
    if (words.size() != 5)
        return "measure PROGRAM REMOTE CODE N IDLE_MS";
    const program* p = find_program(w, words[0]);
    remote_device* r = find_remote(w, words[1]);
    const int presses = parse_number(words[3]).value_or(0);
    const int idle = parse_number(words[4]).value_or(-1);
    const auto down = remote_events(EV_KEY, words[2], 1);
    const auto up = remote_events(EV_KEY, words[2], 0);
    if (!p || !r || presses < 1 || idle < 0 || !down || !up)
        return "measure PROGRAM REMOTE CODE N IDLE_MS";
    // What came so far goes to the record first; the timings read the witnesses themselves.
    collect_for(w, 200);
    const long long quiet_before = switches(p->pid);
    collect_for(w, idle);
    const long long quiet = switches(p->pid) - quiet_before;
    char text[160];
    std::snprintf(text, sizeof text, "idle_wakeups %lld in %d ms: %.2f a second", quiet, idle,
                  static_cast<double>(quiet) * 1000 / idle);
    record("bench", text);
    timing remote{}, mouse{};
    const long long cpu_before = cpu_ns(p->pid);
    if (std::string why = time_clicks(w, r->device, *down, *up, presses, remote); !why.empty())
        return why;
    const long long cpu = cpu_ns(p->pid) - cpu_before;
    const std::vector<tap_event> left_down{{EV_KEY, BTN_LEFT, 1}, {EV_SYN, SYN_REPORT, 0}};
    const std::vector<tap_event> left_up{{EV_KEY, BTN_LEFT, 0}, {EV_SYN, SYN_REPORT, 0}};
    if (std::string why = time_clicks(w, w.made.mouse, left_down, left_up, presses, mouse); !why.empty())
        return why;
    record("bench", "remote_to_mice " + percentiles(remote.mice_us));
    record("bench", "mouse_to_mice " + percentiles(mouse.mice_us));
    record("bench", "remote_to_touch " + percentiles(remote.touch_us));
    record("bench", "mouse_to_touch " + percentiles(mouse.touch_us));
    std::snprintf(text, sizeof text, "cpu_per_press %.1f us over %d presses", static_cast<double>(cpu) / 1000 / presses,
                  presses);
    record("bench", text);
    std::snprintf(text, sizeof text, "memory VmHWM %lld KiB VmRSS %lld KiB", status_field(p->pid, "VmHWM"),
                  status_field(p->pid, "VmRSS"));
    record("bench", text);
    return {};
}
