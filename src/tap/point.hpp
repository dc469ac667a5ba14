// What a point on tapbridge's command line means, for every program that
// reads or writes one.
#pragma once

// MODE 1 sends taps to the X display; every other MODE writes touch events.
constexpr int x_mode = 1;

// A negative coordinate switches that button's tap off.
[[nodiscard]] constexpr bool point_enabled(int x, int y)
{
    return x >= 0 && y >= 0;
}
