#include "setup/decide/remotes.hpp"

#include "setup/decide/traps.hpp"
#include "text/shell_word.hpp"

#include "gesture/decide/place.hpp"
#include "setup/decide/choose.hpp"
#include "setup/decide/mousedev.hpp"

#include <algorithm>
#include <cstdlib>

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

ring_shape ring_shape_of(const input_device& device)
{
    if (is_virtual_mouse(device.id))
        return ring_shape::none;
    const bool ring = place_of(device.id.bus, device.caps) == touch_place::ring;
    switch (source_of(device.caps)) {
    case gesture_source::none: return ring_shape::none;
    case gesture_source::touch: return ring ? ring_shape::touch : ring_shape::none;
    // Nothing built in only moves without a button: a touchpad ring.
    case gesture_source::motion: return ring_shape::motion;
    // A mouse that comes on Bluetooth or USB may as well be a ring that drags.
    case gesture_source::drag: return ring ? ring_shape::drag : ring_shape::none;
    }
    return ring_shape::none;
}

bool is_remote(const input_device& device)
{
    if (is_virtual_mouse(device.id))
        return false;
    if (ring_shape_of(device) != ring_shape::none)
        return true;
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

bool left_off_in(const std::vector<std::string>& line)
{
    // NODE MODE X1 Y1 ...: tapbridge reads its numbers with atoi.
    return line.size() >= 4 && (std::atoi(line[2].c_str()) < 0 || std::atoi(line[3].c_str()) < 0);
}

int next_page_button(const system_facts& facts)
{
    if (!facts.running_line.empty())
        return left_off_in(facts.running_line) ? btn_wheel_down : btn_left;
    const auto best = best_screen(facts.screens);
    return best && left_clicker_for(facts, facts.screens[*best]) ? btn_wheel_down : btn_left;
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
        const ring_shape ring = ring_shape_of(d);
        listed_remote r{&d, !page_codes(d.caps).empty() || ring != ring_shape::none, ring, false, {}};
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
