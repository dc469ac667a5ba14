// What tapbridge-setup learns about the system, as plain values. The probes
// fill these in; every decision reads only these.
#pragma once

#include <bitset>
#include <cstdint>
#include <linux/input.h>
#include <optional>
#include <string>
#include <vector>

// The codes a device declared. The input core passes an event to the
// device's readers only when its type and code were declared, whoever
// produced it: the driver, or a program writing into the node.
struct input_caps {
    std::bitset<EV_CNT> types;
    std::bitset<KEY_CNT> keys;
    std::bitset<ABS_CNT> axes;
    std::bitset<INPUT_PROP_CNT> props;
};

struct axis_range {
    std::int32_t minimum;
    std::int32_t maximum;
    std::int32_t resolution; // units per millimetre; 0 when the driver gives none
};

struct process {
    int pid;
    std::string name; // as /proc/PID/comm gives it
};

struct touch_screen {
    std::string node;
    std::string name;
    input_caps caps;
    axis_range x;             // ABS_MT_POSITION_X, the units tapbridge writes
    axis_range y;
    bool fed;                 // mousedev has a mouseN handler on the device
    std::vector<process> holders; // other processes with the node open
    bool grabbed;             // another process holds EVIOCGRAB on it
};

enum class mice_access { missing, unreadable, read_only, read_write };

struct display_facts {
    bool asked;  // DISPLAY is set
    bool opened;
    bool xtest;
    int width;
    int height;
};

struct system_facts {
    int devices;                      // event nodes under /dev/input
    int denied;                       // of those, how many could not be opened
    std::vector<touch_screen> screens;
    std::vector<std::string> mice;    // other devices mousedev feeds: "name (node)"
    mice_access mice_node;
    std::optional<int> tap_time;      // mousedev's, in ms; none without mousedev
    std::vector<process> tapbridges;  // tapbridge processes running now
    display_facts display;
};

// A touch screen, to tapbridge, is a device with multitouch positions.
[[nodiscard]] inline bool is_touch_screen(const input_caps& caps)
{
    return caps.axes[ABS_MT_POSITION_X] && caps.axes[ABS_MT_POSITION_Y];
}
