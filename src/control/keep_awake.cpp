#include "control/keep_awake.hpp"

#include <cstdio>
#include <cstdlib>

namespace {
// Sets powerd's screen-saver timeout property, which restarts its idle count.
constexpr const char* keep_awake_command =
    "lipc-set-prop com.lab126.powerd -i touchScreenSaverTimeout 1";
constexpr double keep_awake_interval = 60.0;
} // namespace

bool keep_awake_due(std::time_t now, std::time_t last)
{
    // Wall clock on purpose: a clock set back simply waits until it again
    // reads past last + 60, and one set forward makes the next tap run it.
    return std::difftime(now, last) > keep_awake_interval;
}

void prevent_sleep(std::time_t& last)
{
    const std::time_t now = std::time(nullptr);
    if (!keep_awake_due(now, last))
        return;
    std::puts("Prevent sleep...");
    // Synchronous: packets that arrive meanwhile wait in the multiplexer.
    // Where the platform lacks the command, the shell says so and we go on.
    [[maybe_unused]] int status = std::system(keep_awake_command);
    last = now;
}
