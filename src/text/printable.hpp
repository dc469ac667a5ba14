// Text from outside (device names, process names, paths) made safe to print.
#pragma once

#include <string>
#include <string_view>

// text with every control character, and every byte that is not part of a
// printable UTF-8 character, escaped C-style (\n, \t, \x1b, \\, \"), so it
// can neither break a line nor steer the terminal.
[[nodiscard]] std::string printable(std::string_view text);
