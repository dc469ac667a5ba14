// The input event devices the system shows under /dev/input.
#pragma once

#include "input/probed.hpp"

#include <string>

// The input event devices under dir, each once, in device number order: the
// entries whose device number is evdev's, by the name they have there (a
// plain node before a symbolic link to it). any is unknown, with why, when
// dir or an entry in it could not be looked at: "no devices" is then not
// known.
[[nodiscard]] found_list<std::string> event_nodes(const std::string& dir = "/dev/input");
