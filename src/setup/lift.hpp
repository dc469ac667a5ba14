// Following one finger on a multitouch screen until it lifts: where it
// lifts is the point picked.
#pragma once

#include "../tap/touch.hpp"
#include "layout.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

// Slots beyond these are not followed; a finger there is ignored.
constexpr std::size_t followed_slots = 16;

struct lift_tracker {
    std::int32_t slot;     // the slot the next ABS_MT values belong to
    std::int32_t followed; // the slot of the contact followed; -1 until one begins
    bool lifting;          // the followed contact ended in the current frame
    // Each slot's last position: the kernel sends a value only when it
    // changes, so a finger that comes down where the last one was brings none.
    std::array<point, followed_slots> last;
};

// A tracker that starts now: slot and last are the device's state at this
// moment. A contact already down is not followed; only one that begins later.
[[nodiscard]] lift_tracker start_tracking(std::int32_t slot, const std::array<point, followed_slots>& last);

// Feeds one event. At the SYN_REPORT of the frame in which the followed
// contact ended, returns its last position. Works for slotted (type B)
// screens, where a tracking id begins and ends a contact, and for screens
// without slots, where BTN_TOUCH does.
[[nodiscard]] std::optional<point> track(lift_tracker& tracker, const tap_event& event);
