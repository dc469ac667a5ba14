#include "setup/decide/remotes.hpp"

#include "setup/decide/traps.hpp"
#include "text/shell_word.hpp"

#include <algorithm>

namespace {

// A mouse's buttons (BTN_LEFT to BTN_TASK) and a pen's or touch surface's
// tools and touch (BTN_TOOL_PEN to BTN_TOOL_QUADTAP) are what mousedev or
// the screen already handle; every other key is the user's to map.
bool own_pointer_key(std::size_t code)
{
    return (code >= BTN_MOUSE && code <= BTN_TASK) || (code >= BTN_DIGI && code <= BTN_TOOL_QUADTAP);
}

// True when every device the argument names belongs to device's physical
// device: tapbridge-remote then takes exactly its nodes.
bool names_only(std::string_view argument, const input_device& device, const std::vector<input_device>& others)
{
    return std::all_of(others.begin(), others.end(), [&](const input_device& d) {
        return !names_device(argument, d.id) || is_virtual_mouse(d.id) || d.node == device.node ||
               same_physical(d.id, device.id);
    });
}

} // namespace

bool is_remote(const input_device& device)
{
    if (is_virtual_mouse(device.id))
        return false;
    for (std::size_t code = 0; code < device.caps.keys.size(); ++code)
        if (device.caps.keys[code] && !own_pointer_key(code))
            return true;
    for (unsigned axis = ABS_HAT0X; axis <= ABS_HAT3Y; ++axis)
        if (device.caps.axes[axis])
            return true;
    return false;
}

std::vector<mapping> page_codes(const input_caps& caps)
{
    std::vector<mapping> codes;
    for (const mapping& m : default_mappings)
        if (declares_code(caps, m.code))
            codes.push_back(m);
    return codes;
}

std::string remote_argument(const input_device& device, const std::vector<input_device>& others)
{
    // A name or id that ends in a line break cannot be written on the
    // printed line: the node stands in for it.
    if (!device.id.uniq.empty() && one_line_word(device.id.uniq) && names_only(device.id.uniq, device, others))
        return device.id.uniq;
    if (!device.id.name.empty() && one_line_word(device.id.name) && names_only(device.id.name, device, others))
        return device.id.name;
    return device.node;
}

std::vector<remote_trap> remote_traps(const system_facts& facts, const input_device& device)
{
    std::vector<remote_trap> traps;
    if (facts.uinput.access != uinput_access::writable)
        traps.push_back(remote_trap::no_uinput);
    if (grabbed_by_remote_program(facts, device))
        traps.push_back(remote_trap::served);
    else if (device.grabbed)
        traps.push_back(remote_trap::held);
    return traps;
}

std::vector<listed_remote> listed_remotes(const system_facts& facts)
{
    std::vector<listed_remote> listed;
    for (const input_device& d : facts.others) {
        if (!is_remote(d))
            continue;
        listed_remote r{&d, !page_codes(d.caps).empty(), false, {}};
        for (remote_trap t : remote_traps(facts, d)) {
            if (t == remote_trap::served)
                r.served = true;
            else
                r.traps.push_back(t);
        }
        listed.push_back(r);
    }
    return listed;
}

int remotes_status(const std::vector<listed_remote>& listed)
{
    const auto has_line = [](const listed_remote& r) { return r.line; };
    if (std::none_of(listed.begin(), listed.end(), has_line))
        return status_nothing;
    const bool mend = std::any_of(listed.begin(), listed.end(),
                                  [](const listed_remote& r) { return r.line && !r.traps.empty(); });
    return mend ? status_traps : status_ready;
}
