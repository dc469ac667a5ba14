// Which devices are rings, and what their gestures are made of: told from
// what they declare and from the bus they come on.
#pragma once

#include "gesture/decide/gesture.hpp"
#include "input/caps.hpp"

#include <cstdint>

// What a device's gestures come from.
enum class gesture_source : std::uint8_t {
    none,   // no gestures: keys, buttons and hats only
    touch,  // a contact at absolute positions: a finger, a pen, an absolute pointer's button
    drag,   // a mouse's left button held while it moves
    motion, // relative motion with no button at all: each burst is a stroke
};

// A device whose keys make it a remote of keys (a keyboard, a media remote)
// and that also has a mouse's buttons and motion is a remote that is also a
// mouse: its buttons are clicks, not a drag's contact.
[[nodiscard]] gesture_source source_of(const input_caps& caps);

// Whether the device's strokes can make gesture: a TAP@ needs positions.
[[nodiscard]] bool makes_gesture(const input_caps& caps, const gesture_code& gesture);

// True for codes below the buttons: a keyboard's or a media remote's keys.
[[nodiscard]] bool declares_keyboard_keys(const input_caps& caps);

// Whether a device with gestures is the device's own screen or pen, or a
// ring that pretends to be a finger, a pen, a touchpad or a mouse.
enum class touch_place : std::uint8_t {
    built_in, // on I2C, SPI, the host or RMI: a screen or pen digitizer of the device's own
    ring,     // on Bluetooth or USB, or declaring a keyboard's keys beside its touch
    unknown,  // another bus, and nothing else tells
};

[[nodiscard]] touch_place place_of(std::uint16_t bus, const input_caps& caps);
