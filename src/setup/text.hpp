// Text from outside (device names, process names, paths) made safe to print,
// and numbers read from the kernel's files without exceptions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// text with every control character, and every byte that is not part of a
// printable UTF-8 character, escaped C-style (\n, \t, \x1b, \\, \"), so it
// can neither break a line nor steer the terminal.
[[nodiscard]] std::string printable(std::string_view text);

// The unsigned decimal number that is the whole of text, one trailing
// newline allowed (sysfs attributes end with one); empty when text is
// anything else or the number does not fit.
[[nodiscard]] std::optional<unsigned int> parse_unsigned(std::string_view text);

// A process id from a /proc entry's name; empty for any other name.
[[nodiscard]] std::optional<int> parse_pid(std::string_view name);
