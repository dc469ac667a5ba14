// The virtual mouse that mousedev merges into /dev/input/mice, where
// tapbridge reads it like any mouse.
#pragma once

#include "keymap/press.hpp"

#include <string>

struct libevdev_uinput;

struct virtual_mouse {
    libevdev_uinput* device; // null when it could not be made
    int error;               // errno of that failure
    std::string node;        // its event node
};

// Made through /dev/uinput, declaring what mousedev needs to take a device
// as a mouse: BTN_LEFT, BTN_RIGHT, BTN_MIDDLE, REL_X, REL_Y, REL_WHEEL.
[[nodiscard]] virtual_mouse make_virtual_mouse();

void remove_virtual_mouse(virtual_mouse& mouse);

// One click (button down, SYN_REPORT, button up, SYN_REPORT) or the wheel
// detents, each frame ended by its SYN_REPORT. 0 when written, else the
// errno.
[[nodiscard]] int send_action(const virtual_mouse& mouse, const mouse_action& action);
