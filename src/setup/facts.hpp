// What tapbridge-setup learns about the system, as plain values. The probes
// fill these in; every decision reads only these.
#pragma once

#include "input/caps.hpp"
#include "input/identity.hpp"
#include "input/probed.hpp"
#include "input/processes.hpp"

#include <cstdint>
#include <string>
#include <vector>

struct axis_range {
    std::int32_t minimum;
    std::int32_t maximum;
    std::int32_t resolution; // units per millimetre; 0 when the driver gives none
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
    std::uint16_t bus;        // BUS_I2C, BUS_SPI, ...: a built-in screen's, or one that cannot tell
};

// An input device that is no touch screen of the device's own (a ring with
// multitouch positions is one of these): a mouse, a keyboard, a remote,
// a gamepad, a button.
struct input_device {
    std::string node;
    device_identity id;
    input_caps caps;
    probed fed;                  // mousedev has a mouseN handler on it
    found_list<process> holders; // other processes with the node open
    bool grabbed;                // another process holds EVIOCGRAB on it
};

// /dev/uinput, through which tapbridge-remote makes its virtual mouse.
enum class uinput_access { missing, not_uinput, denied, failed, writable };

struct uinput_facts {
    uinput_access access;
    int error;        // errno of a failure
    std::string what; // not_uinput: what is there instead
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
    std::vector<input_device> others; // every other device that opened, in node order
    mice_facts mice_node;
    tap_time_fact tap_time;
    found_list<process> tapbridges;   // tapbridge processes running now
    found_list<process> remote_programs; // tapbridge-remote processes running now
    std::vector<int> sharing_remotes;  // of those, the ones that share their remote (--no-grab): they grab nothing
    std::vector<std::string> running_line; // the first running tapbridge's arguments; empty when none or unknown
    uinput_facts uinput;
    display_facts display;
    std::string nodes_hidden;         // why /dev/input could not be looked at whole; empty when it could
};
