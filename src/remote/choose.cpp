#include "remote/choose.hpp"

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

std::vector<mapping> entries(const key_map& map)
{
    return {map.entries.begin(), map.entries.begin() + static_cast<std::ptrdiff_t>(map.count)};
}

} // namespace

pick pick_remote(const wanted& want, const std::vector<candidate>& all)
{
    bool touch = false;
    bool mouse = false;
    std::vector<std::size_t> matched;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (!matches(want, all[i].id))
            continue;
        if (is_touch_screen(all[i].caps))
            touch = true;
        else if (is_virtual_mouse(all[i].id))
            mouse = true;
        else
            matched.push_back(i);
    }
    if (matched.empty())
        return {touch ? pick_kind::touch_screen : mouse ? pick_kind::virtual_mouse : pick_kind::absent, {}};
    if (want.identity)
        return {pick_kind::found, {matched.front()}};
    const std::string key = device_key(all[matched.front()]);
    if (std::any_of(matched.begin(), matched.end(), [&](std::size_t i) { return device_key(all[i]) != key; }))
        return {pick_kind::several, matched};
    // Its other nodes too: a consumer-control part named apart from the keyboard part.
    std::vector<std::size_t> nodes;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (device_key(all[i]) == key && !is_touch_screen(all[i].caps) && !is_virtual_mouse(all[i].id))
            nodes.push_back(i);
    return {pick_kind::found, nodes};
}

fit_verdict fit_of(const key_map& map, bool given_map, bool grab, const std::vector<const candidate*>& nodes)
{
    fit_verdict verdict{fit_kind::fits, {}, std::vector<bool>(nodes.size(), false)};
    const std::vector<mapping> mapped = entries(map);
    const auto declared_by = [](const candidate* c) {
        return [c](const mapping& m) { return declares_code(c->caps, m.code); };
    };
    if (given_map)
        for (const mapping& m : mapped)
            if (std::none_of(nodes.begin(), nodes.end(), [&](const candidate* c) { return declares_code(c->caps, m.code); }))
                return {fit_kind::undeclared, m.code, verdict.take};
    for (std::size_t i = 0; i < nodes.size(); ++i)
        verdict.take[i] = std::any_of(mapped.begin(), mapped.end(), declared_by(nodes[i])) ||
                          (grab && own_mouse(nodes[i]->caps));
    if (std::none_of(verdict.take.begin(), verdict.take.end(), [](bool t) { return t; }))
        return {fit_kind::nothing_mapped, {}, verdict.take};
    // Shared, a node mousedev feeds clicks on these codes itself.
    for (std::size_t i = 0; i < nodes.size() && !grab; ++i)
        for (const mapping& m : mapped)
            if (verdict.take[i] && nodes[i]->fed && mousedev_clicks(m.code) && declares_code(nodes[i]->caps, m.code))
                return {fit_kind::taps_twice, m.code, verdict.take};
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
        if (!codes.empty())
            text += (text.empty() ? "" : ", ") + std::string(button_word(button)) + " on" + codes;
    }
    if (grab && own_mouse(caps))
        text += (text.empty() ? "" : "; ") + std::string("its own mouse buttons and wheel as themselves");
    return text;
}
