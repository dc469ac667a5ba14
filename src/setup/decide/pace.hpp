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

// Past the budget it is read at most once in this many milliseconds (ten
// times a second), this many bytes at a time: a line end or the end of
// input is still found, a tenth of a second late, if slowly (40 KiB a
// second), and waiting costs next to nothing, even emulated.
constexpr std::int64_t paced_read_ms = 100;
constexpr std::size_t paced_read_bytes = 4096;

// How many milliseconds to wait before standard input may be read again: 0
// for now. unended counts the bytes read since the last line end, last_ms
// is when it was last read (monotonic milliseconds).
[[nodiscard]] std::int64_t read_delay_ms(std::size_t unended, std::int64_t last_ms, std::int64_t now_ms);
