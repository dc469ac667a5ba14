// mousedev as /sys and /dev show it.
#pragma once

#include "facts.hpp"

#include <optional>
#include <sys/types.h>

// Writable at run time, also where mousedev is built into the kernel.
constexpr const char* tap_time_path = "/sys/module/mousedev/parameters/tap_time";

// False when /sys names another subsystem than input for the character
// device rdev; true when it names input or cannot be asked.
[[nodiscard]] bool maybe_input(dev_t rdev);

// True when the input device behind the event node rdev has a mouseN
// handler: mousedev then merges its events into /dev/input/mice.
[[nodiscard]] bool fed_by_mousedev(dev_t rdev);

// tap_time in milliseconds; empty without mousedev.
[[nodiscard]] std::optional<int> read_tap_time();

// Writes 0 to tap_time; returns 0 or the errno of the failure.
[[nodiscard]] int write_tap_time_zero();

// How /dev/input/mice opens for this user. Opening it read-write and
// closing it again changes nothing: the IntelliMouse switch is a write.
[[nodiscard]] mice_access probe_mice();
