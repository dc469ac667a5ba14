// The device numbers the kernel's input handlers use, so a node is known for
// what it is before it is opened: opening a terminal, a FIFO or another
// driver's device has effects of its own.
#pragma once

// All input handlers share the major number 13 (INPUT_MAJOR). Their legacy
// minors: joydev 0..15, mousedev 32..62 with its multiplexer at 63
// (MOUSEDEV_MINOR_BASE + MOUSEDEV_MIX), evdev 64..95 (EVDEV_MINOR_BASE, 32
// devices). Past those, every handler takes dynamic minors from 256 on
// (INPUT_FIRST_DYNAMIC_DEV), below 1024 (INPUT_MAX_CHAR_DEVICES); evdev then
// names the node eventM with M the minor itself.
constexpr unsigned input_major = 13;
constexpr unsigned mice_minor = 63;
constexpr unsigned evdev_first_minor = 64;
constexpr unsigned evdev_legacy_minors = 32;
constexpr unsigned first_dynamic_minor = 256;
constexpr unsigned input_minor_limit = 1024;

// True for mousedev's multiplexer, /dev/input/mice.
[[nodiscard]] constexpr bool is_mice_number(unsigned major, unsigned minor)
{
    return major == input_major && minor == mice_minor;
}

// True when the number can be an evdev node: one of evdev's own minors, or
// a dynamic one (shared with the other handlers; their nodes then refuse the
// evdev ioctls).
[[nodiscard]] constexpr bool maybe_evdev_number(unsigned major, unsigned minor)
{
    if (major != input_major)
        return false;
    if (minor >= evdev_first_minor && minor < evdev_first_minor + evdev_legacy_minors)
        return true;
    return minor >= first_dynamic_minor && minor < input_minor_limit;
}
