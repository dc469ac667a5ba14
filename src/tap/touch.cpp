#include "touch.hpp"

#include <cstdio>
#include <cstring>
#include <linux/input.h>
#include <unistd.h>

void write_event(int fd, std::uint16_t type, std::uint16_t code, std::int32_t value)
{
    // The record is the running system's struct input_event: 24 bytes on
    // 64-bit kernels, 16 on 32-bit ones, whose timestamp may be a timeval or,
    // with 64-bit time_t on a 32-bit libc, two plain words. The timestamp is
    // left zero (the kernel stamps events it forwards), so it is never named.
    input_event ev;
    std::memset(&ev, 0, sizeof ev);
    ev.type = type;
    ev.code = code;
    ev.value = value;
    // An evdev node takes whole records only; a failure is reported per
    // record and the rest of the tap still goes out.
    if (write(fd, &ev, sizeof ev) < 0)
        std::perror("ERROR write_event");
}

void write_touch_event(int fd, int x, int y)
{
    // Contact down at the point. BTN_TOUCH leads, then a type-B contact with
    // tracking id 0 (single finger, so no ABS_MT_SLOT) and its position.
    write_event(fd, EV_KEY, BTN_TOUCH, 1);
    write_event(fd, EV_ABS, ABS_MT_TRACKING_ID, 0);
    write_event(fd, EV_ABS, ABS_MT_POSITION_X, x);
    write_event(fd, EV_ABS, ABS_MT_POSITION_Y, y);
    write_event(fd, EV_SYN, SYN_REPORT, 0);
    // The finger tool in a frame of its own, after the position is known.
    write_event(fd, EV_KEY, BTN_TOOL_FINGER, 1);
    write_event(fd, EV_SYN, SYN_REPORT, 0);
    // Tracking id -1 ends the contact; then both keys go up together.
    write_event(fd, EV_ABS, ABS_MT_TRACKING_ID, -1);
    write_event(fd, EV_SYN, SYN_REPORT, 0);
    write_event(fd, EV_KEY, BTN_TOUCH, 0);
    write_event(fd, EV_KEY, BTN_TOOL_FINGER, 0);
    write_event(fd, EV_SYN, SYN_REPORT, 0);
}
