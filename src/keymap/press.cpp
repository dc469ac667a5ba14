#include "keymap/press.hpp"

namespace {

// tapbridge's button for a mouse's own button, btn_none for another code.
int own_button(input_code code)
{
    if (code.type != EV_KEY)
        return btn_none;
    switch (code.code) {
    case BTN_LEFT: return btn_left;
    case BTN_RIGHT: return btn_right;
    case BTN_MIDDLE: return btn_middle;
    default: return btn_none;
    }
}

} // namespace

mouse_action click_of(int button)
{
    if (button == btn_wheel_up)
        return {btn_none, 1};
    if (button == btn_wheel_down)
        return {btn_none, -1};
    return {button, 0};
}

std::optional<input_code> press_of(std::uint16_t type, std::uint16_t code, std::int32_t value, std::int32_t previous)
{
    if (type == EV_KEY && value == 1)
        return key_code(code);
    if (type == EV_ABS && is_hat_axis(code) && (value == 1 || value == -1) && value != previous)
        return hat_code(code, static_cast<std::int8_t>(value));
    return std::nullopt;
}

mouse_action action_of(const key_map& map, bool grabbed, std::uint16_t type, std::uint16_t code, std::int32_t value,
                       std::int32_t previous)
{
    if (const auto press = press_of(type, code, value, previous)) {
        if (const int button = button_of(map, *press); button != btn_none)
            return click_of(button);
        return grabbed ? click_of(own_button(*press)) : mouse_action{};
    }
    if (grabbed && type == EV_REL && code == REL_WHEEL)
        return {btn_none, value};
    return {};
}

bool mousedev_clicks(input_code code)
{
    if (code.type != EV_KEY)
        return false;
    // mousedev's key handler: these are its buttons 0, 1 and 2.
    switch (code.code) {
    case BTN_TOUCH:
    case BTN_0:
    case BTN_LEFT:
    case BTN_STYLUS:
    case BTN_1:
    case BTN_RIGHT:
    case BTN_2:
    case BTN_FORWARD:
    case BTN_STYLUS2:
    case BTN_MIDDLE: return true;
    default: return false;
    }
}
