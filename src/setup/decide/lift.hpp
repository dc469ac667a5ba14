// Following one finger on a multitouch screen until it lifts, and what that
// contact answers: the point where it lifted, "leave it off" (one finger
// held still), or "stop" (a second finger). Touch alone answers --pick,
// since a device's on-screen keyboard gets no touches while the screen is
// held.
#pragma once

#include "setup/decide/layout.hpp"
#include "tap/touch.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// A finger held still at least this long leaves the point off. Kernel event
// time, in microseconds.
constexpr std::int64_t hold_us = 1'000'000;

// How far a finger may stray from where it came down, along each axis, and
// still count as held still.
struct still_box {
    std::int64_t x;
    std::int64_t y;
};

// 2 % of each axis' span, at least 4 units: a resting finger still jitters
// by a few units, a finger that means a point moves further.
[[nodiscard]] still_box still_box_for(axis_range x, axis_range y);

// One slot's contact, as libevdev keeps it.
struct slot_state {
    // Its last position: the kernel sends a value only when it changes, so
    // a finger that comes down where the last one was brings none.
    point last;
    bool down; // a contact in the slot
};

// The screen's contacts at one moment, as libevdev keeps them.
struct touch_state {
    bool tracking_ids;  // contacts begin and end with ABS_MT_TRACKING_ID (slots);
                        // else with BTN_TOUCH, one SYN_MT_REPORT per contact
    std::int32_t slot;  // the slot the next ABS_MT values belong to
    bool touching;      // BTN_TOUCH: some finger is down
    // Every slot the screen declares (ABS_MT_SLOT 0..maximum), one for a
    // screen without slots. A driver may number its slots by the
    // controller's contact id, so a single finger can come in any of them;
    // a slot past these is none the kernel keeps.
    std::vector<slot_state> slots;
};

struct lift_tracker {
    touch_state now;
    still_box still;
    std::int32_t followed; // the slot of the contact followed; -1 until one begins
    bool followed_down;    // it has not lifted yet
    bool beginning;        // it began in the current frame: where is known at its end
    bool lifting;          // it ended in the current frame
    bool moved;            // it left the still box around where it came down
    bool second_finger;    // another contact began while it was down
    bool other_began;      // another contact began in the current frame
    point came_down;
    point lifted;
    std::int64_t began_us;
    std::int64_t held_us;
    int contacts; // SYN_MT_REPORTs with a position in the current frame
    bool placed;  // a position since the last SYN_MT_REPORT
};

// What a followed contact did, once it is over.
struct contact {
    point lifted;          // its last position
    std::int64_t held_us;  // from the frame it began in to the frame it ended in
    bool moved;            // it left the still box at some moment
    bool second_finger;    // another contact began while it was down
};

enum class gesture { point, off, stop };

// A second finger stops; one finger that stayed in its still box for at
// least hold_us leaves the point off; any other contact gives its point,
// also one that moved and then rested.
[[nodiscard]] gesture meaning(const contact& c);

// A tracker that starts from the screen's state now. A contact already down
// is not followed; only one that begins later.
[[nodiscard]] lift_tracker start_tracking(const touch_state& state, still_box still);

// Feeds one event, stamped with its kernel time in microseconds. Returns the
// followed contact at the SYN_REPORT of the frame that decides it: the one
// it lifted in; after a second finger, the one the last finger lifted in, so
// that no half-gesture is left to whoever reads the screen next.
[[nodiscard]] std::optional<contact> track(lift_tracker& tracker, const tap_event& event, std::int64_t time_us);
