#include "setup/decide/pace.hpp"

std::int64_t read_delay_ms(std::size_t unended, std::int64_t last_ms, std::int64_t now_ms)
{
    if (unended < unended_budget)
        return 0;
    const std::int64_t due = last_ms + paced_read_ms;
    return due > now_ms ? due - now_ms : 0;
}
