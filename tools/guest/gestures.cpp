#include "gestures.hpp"

#include "rings.hpp"
#include "script.hpp"

#include <algorithm>

namespace {

using frame = std::vector<tap_event>;

// Writes the frames, each at least gap_ms after the one before it was
// written: a busy guest may stretch a gap, never shorten it, so that a quiet
// gap a row asks for is one the programs see. The witnesses are collected
// meanwhile.
std::string play_frames(world& w, const remote_device& ring, const std::vector<frame>& frames, int gap_ms)
{
    long long written = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        for (long long left; i > 0 && (left = written + gap_ms * 1000LL - now_us()) > 0;)
            collect_for(w, static_cast<int>((left + 999) / 1000));
        if (!emit(ring.device, frames[i]))
            return "cannot write to " + ring.id;
        written = now_us();
    }
    return {};
}

// The words after ID, with a trailing "every MS" taken off into gap_ms.
// False when MS is no number of 0 or more.
bool take_every(std::vector<std::string>& words, int& gap_ms)
{
    if (words.size() < 2 || words[words.size() - 2] != "every")
        return true;
    const auto ms = parse_number(words.back());
    if (!ms || *ms < 0)
        return false;
    gap_ms = *ms;
    words.resize(words.size() - 2);
    return true;
}

std::optional<std::pair<int, int>> parse_point(std::string_view word)
{
    const auto comma = word.find(',');
    if (comma == std::string_view::npos)
        return std::nullopt;
    const auto x = parse_number(word.substr(0, comma));
    const auto y = parse_number(word.substr(comma + 1));
    if (!x || !y)
        return std::nullopt;
    return std::pair{*x, *y};
}

std::string stroke_step(world& w, remote_device& ring, std::vector<std::string> words)
{
    int gap_ms = stroke_gap_ms;
    const fingers before = ring.contact;
    const auto frames = take_every(words, gap_ms) ? stroke_frames(ring, words) : std::nullopt;
    if (!frames) {
        ring.contact = before;
        return "stroke RING X,Y X,Y... [every MS] (DX,DY on a pad or drag), on a ring with no contact down";
    }
    return play_frames(w, ring, *frames, gap_ms);
}

std::string rel_step(world& w, remote_device& ring, std::vector<std::string> words)
{
    int gap_ms = rel_gap_ms;
    const bool timed = take_every(words, gap_ms);
    const auto dx = words.size() == 3 ? parse_number(words[0]) : std::nullopt;
    const auto dy = words.size() == 3 ? parse_number(words[1]) : std::nullopt;
    const auto count = words.size() == 3 ? parse_number(words[2]) : std::nullopt;
    const auto motion = dx && dy ? contact_frame(ring, finger_action::move, *dx, *dy) : std::nullopt;
    if (!timed || !motion || places_contact(ring.kind) || (*dx == 0 && *dy == 0) || !count || *count < 1)
        return "rel RING DX DY COUNT [every MS], on a pad or drag ring; DX or DY not 0, COUNT 1 or more";
    return play_frames(w, ring, std::vector<frame>(static_cast<std::size_t>(*count), *motion), gap_ms);
}

std::string contact_step(world& w, remote_device& ring, const std::vector<std::string>& words)
{
    const auto action = words.empty()        ? std::nullopt
                        : words[0] == "down" ? std::optional(finger_action::down)
                        : words[0] == "move" ? std::optional(finger_action::move)
                        : words[0] == "up"   ? std::optional(finger_action::up)
                                             : std::nullopt;
    // A place for a move, and for a contact put down; none for a lift or a button.
    const bool placed = action == finger_action::move || (action == finger_action::down && places_contact(ring.kind));
    const auto x = placed && words.size() == 3 ? parse_number(words[1]) : std::nullopt;
    const auto y = placed && words.size() == 3 ? parse_number(words[2]) : std::nullopt;
    const bool fits = action && (placed ? x && y : words.size() == 1);
    const auto events = fits ? contact_frame(ring, *action, x.value_or(0), y.value_or(0)) : std::nullopt;
    if (!events)
        return "contact RING down X Y | move X Y | up, on a ring with a contact (a drag: down, move DX DY, up), "
               "down while it is up, move and up while it is down";
    return play_frames(w, ring, {*events}, 0);
}

} // namespace

std::optional<std::vector<frame>> stroke_frames(remote_device& ring, const std::vector<std::string>& points)
{
    const bool placed = places_contact(ring.kind);
    const bool button = ring.kind != remote_kind::pad;
    std::vector<frame> frames;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto point = parse_point(points[i]);
        if (!point)
            return std::nullopt;
        const auto [x, y] = *point;
        if (i == 0 && button && !placed)
            frames.push_back(contact_frame(ring, finger_action::down, 0, 0).value_or(frame{}));
        frames.push_back(
            contact_frame(ring, i == 0 && placed ? finger_action::down : finger_action::move, x, y).value_or(frame{}));
    }
    if (button)
        frames.push_back(contact_frame(ring, finger_action::up, 0, 0).value_or(frame{}));
    // An empty frame: the ring could not do that (a contact already down, no ring).
    if (frames.empty() || std::any_of(frames.begin(), frames.end(), [](const frame& f) { return f.empty(); }))
        return std::nullopt;
    return frames;
}

std::string gesture_step(world& w, const std::string& verb, const std::string& rest)
{
    auto words = split_words(rest);
    remote_device* ring = words.empty() ? nullptr : find_remote(w, words[0]);
    if (!ring || !is_ring(ring->kind))
        return verb + ": the first word names a ring (finger, pen, pad, drag, fingerkeys) made by a remote step";
    if (!ring->device)
        return verb + ": " + ring->id + " is unplugged";
    words.erase(words.begin());
    if (verb == "stroke")
        return stroke_step(w, *ring, words);
    if (verb == "rel")
        return rel_step(w, *ring, words);
    return contact_step(w, *ring, words);
}
