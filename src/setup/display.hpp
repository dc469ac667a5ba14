// The X display named by DISPLAY: its size, and whether it takes XTest clicks.
#pragma once

#include "facts.hpp"

// Opens the display, asks, and closes it again. Nothing is asked when
// DISPLAY is unset or empty.
[[nodiscard]] display_facts probe_display();
