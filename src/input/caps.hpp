// What an input device declares, as plain values.
#pragma once

#include <bitset>
#include <linux/input.h>

// The codes a device declared. The input core passes an event to the
// device's readers only when its type and code were declared, whoever
// produced it: the driver, or a program writing into the node.
struct input_caps {
    std::bitset<EV_CNT> types;
    std::bitset<KEY_CNT> keys;
    std::bitset<ABS_CNT> axes;
    std::bitset<REL_CNT> rels;
    std::bitset<INPUT_PROP_CNT> props;
};

// A touch screen, to tapbridge, is a device with multitouch positions.
[[nodiscard]] inline bool is_touch_screen(const input_caps& caps)
{
    return caps.axes[ABS_MT_POSITION_X] && caps.axes[ABS_MT_POSITION_Y];
}
