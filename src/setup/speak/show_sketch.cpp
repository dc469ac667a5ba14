#include "setup/speak/show_sketch.hpp"

#include "setup/decide/sketch.hpp"

#include <cstdio>
#include <string>
#include <unistd.h>

void show_sketch(const touch_screen& screen, const point_set& points)
{
    if (!isatty(STDOUT_FILENO))
        return;
    for (const std::string& line : sketch_lines(screen.x, screen.y, points, page_turning))
        std::printf("%s\n", line.c_str());
}
