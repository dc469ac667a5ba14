#include "lift.hpp"

namespace {

bool slot_followable(std::int32_t slot)
{
    return slot >= 0 && static_cast<std::size_t>(slot) < followed_slots;
}

void track_axis(lift_tracker& t, const tap_event& e)
{
    switch (e.code) {
    case ABS_MT_SLOT:
        t.slot = e.value;
        break;
    case ABS_MT_TRACKING_ID:
        if (e.value >= 0 && t.followed < 0 && slot_followable(t.slot))
            t.followed = t.slot;
        else if (e.value < 0 && t.followed >= 0 && t.followed == t.slot)
            t.lifting = true;
        break;
    case ABS_MT_POSITION_X:
        if (slot_followable(t.slot))
            t.last[static_cast<std::size_t>(t.slot)].x = e.value;
        break;
    case ABS_MT_POSITION_Y:
        if (slot_followable(t.slot))
            t.last[static_cast<std::size_t>(t.slot)].y = e.value;
        break;
    default:
        break;
    }
}

} // namespace

lift_tracker start_tracking(std::int32_t slot, const std::array<point, followed_slots>& last)
{
    return {slot, -1, false, last};
}

std::optional<point> track(lift_tracker& t, const tap_event& e)
{
    if (e.type == EV_ABS) {
        track_axis(t, e);
    } else if (e.type == EV_KEY && e.code == BTN_TOUCH) {
        // BTN_TOUCH goes up only when the last finger leaves. Going down it
        // begins a contact on screens that send no tracking id.
        if (e.value == 1 && t.followed < 0 && slot_followable(t.slot))
            t.followed = t.slot;
        else if (e.value == 0 && t.followed >= 0)
            t.lifting = true;
    } else if (e.type == EV_SYN && e.code == SYN_REPORT && t.lifting) {
        const point at = t.last[static_cast<std::size_t>(t.followed)];
        t.followed = -1;
        t.lifting = false;
        return at;
    }
    return std::nullopt;
}
