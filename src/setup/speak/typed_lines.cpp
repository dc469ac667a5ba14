#include "setup/speak/typed_lines.hpp"

#include "setup/decide/pace.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <termios.h>
#include <unistd.h>

std::int64_t monotonic_ms()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1'000'000;
}

void forget_typed(const typed_lines& in)
{
    if (in.keyboard && isatty(STDIN_FILENO))
        tcflush(STDIN_FILENO, TCIFLUSH);
}

int typed_fd(const typed_lines& in, int& wait_ms)
{
    if (!in.keyboard || in.ended)
        return -1;
    const std::int64_t delay = read_delay_ms(in.unended, in.last_read_ms, monotonic_ms());
    if (delay == 0)
        return STDIN_FILENO;
    wait_ms = wait_ms < 0 ? static_cast<int>(delay) : std::min(wait_ms, static_cast<int>(delay));
    return -1;
}

// Only the line ends count: what is typed on a line never answers, so it is
// not kept, and a huge line costs no memory and no time.
void read_typed(typed_lines& in)
{
    // A pipe's whole buffer at once: a long line goes by in few reads.
    static char chunk[64 * 1024];
    const ssize_t n = read(STDIN_FILENO, chunk, in.unended < unended_budget ? sizeof chunk : paced_read_bytes);
    in.last_read_ms = monotonic_ms();
    if (n > 0) {
        const char* end = chunk + n;
        const char* rest = chunk;
        while (const void* line_end = std::memchr(rest, '\n', static_cast<std::size_t>(end - rest))) {
            ++in.lines;
            rest = static_cast<const char*>(line_end) + 1;
            in.unended = 0;
        }
        in.unended += static_cast<std::size_t>(end - rest);
    } else if (n < 0 && errno == EAGAIN) {
        // Readable, and yet nothing there (another reader of a shared,
        // non-blocking input took it): nothing ended, but such an input
        // could say so for ever, so it is read at the slow pace.
        in.unended = std::max(in.unended, unended_budget);
    } else if (n == 0 || errno != EINTR) {
        in.ended = true;
    }
}

bool take_line(typed_lines& in)
{
    if (in.lines == 0)
        return false;
    --in.lines;
    return true;
}
