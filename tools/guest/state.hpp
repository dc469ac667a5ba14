// The kernel state scenarios change on purpose (mousedev's tap_time, the
// /dev/input/mice and /dev/uinput nodes, /dev/input's permissions), saved before the first
// scenario and put back after each one, so that every scenario starts from
// the same system.
#pragma once

#include <optional>
#include <string>
#include <sys/stat.h>

struct saved_state {
    std::optional<std::string> tap_time; // as /sys shows it; none without mousedev
    std::optional<struct stat> mice;     // the node's type, device, mode and owner
    std::optional<struct stat> uinput;   // the same of /dev/uinput
    mode_t input_dir;                    // /dev/input's permission bits
};

[[nodiscard]] saved_state save_state();

// Puts back what differs. Returns an empty string, or what could not be
// put back.
[[nodiscard]] std::string restore_state(const saved_state& saved);
