#include "setup/decide/mousedev.hpp"

#include <algorithm>

echo_kind echo_of(const touch_screen& screen, const tap_time_fact& tap_time)
{
    if (screen.fed.state == tri::no || !mousedev_may_feed(screen.caps))
        return echo_kind::none;
    if (screen.fed.state == tri::unknown)
        return echo_kind::unknown;
    if (!screen.caps.keys[BTN_TOOL_FINGER])
        return echo_kind::direct;
    if (tap_time.present.state != tri::yes)
        return echo_kind::unknown;
    return tap_time.ms == 0 ? echo_kind::touchpad_quiet : echo_kind::touchpad_clicks;
}

bool left_must_stay_off(const touch_screen& screen, const tap_time_fact& tap_time)
{
    const echo_kind echo = echo_of(screen, tap_time);
    return echo == echo_kind::direct || (echo == echo_kind::unknown && !screen.caps.keys[BTN_TOOL_FINGER]);
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

const touch_screen* feeding_unknown(const system_facts& facts)
{
    for (const touch_screen& s : facts.screens)
        if (s.fed.state == tri::unknown && echo_of(s, facts.tap_time) == echo_kind::unknown)
            return &s;
    return nullptr;
}

bool tap_time_unknown_matters(const system_facts& facts)
{
    return std::any_of(facts.screens.begin(), facts.screens.end(), [&](const touch_screen& s) {
        return s.fed.state == tri::yes && echo_of(s, facts.tap_time) == echo_kind::unknown;
    });
}
