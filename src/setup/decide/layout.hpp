// The five points of tapbridge's command line, and the default layout
// computed from a screen's range.
#pragma once

#include "mouse/mouse.hpp"
#include "setup/facts.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

struct point {
    std::int32_t x;
    std::int32_t y;
};

constexpr point point_off{-1, -1};
constexpr std::size_t point_count = 5;
// Index n-1 holds the point of button code n.
using point_set = std::array<point, point_count>;

// What a button is for, and where it taps by default: percentages of the
// span from each axis' minimum.
struct button_role {
    const char* button;
    const char* purpose;
    int x_percent;
    int y_percent;
};

// Page turning, the reader's layout: the right edge goes forward, the left
// edge back, the top centre opens the menu; the wheel pages as well.
constexpr std::array<button_role, point_count> page_turning{{
    {"left", "next page", 85, 50},
    {"right", "previous page", 15, 50},
    {"middle", "menu", 50, 5},
    {"wheel up", "previous page", 15, 50},
    {"wheel down", "next page", 85, 50},
}};
static_assert(btn_left == 1 && btn_right == 2 && btn_middle == 3 && btn_wheel_up == 4 && btn_wheel_down == 5,
              "page_turning is indexed by button code - 1");

// True when the axis has values tapbridge can be given: it reads a
// negative coordinate as "off", so at least 0..maximum must be non-negative.
[[nodiscard]] bool range_usable(axis_range axis);

// How far the part of the axis tapbridge can be given reaches beyond its
// lowest value; 0 when every point lands on one value (a 0..0 range).
[[nodiscard]] std::int64_t usable_span(axis_range axis);

// value moved into the part of the axis tapbridge can be given.
[[nodiscard]] std::int32_t inside(axis_range axis, std::int64_t value);

// minimum + percent of the span, kept inside; no overflow for any range.
[[nodiscard]] std::int32_t at_percent(axis_range axis, int percent);

// The page-turning layout over the two axes; point 1 off where asked.
[[nodiscard]] point_set default_points(axis_range x, axis_range y, bool left_off);

// The first two enabled points, by index, that tap one spot for different
// purposes: a layout squeezed into too small a range can do neither job.
[[nodiscard]] std::optional<std::array<std::size_t, 2>> merged_purposes(const point_set& points);

// An X screen of size pixels along one axis, as a range.
[[nodiscard]] constexpr axis_range pixel_range(int size)
{
    return {0, size - 1, 0};
}

// The layout in an X screen's pixels, for a MODE 1 line: none unless the
// server answered, has XTEST, and has a size.
[[nodiscard]] std::optional<point_set> x_mode_points(const display_facts& x, bool left_off);
