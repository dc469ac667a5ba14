#include "world.hpp"

#include "readers.hpp"
#include "report.hpp"

#include <chrono>
#include <csignal>
#include <poll.h>

long long now_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

long long now_us()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

program* find_program(world& w, std::string_view id)
{
    for (program& p : w.programs)
        if (p.id == id)
            return &p;
    return nullptr;
}

remote_device* find_remote(world& w, std::string_view id)
{
    for (remote_device& r : w.remotes)
        if (r.id == id)
            return &r;
    return nullptr;
}

void pump_once(world& w, int timeout_ms)
{
    std::vector<pollfd> fds;
    for (int fd : {w.touch_fd, w.mice_fd})
        fds.push_back({fd, POLLIN, 0});
    for (const remote_device& r : w.remotes)
        fds.push_back({r.reader, POLLIN, 0});
    for (const program& p : w.programs)
        for (int fd : {p.output, p.errors, p.pidfd})
            fds.push_back({fd, POLLIN, 0}); // a negative descriptor is skipped by poll
    if (poll(fds.data(), fds.size(), std::max(timeout_ms, 0)) <= 0)
        return;
    // What came at once is recorded in the order it usually happens: what
    // a remote sent, the mouse's packet, the program's line about it, then
    // its tap.
    std::size_t i = 2;
    for (remote_device& r : w.remotes)
        if (fds[i++].revents)
            report_remote(r);
    if (fds[1].revents)
        w.packets += report_mice(w.mice_fd);
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

void collect_for(world& w, int ms)
{
    const long long end = now_ms() + ms;
    while (now_ms() < end)
        pump_once(w, static_cast<int>(end - now_ms()));
}

std::vector<std::string> environment(const world& w)
{
    std::vector<std::string> env{"PATH=/usr/local/bin:/bin", "HOME=/", "TOUCH=" + w.made.screen_node,
                                 "MOUSE=" + w.made.mouse_node};
    if (w.made.other)
        env.push_back("TOUCH2=" + w.made.other_node);
    for (const remote_device& r : w.remotes) {
        std::string name = r.id;
        for (char& c : name)
            c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        env.push_back(name + '=' + r.node);
    }
    return env;
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
    // A program that ended may have left a daemon behind in its process
    // group (a start script's tapbridge): it goes with the scenario too.
    for (const program& p : w.programs)
        kill(-p.pid, SIGKILL);
    // What the terminals still hold (a pty hands out its last bytes after
    // the process is gone).
    for (program& p : w.programs) {
        read_output(p);
        close_program(p);
    }
    w.programs.clear();
}
