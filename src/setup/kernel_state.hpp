// mousedev as /sys and /dev show it, and whether /sys and /proc are what
// they claim to be.
#pragma once

#include "facts.hpp"

#include <optional>
#include <string>
#include <sys/types.h>

// Writable at run time, also where mousedev is built into the kernel.
constexpr const char* tap_time_path = "/sys/module/mousedev/parameters/tap_time";

// Why the directory path cannot be trusted to show the kernel's file system
// named fs (magic as statfs gives it): not there, or another file system
// mounted over it (a container's tmpfs, an empty directory). Empty when it
// is that file system.
[[nodiscard]] std::optional<std::string> not_on(const char* path, long magic, const char* fs);

// Whether the input device behind the event node rdev has a mouseN
// handler: mousedev then merges its events into /dev/input/mice.
[[nodiscard]] probed fed_by_mousedev(dev_t rdev);

// tap_time in milliseconds; present is no without mousedev.
[[nodiscard]] tap_time_fact read_tap_time();

// Writes 0 to tap_time; returns 0 or the errno of the failure.
[[nodiscard]] int write_tap_time_zero();

// What /dev/input/mice is and how it opens for this user. Opening it
// read-write and closing it again changes nothing: the IntelliMouse switch
// is a write.
[[nodiscard]] mice_facts probe_mice();
