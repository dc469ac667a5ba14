// The virtual devices a scenario plays on, made through uinput: a mouse,
// and a touch screen of one of the kinds that matter to tapbridge.
#pragma once

#include "tap/touch.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct libevdev;
struct libevdev_uinput;

// mt: multitouch only, which mousedev leaves alone. touchpad: also ABS_X/ABS_Y
// and BTN_TOOL_FINGER, which mousedev feeds into /dev/input/mice as a
// touchpad. direct: ABS_X/ABS_Y without BTN_TOOL_FINGER, which mousedev
// feeds as an absolute pointer whose BTN_TOUCH is the left button.
enum class screen_kind { mt, touchpad, direct };

[[nodiscard]] std::optional<screen_kind> kind_named(std::string_view name);

struct axis_span {
    int minimum;
    int maximum;
};

struct screen_shape {
    screen_kind kind;
    axis_span x;
    axis_span y;
    int resolution;   // units per mm on both position axes; 0: none given
    std::string name; // as the driver names the device
    int slots;        // ABS_MT_SLOT 0..slots-1; 0: no slots, contacts as type-A drivers send them
    int bus;          // BUS_I2C ...
    bool direct;      // whether it declares INPUT_PROP_DIRECT, as a screen under the finger does
};

// The name a screen gets unless a scenario gives another.
constexpr const char* default_screen_name = "virtual touch screen";

// A built-in screen sits on I2C (or SPI, or the host's own bus) unless a
// scenario gives another bus: 0x18, BUS_I2C.
constexpr int default_screen_bus = 0x18;

// The slots a screen has unless a scenario gives another number.
constexpr int default_slot_count = 10;

// Where the fingers are, as a type-B multitouch driver keeps it: one entry
// a slot the screen declares.
// The largest tracking id an ABS_MT_TRACKING_ID axis declares; ids wrap
// around past it.
constexpr int max_tracking_id = 65535;

// Declares the axis code of device over span, with resolution units per mm
// (0: none).
void declare_axis(libevdev* device, unsigned code, axis_span span, int resolution = 0);

struct fingers {
    std::vector<bool> down;
    std::vector<int> x;
    std::vector<int> y;
    int next_id; // tracking ids count up, as drivers hand them out
    // No slots (type A): every frame lists the contacts down, each ended by
    // SYN_MT_REPORT, without tracking ids; two of them.
    bool type_a;
};

enum class finger_action { down, move, up };

// The records of one frame that puts the finger of slot down, moves it, or
// lifts it, updating fingers. BTN_TOUCH (and BTN_TOOL_FINGER, where declared)
// follow whether any finger is down; on screens with ABS_X/ABS_Y these
// follow the finger in the lowest slot, as pointer emulation does.
[[nodiscard]] std::vector<tap_event> finger_frame(fingers& state, screen_kind kind, finger_action action, int slot,
                                                  int x, int y);

// The records of one frame that lifts the fingers of slots together, as
// when two fingers leave the screen at the same moment.
[[nodiscard]] std::vector<tap_event> lift_frame(fingers& state, screen_kind kind, const std::vector<int>& slots);

// The records of mouse tokens: L1/L0, R1/R0, M1/M0 a button down or up,
// X<n>, Y<n>, W<n> motion and wheel (W1 is a step up), S a SYN_REPORT.
// Empty when a token is not one of these.
[[nodiscard]] std::optional<std::vector<tap_event>> mouse_events(std::string_view tokens);

struct devices {
    libevdev_uinput* mouse;
    libevdev_uinput* screen;
    std::string mouse_node;
    std::string screen_node;
    screen_shape shape;
    fingers touch;
    // A second touch screen, where a scenario asks for one: its touches
    // reach /dev/input/mice as the first one's do.
    libevdev_uinput* other;
    std::string other_node;
    screen_shape other_shape;
    fingers other_touch;
};

// Makes the mouse, then the screen; their event nodes exist on return.
// Returns an empty string, or what failed.
[[nodiscard]] std::string make_devices(const screen_shape& shape, devices& made);

void remove_devices(devices& made);

// Makes the second touch screen. Returns an empty string, or what failed.
[[nodiscard]] std::string make_other_screen(const screen_shape& shape, devices& made);

// Removes the touch screen alone, as when it is unplugged; the mouse stays.
void unplug_screen(devices& made);

// Writes the records into the device; false when one could not be written.
[[nodiscard]] bool emit(libevdev_uinput* device, const std::vector<tap_event>& events);
