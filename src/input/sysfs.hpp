// What /sys says about input devices, and whether /sys and /proc are what
// they claim to be.
#pragma once

#include "input/probed.hpp"

#include <optional>
#include <string>
#include <sys/types.h>

// Why the directory path cannot be trusted to show the kernel's file system
// named fs (magic as statfs gives it): not there, or another file system
// mounted over it (a container's tmpfs, an empty directory). Empty when it
// is that file system.
[[nodiscard]] std::optional<std::string> not_on(const char* path, long magic, const char* fs);

// Whether the input device behind the event node rdev has a mouseN
// handler: mousedev then merges its events into /dev/input/mice.
[[nodiscard]] probed fed_by_mousedev(dev_t rdev);

// The path the kernel gives the character device rdev under /dev
// ("/dev/input/event2", from DEVNAME in its uevent), or empty when /sys does
// not say.
[[nodiscard]] std::string kernel_node_path(dev_t rdev);
