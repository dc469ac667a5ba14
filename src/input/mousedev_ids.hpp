// Which devices the kernel's mousedev handler binds, and so merges into
// /dev/input/mice.
#pragma once

#include "input/caps.hpp"

// True when the codes match one of mousedev's device ids: relative X/Y with
// BTN_LEFT, a wheel, or absolute X/Y with BTN_TOUCH, BTN_TOOL_FINGER or
// BTN_LEFT. Nothing else can be fed, whatever /sys shows or hides.
[[nodiscard]] inline bool mousedev_may_feed(const input_caps& caps)
{
    const bool rel = caps.types[EV_REL] && caps.types[EV_KEY] &&
                     ((caps.keys[BTN_LEFT] && caps.rels[REL_X] && caps.rels[REL_Y]) || caps.rels[REL_WHEEL]);
    const bool abs = caps.types[EV_ABS] && caps.types[EV_KEY] && caps.axes[ABS_X] && caps.axes[ABS_Y];
    return rel || (abs && (caps.keys[BTN_TOUCH] || caps.keys[BTN_TOOL_FINGER] || caps.keys[BTN_LEFT]));
}
