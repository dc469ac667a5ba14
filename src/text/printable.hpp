// Text from outside (device names, process names, paths) made safe to print.
#pragma once

#include <string>
#include <string_view>

// text with every control character, and every byte that is not part of a
// printable UTF-8 character, escaped C-style (\n, \t, \x1b, \\, \"), so it
// can neither break a line nor steer the terminal. Where the terminal's
// character set is not UTF-8 (utf8 false), every byte from 0x80 up is
// escaped too: on an 8-bit terminal 0x9b alone begins a control sequence.
[[nodiscard]] std::string printable(std::string_view text, bool utf8);

// printable() for the character set the locale's variables name.
[[nodiscard]] std::string printable(std::string_view text);

// Whether the locale is UTF-8, from LC_ALL, LC_CTYPE and LANG in the order
// the C library takes them (the first set and not empty decides; none is the
// C locale): "en_US.UTF-8" and "C.utf8" are, "C", "POSIX", "de_DE" and
// "ru_RU.KOI8-R" are not. Decided from the names alone: a static binary on a
// device may have no locale files at all.
[[nodiscard]] bool utf8_locale(const char* lc_all, const char* lc_ctype, const char* lang);
