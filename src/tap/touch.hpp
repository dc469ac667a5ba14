// A single-finger tap written straight into a touch screen's event node.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <linux/input.h>

// One input record without its timestamp.
struct tap_event {
    std::uint16_t type;
    std::uint16_t code;
    std::int32_t value;
};

constexpr std::size_t tap_event_count = 12;

// The records of one tap at (x, y), in the screen's multitouch position
// units, in the order they are written. Contact down at the point: BTN_TOUCH
// leads, then a type-B contact with tracking id 0 (single finger, so no
// ABS_MT_SLOT) and its position. The finger tool in a frame of its own,
// after the position is known. Tracking id -1 ends the contact; then both
// keys go up together.
[[nodiscard]] constexpr std::array<tap_event, tap_event_count> tap_events(std::int32_t x, std::int32_t y)
{
    return {{
        {EV_KEY, BTN_TOUCH, 1},
        {EV_ABS, ABS_MT_TRACKING_ID, 0},
        {EV_ABS, ABS_MT_POSITION_X, x},
        {EV_ABS, ABS_MT_POSITION_Y, y},
        {EV_SYN, SYN_REPORT, 0},
        {EV_KEY, BTN_TOOL_FINGER, 1},
        {EV_SYN, SYN_REPORT, 0},
        {EV_ABS, ABS_MT_TRACKING_ID, -1},
        {EV_SYN, SYN_REPORT, 0},
        {EV_KEY, BTN_TOUCH, 0},
        {EV_KEY, BTN_TOOL_FINGER, 0},
        {EV_SYN, SYN_REPORT, 0},
    }};
}

// Writes one input_event record in one write(); reports a failed write.
void write_event(int fd, std::uint16_t type, std::uint16_t code, std::int32_t value);

// Writes the records of tap_events(x, y), each through write_event.
void write_touch_event(int fd, int x, int y);
