#include "setup/speak/typed_lines.hpp"

#include <algorithm>
#include <cerrno>
#include <termios.h>
#include <unistd.h>

void forget_typed(const typed_lines& in)
{
    if (in.keyboard && isatty(STDIN_FILENO))
        tcflush(STDIN_FILENO, TCIFLUSH);
}

void read_typed(typed_lines& in)
{
    char chunk[256];
    const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
    if (n > 0)
        in.lines += static_cast<std::size_t>(std::count(chunk, chunk + n, '\n'));
    else if (n == 0 || errno != EINTR)
        in.ended = true;
}

bool take_line(typed_lines& in)
{
    if (in.lines == 0)
        return false;
    --in.lines;
    return true;
}
