#include "setup/decide/records.hpp"

#include "tap/touch.hpp"

#include <algorithm>

bool declares(const input_caps& caps, std::uint16_t type, std::uint16_t code)
{
    // Every device has EV_SYN; the core adds it at registration.
    if (type == EV_SYN)
        return true;
    if (type >= caps.types.size() || !caps.types[type])
        return false;
    if (type == EV_KEY)
        return code < caps.keys.size() && caps.keys[code];
    if (type == EV_ABS)
        return code < caps.axes.size() && caps.axes[code];
    return false;
}

std::vector<dropped_code> dropped_codes(const input_caps& caps)
{
    std::vector<dropped_code> dropped;
    // The values do not matter: only type and code decide.
    for (const tap_event& record : tap_events(0, 0)) {
        if (declares(caps, record.type, record.code))
            continue;
        auto same = std::find_if(dropped.begin(), dropped.end(), [&](const dropped_code& d) {
            return d.type == record.type && d.code == record.code;
        });
        if (same != dropped.end()) {
            ++same->records;
            continue;
        }
        // A screen without BTN_TOOL_FINGER never reports a finger tool, so
        // its readers do not wait for one. Everything else carries the
        // contact itself or its position.
        const bool tool = record.type == EV_KEY && record.code == BTN_TOOL_FINGER;
        dropped.push_back({record.type, record.code, 1, !tool});
    }
    return dropped;
}

bool taps_break(const input_caps& caps)
{
    const auto dropped = dropped_codes(caps);
    return std::any_of(dropped.begin(), dropped.end(), [](const dropped_code& d) { return d.harmful; });
}
