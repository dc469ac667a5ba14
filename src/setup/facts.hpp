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

// A yes/no fact as a probe learnt it. When the probe could not look (a
// hidden /sys or /proc, a refused directory), the answer is unknown and why
// says what was in the way; an unknown is never taken for "no".
enum class tri { no, yes, unknown };

struct probed {
    tri state;
    std::string why; // for unknown: what kept the answer hidden
};

[[nodiscard]] inline probed known(bool yes)
{
    return {yes ? tri::yes : tri::no, {}};
}

[[nodiscard]] inline probed unknown(std::string why)
{
    return {tri::unknown, std::move(why)};
}

// Things a probe found, and whether it could look at all: any is no when it
// looked and found none, unknown (with why) when it could not look.
template <typename T>
struct found_list {
    probed any;
    std::vector<T> items;
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
    probed fed;               // mousedev has a mouseN handler on the device
    found_list<process> holders; // other processes with the node open
    bool grabbed;             // another process holds EVIOCGRAB on it
};

// What /dev/input/mice is and how it opens for this user.
enum class mice_access {
    missing,     // nothing there
    not_mice,    // something else than mousedev's character device 13:63
    denied,      // permission denied to this user: root may open it
    nodev_mount, // its file system is mounted nodev: nobody may open devices there
    no_driver,   // 13:63, but no mousedev answers it
    failed,      // another error, in error
    read_only,
    read_write,
};

struct mice_facts {
    mice_access access;
    int error;        // errno of a failure
    std::string what; // not_mice: what is there instead
};

// mousedev's tap_time: present is yes with its value, no without mousedev.
struct tap_time_fact {
    probed present;
    unsigned int ms; // the kernel's parameter is an unsigned int
};

struct display_facts {
    bool asked;  // DISPLAY is set
    bool timed_out; // the server took the connection and did not answer in time
    bool opened;
    bool xtest;
    int width;
    int height;
};

struct system_facts {
    int devices;                      // input event devices under /dev/input
    int unopened;                     // of those, how many could not be opened
    std::string unopened_advice;      // "node: why, what to do" for the first of them
    std::vector<touch_screen> screens;
    found_list<std::string> mice;     // other devices mousedev feeds: "name (node)"
    mice_facts mice_node;
    tap_time_fact tap_time;
    found_list<process> tapbridges;   // tapbridge processes running now
    display_facts display;
    std::string nodes_hidden;         // why /dev/input could not be looked at whole; empty when it could
};

// A touch screen, to tapbridge, is a device with multitouch positions.
[[nodiscard]] inline bool is_touch_screen(const input_caps& caps)
{
    return caps.axes[ABS_MT_POSITION_X] && caps.axes[ABS_MT_POSITION_Y];
}
