#include "traps.hpp"

#include "mousedev.hpp"
#include "records.hpp"

std::vector<trap> traps_for(const system_facts& facts, const touch_screen& screen)
{
    std::vector<trap> traps;
    if (taps_break(screen.caps))
        traps.push_back(trap::records_break);
    if (tap_time_fix_needed(facts))
        traps.push_back(trap::tap_time);
    if (screen.grabbed)
        traps.push_back(trap::grabbed);
    switch (facts.mice_node) {
    case mice_access::missing: traps.push_back(trap::mice_missing); break;
    case mice_access::unreadable: traps.push_back(trap::mice_unreadable); break;
    case mice_access::read_only: traps.push_back(trap::mice_read_only); break;
    case mice_access::read_write: break;
    }
    if (!facts.tapbridges.empty())
        traps.push_back(trap::tapbridge_running);
    return traps;
}

int status_for(const std::vector<trap>& traps)
{
    return traps.empty() ? status_ready : status_traps;
}
