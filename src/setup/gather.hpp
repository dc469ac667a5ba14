// Everything the report, --pick and --fix decide on, probed in one pass.
#pragma once

#include "facts.hpp"

#include <string>
#include <vector>

// The input event devices under dir, each once, in device number order: the
// entries whose device number is evdev's, by the name they have there (a
// plain node before a symbolic link to it). any is unknown, with why, when
// dir or an entry in it could not be looked at: "no devices" is then not
// known.
[[nodiscard]] found_list<std::string> event_nodes(const std::string& dir = "/dev/input");

// Opens every event node: touch screens are described, other devices
// mousedev feeds are listed as mice. Then mousedev's state and running
// tapbridges. The grab probe and the X display are asked only when wanted:
// --fix touches nothing but tap_time, and --pick has no use for X.
[[nodiscard]] system_facts gather_facts(bool probe_grabs, bool probe_x);
