// Facts as a probe of the system learnt them: yes, no, or unknown with why.
#pragma once

#include <string>
#include <utility>
#include <vector>

// A yes/no fact as a probe learnt it. When the probe could not look (a
// hidden /sys or /proc, a refused directory), the answer is unknown and why
// says what was in the way; an unknown is never taken for "no".
enum class tri { no, yes, unknown };

struct probed {
    tri state;
    std::string why; // for unknown: what kept the answer hidden
};

[[nodiscard]] inline probed known(bool yes)
{
    return {yes ? tri::yes : tri::no, {}};
}

[[nodiscard]] inline probed unknown(std::string why)
{
    return {tri::unknown, std::move(why)};
}

// Things a probe found, and whether it could look at all: any is no when it
// looked and found none, unknown (with why) when it could not look.
template <typename T>
struct found_list {
    probed any;
    std::vector<T> items;
};

