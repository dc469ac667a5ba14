#include "keymap/key_map.hpp"

#include <algorithm>

namespace {

constexpr std::array<const char*, 6> button_words{"", "left", "right", "middle", "wheel-up", "wheel-down"};
static_assert(btn_left == 1 && btn_wheel_down == 5, "button_words is indexed by button code");

const mapping* find(const key_map& map, input_code code)
{
    const auto end = map.entries.begin() + static_cast<std::ptrdiff_t>(map.count);
    const auto found = std::find_if(map.entries.begin(), end, [&](const mapping& m) { return m.code == code; });
    return found == end ? nullptr : &*found;
}

const gesture_mapping* find(const key_map& map, const gesture_code& gesture)
{
    const auto end = map.gestures.begin() + static_cast<std::ptrdiff_t>(map.gesture_count);
    const auto found = std::find_if(map.gestures.begin(), end, [&](const gesture_mapping& m) { return m.gesture == gesture; });
    return found == end ? nullptr : &*found;
}

std::int64_t distance_squared(const gesture_code& a, const gesture_code& b)
{
    const std::int64_t dx = std::int64_t{a.x} - b.x;
    const std::int64_t dy = std::int64_t{a.y} - b.y;
    return dx * dx + dy * dy;
}

// The placed tap entry nearest to the tap; the first of equals.
const gesture_mapping* nearest(const key_map& map, const gesture_code& tap)
{
    const gesture_mapping* best = nullptr;
    for (std::size_t i = 0; i < map.gesture_count; ++i) {
        const gesture_mapping& m = map.gestures[i];
        if (m.gesture.kind == gesture_kind::tap && m.gesture.placed &&
            (!best || distance_squared(m.gesture, tap) < distance_squared(best->gesture, tap)))
            best = &m;
    }
    return best;
}

map_error add_gesture(key_map& map, const gesture_code& gesture, int button)
{
    if (find(map, gesture))
        return map_error::twice;
    if (map.gesture_count == map.gestures.size())
        return map_error::full;
    map.gestures[map.gesture_count++] = {gesture, button};
    return map_error::none;
}

} // namespace

key_map default_map(int next_page)
{
    key_map map{};
    std::copy(default_mappings.begin(), default_mappings.end(), map.entries.begin());
    map.count = default_mappings.size();
    std::copy(default_gesture_mappings.begin(), default_gesture_mappings.end(), map.gestures.begin());
    map.gesture_count = default_gesture_mappings.size();
    for (std::size_t i = 0; i < map.count; ++i)
        if (map.entries[i].button == btn_left)
            map.entries[i].button = next_page;
    for (std::size_t i = 0; i < map.gesture_count; ++i)
        if (map.gestures[i].button == btn_left)
            map.gestures[i].button = next_page;
    return map;
}

int button_of(const key_map& map, input_code code)
{
    const mapping* m = find(map, code);
    return m ? m->button : btn_none;
}

int button_of(const key_map& map, const gesture_code& gesture)
{
    if (gesture.kind != gesture_kind::tap || !gesture.placed) {
        const gesture_mapping* m = find(map, gesture);
        return m ? m->button : btn_none;
    }
    if (const gesture_mapping* m = nearest(map, gesture))
        return m->button;
    const gesture_mapping* any = find(map, any_tap);
    return any ? any->button : btn_none;
}

bool maps_gestures(const key_map& map)
{
    return map.gesture_count > 0;
}

std::optional<int> parse_button(std::string_view word)
{
    for (int button = btn_left; button <= btn_wheel_down; ++button)
        if (word == button_words[static_cast<std::size_t>(button)])
            return button;
    return std::nullopt;
}

const char* button_word(int button)
{
    return button >= btn_left && button <= btn_wheel_down ? button_words[static_cast<std::size_t>(button)] : "none";
}

map_error add_mapping(key_map& map, std::string_view text)
{
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos)
        return map_error::no_equals;
    const auto gesture = parse_gesture(text.substr(0, equals));
    const auto code = gesture ? std::nullopt : parse_code(text.substr(0, equals));
    if (!code && !gesture)
        return map_error::unknown_code;
    const auto button = parse_button(text.substr(equals + 1));
    if (!button)
        return map_error::unknown_button;
    if (gesture)
        return add_gesture(map, *gesture, *button);
    if (find(map, *code))
        return map_error::twice;
    if (map.count == map.entries.size())
        return map_error::full;
    map.entries[map.count++] = {*code, *button};
    return map_error::none;
}
