// Which touch screen the ready command line is for.
#pragma once

#include "setup/facts.hpp"

#include <cstddef>
#include <optional>
#include <vector>

// The best screen: one whose range tapbridge can be given, preferring, in
// this order, one known to be built in (by its bus), one whose taps all arrive, a direct screen (INPUT_PROP_DIRECT;
// a touchpad is not what the user looks at), one nobody else has grabbed,
// and then the first. Empty when none is usable.
[[nodiscard]] std::optional<std::size_t> best_screen(const std::vector<touch_screen>& screens);
