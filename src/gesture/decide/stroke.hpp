// Strokes: the frames of a ring, from a contact (a finger or pen down, a
// button held) to its lift, or one burst of motion of a ring that only
// moves, ended by a quiet gap.
#pragma once

#include "gesture/decide/gesture.hpp"

#include <cstdint>
#include <optional>

// One frame (the events up to a SYN_REPORT) as the ring's state after it.
struct stroke_frame {
    bool contact;        // a finger, pen or drag button is down after the frame
    bool pressed;        // a contact began within the frame (it may have ended in it too)
    bool placed;         // the ring gives absolute positions: x, y hold them after the frame
    std::int32_t x;
    std::int32_t y;
    std::int32_t rel_x;  // relative motion within the frame
    std::int32_t rel_y;
    // The frame is the input core's own release of every key, which it
    // sends as a device goes away (and on suspend), before the node fails:
    // a stroke it cuts is no gesture.
    bool released_by_kernel;
};

enum class stroke_phase : std::uint8_t { idle, contact, burst };

struct stroke {
    stroke_phase phase;
    bool placed;
    std::int32_t x0; // where the contact began
    std::int32_t y0;
    std::int32_t x;  // where it is now
    std::int32_t y;
    std::int64_t rel_x; // relative motion since it began
    std::int64_t rel_y;
    std::int64_t last_motion_ms; // a burst's latest motion
};

constexpr stroke no_stroke{stroke_phase::idle, false, 0, 0, 0, 0, 0, 0, 0};

// Rings that only move send an event every 30 to 40 ms, up to about 100 ms
// apart on a busy device: a burst ends once this long passed without one.
constexpr std::int64_t burst_gap_ms = 150;

// Takes one frame at now_ms; returns the stroke it ended, if it ended one.
// A contact's stroke ends at its lift; motion outside a contact opens a
// burst, and motion within one carries it on.
[[nodiscard]] std::optional<stroke_end> after_frame(stroke& s, const stroke_frame& f, std::int64_t now_ms);

// The burst that the quiet gap ended by now_ms, if one did.
[[nodiscard]] std::optional<stroke_end> after_quiet(stroke& s, std::int64_t now_ms);

// Milliseconds until the open burst's gap ends (0: it has), or -1 when no
// burst is open: only then does a reader need a timer.
[[nodiscard]] std::int64_t quiet_left_ms(const stroke& s, std::int64_t now_ms);
