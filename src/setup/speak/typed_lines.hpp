// Lines typed on standard input, as answers to questions: only a line's end
// answers, so what is typed on a line is counted, never kept.
#pragma once

#include <cstddef>

struct typed_lines {
    bool keyboard;     // standard input is read at all
    bool ended;        // it has ended, or failed
    std::size_t lines; // line ends typed and not yet taken
};

// Keys typed before the first question answer nothing: a terminal would
// hand them to it as a finished line.
void forget_typed(const typed_lines& in);

// One read of standard input, when poll says it is readable.
void read_typed(typed_lines& in);

// Takes one typed line; true when there was one.
[[nodiscard]] bool take_line(typed_lines& in);
