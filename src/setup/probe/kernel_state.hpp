// mousedev's tap_time, what /dev/input/mice is, and /dev/uinput.
#pragma once

#include "setup/facts.hpp"

#include <optional>
#include <string>
#include <sys/types.h>

// Writable at run time, also where mousedev is built into the kernel.
constexpr const char* tap_time_path = "/sys/module/mousedev/parameters/tap_time";

// tap_time in milliseconds; present is no without mousedev.
[[nodiscard]] tap_time_fact read_tap_time();

// Writes 0 to tap_time; returns 0 or the errno of the failure.
[[nodiscard]] int write_tap_time_zero();

// What /dev/input/mice is and how it opens for this user. Opening it
// read-write and closing it again changes nothing: the IntelliMouse switch
// is a write.
[[nodiscard]] mice_facts probe_mice();

// Where tapbridge-remote makes its virtual mouse (libevdev's uinput API
// opens this path).
constexpr const char* uinput_path = "/dev/uinput";

// Whether /dev/uinput is uinput's node and opens for writing. Opening it
// makes nothing: a device exists only once it is set up and created.
[[nodiscard]] uinput_facts probe_uinput();
