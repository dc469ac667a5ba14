// Text as one word for a POSIX shell, so that a printed command line runs
// as printed, whatever names and paths it holds.
#pragma once

#include <string>
#include <string_view>

// text as one word for a POSIX shell (dash, busybox sh and bash read it
// alike): as it is when every character is one no shell treats specially,
// otherwise in single quotes; a run of control characters is written as
// "$(printf '\ooo...')" between single-quoted parts, so that the word stays
// on one line. Only a text for which one_line_word() is false comes out
// otherwise: ending in a line break, it is single-quoted across two lines.
[[nodiscard]] std::string shell_word(std::string_view text);

// Whether shell_word(text) is one word on one line. Not for a text that ends
// in a line break (a command substitution strips it, and nothing else on one
// line writes it in a POSIX shell), nor for one with a NUL byte, which no
// argument can hold.
[[nodiscard]] bool one_line_word(std::string_view text);
