// How often --pick reads standard input. Standard input that is always
// readable and never ends a line (/dev/zero, a program printing without
// end) would make every wait return at once: a core kept busy for nothing.
#pragma once

#include <cstddef>
#include <cstdint>

// Nobody types this much on one line, and a script that pipes its Enters
// in sends them long before: up to here standard input is read as fast as
// it comes, so that a long line and then its end are taken at once.
constexpr std::size_t unended_budget = std::size_t{16} << 20;

// Past the budget it is read at most once in this many milliseconds (20
// times a second): a line end or the end of input is still found, a tenth
// of a second late at worst, and waiting costs next to nothing.
constexpr std::int64_t paced_read_ms = 50;

// How many milliseconds to wait before standard input may be read again: 0
// for now. unended counts the bytes read since the last line end, last_ms
// is when it was last read (monotonic milliseconds).
[[nodiscard]] std::int64_t read_delay_ms(std::size_t unended, std::int64_t last_ms, std::int64_t now_ms);
