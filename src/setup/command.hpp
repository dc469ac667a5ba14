// tapbridge's command line, as text a shell runs unchanged.
#pragma once

#include "layout.hpp"

#include <string>
#include <string_view>

// Any MODE but x_mode writes touch events; 0 is the plain choice.
constexpr int touch_mode = 0;

// text as one word for a POSIX shell: as it is when every character is
// one no shell treats specially, otherwise in single quotes; with a control
// character in it, as $'...' with that character escaped (bash, zsh,
// busybox sh and current dash read it).
[[nodiscard]] std::string shell_word(std::string_view text);

// program, the node, MODE and the five points, separated by spaces.
[[nodiscard]] std::string command_line(std::string_view program, std::string_view node, int mode,
                                       const point_set& points);
