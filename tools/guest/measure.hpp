// The benchmarks' step: figures of a running tapbridge-remote measured on
// the guest's kernel, never judged by a test.
//
//   measure ID REMOTE CODE N IDLE_MS
//   measure ID RING N IDLE_MS
//   measure mouse N
//
// ID is the running tapbridge-remote (tapbridge running on the screen).
// With a remote and a key CODE it maps: ID's wake-ups over IDLE_MS of quiet;
// then N presses of CODE, each timed from the write of the key down into the
// uinput remote until a /dev/input/mice reader gets its packet, and until
// the touch node's reader has the whole tap; ID's CPU time over the presses;
// its memory. With a ring: the same for N gestures of the ring's kind, each
// timed from the write of its last frame (the lift of a touch or drag ring,
// the last motion event of a touchpad ring's burst, whose click comes only
// after the quiet gap), and the wake-ups over IDLE_MS again right after the
// last gesture ended. mouse: N left clicks of the scenario's own mouse,
// timed the same way, to compare with. Records: "bench NAME VALUE...", a
// ring's NAME led by its id and '_'.
#pragma once

#include "world.hpp"

#include <string>

[[nodiscard]] std::string measure_step(world& w, const std::string& rest);
