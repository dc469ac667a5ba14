// A small text picture of a screen with tapbridge's five points on it, so
// that a person sees where they fall instead of reading ten numbers.
#pragma once

#include "setup/decide/layout.hpp"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The box is at most this many cells inside its border. A character cell
// is about twice as tall as wide: a square screen is twice as many
// columns as rows.
constexpr int sketch_columns = 32;
constexpr int sketch_rows = 12;
// No line is longer: the picture fits an 80-column terminal without wrapping.
constexpr std::size_t sketch_width = 79;

// A resolution is believed where it is positive and makes the axis between
// these many millimetres long, from a watch to a wall: a driver's
// 2147483647 per mm, or a negative one, says nothing about the screen.
constexpr double plausible_min_mm = 1;
constexpr double plausible_max_mm = 10'000;
[[nodiscard]] bool resolution_believed(axis_range axis);

using role_set = std::array<button_role, point_count>;

// Where one point falls: a cell inside the border, counted from the top
// left (the axes' minimum), and the button number that cell shows.
struct mark {
    int column;
    int row;
    int drawn; // the lowest button number among the points in this cell; 0 when the point is off
};

struct sketch_box {
    int columns; // inside the border
    int rows;
    std::array<mark, point_count> marks; // index n-1 for button n
};

// The box in the screen's shape, physical where both axes' resolutions are
// believed, and the cell of every point that is on.
[[nodiscard]] sketch_box place_points(axis_range x, axis_range y, const point_set& points);

// Another button that is on and does what button index i is for: where
// point 1 must stay off, the one that still turns the page forward.
[[nodiscard]] std::optional<std::size_t> stand_in(const role_set& roles, const point_set& points, std::size_t i);

// The picture's lines, none wider than columns (at most sketch_width): a
// heading, the box with each point's number in its cell, and beside it
// (below it, its lines broken at blanks, when that is too wide) a legend
// with what each button does and where, which points share a cell, and
// which are off. None at all when even the box does not fit.
[[nodiscard]] std::vector<std::string> sketch_lines(axis_range x, axis_range y, const point_set& points,
                                                    const role_set& roles, std::size_t columns = sketch_width);
