#include "setup/decide/sketch.hpp"

#include "tap/point.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>

namespace {

struct extent {
    int columns;
    int rows;
};

// In 64 bits: INT32_MIN..INT32_MAX spans more than an int holds. A range
// whose maximum is below its minimum has no extent.
std::int64_t span_of(axis_range axis)
{
    return std::max<std::int64_t>(std::int64_t{axis.maximum} - axis.minimum, 0);
}

// The largest box of the screen's shape. Its sides are millimetres where
// both axes give a resolution (units may differ per axis), otherwise the
// units themselves; a column is half as wide as a row is tall.
extent box_for(axis_range x, axis_range y)
{
    double width = static_cast<double>(span_of(x));
    double height = static_cast<double>(span_of(y));
    if (resolution_believed(x) && resolution_believed(y)) {
        width /= x.resolution;
        height /= y.resolution;
    }
    if (width <= 0 && height <= 0)
        return {1, 1};
    // Compared as products, since either side may be 0.
    if (2 * width * sketch_rows >= height * sketch_columns) {
        const auto rows = static_cast<int>(std::lround(sketch_columns * height / (2 * width)));
        return {sketch_columns, std::clamp(rows, 1, sketch_rows)};
    }
    const auto columns = static_cast<int>(std::lround(2 * width * sketch_rows / height));
    return {std::clamp(columns, 1, sketch_columns), sketch_rows};
}

// The nearest of cells along the axis: the minimum falls in the first, the
// maximum in the last, so corners land just inside the border.
int cell_of(axis_range axis, std::int32_t value, int cells)
{
    const std::int64_t span = span_of(axis);
    if (span == 0)
        return 0;
    const std::int64_t offset = std::clamp<std::int64_t>(std::int64_t{value} - axis.minimum, 0, span);
    return static_cast<int>((offset * (cells - 1) * 2 + span) / (2 * span));
}

// text in lines of at most width, broken at blanks, the lines after the
// first indented by two more; a word too long for a line of its own is cut.
std::vector<std::string> broken(const std::string& text, const std::string& indent, std::size_t width)
{
    const std::string more = indent + "  ";
    const std::size_t room = std::max<std::size_t>(width - std::min(width, more.size()), 1);
    std::vector<std::string> words;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t blank = std::min(text.find(' ', at), text.size());
        for (std::size_t cut = at; cut < blank; cut += room)
            words.push_back(text.substr(cut, std::min(room, blank - cut)));
        at = blank + 1;
    }
    std::vector<std::string> lines;
    std::string line = indent;
    for (const std::string& word : words) {
        const bool empty = line.size() == (lines.empty() ? indent.size() : more.size());
        if (!empty && line.size() + 1 + word.size() > width) {
            lines.push_back(line);
            line = more + word;
        } else {
            line += (empty ? "" : " ") + word;
        }
    }
    lines.push_back(line);
    return lines;
}

std::string button_name(const role_set& roles, std::size_t i)
{
    return std::to_string(i + 1) + ' ' + roles[i].button;
}

std::vector<std::string> box_lines(const sketch_box& box)
{
    std::vector<std::string> grid(static_cast<std::size_t>(box.rows),
                                  std::string(static_cast<std::size_t>(box.columns), ' '));
    for (const mark& m : box.marks)
        if (m.drawn != 0)
            grid[static_cast<std::size_t>(m.row)][static_cast<std::size_t>(m.column)] = static_cast<char>('0' + m.drawn);
    const std::string border = '+' + std::string(static_cast<std::size_t>(box.columns), '-') + '+';
    std::vector<std::string> lines{border};
    for (const std::string& row : grid)
        lines.push_back('|' + row + '|');
    lines.push_back(border);
    return lines;
}

