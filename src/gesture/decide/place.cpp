#include "gesture/decide/place.hpp"

namespace {

bool positions(const input_caps& caps)
{
    return (caps.axes[ABS_X] && caps.axes[ABS_Y]) || (caps.axes[ABS_MT_POSITION_X] && caps.axes[ABS_MT_POSITION_Y]);
}

bool contact_key(const input_caps& caps)
{
    return caps.keys[BTN_TOUCH] || caps.keys[BTN_LEFT] || caps.axes[ABS_MT_TRACKING_ID];
}

bool moves(const input_caps& caps)
{
    return caps.types[EV_REL] && (caps.rels[REL_X] || caps.rels[REL_Y]);
}

} // namespace

bool declares_keyboard_keys(const input_caps& caps)
{
    for (unsigned code = KEY_ESC; code < BTN_MISC; ++code)
        if (caps.keys[code])
            return true;
    return false;
}

gesture_source source_of(const input_caps& caps)
{
    if (caps.types[EV_ABS] && positions(caps) && contact_key(caps))
        return gesture_source::touch;
    if (!moves(caps) || caps.keys[BTN_TOUCH])
        return gesture_source::none;
    if (!caps.keys[BTN_LEFT])
        return gesture_source::motion;
    return declares_keyboard_keys(caps) ? gesture_source::none : gesture_source::drag;
}

bool makes_gesture(const input_caps& caps, const gesture_code& gesture)
{
    const gesture_source source = source_of(caps);
    return gesture.placed ? source == gesture_source::touch : source != gesture_source::none;
}

touch_place place_of(std::uint16_t bus, const input_caps& caps)
{
    switch (bus) {
    case BUS_BLUETOOTH:
    case BUS_USB: return touch_place::ring;
    case BUS_I2C:
    case BUS_SPI:
    case BUS_HOST:
    case BUS_RMI: return touch_place::built_in;
    default: return declares_keyboard_keys(caps) ? touch_place::ring : touch_place::unknown;
    }
}
