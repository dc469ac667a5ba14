#include "setup/decide/layout.hpp"

#include <algorithm>
#include <string_view>

bool range_usable(axis_range axis)
{
    return axis.maximum >= 0 && axis.maximum >= axis.minimum;
}

std::int64_t usable_span(axis_range axis)
{
    if (!range_usable(axis))
        return 0;
    return std::int64_t{axis.maximum} - std::max<std::int64_t>(axis.minimum, 0);
}

std::int32_t inside(axis_range axis, std::int64_t value)
{
    const std::int64_t low = std::max<std::int64_t>(axis.minimum, 0);
    return static_cast<std::int32_t>(std::min<std::int64_t>(std::max(value, low), axis.maximum));
}

std::int32_t at_percent(axis_range axis, int percent)
{
    // In 64 bits: a span of INT32_MIN..INT32_MAX times 100 still fits.
    const std::int64_t span = std::int64_t{axis.maximum} - axis.minimum;
    return inside(axis, axis.minimum + span * percent / 100);
}

point_set default_points(axis_range x, axis_range y, bool left_off)
{
    point_set points{};
    for (std::size_t i = 0; i < point_count; ++i)
        points[i] = {at_percent(x, page_turning[i].x_percent), at_percent(y, page_turning[i].y_percent)};
    if (left_off)
        points[btn_left - 1] = point_off;
    return points;
}

std::optional<std::array<std::size_t, 2>> merged_purposes(const point_set& points)
{
    for (std::size_t i = 0; i < point_count; ++i)
        for (std::size_t j = i + 1; j < point_count; ++j)
            if (points[i].x >= 0 && points[i].y >= 0 && points[i].x == points[j].x && points[i].y == points[j].y &&
                std::string_view(page_turning[i].purpose) != page_turning[j].purpose)
                return std::array<std::size_t, 2>{i, j};
    return std::nullopt;
}

std::optional<point_set> x_mode_points(const display_facts& x, bool left_off)
{
    const axis_range width = pixel_range(x.width);
    const axis_range height = pixel_range(x.height);
    if (!x.opened || !x.xtest || !range_usable(width) || !range_usable(height))
        return std::nullopt;
    return default_points(width, height, left_off);
}
