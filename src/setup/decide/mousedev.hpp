// Whether the kernel's mousedev turns a screen's touches, injected taps
// included, into clicks on /dev/input/mice, which tapbridge reads.
#pragma once

#include "input/mousedev_ids.hpp"
#include "setup/facts.hpp"

#include <optional>
#include <string>

enum class echo_kind {
    none,            // mousedev does not feed the screen
    touchpad_quiet,  // fed as a touchpad, tap_time 0: touches only move the pointer
    touchpad_clicks, // fed as a touchpad: a touch shorter than tap_time comes back as a left click
    direct,          // fed as a tablet: BTN_TOUCH is the left button itself
    unknown,         // whether it is fed, or tap_time, could not be learnt
};

// mousedev routes a device's touches through its touchpad code whenever the
// device declares BTN_TOOL_FINGER, whichever id matched it; otherwise
// BTN_TOUCH goes out as the left button.
[[nodiscard]] echo_kind echo_of(const input_caps& caps, const probed& fed, const tap_time_fact& tap_time);
[[nodiscard]] echo_kind echo_of(const touch_screen& screen, const tap_time_fact& tap_time);

// Point 1 stays off where every tap may press the left button: a direct
// screen, and one that may be direct but could not be checked. A loop that
// taps without end costs more than a left button left out.
[[nodiscard]] bool left_must_stay_off(const touch_screen& screen, const tap_time_fact& tap_time);

// A device whose touches mousedev makes left presses, which tapbridge
// would tap at point 1 on the screen of its line: that screen itself, or
// another touch screen or pen that mousedev feeds as a tablet (a finger or a
// pen on it then taps point 1 too).
struct left_clicker {
    std::string node;
    std::string name;
    bool is_the_screen; // the screen of the line itself: its own taps come back
};

// The device that keeps point 1 off on a line for screen, the screen
// itself first; empty when point 1 may be on.
[[nodiscard]] std::optional<left_clicker> left_clicker_for(const system_facts& facts, const touch_screen& screen);

// True when writing 0 to tap_time would stop an echo on some screen.
[[nodiscard]] bool tap_time_fix_needed(const system_facts& facts);

// The first screen whose echo is unknown because its feeding is, or null.
[[nodiscard]] const touch_screen* feeding_unknown(const system_facts& facts);

// True when some screen is fed as a touchpad but tap_time is not known.
[[nodiscard]] bool tap_time_unknown_matters(const system_facts& facts);
