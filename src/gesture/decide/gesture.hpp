// A ring's gestures: what a finished stroke was (a swipe and its way, or a
// tap and where), and the names --map gives them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// In the ring's own axes: X grows to the right, Y grows downward.
enum class gesture_kind : std::uint8_t { swipe_left, swipe_right, swipe_up, swipe_down, tap };

// A gesture as a map names it: a swipe, any tap (TAP), or a tap nearest to
// a point (TAP@X,Y, placed).
struct gesture_code {
    gesture_kind kind;
    bool placed;
    std::int32_t x;
    std::int32_t y;

    friend bool operator==(const gesture_code&, const gesture_code&) = default;
};

[[nodiscard]] constexpr gesture_code swipe(gesture_kind kind)
{
    return {kind, false, 0, 0};
}

constexpr gesture_code any_tap{gesture_kind::tap, false, 0, 0};

[[nodiscard]] constexpr gesture_code tap_at(std::int32_t x, std::int32_t y)
{
    return {gesture_kind::tap, true, x, y};
}

// "SWIPE_LEFT", "SWIPE_RIGHT", "SWIPE_UP", "SWIPE_DOWN", "TAP" or "TAP@X,Y"
// (X and Y decimal, a sign allowed); empty for anything else.
[[nodiscard]] std::optional<gesture_code> parse_gesture(std::string_view text);

// The name parse_gesture reads back.
[[nodiscard]] std::string gesture_name(const gesture_code& code);

// How a stroke moved, from its contact to its lift (or through one burst of
// motion): its displacement, and where it lifted when the ring gives
// positions.
struct stroke_end {
    bool placed;      // absolute positions: x, y is where it lifted
    std::int32_t x;
    std::int32_t y;
    std::int64_t dx;  // displacement: in position units when placed, else summed relative counts
    std::int64_t dy;
};

// The span of each position axis (maximum - minimum), which a swipe's
// displacement is measured against; unused for relative motion.
struct axis_spans {
    std::int64_t x;
    std::int64_t y;
};

// A swipe must move more than this share (per mille) of an axis' span. A
// ring's short swipe, 80 units of a span of 4096 (700 -> 620), is 2 %; a
// tap at a fixed place wobbles a few units at most.
constexpr int swipe_permille = 15;

// Relative rings send 8 to 15 counts an event, four or more to a stroke:
// more than one event's worth is a swipe, so a stroke of four 12-count
// events counts twice over.
constexpr std::int64_t swipe_counts = 20;

// The gesture a stroke made: a swipe the way of its larger displacement
// (each axis against its own span), or a tap where it moved less than the
// threshold on both axes.
[[nodiscard]] gesture_code gesture_of(const stroke_end& end, axis_spans spans);
