#include "gesture/read/frames.hpp"

#include "input/evdev_node.hpp"

namespace {

bool key_down(const libevdev* device, unsigned code)
{
    return libevdev_has_event_code(device, EV_KEY, code) && libevdev_get_event_value(device, EV_KEY, code) != 0;
}

// The first slot with a contact (a tracking id other than -1), or -1.
int touched_slot(const libevdev* device)
{
    const int slots = libevdev_get_num_slots(device);
    for (int slot = 0; slot < slots; ++slot)
        if (libevdev_get_slot_value(device, static_cast<unsigned>(slot), ABS_MT_TRACKING_ID) >= 0)
            return slot;
    return -1;
}

bool contact_of(const frame_reader& r, const libevdev* device)
{
    if (r.source == gesture_source::motion)
        return false;
    if (key_down(device, BTN_LEFT) || key_down(device, BTN_TOUCH))
        return true;
    // Without BTN_TOUCH, a multitouch ring's contact is its tracking id.
    return r.source == gesture_source::touch && !r.touch_key && touched_slot(device) >= 0;
}

// A contact beginning: a key going down, or a slot given a tracking id.
bool begins_contact(const input_event& e)
{
    return (e.type == EV_KEY && (e.code == BTN_TOUCH || e.code == BTN_LEFT) && e.value == 1) ||
           (e.type == EV_ABS && e.code == ABS_MT_TRACKING_ID && e.value >= 0);
}

void place(const frame_reader& r, const libevdev* device, stroke_frame& f)
{
    f.placed = r.source == gesture_source::touch;
    if (!f.placed)
        return;
    if (r.single_touch) {
        f.x = libevdev_get_event_value(device, EV_ABS, ABS_X);
        f.y = libevdev_get_event_value(device, EV_ABS, ABS_Y);
        return;
    }
    // Multitouch positions only: the first contact's, or where the last one was.
    const int touched = touched_slot(device);
    const unsigned slot = static_cast<unsigned>(touched >= 0 ? touched : libevdev_get_current_slot(device));
    f.x = libevdev_get_slot_value(device, slot, ABS_MT_POSITION_X);
    f.y = libevdev_get_slot_value(device, slot, ABS_MT_POSITION_Y);
    if (libevdev_get_num_slots(device) < 0) {
        f.x = libevdev_get_event_value(device, EV_ABS, ABS_MT_POSITION_X);
        f.y = libevdev_get_event_value(device, EV_ABS, ABS_MT_POSITION_Y);
    }
}

std::int64_t span(const libevdev* device, unsigned code)
{
    const input_absinfo* info = libevdev_get_abs_info(device, code);
    return info ? std::int64_t{info->maximum} - info->minimum : 0;
}

} // namespace

frame_reader frame_reader_for(const libevdev* device)
{
    const input_caps caps = caps_of(device);
    return {source_of(caps), caps.axes[ABS_X] && caps.axes[ABS_Y], caps.keys[BTN_TOUCH], false, 0, 0};
}

axis_spans spans_of(const libevdev* device)
{
    if (libevdev_has_event_code(device, EV_ABS, ABS_X) && libevdev_has_event_code(device, EV_ABS, ABS_Y))
        return {span(device, ABS_X), span(device, ABS_Y)};
    return {span(device, ABS_MT_POSITION_X), span(device, ABS_MT_POSITION_Y)};
}

bool take_event(frame_reader& r, const libevdev* device, const input_event& e, stroke_frame& frame)
{
    if (begins_contact(e))
        r.pressed = true;
    if (e.type == EV_REL && e.code == REL_X)
        r.rel_x += e.value;
    else if (e.type == EV_REL && e.code == REL_Y)
        r.rel_y += e.value;
    if (e.type != EV_SYN || e.code != SYN_REPORT)
        return false;
    const bool contact = contact_of(r, device);
    const bool pressed = r.pressed && r.source != gesture_source::motion;
    // Relative motion makes the strokes of a ring that only moves and of one
    // that drags: many such rings declare a whole mouse and send its motion
    // alone, in bursts, or with the left button held. A device with absolute
    // positions is read by them alone.
    const bool moving = r.source == gesture_source::motion || r.source == gesture_source::drag;
    frame = {contact, pressed, false, 0, 0, moving ? r.rel_x : 0, moving ? r.rel_y : 0,
             // The input core's own release, as a device goes away, ends
             // with a SYN_REPORT of value 1; a driver's frames end with 0.
             e.value == 1};
    place(r, device, frame);
    r.pressed = false;
    r.rel_x = 0;
    r.rel_y = 0;
    return true;
}
