#include "rings.hpp"

#include <libevdev/libevdev.h>

namespace {

// "A few slots", as such digitizers declare.
constexpr int ring_slots = 5;

// HID's Tip Switch usage (digitizer page 0x0d, usage 0x42): the scan code
// a pen sends as it touches and as it lifts.
constexpr int tip_switch_usage = 0x0d0042;

constexpr unsigned ring_media_keys[] = {KEY_VOLUMEUP, KEY_VOLUMEDOWN, KEY_PLAYPAUSE, KEY_NEXTSONG, KEY_PREVIOUSSONG};

void declare_position(libevdev* device, const remote_device& ring)
{
    declare_axis(device, ABS_X, ring.x, ring.resolution);
    declare_axis(device, ABS_Y, ring.y, ring.resolution);
    if (ring.direct)
        libevdev_enable_property(device, INPUT_PROP_DIRECT);
}

void declare_codes(libevdev* device, unsigned type, std::initializer_list<unsigned> codes)
{
    for (unsigned code : codes)
        libevdev_enable_event_code(device, type, code, nullptr);
}

void declare_digitizer(libevdev* device, const remote_device& ring)
{
    declare_codes(device, EV_KEY, {BTN_TOUCH});
    declare_position(device, ring);
    declare_axis(device, ABS_MT_SLOT, {0, ring_slots - 1});
    declare_axis(device, ABS_MT_TRACKING_ID, {0, max_tracking_id});
    declare_axis(device, ABS_MT_POSITION_X, ring.x, ring.resolution);
    declare_axis(device, ABS_MT_POSITION_Y, ring.y, ring.resolution);
}

// As users' evtest shows a pen: the keys, then the scan code, then the place.
std::vector<tap_event> pen_frame(fingers& pen, finger_action action, int x, int y)
{
    const int down = action != finger_action::up;
    std::vector<tap_event> events;
    if (action == finger_action::down)
        events.insert(events.end(), {{EV_KEY, BTN_TOOL_PEN, 1}, {EV_KEY, BTN_TOUCH, 1}});
    if (action == finger_action::up)
        events.insert(events.end(), {{EV_KEY, BTN_TOUCH, 0}, {EV_KEY, BTN_TOOL_PEN, 0}});
    if (action != finger_action::move)
        events.push_back({EV_MSC, MSC_SCAN, tip_switch_usage});
    if (down)
        events.insert(events.end(), {{EV_ABS, ABS_X, x}, {EV_ABS, ABS_Y, y}});
    events.push_back({EV_SYN, SYN_REPORT, 0});
    pen.down[0] = down;
    pen.x[0] = x;
    pen.y[0] = y;
    return events;
}

// A motion of dx, dy: the input core drops a zero anyway.
std::vector<tap_event> motion_frame(int dx, int dy)
{
    std::vector<tap_event> events;
    if (dx != 0)
        events.push_back({EV_REL, REL_X, dx});
    if (dy != 0)
        events.push_back({EV_REL, REL_Y, dy});
    events.push_back({EV_SYN, SYN_REPORT, 0});
    return events;
}

std::vector<tap_event> drag_frame(fingers& button, finger_action action, int dx, int dy)
{
    if (action == finger_action::move)
        return motion_frame(dx, dy);
    button.down[0] = action == finger_action::down;
    return {{EV_KEY, BTN_LEFT, button.down[0]}, {EV_SYN, SYN_REPORT, 0}};
}

} // namespace

bool is_ring(remote_kind kind)
{
    return kind == remote_kind::finger || kind == remote_kind::pen || kind == remote_kind::pad ||
           kind == remote_kind::drag || kind == remote_kind::fingerkeys;
}

bool places_contact(remote_kind kind)
{
    return kind == remote_kind::finger || kind == remote_kind::pen || kind == remote_kind::fingerkeys;
}

void declare_ring(libevdev* device, const remote_device& ring)
{
    switch (ring.kind) {
    case remote_kind::fingerkeys:
        for (unsigned code : ring_media_keys)
            libevdev_enable_event_code(device, EV_KEY, code, nullptr);
        declare_digitizer(device, ring);
        break;
    case remote_kind::finger: declare_digitizer(device, ring); break;
    case remote_kind::pen:
        declare_codes(device, EV_KEY, {BTN_TOUCH, BTN_TOOL_PEN});
        declare_codes(device, EV_MSC, {MSC_SCAN});
        declare_position(device, ring);
        break;
    case remote_kind::pad: declare_codes(device, EV_REL, {REL_X, REL_Y}); break;
    case remote_kind::drag:
        declare_codes(device, EV_KEY, {BTN_LEFT, BTN_RIGHT});
        declare_codes(device, EV_REL, {REL_X, REL_Y, REL_WHEEL});
        break;
    default: break; // the remotes with keys: remotes.cpp
    }
}

fingers no_contact(remote_kind kind)
{
    const auto slots = static_cast<std::size_t>(places_contact(kind) && kind != remote_kind::pen ? ring_slots : 1);
    return {std::vector<bool>(slots), std::vector<int>(slots), std::vector<int>(slots), 0, false};
}

std::optional<std::vector<tap_event>> contact_frame(remote_device& ring, finger_action action, int x, int y)
{
    fingers& contact = ring.contact;
    const bool down = contact.down[0];
    const bool fits = action == finger_action::down ? !down
                      : action == finger_action::up ? down
                                                    : down || !places_contact(ring.kind);
    if (!is_ring(ring.kind) || !fits || (ring.kind == remote_kind::pad && action != finger_action::move))
        return std::nullopt;
    if (ring.kind == remote_kind::pen)
        return pen_frame(contact, action, x, y);
    if (ring.kind == remote_kind::pad)
        return motion_frame(x, y);
    if (ring.kind == remote_kind::drag)
        return drag_frame(contact, action, x, y);
    return finger_frame(contact, screen_kind::direct, action, 0, x, y);
}
