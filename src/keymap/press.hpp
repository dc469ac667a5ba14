// What one event of a remote does to the virtual mouse that tapbridge reads
// through /dev/input/mice.
#pragma once

#include "keymap/key_map.hpp"

#include <cstdint>
#include <optional>

// The press an event makes: a key or button going down (value 1), or a hat
// axis reaching -1 or +1 from another value (previous, the axis' value
// before it). Autorepeat (value 2), releases and a hat's return to 0 make
// none.
[[nodiscard]] std::optional<input_code> press_of(std::uint16_t type, std::uint16_t code, std::int32_t value,
                                                 std::int32_t previous);

// One click of button (btn_left, btn_right or btn_middle), or wheel
// detents (positive up, as REL_WHEEL counts them). Both 0: nothing.
struct mouse_action {
    int button;
    std::int32_t wheel;

    friend bool operator==(const mouse_action&, const mouse_action&) = default;
};

// One click of button, or one wheel detent for wheel-up and wheel-down.
[[nodiscard]] mouse_action click_of(int button);

// What the event does, the map deciding first. While the remote is
// grabbed, mousedev no longer sees it: where it is also a mouse, its own
// left, right and middle buttons and its wheel then go on through the
// virtual mouse as themselves, unless the map names them. Not grabbed,
// mousedev passes them on itself, and doing it here too would tap twice.
[[nodiscard]] mouse_action action_of(const key_map& map, bool grabbed, std::uint16_t type, std::uint16_t code,
                                     std::int32_t value, std::int32_t previous);

// True when mousedev, feeding a device, makes code a left, right or middle
// button of /dev/input/mice itself (BTN_TOUCH, BTN_0 and the stylus buttons
// among them): a map that also clicks on it while the device is shared
// would tap twice.
[[nodiscard]] bool mousedev_clicks(input_code code);
