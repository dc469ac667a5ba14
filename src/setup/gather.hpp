// Everything the report, --pick and --fix decide on, probed in one pass.
#pragma once

#include "facts.hpp"

#include <string>
#include <vector>

// The event nodes under /dev/input, in number order; empty without any.
[[nodiscard]] std::vector<std::string> event_nodes();

// Opens every event node: touch screens are described (with a grab probe),
// other devices mousedev feeds are listed as mice. Then mousedev's state,
// running tapbridges and the X display.
[[nodiscard]] system_facts gather_facts();
