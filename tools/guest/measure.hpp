// The benchmark's step: figures of a running tapbridge-remote measured on
// the guest's kernel, never judged by a test.
//
//   measure ID REMOTE CODE N IDLE_MS
//
// with ID the running tapbridge-remote (and tapbridge running on the
// screen), REMOTE one of its remotes and CODE a key it maps: first ID's
// wake-ups over IDLE_MS of quiet; then N presses of CODE, and N clicks of the
// scenario's own mouse for comparison, each timed from the write into the
// uinput device until a /dev/input/mice reader gets its packet, and until the
// touch node's reader has the whole tap; ID's CPU time over the presses; its
// memory. Records: "bench NAME VALUE...".
#pragma once

#include "world.hpp"

#include <string>

[[nodiscard]] std::string measure_step(world& w, const std::string& rest);
