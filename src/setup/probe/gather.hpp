// Everything the report, --pick and --fix decide on, probed in one pass.
#pragma once

#include "setup/facts.hpp"

#include <string>
#include <vector>

// Opens every event node: touch screens are described, other devices
// mousedev feeds are listed as mice. Then mousedev's state and running
// tapbridges. The grab probe and the X display are asked only when wanted:
// --fix touches nothing but tap_time, and --pick has no use for X.
[[nodiscard]] system_facts gather_facts(bool probe_grabs, bool probe_x);
