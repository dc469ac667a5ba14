#include "remote/choose.hpp"

#include "gesture/decide/place.hpp"
#include "keymap/press.hpp"

#include <algorithm>

namespace {

bool matches(const wanted& want, const device_identity& id)
{
    if (want.identity)
        return id.name == want.identity->name && id.uniq == want.identity->uniq;
    return names_device(want.given, id);
}

// Nodes with neither a unique id nor an attachment cannot be told to be one
// device: each is a device of its own.
std::string device_key(const candidate& c)
{
    std::string key = physical_device(c.id);
    // A unique id is matched in either case, and so it is compared.
    for (char& k : key)
        k = k >= 'A' && k <= 'Z' ? static_cast<char>(k - 'A' + 'a') : k;
    return key.empty() ? '\n' + c.path : key;
}

// A mouse's own buttons and wheel, which go on through the virtual mouse
// while the remote is grabbed.
bool own_mouse(const input_caps& caps)
{
    return caps.types[EV_KEY] && (caps.keys[BTN_LEFT] || caps.keys[BTN_RIGHT] || caps.keys[BTN_MIDDLE] ||
                                  (caps.types[EV_REL] && caps.rels[REL_WHEEL]));
}

// The key mousedev clicks on for a ring's contact, where it has one.
std::optional<input_code> contact_code(const input_caps& caps)
{
    const gesture_source source = source_of(caps);
    if (source == gesture_source::touch && caps.keys[BTN_TOUCH])
        return key_code(BTN_TOUCH);
    if ((source == gesture_source::touch || source == gesture_source::drag) && caps.keys[BTN_LEFT])
        return key_code(BTN_LEFT);
    return std::nullopt;
}

std::vector<mapping> entries(const key_map& map)
{
    return {map.entries.begin(), map.entries.begin() + static_cast<std::ptrdiff_t>(map.count)};
}

} // namespace

bool screen_like(const candidate& c)
{
    return (is_touch_screen(c.caps) || source_of(c.caps) == gesture_source::touch) &&
           place_of(c.id.bus, c.caps) != touch_place::ring;
}

pick pick_remote(const wanted& want, const std::vector<candidate>& all)
{
    std::vector<std::size_t> screens;
    bool mouse = false;
    std::vector<std::size_t> matched;
    const bool screen_allowed = want.identity && want.take_screen;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (!matches(want, all[i].id))
            continue;
        if (screen_like(all[i]) && !screen_allowed)
            screens.push_back(i);
        else if (is_virtual_mouse(all[i].id))
            mouse = true;
        else
            matched.push_back(i);
    }
    if (matched.empty() && !screens.empty())
        return {pick_kind::touch_screen, screens};
    if (matched.empty())
        return {mouse ? pick_kind::virtual_mouse : pick_kind::absent, {}};
    if (want.identity)
        return {pick_kind::found, {matched.front()}};
    const std::string key = device_key(all[matched.front()]);
    if (std::any_of(matched.begin(), matched.end(), [&](std::size_t i) { return device_key(all[i]) != key; }))
        return {pick_kind::several, matched};
    // Its other nodes too: a consumer-control part named apart from the keyboard part.
    std::vector<std::size_t> nodes;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (device_key(all[i]) == key && !screen_like(all[i]) && !is_virtual_mouse(all[i].id))
            nodes.push_back(i);
    return {pick_kind::found, nodes};
}

fit_verdict fit_of(const key_map& map, bool given_map, bool grab, const std::vector<const candidate*>& nodes)
{
    fit_verdict verdict{fit_kind::fits, {}, std::vector<bool>(nodes.size(), false), std::nullopt};
    const std::vector<mapping> mapped = entries(map);
    const auto declared_by = [](const candidate* c) {
        return [c](const mapping& m) { return declares_code(c->caps, m.code); };
    };
    if (given_map) {
        for (const mapping& m : mapped)
            if (std::none_of(nodes.begin(), nodes.end(), [&](const candidate* c) { return declares_code(c->caps, m.code); }))
                return {fit_kind::undeclared, m.code, verdict.take, std::nullopt};
        for (std::size_t g = 0; g < map.gesture_count; ++g)
            if (std::none_of(nodes.begin(), nodes.end(), [&](const candidate* c) {
                    return makes_gesture(c->caps, map.gestures[g].gesture);
                }))
                return {fit_kind::undeclared, {}, verdict.take, map.gestures[g].gesture};
    }
    for (std::size_t i = 0; i < nodes.size(); ++i)
        verdict.take[i] = std::any_of(mapped.begin(), mapped.end(), declared_by(nodes[i])) ||
                          (grab && own_mouse(nodes[i]->caps)) ||
                          (maps_gestures(map) && source_of(nodes[i]->caps) != gesture_source::none);
    if (std::none_of(verdict.take.begin(), verdict.take.end(), [](bool t) { return t; }))
        return {fit_kind::nothing_mapped, {}, verdict.take, std::nullopt};
    // Shared, a node mousedev feeds clicks on these codes itself, and on a
    // ring's contact.
    for (std::size_t i = 0; i < nodes.size() && !grab; ++i) {
        if (!verdict.take[i] || !nodes[i]->fed)
            continue;
        for (const mapping& m : mapped)
            if (mousedev_clicks(m.code) && declares_code(nodes[i]->caps, m.code))
                return {fit_kind::taps_twice, m.code, verdict.take, std::nullopt};
        if (const auto contact = contact_code(nodes[i]->caps); contact && maps_gestures(map))
            return {fit_kind::taps_twice, *contact, verdict.take, map.gestures[0].gesture};
    }
    return verdict;
}

std::string clicks_text(const key_map& map, bool grab, const input_caps& caps)
{
    std::string text;
    for (int button = btn_left; button <= btn_wheel_down; ++button) {
        std::string codes;
        for (const mapping& m : entries(map))
            if (m.button == button && declares_code(caps, m.code))
                codes += ' ' + code_name(m.code);
        for (std::size_t g = 0; g < map.gesture_count; ++g)
            if (map.gestures[g].button == button && makes_gesture(caps, map.gestures[g].gesture))
                codes += ' ' + gesture_name(map.gestures[g].gesture);
        if (!codes.empty())
            text += (text.empty() ? "" : ", ") + std::string(button_word(button)) + " on" + codes;
    }
    const gesture_source source = source_of(caps);
    const auto also = [&](const char* more) { text += (text.empty() ? "" : "; ") + std::string(more); };
    if (grab && source == gesture_source::drag)
        also("its left button held is a drag's contact, its other buttons and wheel go on as themselves");
    else if (grab && own_mouse(caps) && source == gesture_source::none)
        also("its own mouse buttons and wheel as themselves");
    const bool taps = source == gesture_source::touch || source == gesture_source::drag;
    const bool tap_mapped = std::any_of(map.gestures.begin(), map.gestures.begin() + static_cast<std::ptrdiff_t>(map.gesture_count),
                                        [](const gesture_mapping& m) { return m.gesture.kind == gesture_kind::tap; });
    if (taps && !tap_mapped)
        also("its taps click nothing until mapped (tapbridge-setup --learn learns them)");
    return text;
}
