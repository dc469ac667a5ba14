// Whether the kernel's mousedev turns a screen's touches, injected taps
// included, into clicks on /dev/input/mice, which tapbridge reads.
#pragma once

#include "facts.hpp"

#include <optional>

enum class echo_kind {
    none,            // mousedev does not feed the screen
    touchpad_quiet,  // fed as a touchpad, tap_time 0: touches only move the pointer
    touchpad_clicks, // fed as a touchpad: a touch shorter than tap_time comes back as a left click
    direct,          // fed as a tablet: BTN_TOUCH is the left button itself
};

// mousedev routes a device's touches through its touchpad code whenever the
// device declares BTN_TOOL_FINGER, whichever match brought it in; otherwise
// BTN_TOUCH goes out as the left button. tap_time is empty when mousedev's
// parameter could not be read.
[[nodiscard]] echo_kind echo_of(const touch_screen& screen, std::optional<int> tap_time);

// Only a disabled point 1 stops the echo of a direct screen: every tap
// presses the left button, and tapbridge would tap point 1 again.
[[nodiscard]] bool left_must_stay_off(const touch_screen& screen, std::optional<int> tap_time);

// True when writing 0 to tap_time would stop an echo on some screen.
[[nodiscard]] bool tap_time_fix_needed(const system_facts& facts);
