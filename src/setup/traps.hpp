// What must be mended before tapbridge's command line works as printed,
// and the exit status that says so.
#pragma once

#include "facts.hpp"

#include <vector>

enum class trap {
    records_break,     // the screen drops records a tap needs
    tap_time,          // a touchpad-kind screen's touches come back as clicks
    grabbed,           // another process takes every event of the screen
    mice_missing,      // no mousedev: tapbridge cannot start
    mice_unreadable,   // tapbridge cannot open /dev/input/mice as this user
    mice_read_only,    // no wheel: points 4 and 5 never tap
    tapbridge_running, // a second tapbridge doubles every tap
};

// Exit statuses, the same for the report, --pick and --fix.
constexpr int status_ready = 0;   // the command line runs as printed
constexpr int status_traps = 1;   // a line is printed, but a trap must be mended first
constexpr int status_nothing = 2; // nothing usable: no devices, no touch screen, no permission
constexpr int status_usage = 64;  // the command line of tapbridge-setup itself was wrong

// The traps that stand between a line for screen and working taps.
[[nodiscard]] std::vector<trap> traps_for(const system_facts& facts, const touch_screen& screen);

// The status of a printed line: ready without traps, else traps.
[[nodiscard]] int status_for(const std::vector<trap>& traps);
