// The remotes a scenario plays beside the mouse and the screen, made through
// uinput: page turners, media and camera remotes, gamepads, a remote that is
// also a mouse, a full keyboard. Each has a second reader of its own, which
// shows whether another program's grab keeps its events from the rest of
// the system.
#pragma once

#include "devices.hpp"
#include "tap/touch.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct libevdev_uinput;

// keyboard: a page turner's keys (page keys, arrows, space, enter, a few
// letters). consumer: a media or camera remote (volume, songs, play/pause).
// gamepad: face and shoulder buttons, start/select, sticks and a hat (-1..1).
// combo: a few keys and a whole mouse (buttons, motion, wheel), which
// mousedev feeds into /dev/input/mice. fullkbd: every key of a keyboard.
// camera: a camera's shutter button, focus and shoot, none of them in the
// default map.
// hybrid, no remote but made the same way beside the screen: a touch device
// without multitouch (BTN_TOUCH, absolute X/Y 0..4095) that moves relatively
// too (REL_X, REL_Y). The rings, which send no keys but gestures (finger,
// pen, pad, drag, fingerkeys): see rings.hpp.
enum class remote_kind { keyboard, consumer, gamepad, combo, fullkbd, camera, hybrid, finger, pen, pad, drag, fingerkeys };

[[nodiscard]] std::optional<remote_kind> remote_kind_named(std::string_view name);

struct remote_device {
    std::string id;       // the scenario's name for it: $ID in records and in the programs' environment
    remote_kind kind;
    std::string name;     // as the driver names the device
    std::string phys;     // its attachment; nodes of one physical remote share it up to the last '/'
    libevdev_uinput* device; // null while unplugged
    std::vector<libevdev_uinput*> fillers; // hold the node number it had (and any lower free one), while unplugged
    std::string node;
    int reader;           // the second reader; -1 while unplugged
    int seen;             // events other than SYN_REPORT that reader got
    int bus;              // BUS_BLUETOOTH ...
    axis_span x;          // finger, pen, fingerkeys: the range of their positions
    axis_span y;
    int resolution;       // their units per mm; 0: none given
    bool direct;          // whether they declare INPUT_PROP_DIRECT
    fingers contact;      // rings: the contact (drag: the button) they have down now
};

// The bus of a remote of kind unless a scenario gives another: USB for a
// gamepad, Bluetooth for the rest.
[[nodiscard]] int default_bus(remote_kind kind);

// Makes the remote and opens its second reader; a ring starts with no
// contact down, as a new device does. Returns an empty string, or what
// failed.
[[nodiscard]] std::string plug_remote(remote_device& remote);

// Removes the remote, as when it sleeps or leaves the range; filler devices
// take its node number (and the free ones below it), so that it comes back
// under another one.
void unplug_remote(remote_device& remote);

// Brings an unplugged remote back under a new node number, then lets the
// fillers go. Returns an empty string, or what failed.
[[nodiscard]] std::string replug_remote(remote_device& remote);

// Removes the remote and its fillers for good.
void remove_remote(remote_device& remote);

// Records what the remote's second reader got ("seen ID TYPE CODE VALUE",
// SYN_REPORTs left out), and counts it. Of a ring, each SYN_REPORT too, as
// "frame ID SEC.USEC" (the kernel's time stamp): how a gesture is paced is
// part of what it says.
void report_remote(remote_device& remote);

// The records of CODE VALUE and its SYN_REPORT: a key (KEY_..., BTN_...) or
// an axis (ABS_...), by the kernel's names or numbers. Empty when code is
// no key or axis.
[[nodiscard]] std::optional<std::vector<tap_event>> remote_events(std::uint16_t type, std::string_view code,
                                                                  int value);
