// tapbridge's and tapbridge-remote's command lines, as text a shell runs unchanged.
#pragma once

#include "keymap/key_map.hpp"
#include "setup/decide/layout.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Any MODE but x_mode writes touch events; 0 is the plain choice.
constexpr int touch_mode = 0;

// program, the node, MODE and the five points, separated by spaces.
[[nodiscard]] std::string command_line(std::string_view program, std::string_view node, int mode,
                                       const point_set& points);

// The MODE 1 line, led by the display it was checked on: a boot script or
// a root shell has no DISPLAY of its own. (Xlib opens no display whose name
// ends in a line break, so that word always fits on the line.)
[[nodiscard]] std::string x_mode_line(std::string_view program, std::string_view node, std::string_view display,
                                      const point_set& points);

// "CODE=BUTTON" as --map takes it: a key's or hat's, or a gesture's.
[[nodiscard]] std::string map_text(input_code code, int button);
[[nodiscard]] std::string map_text(const gesture_code& gesture, int button);

// A tapbridge-remote line: program, a --map for each of maps (CODE=BUTTON),
// or with none the default map, its next page on next_page (--next-page
// where that is not left), and the remote as remote_argument() names it,
// after "--" where it starts with '-'.
[[nodiscard]] std::string remote_command_line(std::string_view program, const std::vector<std::string>& maps,
                                              int next_page, std::string_view remote);

// The screen's node as a printed line names it: the path given, unless it
// ends in a line break, which no line can hold; then the kernel's own node
// for it (empty: unknown). None when neither fits.
[[nodiscard]] std::optional<std::string> node_for_line(std::string_view given, std::string_view kernel_node);
