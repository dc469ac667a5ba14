// The picture of the points, for a person at a terminal.
#pragma once

#include "setup/decide/layout.hpp"
#include "setup/facts.hpp"

// Prints the sketch of points on screen when standard output is a
// terminal; to a file or a pipe nothing, so scripts keep reading the same
// lines.
void show_sketch(const touch_screen& screen, const point_set& points);
