// What must be mended before tapbridge's command line works as printed,
// what could not be checked, and the exit status that says so.
#pragma once

#include "setup/decide/layout.hpp"
#include "setup/facts.hpp"

#include <vector>

enum class trap {
    records_break,     // the screen drops records a tap needs
    tap_time,          // a touchpad-kind screen's touches come back as clicks
    grabbed,           // another process takes every event of the screen
    mouse_grabbed,     // another process takes every event of a mouse: its clicks never reach tapbridge
    mice_missing,      // no mousedev: tapbridge cannot start
    mice_not_mousedev, // something else is at /dev/input/mice, or no driver behind it
    mice_unreadable,   // tapbridge cannot open /dev/input/mice
    mice_read_only,    // no wheel: points 4 and 5 never tap
    tapbridge_running, // a second tapbridge doubles every tap
    flat_range,        // an axis spans one value: every point lands on it
    layout_merged,     // the default layout puts two purposes on one point: too little range at 0 or above
    all_points_off,    // the line taps nothing
    may_be_ring,       // the screen's bus cannot tell it from a ring, and another screen is there too
};

// Facts the line rests on that could not be learnt.
enum class doubt {
    feeding,   // whether mousedev feeds a screen
    tap_time,  // mousedev's tap_time, on a screen fed as a touchpad
    tapbridge, // whether a tapbridge runs already
};

// Exit statuses, the same for the report, --pick and --fix.
constexpr int status_ready = 0;   // the command line runs as printed
constexpr int status_traps = 1;   // a line is printed, but a trap must be mended or a doubt checked first
constexpr int status_nothing = 2; // nothing usable: no devices, no touch screen, no permission
constexpr int status_usage = 64;  // the command line of tapbridge-setup itself was wrong (EX_USAGE)
constexpr int status_output = 74; // the output could not be written (EX_IOERR)
constexpr int status_stopped = 130; // --pick stopped by two fingers: the shell's status for Ctrl-C

// The traps that stand between the line for screen with points and working taps.
// by_layout: the points are the default layout's, not the user's own choice.
[[nodiscard]] std::vector<trap> traps_for(const system_facts& facts, const touch_screen& screen,
                                          const point_set& points, bool by_layout = false);

// The unknown facts that line rests on.
[[nodiscard]] std::vector<doubt> doubts_for(const system_facts& facts);

// The status of a printed line: ready only without traps and doubts.
[[nodiscard]] int status_for(const std::vector<trap>& traps, const std::vector<doubt>& doubts);
