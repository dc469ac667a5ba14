#include "gesture/decide/gesture.hpp"

#include "text/parse.hpp"

#include <array>
#include <cstdlib>

namespace {

struct named_swipe {
    gesture_kind kind;
    std::string_view name;
};

constexpr std::array<named_swipe, 4> swipe_names{{
    {gesture_kind::swipe_left, "SWIPE_LEFT"},
    {gesture_kind::swipe_right, "SWIPE_RIGHT"},
    {gesture_kind::swipe_up, "SWIPE_UP"},
    {gesture_kind::swipe_down, "SWIPE_DOWN"},
}};

constexpr std::string_view tap_name = "TAP";

std::optional<gesture_code> parse_place(std::string_view text)
{
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos)
        return std::nullopt;
    const auto x = parse_int(text.substr(0, comma));
    const auto y = parse_int(text.substr(comma + 1));
    if (!x || !y)
        return std::nullopt;
    return tap_at(*x, *y);
}

// How far d reaches past the threshold: compared as d / span against
// swipe_permille / 1000, in integers.
std::int64_t reach(std::int64_t d, std::int64_t span, bool placed)
{
    const std::int64_t size = std::llabs(d);
    if (!placed)
        return size > swipe_counts ? size * 1000 : 0;
    const std::int64_t whole = span > 0 ? span : 1;
    return size * 1000 > whole * swipe_permille ? size * 1000 / whole : 0;
}

} // namespace

std::optional<gesture_code> parse_gesture(std::string_view text)
{
    for (const named_swipe& s : swipe_names)
        if (text == s.name)
            return swipe(s.kind);
    if (text == tap_name)
        return any_tap;
    if (text.starts_with(tap_name) && text.substr(tap_name.size()).starts_with('@'))
        return parse_place(text.substr(tap_name.size() + 1));
    return std::nullopt;
}

std::string gesture_name(const gesture_code& code)
{
    for (const named_swipe& s : swipe_names)
        if (code.kind == s.kind)
            return std::string(s.name);
    if (!code.placed)
        return std::string(tap_name);
    return std::string(tap_name) + '@' + std::to_string(code.x) + ',' + std::to_string(code.y);
}

gesture_code gesture_of(const stroke_end& end, axis_spans spans)
{
    const std::int64_t across = reach(end.dx, spans.x, end.placed);
    const std::int64_t along = reach(end.dy, spans.y, end.placed);
    if (across == 0 && along == 0)
        return end.placed ? tap_at(end.x, end.y) : any_tap;
    if (across >= along)
        return swipe(end.dx < 0 ? gesture_kind::swipe_left : gesture_kind::swipe_right);
    return swipe(end.dy < 0 ? gesture_kind::swipe_up : gesture_kind::swipe_down);
}
