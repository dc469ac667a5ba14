// The devices tapbridge reads through /dev/input/mice, and what keeps a
// mouse's clicks from reaching it.
#pragma once

#include "setup/facts.hpp"

#include <string>
#include <vector>

// True when the grab on the device is tapbridge-remote's: it passes a
// grabbed device's own buttons and wheel on through its virtual mouse. The
// kernel does not say who holds a grab: it is taken for tapbridge-remote's
// when one that grabs (no --no-grab) has the device open.
[[nodiscard]] bool grabbed_by_remote_program(const system_facts& facts, const input_device& device);

enum class feed_kind {
    mouse,         // a mouse, a touchpad, a keyboard's pointer
    virtual_mouse, // tapbridge-remote's: a remote's presses
    touch_screen,  // a touch screen's touches, taps included, as clicks
};

struct fed_device {
    std::string node;
    std::string name;
    feed_kind kind;
    const input_device* device; // null for a touch screen
};

// Every device mousedev merges into /dev/input/mice, in node order, touch
// screens after the rest. any is unknown when /sys could not tell and a
// device that may be fed was seen.
[[nodiscard]] found_list<fed_device> fed_devices(const system_facts& facts);

// Mice whose clicks never reach /dev/input/mice: a grab by another process
// than tapbridge-remote takes every event of a device from mousedev.
[[nodiscard]] std::vector<const input_device*> grabbed_mice(const system_facts& facts);
