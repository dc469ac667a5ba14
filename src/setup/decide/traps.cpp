#include "setup/decide/traps.hpp"

#include "gesture/decide/place.hpp"
#include "setup/decide/mice.hpp"
#include "setup/decide/mousedev.hpp"
#include "setup/decide/records.hpp"
#include "tap/point.hpp"

#include <algorithm>

namespace {

void add_mice_trap(std::vector<trap>& traps, mice_access access)
{
    switch (access) {
    case mice_access::missing: traps.push_back(trap::mice_missing); break;
    case mice_access::not_mice:
    case mice_access::no_driver: traps.push_back(trap::mice_not_mousedev); break;
    case mice_access::denied:
    case mice_access::nodev_mount:
    case mice_access::failed: traps.push_back(trap::mice_unreadable); break;
    case mice_access::read_only: traps.push_back(trap::mice_read_only); break;
    case mice_access::read_write: break;
    }
}

} // namespace

std::vector<trap> traps_for(const system_facts& facts, const touch_screen& screen, const point_set& points,
                            bool by_layout)
{
    std::vector<trap> traps;
    if (taps_break(screen.caps))
        traps.push_back(trap::records_break);
    if (tap_time_fix_needed(facts))
        traps.push_back(trap::tap_time);
    if (screen.grabbed)
        traps.push_back(trap::grabbed);
    if (!grabbed_mice(facts).empty())
        traps.push_back(trap::mouse_grabbed);
    add_mice_trap(traps, facts.mice_node.access);
    if (facts.tapbridges.any.state == tri::yes)
        traps.push_back(trap::tapbridge_running);
    if (usable_span(screen.x) == 0 || usable_span(screen.y) == 0)
        traps.push_back(trap::flat_range);
    // Points the user touched are theirs to share; the layout's must not.
    else if (by_layout && merged_purposes(points))
        traps.push_back(trap::layout_merged);
    if (std::none_of(points.begin(), points.end(), [](point p) { return point_enabled(p.x, p.y); }))
        traps.push_back(trap::all_points_off);
    if (place_of(screen.bus, screen.caps) != touch_place::built_in &&
        std::any_of(facts.screens.begin(), facts.screens.end(),
                    [&](const touch_screen& s) { return s.node != screen.node; }))
        traps.push_back(trap::may_be_ring);
    return traps;
}

std::vector<doubt> doubts_for(const system_facts& facts)
{
    std::vector<doubt> doubts;
    if (feeding_unknown(facts))
        doubts.push_back(doubt::feeding);
    if (tap_time_unknown_matters(facts))
        doubts.push_back(doubt::tap_time);
    if (facts.tapbridges.any.state == tri::unknown)
        doubts.push_back(doubt::tapbridge);
    return doubts;
}

int status_for(const std::vector<trap>& traps, const std::vector<doubt>& doubts)
{
    return traps.empty() && doubts.empty() ? status_ready : status_traps;
}