// What each button does and where; a cell shows only its lowest number,
// so the others there are named; then the points that are off.
std::vector<std::string> legend_lines(const sketch_box& box, const point_set& points, const role_set& roles)
{
    std::vector<std::string> lines;
    std::string shared;
    for (std::size_t i = 0; i < point_count; ++i) {
        if (box.marks[i].drawn == 0)
            continue;
        lines.push_back(button_name(roles, i) + " = " + roles[i].purpose + " (" + std::to_string(points[i].x) +
                        ',' + std::to_string(points[i].y) + ')');
        if (box.marks[i].drawn != static_cast<int>(i + 1))
            continue;
        std::string group = std::to_string(i + 1);
        for (std::size_t j = i + 1; j < point_count; ++j)
            if (box.marks[j].drawn == static_cast<int>(i + 1))
                group += '+' + std::to_string(j + 1);
        if (group.size() > 1)
            shared += (shared.empty() ? "" : ", ") + group;
    }
    if (!shared.empty())
        lines.push_back("shared: " + shared);
    for (std::size_t i = 0; i < point_count; ++i) {
        if (box.marks[i].drawn != 0)
            continue;
        std::string line = "off: " + button_name(roles, i);
        if (const auto other = stand_in(roles, points, i))
            line += " (" + std::to_string(*other + 1) + " = " + roles[i].purpose + ')';
        lines.push_back(line);
    }
    return lines;
}

} // namespace

sketch_box place_points(axis_range x, axis_range y, const point_set& points)
{
    const extent size = box_for(x, y);
    sketch_box box{size.columns, size.rows, {}};
    for (std::size_t i = 0; i < point_count; ++i) {
        box.marks[i] = {-1, -1, 0};
        if (point_enabled(points[i].x, points[i].y))
            box.marks[i] = {cell_of(x, points[i].x, size.columns), cell_of(y, points[i].y, size.rows),
                            static_cast<int>(i + 1)};
    }
    // Points in one cell show the lowest number there; none is dropped.
    for (std::size_t i = 0; i < point_count; ++i)
        for (std::size_t j = 0; j < i && box.marks[i].drawn != 0; ++j)
            if (box.marks[j].drawn != 0 && box.marks[j].column == box.marks[i].column &&
                box.marks[j].row == box.marks[i].row) {
                box.marks[i].drawn = box.marks[j].drawn;
                break;
            }
    return box;
}

std::optional<std::size_t> stand_in(const role_set& roles, const point_set& points, std::size_t i)
{
    for (std::size_t j = 0; j < point_count; ++j)
        if (j != i && point_enabled(points[j].x, points[j].y) &&
            std::string_view(roles[j].purpose) == roles[i].purpose)
            return j;
    return std::nullopt;
}

bool resolution_believed(axis_range axis)
{
    if (axis.resolution <= 0)
        return false;
    const double mm = static_cast<double>(span_of(axis)) / axis.resolution;
    return mm >= plausible_min_mm && mm <= plausible_max_mm;
}

std::vector<std::string> sketch_lines(axis_range x, axis_range y, const point_set& points, const role_set& roles,
                                      std::size_t columns)
{
    const std::size_t width = std::min(columns, sketch_width);
    const sketch_box box = place_points(x, y, points);
    const std::vector<std::string> picture = box_lines(box);
    const std::vector<std::string> legend = legend_lines(box, points, roles);
    const std::string indent = "  ";
    const std::string gap = "  ";
    const std::size_t box_width = picture.front().size();
    if (indent.size() + box_width > width)
        return {};
    std::size_t widest = 0;
    for (const std::string& line : legend)
        widest = std::max(widest, line.size());

    std::vector<std::string> lines = broken("Where the points fall, x growing to the right and y downwards:", "", width);
    if (indent.size() + box_width + gap.size() + widest <= width) {
        for (std::size_t k = 0; k < std::max(picture.size(), legend.size()); ++k) {
            std::string line = indent + (k < picture.size() ? picture[k] : std::string(box_width, ' '));
            if (k < legend.size())
                line += gap + legend[k];
            lines.push_back(line);
        }
        return lines;
    }
    for (const std::string& line : picture)
        lines.push_back(indent + line);
    for (const std::string& line : legend)
        for (const std::string& part : broken(line, indent, width))
            lines.push_back(part);
    return lines;
}
