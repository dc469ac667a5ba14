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

} // namespace

key_map default_map()
{
    key_map map{};
    std::copy(default_mappings.begin(), default_mappings.end(), map.entries.begin());
    map.count = default_mappings.size();
    return map;
}

int button_of(const key_map& map, input_code code)
{
    const mapping* m = find(map, code);
    return m ? m->button : btn_none;
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
    const auto code = parse_code(text.substr(0, equals));
    if (!code)
        return map_error::unknown_code;
    const auto button = parse_button(text.substr(equals + 1));
    if (!button)
        return map_error::unknown_button;
    if (find(map, *code))
        return map_error::twice;
    if (map.count == map.entries.size())
        return map_error::full;
    map.entries[map.count++] = {*code, *button};
    return map_error::none;
}
