// The rings: remotes that send no keys of their own but pretend to be a
// finger, a pen, a touchpad or a mouse, and turn pages by gestures. What
// each declares is what users found in their evtest output:
//
//   finger      a multitouch digitizer (slots 0..4, tracking ids, positions),
//               BTN_TOUCH, and ABS_X/ABS_Y following the contact, as pointer
//               emulation does; INPUT_PROP_DIRECT
//   pen         BTN_TOUCH with BTN_TOOL_PEN, ABS_X/ABS_Y, and MSC_SCAN: the
//               HID usage a digitizer sends along with a button change;
//               INPUT_PROP_DIRECT
//   pad         REL_X and REL_Y alone: a touchpad's strokes, no button at all
//   drag        a HID mouse (BTN_LEFT, BTN_RIGHT, REL_X, REL_Y, REL_WHEEL)
//               whose gestures are drags with the left button
//   fingerkeys  finger, and media keys on the same node
//
// finger, pen and fingerkeys take their range, resolution and
// INPUT_PROP_DIRECT from the remote (remotes.hpp).
#pragma once

#include "devices.hpp"
#include "remotes.hpp"

#include <array>
#include <optional>
#include <vector>

struct libevdev;

// Where finger, pen and fingerkeys put their contact unless a scenario
// gives another range: XMIN XMAX YMIN YMAX.
constexpr std::array<int, 4> default_ring_range{0, 4095, 0, 4095};

[[nodiscard]] bool is_ring(remote_kind kind);

// finger, pen and fingerkeys: their contact has a place; pad and drag only
// move.
[[nodiscard]] bool places_contact(remote_kind kind);

void declare_ring(libevdev* device, const remote_device& ring);

// The contact state of a remote of kind as it is made: nothing down.
[[nodiscard]] fingers no_contact(remote_kind kind);

// The records of one frame of the ring's contact, updating it: down puts it
// down at X Y (drag: presses BTN_LEFT), move takes it to X Y (pad, drag:
// moves it by X Y), up lifts it (drag: releases BTN_LEFT). Empty when the
// ring cannot do that now: a contact down twice, moved or lifted while up,
// a pad's button, a remote that is no ring.
[[nodiscard]] std::optional<std::vector<tap_event>> contact_frame(remote_device& ring, finger_action action, int x,
                                                                  int y);
