#include "setup/speak/show_sketch.hpp"

#include "setup/decide/sketch.hpp"

#include <cstdio>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

void show_sketch(const touch_screen& screen, const point_set& points)
{
    if (!isatty(STDOUT_FILENO))
        return;
    // A terminal that does not know its size (0 columns) gets the usual 79.
    winsize size{};
    const bool sized = ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0;
    // The last column is left free: some terminals wrap a line that fills it.
    const std::size_t columns = sized ? std::size_t{size.ws_col} - 1 : sketch_width;
    for (const std::string& line : sketch_lines(screen.x, screen.y, points, page_turning, columns))
        std::printf("%s\n", line.c_str());
}
