// The X display named by DISPLAY: its size, and whether it takes XTest clicks.
#pragma once

#include "setup/facts.hpp"

// How long the X server may take to answer before the check gives up.
constexpr int x_answer_seconds = 5;

// Opens the display, asks, and closes it again, in a child process given
// x_answer_seconds: a server that takes the connection and never answers
// cannot hang the report. Nothing is asked when DISPLAY is unset or empty.
[[nodiscard]] display_facts probe_display();
