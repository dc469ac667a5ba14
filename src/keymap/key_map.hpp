// Which of tapbridge's buttons a remote's press clicks: the default map for
// page turning, and maps given as CODE=BUTTON.
#pragma once

#include "gesture/decide/gesture.hpp"
#include "keymap/code.hpp"
#include "mouse/mouse.hpp"

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

// code clicks button: one of tapbridge's button codes, btn_left to
// btn_wheel_down, so that tapbridge taps that button's point.
struct mapping {
    input_code code;
    int button;
};

// gesture clicks button: a ring's swipe or tap.
struct gesture_mapping {
    gesture_code gesture;
    int button;
};

constexpr std::size_t map_capacity = 64;
constexpr std::size_t gesture_capacity = 16;

struct key_map {
    std::array<mapping, map_capacity> entries;
    std::size_t count;
    std::array<gesture_mapping, gesture_capacity> gestures;
    std::size_t gesture_count;
};

// What page turners, camera-shutter and media remotes and small gamepads
// send, on the buttons of tapbridge's page-turning layout: left turns to
// the next page, right to the previous one, middle opens the menu. Letters
// and digits are never mapped: a keyboard taken as a remote keeps them.
constexpr std::array default_mappings{
    mapping{key_code(KEY_PAGEDOWN), btn_left},
    mapping{key_code(KEY_RIGHT), btn_left},
    mapping{key_code(KEY_DOWN), btn_left},
    mapping{key_code(KEY_SPACE), btn_left},
    mapping{key_code(KEY_ENTER), btn_left},
    mapping{key_code(KEY_VOLUMEDOWN), btn_left},
    mapping{key_code(KEY_NEXTSONG), btn_left},
    mapping{key_code(KEY_NEXT), btn_left},
    mapping{key_code(KEY_FORWARD), btn_left},
    mapping{key_code(BTN_TR), btn_left},
    mapping{key_code(BTN_TR2), btn_left},
    mapping{key_code(BTN_DPAD_RIGHT), btn_left},
    mapping{key_code(BTN_DPAD_DOWN), btn_left},
    mapping{hat_code(ABS_HAT0X, 1), btn_left},
    mapping{hat_code(ABS_HAT0Y, 1), btn_left},
    mapping{key_code(KEY_PAGEUP), btn_right},
    mapping{key_code(KEY_LEFT), btn_right},
    mapping{key_code(KEY_UP), btn_right},
    mapping{key_code(KEY_VOLUMEUP), btn_right},
    mapping{key_code(KEY_PREVIOUSSONG), btn_right},
    mapping{key_code(KEY_PREVIOUS), btn_right},
    mapping{key_code(KEY_BACK), btn_right},
    mapping{key_code(BTN_TL), btn_right},
    mapping{key_code(BTN_TL2), btn_right},
    mapping{key_code(BTN_DPAD_LEFT), btn_right},
    mapping{key_code(BTN_DPAD_UP), btn_right},
    mapping{hat_code(ABS_HAT0X, -1), btn_right},
    mapping{hat_code(ABS_HAT0Y, -1), btn_right},
    mapping{key_code(KEY_MENU), btn_middle},
    mapping{key_code(KEY_COMPOSE), btn_middle},
    mapping{key_code(KEY_PLAYPAUSE), btn_middle},
    mapping{key_code(BTN_START), btn_middle},
    mapping{key_code(BTN_SELECT), btn_middle},
    mapping{key_code(BTN_MODE), btn_middle},
};
static_assert(default_mappings.size() <= map_capacity);

// A ring's swipes, in its own axes: a finger pushing the page onward moves
// left or up, as a hand turns a page; a phone app that scrolls reads the
// same strokes as "next". Taps have none: rings disagree on which place
// means which page, so they are learnt (tapbridge-setup --learn).
constexpr std::array default_gesture_mappings{
    gesture_mapping{swipe(gesture_kind::swipe_left), btn_left},
    gesture_mapping{swipe(gesture_kind::swipe_up), btn_left},
    gesture_mapping{swipe(gesture_kind::swipe_right), btn_right},
    gesture_mapping{swipe(gesture_kind::swipe_down), btn_right},
};
static_assert(default_gesture_mappings.size() <= gesture_capacity);

// The default map, its next-page entries on next_page: left, unless
// tapbridge's point 1 is off (wheel-down then turns to the next page).
[[nodiscard]] key_map default_map(int next_page = btn_left);

// The button code clicks, or btn_none when the map leaves it out.
[[nodiscard]] int button_of(const key_map& map, input_code code);

// The button a gesture clicks, or btn_none. A swipe clicks its own entry.
// A tap with a place clicks the TAP@ entry nearest to it (plain distance in
// the ring's units) where the map has any, else the TAP entry; a tap
// without a place (a drag or touchpad ring's) only the TAP entry.
[[nodiscard]] int button_of(const key_map& map, const gesture_code& gesture);

// True when the map has an entry for any gesture: a ring's strokes then click.
[[nodiscard]] bool maps_gestures(const key_map& map);

// "left", "right", "middle", "wheel-up", "wheel-down", as tapbridge-remote's
// --map takes them.
[[nodiscard]] std::optional<int> parse_button(std::string_view word);
[[nodiscard]] const char* button_word(int button);

enum class map_error { none, no_equals, unknown_code, unknown_button, twice, full };

// Adds CODE=BUTTON to map, CODE a key's, a hat end's or a gesture's name
// (SWIPE_LEFT, TAP, TAP@X,Y). A code may be given once, any number of codes
// may click one button.
[[nodiscard]] map_error add_mapping(key_map& map, std::string_view text);
