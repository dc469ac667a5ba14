// The steps that play a ring's gestures (rings.hpp): stroke, rel and
// contact (steps.hpp says what each sends). The paced ones keep real time
// between frames: tapbridge-remote tells one stroke from the next by the
// quiet gap between them.
#pragma once

#include "world.hpp"

#include <optional>
#include <string>
#include <vector>

constexpr int stroke_gap_ms = 30; // between a stroke's frames, as the rings users measured send them
constexpr int rel_gap_ms = 35;    // between a touchpad ring's motion events

// A stroke's frames, as stroke sends them, updating the ring's contact: a
// contact put down at the first point, moved to each further one, lifted; a
// drag's button pressed, a move of each point (DX,DY), released; a pad's
// moves alone. Empty when a point is no X,Y or the ring cannot do that now
// (a contact already down, no ring); the contact may then have changed.
[[nodiscard]] std::optional<std::vector<std::vector<tap_event>>> stroke_frames(remote_device& ring,
                                                                               const std::vector<std::string>& points);

// Plays stroke, rel or contact. Returns an empty string, or why it failed.
[[nodiscard]] std::string gesture_step(world& w, const std::string& verb, const std::string& rest);
