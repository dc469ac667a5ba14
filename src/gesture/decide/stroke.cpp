#include "gesture/decide/stroke.hpp"

#include <algorithm>

namespace {

void begin(stroke& s, const stroke_frame& f, stroke_phase phase)
{
    s = {phase, f.placed, f.x, f.y, f.x, f.y, 0, 0, 0};
}

void carry_on(stroke& s, const stroke_frame& f, std::int64_t now_ms)
{
    if (f.placed) {
        s.x = f.x;
        s.y = f.y;
    }
    s.rel_x += f.rel_x;
    s.rel_y += f.rel_y;
    if (f.rel_x != 0 || f.rel_y != 0)
        s.last_motion_ms = now_ms;
}

// Where the stroke went: by positions where the ring gives them, else by
// its summed motion (a drag, a touchpad stroke).
stroke_end end_of(stroke& s)
{
    const stroke_end end = s.placed ? stroke_end{true, s.x, s.y, std::int64_t{s.x} - s.x0, std::int64_t{s.y} - s.y0}
                                    : stroke_end{false, 0, 0, s.rel_x, s.rel_y};
    s = no_stroke;
    return end;
}

bool moves(const stroke_frame& f)
{
    return f.rel_x != 0 || f.rel_y != 0;
}

} // namespace

std::optional<stroke_end> after_frame(stroke& s, const stroke_frame& f, std::int64_t now_ms)
{
    if (f.released_by_kernel) {
        s = no_stroke;
        return std::nullopt;
    }
    switch (s.phase) {
    case stroke_phase::idle:
        if (f.contact || f.pressed) {
            begin(s, f, stroke_phase::contact);
            carry_on(s, f, now_ms);
            // Down and up within one frame: a tap there.
            return f.contact ? std::nullopt : std::optional(end_of(s));
        }
        if (moves(f)) {
            begin(s, f, stroke_phase::burst);
            carry_on(s, f, now_ms);
        }
        return std::nullopt;
    case stroke_phase::burst:
        // A button pressed in mid-burst makes the burst part of a drag.
        if (f.contact)
            s.phase = stroke_phase::contact;
        carry_on(s, f, now_ms);
        return std::nullopt;
    case stroke_phase::contact:
        carry_on(s, f, now_ms);
        return f.contact ? std::nullopt : std::optional(end_of(s));
    }
    return std::nullopt;
}

std::optional<stroke_end> after_quiet(stroke& s, std::int64_t now_ms)
{
    if (quiet_left_ms(s, now_ms) != 0)
        return std::nullopt;
    return end_of(s);
}

std::int64_t quiet_left_ms(const stroke& s, std::int64_t now_ms)
{
    if (s.phase != stroke_phase::burst)
        return -1;
    return std::max<std::int64_t>(0, s.last_motion_ms + burst_gap_ms - now_ms);
}
