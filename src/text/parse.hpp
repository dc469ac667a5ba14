// Numbers read from the kernel's files and from /proc, without exceptions:
// what does not parse is no number.
#pragma once

#include <optional>
#include <string_view>

// The unsigned decimal number that is the whole of text, one trailing
// newline allowed (sysfs attributes end with one); empty when text is
// anything else or the number does not fit.
[[nodiscard]] std::optional<unsigned int> parse_unsigned(std::string_view text);

// A process id from a /proc entry's name; empty for any other name.
[[nodiscard]] std::optional<int> parse_pid(std::string_view name);

// The decimal int that is the whole of text, a leading '-' allowed; empty
// for anything else, or a number that does not fit.
[[nodiscard]] std::optional<int> parse_int(std::string_view text);
