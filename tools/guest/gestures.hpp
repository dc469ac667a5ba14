// The steps that play a ring's gestures (rings.hpp): stroke, rel and
// contact (steps.hpp says what each sends). The paced ones keep real time
// between frames: tapbridge-remote tells one stroke from the next by the
// quiet gap between them.
#pragma once

#include "world.hpp"

#include <string>

// Plays stroke, rel or contact. Returns an empty string, or why it failed.
[[nodiscard]] std::string gesture_step(world& w, const std::string& verb, const std::string& rest);
