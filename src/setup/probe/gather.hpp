// Everything the report, --pick and --fix decide on, probed in one pass.
#pragma once

#include "setup/facts.hpp"

#include <string>
#include <vector>

// Which devices the grab probe tries: it takes a grab and releases it at
// once, and an event that comes meanwhile goes to it alone. Beside a
// running tapbridge (--remotes, --learn) a tap or a click must not be lost
// so: only remotes are tried.
enum class grab_probe { none, remotes, all };

// Opens every event node: touch screens are described, other devices
// mousedev feeds are listed as mice. Then mousedev's state and running
// tapbridges. The grab probe and the X display are asked only when wanted:
// --fix touches nothing but tap_time, and --pick has no use for X.
[[nodiscard]] system_facts gather_facts(grab_probe grabs, bool probe_x);
