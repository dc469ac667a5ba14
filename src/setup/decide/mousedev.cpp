#include "setup/decide/mousedev.hpp"

#include "gesture/decide/place.hpp"
#include "setup/decide/mice.hpp"

#include <algorithm>

namespace {

bool presses_left(const input_caps& caps, const probed& fed, const tap_time_fact& tap_time)
{
    const echo_kind echo = echo_of(caps, fed, tap_time);
    return echo == echo_kind::direct || (echo == echo_kind::unknown && !caps.keys[BTN_TOOL_FINGER]);
}

// A pen or a touch surface without multitouch, relative axes beside or not:
// mousedev reads BTN_TOUCH as the left button on every device it feeds
// (without BTN_TOOL_FINGER), so each touch there is a left click. A mouse's
// own buttons are meant as clicks.
bool touch_clicks(const input_caps& caps)
{
    return caps.keys[BTN_TOUCH];
}

// A ring's touches are no clicks its user means: fed as a touchpad, the
// short ones (its taps and quick swipes) come back as left clicks too,
// until tap_time is 0. Served by tapbridge-remote, it is grabbed, and
// mousedev gets none of them.
bool touches_click(const system_facts& facts, const input_device& d)
{
    if (!touch_clicks(d.caps) || grabbed_by_remote_program(facts, d))
        return false;
    const bool ring = place_of(d.id.bus, d.caps) == touch_place::ring;
    return presses_left(d.caps, d.fed, facts.tap_time) ||
           (ring && echo_of(d.caps, d.fed, facts.tap_time) == echo_kind::touchpad_clicks);
}

} // namespace

echo_kind echo_of(const input_caps& caps, const probed& fed, const tap_time_fact& tap_time)
{
    if (fed.state == tri::no || !mousedev_may_feed(caps))
        return echo_kind::none;
    if (fed.state == tri::unknown)
        return echo_kind::unknown;
    if (!caps.keys[BTN_TOOL_FINGER])
        return echo_kind::direct;
    if (tap_time.present.state != tri::yes)
        return echo_kind::unknown;
    return tap_time.ms == 0 ? echo_kind::touchpad_quiet : echo_kind::touchpad_clicks;
}

echo_kind echo_of(const touch_screen& screen, const tap_time_fact& tap_time)
{
    return echo_of(screen.caps, screen.fed, tap_time);
}

bool left_must_stay_off(const touch_screen& screen, const tap_time_fact& tap_time)
{
    return presses_left(screen.caps, screen.fed, tap_time);
}

std::optional<left_clicker> left_clicker_for(const system_facts& facts, const touch_screen& screen)
{
    if (left_must_stay_off(screen, facts.tap_time))
        return left_clicker{screen.node, screen.name, true};
    for (const touch_screen& s : facts.screens)
        if (s.node != screen.node && left_must_stay_off(s, facts.tap_time))
            return left_clicker{s.node, s.name, false};
    for (const input_device& d : facts.others)
        if (touches_click(facts, d))
            return left_clicker{d.node, d.id.name, false};
    return std::nullopt;
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
