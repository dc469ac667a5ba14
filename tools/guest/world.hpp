// What a scenario has going: its devices, its witnesses, its programs; and
// the one loop that collects what they deliver while the scenario waits.
#pragma once

#include "devices.hpp"
#include "programs.hpp"
#include "remotes.hpp"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

// Bounds, not delays: emulated without KVM on a loaded two-core machine, a
// program can take seconds to start.
constexpr int wait_bound_ms = 30000;
constexpr int stop_bound_ms = 10000;

struct world {
    devices made;
    bool have_devices;
    int touch_fd; // the second reader of the touch node
    int mice_fd;  // the /dev/input/mice client
    int frames;   // SYN_REPORTs the touch reader got
    int packets;  // packets the mice client got
    std::vector<program> programs;
    std::vector<remote_device> remotes; // in the order they were made
};

[[nodiscard]] long long now_ms();

[[nodiscard]] long long now_us();

[[nodiscard]] program* find_program(world& w, std::string_view id);

[[nodiscard]] remote_device* find_remote(world& w, std::string_view id);

// One round: waits up to timeout_ms for anything from the witnesses or the
// programs, and records it.
void pump_once(world& w, int timeout_ms);

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

// Collects for ms, whatever comes.
void collect_for(world& w, int ms);

// The programs' environment: $TOUCH, $MOUSE, $TOUCH2 (once screen2 made it)
// and each remote's $ID (its id in capitals) name the event nodes.
[[nodiscard]] std::vector<std::string> environment(const world& w);

// Starts a program of the scenario and records its pid. Returns an empty
// string, or what failed.
[[nodiscard]] std::string start(world& w, const launch& how);

// Stops what is still running: SIGTERM, as a user does, then SIGKILL; and
// records what the programs still had to say.
void stop_all(world& w);
