#include "mousedev.hpp"

#include <algorithm>

echo_kind echo_of(const touch_screen& screen, std::optional<int> tap_time)
{
    if (!screen.fed)
        return echo_kind::none;
    if (!screen.caps.keys[BTN_TOOL_FINGER])
        return echo_kind::direct;
    // An unreadable tap_time is taken as the kernel's default, not as 0.
    return tap_time == 0 ? echo_kind::touchpad_quiet : echo_kind::touchpad_clicks;
}

bool left_must_stay_off(const touch_screen& screen, std::optional<int> tap_time)
{
    return echo_of(screen, tap_time) == echo_kind::direct;
}

bool tap_time_fix_needed(const system_facts& facts)
{
    // tap_time is one setting for all of mousedev: any touchpad-kind screen
    // that still clicks needs it, the chosen one or not, since a finger on
    // it would tap point 1 too.
    return std::any_of(facts.screens.begin(), facts.screens.end(), [&](const touch_screen& s) {
        return echo_of(s, facts.tap_time) == echo_kind::touchpad_clicks;
    });
}
