#include "tap/touch.hpp"

#include <cstdio>
#include <cstring>
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
    for (const tap_event& record : tap_events(x, y))
        write_event(fd, record.type, record.code, record.value);
}
