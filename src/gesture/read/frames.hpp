// A ring's events, as libevdev hands them out, made into stroke frames:
// at each SYN_REPORT, the contact and position libevdev's state holds, and
// what moved and began within the frame.
#pragma once

#include "gesture/decide/place.hpp"
#include "gesture/decide/stroke.hpp"

#include <libevdev/libevdev.h>

struct frame_reader {
    gesture_source source;
    bool single_touch;   // ABS_X/ABS_Y: positions and contact as pointer emulation gives them
    bool touch_key;      // BTN_TOUCH: the contact, where declared
    bool pressed;        // a contact began since the last SYN_REPORT
    std::int32_t rel_x;  // motion since the last SYN_REPORT
    std::int32_t rel_y;
};

[[nodiscard]] frame_reader frame_reader_for(const libevdev* device);

// The spans of the axes the ring's positions come on.
[[nodiscard]] axis_spans spans_of(const libevdev* device);

// Takes one event, after libevdev applied it to its state. At a SYN_REPORT,
// fills frame and returns true.
[[nodiscard]] bool take_event(frame_reader& reader, const libevdev* device, const input_event& e, stroke_frame& frame);
