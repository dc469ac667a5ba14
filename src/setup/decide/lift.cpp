#include "setup/decide/lift.hpp"

#include <algorithm>
#include <cstdlib>

namespace {

// The slot's state, or null for a slot the screen does not have.
slot_state* slot_of(touch_state& s, std::int32_t slot)
{
    if (slot < 0 || static_cast<std::size_t>(slot) >= s.slots.size())
        return nullptr;
    return &s.slots[static_cast<std::size_t>(slot)];
}

void begin_contact(lift_tracker& t)
{
    t.followed = t.now.slot;
    t.followed_down = true;
    t.beginning = true;
}

// A tracking id begins or ends the contact in the current slot.
void track_id(lift_tracker& t, std::int32_t id)
{
    slot_state* slot = slot_of(t.now, t.now.slot);
    if (slot)
        slot->down = id >= 0;
    if (id >= 0 && t.followed < 0 && slot)
        begin_contact(t);
    else if (id >= 0 && t.followed_down && t.now.slot != t.followed)
        t.other_began = true;
    else if (id < 0 && t.followed_down && t.now.slot == t.followed)
        t.lifting = true;
}

void track_axis(lift_tracker& t, const tap_event& e)
{
    switch (e.code) {
    case ABS_MT_SLOT:
        t.now.slot = e.value;
        break;
    case ABS_MT_TRACKING_ID:
        if (t.now.tracking_ids)
            track_id(t, e.value);
        break;
    case ABS_MT_POSITION_X:
    case ABS_MT_POSITION_Y:
        if (slot_state* slot = slot_of(t.now, t.now.slot)) {
            (e.code == ABS_MT_POSITION_X ? slot->last.x : slot->last.y) = e.value;
            t.placed = true;
        }
        break;
    default:
        break;
    }
}

// BTN_TOUCH goes up only when the last finger leaves. Without tracking ids
// it also begins and ends the contact followed.
void track_touch(lift_tracker& t, bool touching)
{
    t.now.touching = touching;
    if (t.now.tracking_ids)
        return;
    if (touching && t.followed < 0 && slot_of(t.now, t.now.slot))
        begin_contact(t);
    else if (!touching && t.followed_down)
        t.lifting = true;
}

bool all_lifted(const touch_state& s)
{
    return !s.touching && std::none_of(s.slots.begin(), s.slots.end(), [](const slot_state& c) { return c.down; });
}

bool strayed(still_box still, point from, point to)
{
    return std::llabs(std::int64_t{to.x} - from.x) > still.x || std::llabs(std::int64_t{to.y} - from.y) > still.y;
}

// At a frame's end the positions of the frame are known.
std::optional<contact> end_frame(lift_tracker& t, std::int64_t time_us)
{
    // Without slots every contact down is reported in each frame.
    const bool two = t.other_began || (!t.now.tracking_ids && t.contacts > 1);
    t.other_began = false;
    t.contacts = 0;
    t.placed = false;
    if (t.followed < 0)
        return std::nullopt;
    const point at = slot_of(t.now, t.followed)->last;
    if (t.beginning) {
        t.came_down = at;
        t.began_us = time_us;
        t.beginning = false;
    } else if (t.followed_down && strayed(t.still, t.came_down, at)) {
        t.moved = true;
    }
    // Two fingers down together in this frame's state; a finger that comes
    // down in the frame the followed one lifts in never touched beside it.
    if (two && t.followed_down && !t.lifting)
        t.second_finger = true;
    if (t.lifting) {
        t.lifting = false;
        t.followed_down = false;
        t.lifted = at;
        t.held_us = time_us - t.began_us;
    }
    if (t.followed_down || (t.second_finger && !all_lifted(t.now)))
        return std::nullopt;
    const contact done{t.lifted, t.held_us, t.moved, t.second_finger};
    t = start_tracking(t.now, t.still);
    return done;
}

} // namespace

still_box still_box_for(axis_range x, axis_range y)
{
    const auto box = [](axis_range a) {
        return std::max<std::int64_t>((std::int64_t{a.maximum} - a.minimum) / 50, 4);
    };
    return {box(x), box(y)};
}

gesture meaning(const contact& c)
{
    if (c.second_finger)
        return gesture::stop;
    if (!c.moved && c.held_us >= hold_us)
        return gesture::off;
    return gesture::point;
}

lift_tracker start_tracking(const touch_state& state, still_box still)
{
    return {state, still, -1, false, false, false, false, false, false, {}, {}, 0, 0, 0, false};
}

std::optional<contact> track(lift_tracker& t, const tap_event& e, std::int64_t time_us)
{
    if (e.type == EV_ABS) {
        track_axis(t, e);
    } else if (e.type == EV_KEY && e.code == BTN_TOUCH) {
        track_touch(t, e.value != 0);
    } else if (e.type == EV_SYN && e.code == SYN_MT_REPORT) {
        t.contacts += t.placed ? 1 : 0;
        t.placed = false;
    } else if (e.type == EV_SYN && e.code == SYN_REPORT) {
        return end_frame(t, time_us);
    }
    return std::nullopt;
}
