// A single-finger tap written straight into a touch screen's event node.
#pragma once

#include <cstdint>

// Writes one input_event record in one write(); reports a failed write.
void write_event(int fd, std::uint16_t type, std::uint16_t code, std::int32_t value);

// Writes the twelve records of one tap at (x, y), in the screen's own
// multitouch position units.
void write_touch_event(int fd, int x, int y);
