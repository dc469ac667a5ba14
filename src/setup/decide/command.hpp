// tapbridge's command line, as text a shell runs unchanged.
#pragma once

#include "setup/decide/layout.hpp"

#include <string>
#include <string_view>

// Any MODE but x_mode writes touch events; 0 is the plain choice.
constexpr int touch_mode = 0;

// program, the node, MODE and the five points, separated by spaces.
[[nodiscard]] std::string command_line(std::string_view program, std::string_view node, int mode,
                                       const point_set& points);
