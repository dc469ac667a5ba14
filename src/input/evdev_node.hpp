// An event node opened and asked what it is, through libevdev.
#pragma once

#include "input/caps.hpp"
#include "input/node_check.hpp"

#include <libevdev/libevdev.h>
#include <string>
#include <sys/types.h>

struct input_node {
    open_outcome outcome;
    int error;        // errno of a failure
    std::string what; // not_input: what is there instead
    int fd;           // -1 unless ok
    dev_t rdev;       // the device number, to find it in /sys and /proc
    libevdev* device; // null unless ok; close_input frees it
};

// Opens path read-only and non-blocking. A path whose device number is no
// input event device's is not_input and is never opened; one whose driver
// does not answer the evdev ioctls is not_input too.
[[nodiscard]] input_node open_input(const std::string& path);

void close_input(input_node& node);

// What the device declares.
[[nodiscard]] input_caps caps_of(const libevdev* device);

// Takes a grab and releases it at once. EVIOCGRAB fails with EBUSY while
// another descriptor holds the grab, which is the only way to learn it.
[[nodiscard]] bool grabbed_by_other(const input_node& node);
