// tapbridge-setup's decisions, in tables over canned devices: no device,
// no /sys, no /proc is touched.

#include "gesture/decide/gesture.hpp"
#include "gesture/decide/place.hpp"
#include "gesture/decide/stroke.hpp"
#include "input/device_numbers.hpp"
#include "keymap/press.hpp"
#include "remote/args.hpp"
#include "remote/choose.hpp"
#include "remote/help.hpp"
#include "setup/decide/choose.hpp"
#include "setup/decide/command.hpp"
#include "setup/decide/lift.hpp"
#include "setup/decide/mousedev.hpp"
#include "setup/decide/pace.hpp"
#include "setup/decide/records.hpp"
#include "setup/decide/remotes.hpp"
#include "setup/decide/sketch.hpp"
#include "setup/decide/traps.hpp"
#include "tap/point.hpp"
#include "text/parse.hpp"
#include "text/printable.hpp"
#include "text/shell_word.hpp"

#include <algorithm>
#include <climits>
#include <fstream>
#include <gtest/gtest.h>
#include <initializer_list>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

struct code {
    std::uint16_t type;
    std::uint16_t code;
};

input_caps caps_of(std::initializer_list<code> codes, bool direct = true)
{
    input_caps caps;
    caps.props[INPUT_PROP_DIRECT] = direct;
    for (const code& c : codes) {
        caps.types[c.type] = true;
        if (c.type == EV_KEY)
            caps.keys[c.code] = true;
        else if (c.type == EV_REL)
            caps.rels[c.code] = true;
        else
            caps.axes[c.code] = true;
    }
    return caps;
}

// The virtual screens of the kernel test machine, and their faulty cousins.
const input_caps mt_only = caps_of({{EV_KEY, BTN_TOUCH}, {EV_KEY, BTN_TOOL_FINGER}, {EV_ABS, ABS_MT_SLOT},
                                    {EV_ABS, ABS_MT_TRACKING_ID}, {EV_ABS, ABS_MT_POSITION_X},
                                    {EV_ABS, ABS_MT_POSITION_Y}});
const input_caps touchpad_kind = caps_of({{EV_KEY, BTN_TOUCH}, {EV_KEY, BTN_TOOL_FINGER}, {EV_ABS, ABS_X},
                                          {EV_ABS, ABS_Y}, {EV_ABS, ABS_MT_SLOT}, {EV_ABS, ABS_MT_TRACKING_ID},
                                          {EV_ABS, ABS_MT_POSITION_X}, {EV_ABS, ABS_MT_POSITION_Y}});
const input_caps direct_kind = caps_of({{EV_KEY, BTN_TOUCH}, {EV_ABS, ABS_X}, {EV_ABS, ABS_Y}, {EV_ABS, ABS_MT_SLOT},
                                        {EV_ABS, ABS_MT_TRACKING_ID}, {EV_ABS, ABS_MT_POSITION_X},
                                        {EV_ABS, ABS_MT_POSITION_Y}});
const input_caps no_tracking_id = caps_of({{EV_KEY, BTN_TOUCH}, {EV_KEY, BTN_TOOL_FINGER},
                                           {EV_ABS, ABS_MT_POSITION_X}, {EV_ABS, ABS_MT_POSITION_Y}});
const input_caps no_keys = caps_of({{EV_ABS, ABS_MT_SLOT}, {EV_ABS, ABS_MT_TRACKING_ID},
                                    {EV_ABS, ABS_MT_POSITION_X}, {EV_ABS, ABS_MT_POSITION_Y}});
const input_caps laptop_touchpad = caps_of({{EV_KEY, BTN_TOUCH}, {EV_KEY, BTN_TOOL_FINGER}, {EV_ABS, ABS_MT_SLOT},
                                            {EV_ABS, ABS_MT_TRACKING_ID}, {EV_ABS, ABS_MT_POSITION_X},
                                            {EV_ABS, ABS_MT_POSITION_Y}},
                                           false);

constexpr axis_range range_x{0, 1071, 0};
constexpr axis_range range_y{0, 1447, 0};

const probed sys_hidden = unknown("/sys/dev/char is not on sysfs");
constexpr tap_time_fact ms(unsigned int value)
{
    return {{tri::yes, {}}, value};
}
const tap_time_fact no_mousedev{known(false), 0};
const tap_time_fact tap_time_hidden{unknown("/sys/module is not on sysfs"), 0};

touch_screen screen(const input_caps& caps, probed fed, bool grabbed = false, axis_range x = range_x,
                    axis_range y = range_y)
{
    return {"/dev/input/event2", "vm-touch", caps, x, y, std::move(fed), {known(false), {}}, grabbed, BUS_I2C};
}

touch_screen screen(const input_caps& caps, bool fed, bool grabbed = false, axis_range x = range_x,
                    axis_range y = range_y)
{
    return screen(caps, known(fed), grabbed, x, y);
}

const input_caps mouse_caps = caps_of({{EV_KEY, BTN_LEFT}, {EV_KEY, BTN_RIGHT}, {EV_REL, REL_X}, {EV_REL, REL_Y}});
const input_caps pen_caps = caps_of({{EV_KEY, BTN_TOUCH}, {EV_KEY, BTN_TOOL_PEN}, {EV_ABS, ABS_X}, {EV_ABS, ABS_Y}});
// Rings as users measured them: a finger on a multitouch digitizer, and a touchpad that only moves.
const input_caps finger_ring = caps_of({{EV_KEY, BTN_TOUCH}, {EV_ABS, ABS_X}, {EV_ABS, ABS_Y}, {EV_ABS, ABS_MT_SLOT},
                                        {EV_ABS, ABS_MT_TRACKING_ID}, {EV_ABS, ABS_MT_POSITION_X},
                                        {EV_ABS, ABS_MT_POSITION_Y}});
const input_caps pad_ring = caps_of({{EV_REL, REL_X}, {EV_REL, REL_Y}}, false);

input_device device(const char* node, const char* name, const input_caps& caps, probed fed, bool grabbed = false,
                    std::vector<process> holders = {}, const char* uniq = "", const char* phys = "",
                    std::uint16_t bus = BUS_VIRTUAL)
{
    return {node, {name, uniq, phys, bus}, caps, std::move(fed), {known(!holders.empty()), std::move(holders)}, grabbed};
}

const input_device vm_mouse = device("/dev/input/event1", "vm-mouse", mouse_caps, known(true));

system_facts facts_with(std::vector<touch_screen> screens, tap_time_fact tap_time = ms(200),
                        mice_access mice = mice_access::read_write, found_list<process> tapbridges = {known(false), {}},
                        std::vector<input_device> others = {vm_mouse})
{
    system_facts facts{};
    facts.devices = 3;
    facts.screens = std::move(screens);
    facts.others = std::move(others);
    facts.mice_node = {mice, 0, {}};
    facts.tap_time = std::move(tap_time);
    facts.tapbridges = std::move(tapbridges);
    return facts;
}

TEST(Records, DroppedCodesFollowTheTapTable)
{
    struct row {
        const char* name;
        input_caps caps;
        std::vector<dropped_code> dropped;
        bool breaks;
    };
    const std::vector<row> rows = {
        {"MT only", mt_only, {}, false},
        {"touchpad kind", touchpad_kind, {}, false},
        {"direct kind: no finger tool, harmless", direct_kind, {{EV_KEY, BTN_TOOL_FINGER, 2, false}}, false},
        {"no tracking id: no contact", no_tracking_id, {{EV_ABS, ABS_MT_TRACKING_ID, 2, true}}, true},
        {"no keys at all", no_keys, {{EV_KEY, BTN_TOUCH, 2, true}, {EV_KEY, BTN_TOOL_FINGER, 2, false}}, true},
    };
    for (const row& r : rows) {
        EXPECT_EQ(dropped_codes(r.caps), r.dropped) << r.name;
        EXPECT_EQ(taps_break(r.caps), r.breaks) << r.name;
    }
}

TEST(Mousedev, EchoAndRemedyByKind)
{
    struct row {
        const char* name;
        touch_screen s;
        tap_time_fact tap_time;
        echo_kind echo;
        bool left_off;
        bool fix;
    };
    const std::vector<row> rows = {
        {"MT only, not fed", screen(mt_only, false), ms(200), echo_kind::none, false, false},
        {"touchpad kind, tap_time 200", screen(touchpad_kind, true), ms(200), echo_kind::touchpad_clicks, false, true},
        {"touchpad kind, tap_time 0", screen(touchpad_kind, true), ms(0), echo_kind::touchpad_quiet, false, false},
        {"touchpad kind, tap_time 1", screen(touchpad_kind, true), ms(1), echo_kind::touchpad_clicks, false, true},
        {"touchpad kind, tap_time at its largest", screen(touchpad_kind, true), ms(4294967295u),
         echo_kind::touchpad_clicks, false, true},
        {"touchpad kind, tap_time hidden", screen(touchpad_kind, true), tap_time_hidden, echo_kind::unknown, false,
         false},
        {"touchpad kind fed, yet no tap_time", screen(touchpad_kind, true), no_mousedev, echo_kind::unknown, false,
         false},
        {"direct kind, tap_time 200", screen(direct_kind, true), ms(200), echo_kind::direct, true, false},
        {"direct kind, tap_time 0 helps nothing", screen(direct_kind, true), ms(0), echo_kind::direct, true, false},
        {"touchpad kind without mousedev", screen(touchpad_kind, false), no_mousedev, echo_kind::none, false, false},
        {"/sys hidden, touchpad kind", screen(touchpad_kind, sys_hidden), tap_time_hidden, echo_kind::unknown, false,
         false},
        {"/sys hidden, direct kind: point 1 off to be safe", screen(direct_kind, sys_hidden), tap_time_hidden,
         echo_kind::unknown, true, false},
        {"/sys hidden, MT only: mousedev cannot take it", screen(mt_only, sys_hidden), tap_time_hidden,
         echo_kind::none, false, false},
        {"/sys hidden, no keys: mousedev cannot take it", screen(no_keys, sys_hidden), ms(200), echo_kind::none,
         false, false},
    };
    for (const row& r : rows) {
        EXPECT_EQ(echo_of(r.s, r.tap_time), r.echo) << r.name;
        EXPECT_EQ(left_must_stay_off(r.s, r.tap_time), r.left_off) << r.name;
        EXPECT_EQ(tap_time_fix_needed(facts_with({r.s}, r.tap_time)), r.fix) << r.name;
    }
}

TEST(Mousedev, WhatKeepsPointOneOff)
{
    struct row {
        const char* name;
        system_facts facts;
        const char* node; // of the device that keeps it off; "" when point 1 may be on
        bool is_the_screen;
    };
    const touch_screen other_direct = [] {
        touch_screen s = screen(direct_kind, true);
        s.node = "/dev/input/event5";
        return s;
    }();
    const auto ring = [](probed fed, std::vector<process> holders = {}, bool tool = false) {
        input_caps caps = finger_ring;
        caps.keys[BTN_TOOL_FINGER] = tool;
        return device("/dev/input/event7", "Swipe Ring", caps, std::move(fed), !holders.empty(), holders, "", "",
                      BUS_BLUETOOTH);
    };
    const auto with = [](std::vector<touch_screen> screens, std::vector<input_device> others = {vm_mouse},
                         tap_time_fact tap_time = ms(200)) {
        return facts_with(std::move(screens), tap_time, mice_access::read_write, {known(false), {}}, std::move(others));
    };
    const std::vector<row> rows = {
        {"MT only, a mouse", with({screen(mt_only, false)}), "", false},
        {"the screen itself is direct", with({screen(direct_kind, true)}), "/dev/input/event2", true},
        {"a second screen of the direct kind", with({screen(mt_only, false), other_direct}), "/dev/input/event5", false},
        {"a second screen of the touchpad kind: tap_time's trap instead",
         with({screen(mt_only, false), screen(touchpad_kind, true)}), "", false},
        {"a pen mousedev feeds", with({screen(mt_only, false)}, {vm_mouse, device("/dev/input/event6", "pen",
                                                                                    pen_caps, known(true))}),
         "/dev/input/event6", false},
        {"a pen mousedev does not feed", with({screen(mt_only, false)}, {device("/dev/input/event6", "pen", pen_caps,
                                                                               known(false))}), "", false},
        {"a pen, /sys hidden", with({screen(mt_only, sys_hidden)}, {device("/dev/input/event6", "pen", pen_caps,
                                                                          sys_hidden)}, tap_time_hidden),
         "/dev/input/event6", false},
        {"a second screen of the direct kind, /sys hidden", with({screen(mt_only, sys_hidden), [] {
             touch_screen s = screen(direct_kind, sys_hidden);
             s.node = "/dev/input/event5";
             return s;
         }()}, {vm_mouse}, tap_time_hidden), "/dev/input/event5", false},
        {"a finger ring mousedev feeds", with({screen(mt_only, false)}, {vm_mouse, ring(known(true))}),
         "/dev/input/event7", false},
        {"a finger ring served by tapbridge-remote: grabbed, mousedev gets nothing",
         with({screen(mt_only, false)}, {vm_mouse, ring(known(true), {{78, "tapbridge-remot"}})}), "", false},
        {"a ring grabbed by tapbridge-remote --no-grab's neighbour: still clicks", [&] {
             system_facts f = with({screen(mt_only, false)}, {vm_mouse, ring(known(true), {{78, "tapbridge-remot"}})});
             f.sharing_remotes = {78};
             return f;
         }(), "/dev/input/event7", false},
        {"a ring of the touchpad kind: its short touches click", with({screen(mt_only, false)},
                                                                     {ring(known(true), {}, true)}), "/dev/input/event7",
         false},
        {"... unless tap_time is 0", with({screen(mt_only, false)}, {ring(known(true), {}, true)}, ms(0)), "", false},
        {"a touchpad of the device's own: its taps are meant as clicks", with({screen(mt_only, false)},
         {[&] { input_device d = ring(known(true), {}, true); d.id.bus = BUS_I2C; return d; }()}), "", false},
    };
    for (const row& r : rows) {
        const auto clicker = left_clicker_for(r.facts, r.facts.screens.front());
        EXPECT_EQ(clicker ? clicker->node : "", r.node) << r.name;
        EXPECT_EQ(clicker && clicker->is_the_screen, r.is_the_screen) << r.name;
    }
}

TEST(Remotes, WhichDevicesAndHowTheLineNamesThem)
{
    const input_caps page_turner = caps_of({{EV_KEY, KEY_PAGEDOWN}, {EV_KEY, KEY_PAGEUP}, {EV_KEY, KEY_A}});
    const input_caps volume = caps_of({{EV_KEY, KEY_VOLUMEUP}, {EV_KEY, KEY_VOLUMEDOWN}});
    const input_caps hat_only = caps_of({{EV_ABS, ABS_HAT0X}, {EV_ABS, ABS_HAT0Y}});
    const input_caps power = caps_of({{EV_KEY, KEY_POWER}});
    const std::vector<input_device> devices = {
        device("/dev/input/event3", "Page Turner BT-1", page_turner, known(false), false, {}, "aa:bb:cc:00:00:01"),
        device("/dev/input/event4", "Page Turner BT-1 Consumer Control", volume, known(false), false, {},
               "aa:bb:cc:00:00:01"),
        device("/dev/input/event5", "USB Remote", volume, known(false), false, {}, "", "usb-0000:00:14.0-1/input1"),
        device("/dev/input/event6", "USB Remote", page_turner, known(false), false, {}, "",
               "usb-0000:00:14.0-1/input0"),
        device("/dev/input/event7", "Twin", volume, known(false), false, {}, "", "usb-0000:00:14.0-2/input0"),
        device("/dev/input/event8", "Twin", volume, known(false), false, {}, "", "usb-0000:00:14.0-3/input0"),
        device("/dev/input/event9", "Pad", hat_only, known(false)),
        device("/dev/input/event10", "Power Button", power, known(false)),
        vm_mouse,
        device("/dev/input/event11", "pen", pen_caps, known(true)),
        device("/dev/input/event12", virtual_mouse_name, mouse_caps, known(true)),
        device("/dev/input/event13", "8-button mouse", caps_of({{EV_KEY, BTN_LEFT}, {EV_KEY, BTN_TASK},
                                                               {EV_REL, REL_X}, {EV_REL, REL_Y}}), known(true)),
        device("/dev/input/event14", "Rocker", caps_of({{EV_ABS, ABS_HAT3Y}}), known(false)),
        device("/dev/input/event15", "Clicker", page_turner, known(false), false, {}, "aa:bb:cc:00:00:02"),
        device("/dev/input/event16", "Clicker", page_turner, known(false), false, {}, "aa:bb:cc:00:00:03"),
        device("/dev/input/event17", "Ring", page_turner, known(false), false, {}, "", "00:1a:7d:da:71:13"),
        device("/dev/input/event18", "Ring", page_turner, known(false), false, {}, "", "00:1a:7d:da:71:13"),
        device("/dev/input/event19", "Turner\n", page_turner, known(false)),
        device("/dev/input/event20", "Shutter\n$1", volume, known(false), false, {}, "aa:bb:cc:00:00:04\n"),
        device("/dev/input/event21", "Pen Ring", pen_caps, known(true), false, {}, "", "", BUS_BLUETOOTH),
        device("/dev/input/event22", "BT Mouse", mouse_caps, known(true), false, {}, "", "", BUS_BLUETOOTH),
        device("/dev/input/event23", "Pad Ring", caps_of({{EV_REL, REL_X}, {EV_REL, REL_Y}}), known(false)),
        device("/dev/input/event24", "Screen's Pen", pen_caps, known(true), false, {}, "", "", BUS_I2C),
    };
    struct row {
        std::size_t device;
        bool remote;
        std::string argument;
        std::size_t page_codes;
    };
    const std::vector<row> rows = {
        {0, true, "aa:bb:cc:00:00:01", 2}, // the unique id takes both of its nodes
        {1, true, "aa:bb:cc:00:00:01", 2},
        {2, true, "USB Remote", 2},        // its two interfaces share a port, and so the name
        {3, true, "USB Remote", 2},
        {4, true, "/dev/input/event7", 2}, // two devices of one name: only the node tells them apart
        {5, true, "/dev/input/event8", 2},
        {6, true, "Pad", 4},
        {7, true, "Power Button", 0},
        {8, false, "vm-mouse", 0},
        {9, false, "pen", 0},
        {10, false, "/dev/input/event12", 0}, // tapbridge-remote never takes a virtual mouse by name
        {11, false, "", 0},                   // BTN_TASK is still a mouse's own
        {12, true, "Rocker", 0},              // the last hat axis
        {13, true, "aa:bb:cc:00:00:02", 2},   // two of one name: each its own id
        {14, true, "aa:bb:cc:00:00:03", 2},
        {15, true, "/dev/input/event17", 2},  // a Bluetooth adapter's address is no one remote's port
        {16, true, "/dev/input/event18", 2},
        {17, true, "/dev/input/event19", 2},  // a name that ends in a line break fits no printed line
        {18, true, "Shutter\n$1", 2},        // nor does an id so, but a line break inside the name does
        {19, true, "Pen Ring", 0},            // a ring: a pen on Bluetooth
        {20, true, "BT Mouse", 0},            // a mouse on Bluetooth may be a ring that drags
        {21, true, "Pad Ring", 0},            // only moves: a touchpad ring, whatever its bus
        {22, false, "", 0},                   // the device's own pen
    };
    for (const row& r : rows) {
        const input_device& d = devices[r.device];
        EXPECT_EQ(is_remote(d), r.remote) << d.node;
        EXPECT_EQ(page_codes(d.caps).size(), r.page_codes) << d.node;
        if (r.remote) {
            EXPECT_EQ(remote_argument(d, devices), r.argument) << d.node;
        }
    }
    device_identity id{"Page Turner BT-1", "AA:bb:CC:00:00:01", "", BUS_BLUETOOTH};
    EXPECT_TRUE(names_device("aa:BB:cc:00:00:01", id) && names_device("Page Turner BT-1", id));
    EXPECT_FALSE(names_device("page turner bt-1", id) || names_device("Page Turner", id) || names_device("", id));
}

TEST(Remotes, WhatTheListingOfRemotesSays)
{
    const input_caps page_turner = caps_of({{EV_KEY, KEY_PAGEDOWN}, {EV_KEY, KEY_PAGEUP}});
    const input_caps camera = caps_of({{EV_KEY, KEY_CAMERA}, {EV_KEY, KEY_CAMERA_FOCUS}});
    const input_caps power = caps_of({{EV_KEY, KEY_POWER}});
    const input_device turner = device("/dev/input/event3", "PT", page_turner, known(false));
    const input_device held = device("/dev/input/event3", "PT", page_turner, known(false), true, {{77, "remapper"}});
    const input_device served = device("/dev/input/event3", "PT", page_turner, known(false), true,
                                       {{78, "tapbridge-remot"}});
    const input_device held_power = device("/dev/input/event4", "Power Button", power, known(false), true,
                                           {{77, "remapper"}});
    const found_list<process> running{known(true), {{70, "tapbridge"}}};
    const input_device ring = device("/dev/input/event6", "Swipe Ring", finger_ring, known(true), false, {}, "", "",
                                     BUS_BLUETOOTH);
    const input_device served_ring = device("/dev/input/event6", "Swipe Ring", finger_ring, known(true), true,
                                            {{78, "tapbridge-remot"}}, "", "", BUS_BLUETOOTH);
    // Which button next page is on for the remotes' lines: where point 1 is off, wheel down.
    struct next_row {
        const char* name;
        std::vector<input_device> others;
        std::vector<std::string> running_line;
        int next_page;
    };
    for (const next_row& n : std::vector<next_row>{
             {"a page turner alone", {turner}, {}, btn_left},
             {"a ring that mousedev feeds keeps point 1 off", {turner, ring}, {}, btn_wheel_down},
             {"a ring served by tapbridge-remote is grabbed from mousedev", {turner, served_ring}, {}, btn_left},
             {"a running tapbridge with point 1 off", {turner}, {"/dev/input/event2", "0", "-1", "-1", "1", "1"},
              btn_wheel_down},
             {"a running tapbridge with point 1 on, the ring served since", {turner, ring},
              {"/dev/input/event2", "0", "5", "0", "1", "1"}, btn_left},
             {"x alone off is off too", {turner}, {"/dev/input/event2", "0", "-1", "7"}, btn_wheel_down},
             {"point 1 at x 0 is on", {turner}, {"/dev/input/event2", "0", "0", "723"}, btn_left},
         }) {
        system_facts f = facts_with({screen(mt_only, false)}, ms(200), mice_access::read_write, {known(false), {}},
                                    n.others);
        f.running_line = n.running_line;
        EXPECT_EQ(next_page_button(f), n.next_page) << n.name;
    }
    struct row {
        const char* name;
        std::vector<input_device> others;
        uinput_access uinput;
        found_list<process> tapbridges;
        std::vector<std::vector<remote_trap>> traps; // of each remote listed
        std::string lines; // of each remote listed: L a line, S a line a tapbridge-remote runs already, - none
        int status;
    };
    const std::vector<row> rows = {
        {"no remote, a mouse alone", {vm_mouse}, uinput_access::writable, {known(false), {}}, {}, "", status_nothing},
        {"a page turner", {vm_mouse, turner}, uinput_access::writable, {known(false), {}}, {{}}, "L",
         status_ready},
        {"a running tapbridge is no trap for a remote's line", {turner}, uinput_access::writable, running, {{}},
         "L", status_ready},
        {"no /dev/uinput", {turner}, uinput_access::missing, {known(false), {}}, {{remote_trap::no_uinput}}, "L",
         status_traps},
        {"/dev/uinput of another kind", {turner}, uinput_access::not_uinput, {known(false), {}},
         {{remote_trap::no_uinput}}, "L", status_traps},
        {"held by another process", {held}, uinput_access::writable, {known(false), {}}, {{remote_trap::held}},
         "L", status_traps},
        {"served by tapbridge-remote: its line runs already", {served}, uinput_access::writable, {known(false), {}},
         {{}}, "S", status_ready},
        {"keys none of the default map has: no line to run", {device("/dev/input/event5", "Cam", camera,
         known(false))}, uinput_access::writable, {known(false), {}}, {{}}, "-", status_nothing},
        {"a held power button beside a page turner: no line of its own, it keeps none from running",
         {turner, held_power}, uinput_access::writable, {known(false), {}}, {{}, {remote_trap::held}},
         "L-", status_ready},
        {"a power button alone, no /dev/uinput: still no line", {held_power}, uinput_access::missing,
         {known(false), {}}, {{remote_trap::no_uinput, remote_trap::held}}, "-", status_nothing},
        {"a ring that sends no key: its swipes are its line", {ring}, uinput_access::writable, {known(false), {}},
         {{}}, "L", status_ready},
    };
    for (const row& r : rows) {
        system_facts f = facts_with({screen(mt_only, false)}, ms(200), mice_access::read_write, r.tapbridges,
                                    r.others);
        f.uinput = {r.uinput, 0, {}};
        const std::vector<listed_remote> listed = listed_remotes(f);
        std::vector<std::vector<remote_trap>> traps;
        std::string lines;
        for (const listed_remote& l : listed) {
            traps.push_back(l.traps);
            lines += !l.line ? '-' : l.served ? 'S' : 'L';
        }
        EXPECT_EQ(traps, r.traps) << r.name;
        EXPECT_EQ(lines, r.lines) << r.name;
        EXPECT_EQ(remotes_status(listed), r.status) << r.name;
    }
}

TEST(Layout, DefaultPointsStayInsideTheRange)
{
    struct row {
        const char* name;
        axis_range x;
        axis_range y;
        bool left_off;
        point_set points;
    };
    const std::vector<row> rows = {
        {"0..1071 x 0..1447", range_x, range_y, false, {{{910, 723}, {160, 723}, {535, 72}, {160, 723}, {910, 723}}}},
        {"point 1 off", range_x, range_y, true, {{{-1, -1}, {160, 723}, {535, 72}, {160, 723}, {910, 723}}}},
        {"non-zero minimum", {100, 1099, 0}, {200, 1199, 0}, false,
         {{{949, 699}, {249, 699}, {599, 249}, {249, 699}, {949, 699}}}},
        {"negative minimum: 0 is the lowest tapbridge takes", {-1000, 1000, 0}, {-1000, 1000, 0}, false,
         {{{700, 0}, {0, 0}, {0, 0}, {0, 0}, {700, 0}}}},
        {"the whole int range, no overflow", {INT_MIN, INT_MAX, 0}, {INT_MIN, INT_MAX, 0}, false,
         {{{1503238552, 0}, {0, 0}, {0, 0}, {0, 0}, {1503238552, 0}}}},
        {"X screen in pixels", pixel_range(1072), pixel_range(1448), false,
         {{{910, 723}, {160, 723}, {535, 72}, {160, 723}, {910, 723}}}},
        {"a zero-width range", {5, 5, 0}, {0, 0, 0}, false, {{{5, 0}, {5, 0}, {5, 0}, {5, 0}, {5, 0}}}},
    };
    for (const row& r : rows) {
        const point_set got = default_points(r.x, r.y, r.left_off);
        for (std::size_t i = 0; i < point_count; ++i) {
            EXPECT_EQ(got[i].x, r.points[i].x) << r.name << ", point " << i + 1;
            EXPECT_EQ(got[i].y, r.points[i].y) << r.name << ", point " << i + 1;
        }
    }
    EXPECT_FALSE(range_usable({-100, -1, 0})) << "wholly negative";
    EXPECT_FALSE(range_usable(pixel_range(0))) << "no pixels";

    // The MODE 1 line's points, from what the X server said; a screen wider
    // than tall, so that its sides cannot be mixed up.
    struct x_row {
        const char* name;
        display_facts x;
        bool left_off;
        std::optional<point_set> points;
    };
    const std::vector<x_row> x_rows = {
        {"800x480 with XTEST", {true, false, true, true, 800, 480}, false,
         point_set{{{679, 239}, {119, 239}, {399, 23}, {119, 239}, {679, 239}}}},
        {"480x800, point 1 off", {true, false, true, true, 480, 800}, true,
         point_set{{{-1, -1}, {71, 399}, {239, 39}, {71, 399}, {407, 399}}}},
        {"no XTEST", {true, false, true, false, 800, 480}, false, std::nullopt},
        {"no answer in time", {true, true, false, false, 0, 0}, false, std::nullopt},
        {"no size", {true, false, true, true, 0, 480}, false, std::nullopt},
    };
    for (const x_row& r : x_rows) {
        const auto got = x_mode_points(r.x, r.left_off);
        ASSERT_EQ(got.has_value(), r.points.has_value()) << r.name;
        for (std::size_t i = 0; got && i < point_count; ++i) {
            EXPECT_EQ((*got)[i].x, (*r.points)[i].x) << r.name << ", point " << i + 1;
            EXPECT_EQ((*got)[i].y, (*r.points)[i].y) << r.name << ", point " << i + 1;
        }
    }
}

TEST(Sketch, WherePointsFallInTheBox)
{
    struct row {
        const char* name;
        axis_range x;
        axis_range y;
        point_set points;
        int columns;
        int rows;
        std::array<mark, point_count> marks; // column, row, number drawn; -1 -1 0 when off
        std::optional<std::size_t> left_stand_in;
    };
    constexpr mark off{-1, -1, 0};
    constexpr axis_range wide_x{0, 4095, 0};
    constexpr axis_range wide_y{0, 2047, 0};
    const std::vector<row> rows = {
        {"corners and centre, minimum not 0", {100, 1171, 0}, {200, 1647, 0},
         {{{100, 200}, {1171, 200}, {100, 1647}, {1171, 1647}, {635, 923}}}, 18, 12,
         {{{0, 0, 1}, {17, 0, 2}, {0, 11, 3}, {17, 11, 4}, {8, 5, 5}}}, 4},
        {"tall, point 1 off: 2 and 4 share a cell", range_x, range_y, default_points(range_x, range_y, true), 18, 12,
         {{off, {3, 5, 2}, {8, 1, 3}, {3, 5, 2}, {14, 5, 5}}}, 4},
        {"wide: 1+5 and 2+4", wide_x, wide_y, default_points(wide_x, wide_y, false), 32, 8,
         {{{26, 3, 1}, {5, 3, 2}, {15, 0, 3}, {5, 3, 2}, {26, 3, 1}}}, 4},
        {"square units, but 2:1 tall in millimetres", {0, 4095, 40}, {0, 4095, 20},
         default_points({0, 4095, 40}, {0, 4095, 20}, false), 12, 12,
         {{{9, 5, 1}, {2, 5, 2}, {5, 1, 3}, {2, 5, 2}, {9, 5, 1}}}, 4},
        {"one resolution missing: units decide; a point beyond the range", {0, 4095, 40}, wide_y,
         {{point_off, point_off, {9999, 9999}, point_off, point_off}}, 32, 8, {{off, off, {31, 7, 3}, off, off}},
         std::nullopt},
        {"0..0 by 0..0", {0, 0, 0}, {0, 0, 0}, default_points({0, 0, 0}, {0, 0, 0}, false), 1, 1,
         {{{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}}}, 4},
        {"no width: one column", {0, 0, 0}, range_y, default_points({0, 0, 0}, range_y, false), 1, 12,
         {{{0, 5, 1}, {0, 5, 1}, {0, 1, 3}, {0, 5, 1}, {0, 5, 1}}}, 4},
        {"no height: one row, legend longer than the box", wide_x, {0, 0, 0},
         default_points(wide_x, {0, 0, 0}, true), 32, 1, {{off, {5, 0, 2}, {15, 0, 3}, {5, 0, 2}, {26, 0, 5}}}, 4},
        {"the whole int range, no overflow; legend below", {INT_MIN, INT_MAX, 0}, {0, INT_MAX, 0},
         {{{INT_MAX, INT_MAX}, {0, 0}, point_off, point_off, point_off}}, 32, 8,
         {{{31, 7, 1}, {16, 0, 2}, off, off, off}}, std::nullopt},
    };
    // Believed resolutions only: an absurd one draws the units' shape.
    const point_set square_points = default_points({0, 4095, 0}, {0, 4095, 0}, false);
    EXPECT_EQ(place_points({0, 4095, 40}, {0, 4095, 20}, square_points).columns, 12) << "102 by 205 mm";
    EXPECT_EQ(place_points({0, 4095, INT_MAX}, {0, 4095, 20}, square_points).columns, 24) << "2147483647 per mm";
    EXPECT_EQ(place_points({0, 4095, -5}, {0, 4095, 20}, square_points).columns, 24) << "-5 per mm";
    struct believed {
        axis_range axis;
        bool yes;
    };
    for (const believed& b : std::vector<believed>{{{0, 1071, 12}, true}, {{0, 1071, 0}, false}, {{0, 1071, -5}, false},
                                                   {{0, 1071, INT_MAX}, false}, {{0, 1, 1}, true}, {{0, 0, 12}, false},
                                                   {{0, 100'000, 10}, true}, {{0, 100'001, 10}, false},
                                                   {{INT_MIN, INT_MAX, 1}, false}})
        EXPECT_EQ(resolution_believed(b.axis), b.yes) << b.axis.maximum << " by " << b.axis.resolution;
    // The terminal's width: the legend below the box, broken at blanks, or no sketch at all.
    const point_set tall_points = default_points(range_x, range_y, true);
    for (std::size_t columns : {std::size_t{200}, std::size_t{79}, std::size_t{40}, std::size_t{24}, std::size_t{22},
                                std::size_t{21}, std::size_t{10}, std::size_t{0}}) {
        const auto lines = sketch_lines(range_x, range_y, tall_points, page_turning, columns);
        // The tall box is 18 columns inside its border, indented by 2.
        EXPECT_EQ(lines.empty(), columns < 22) << columns << " columns";
        EXPECT_EQ(lines.size(), columns >= 79 ? 15u : columns == 40 ? 22u : lines.size()) << columns << " columns";
        for (const std::string& line : lines)
            EXPECT_LE(line.size(), std::min(columns, sketch_width)) << columns << " columns: " << line;
        // Broken or not, the legend says the same.
        std::string words;
        for (const std::string& line : lines)
            for (std::size_t at = line.find_first_not_of(' '); at < line.size(); at = line.find_first_not_of(' ', at)) {
                const std::size_t end = std::min(line.find(' ', at), line.size());
                words += line.substr(at, end - at) + ' ';
                at = end;
            }
        EXPECT_EQ(words.find("5 wheel down = next page (910,723)") == std::string::npos, lines.empty())
            << columns << " columns: " << words;
    }
    for (const row& r : rows) {
        const sketch_box box = place_points(r.x, r.y, r.points);
        EXPECT_EQ(box.columns, r.columns) << r.name;
        EXPECT_EQ(box.rows, r.rows) << r.name;
        for (std::size_t i = 0; i < point_count; ++i) {
            const mark& got = box.marks[i];
            const mark& want = r.marks[i];
            EXPECT_TRUE(got.column == want.column && got.row == want.row && got.drawn == want.drawn)
                << r.name << ", point " << i + 1 << ": column " << got.column << " row " << got.row << " drawn "
                << got.drawn;
        }
        EXPECT_EQ(stand_in(page_turning, r.points, btn_left - 1), r.left_stand_in) << r.name;
        for (const std::string& line : sketch_lines(r.x, r.y, r.points, page_turning))
            EXPECT_LE(line.size(), sketch_width) << r.name << ": " << line;
    }
}

TEST(Choose, BestScreen)
{
    struct row {
        const char* name;
        std::vector<touch_screen> screens;
        std::optional<std::size_t> best;
    };
    const std::vector<row> rows = {
        {"none", {}, std::nullopt},
        {"first of equals", {screen(mt_only, false), screen(mt_only, false)}, 0},
        {"a direct screen over a laptop touchpad", {screen(laptop_touchpad, false), screen(direct_kind, true)}, 1},
        {"whole taps over a direct screen", {screen(no_tracking_id, false), screen(laptop_touchpad, false)}, 1},
        {"not grabbed over grabbed", {screen(mt_only, false, true), screen(mt_only, false)}, 1},
        {"grabbed is still usable", {screen(mt_only, false, true)}, 0},
        {"a wholly negative range is not", {screen(mt_only, false, false, {-500, -1, 0}), screen(touchpad_kind, true)}, 1},
        {"only negative ranges", {screen(mt_only, false, false, range_x, {-9, -1, 0})}, std::nullopt},
        {"whole taps outrank direct and not grabbed", {screen(no_tracking_id, false), screen(laptop_touchpad, false, true)},
         1},
        {"direct outranks not grabbed", {screen(laptop_touchpad, false), screen(mt_only, false, true)}, 1},
        {"0..0 is the smallest usable range", {screen(mt_only, false, false, {0, 0, 0}, {0, 0, 0})}, 0},
        {"-1..0 still reaches 0", {screen(mt_only, false, false, {-1, 0, 0}, {-1, 0, 0})}, 0},
        {"-1..-1 does not", {screen(mt_only, false, false, {-1, -1, 0}, range_y)}, std::nullopt},
        {"built in outranks all", {[] { touch_screen s = screen(mt_only, false); s.bus = BUS_VIRTUAL; return s; }(),
                                   screen(no_tracking_id, false, true)}, 1},
    };
    for (const row& r : rows)
        EXPECT_EQ(best_screen(r.screens), r.best) << r.name;
}

TEST(Traps, TrapsDoubtsAndExitStatus)
{
    struct row {
        const char* name;
        system_facts facts;
        std::vector<trap> traps;
        std::vector<doubt> doubts;
        int status;
        point_set points = {{{910, 723}, {160, 723}, {535, 72}, {160, 723}, {910, 723}}};
    };
    const found_list<process> running = {known(true), {{121, "tapbridge"}}};
    const found_list<process> proc_hidden = {unknown("/proc is not on procfs"), {}};
    const point_set all_off = {{point_off, point_off, point_off, point_off, point_off}};
    const point_set only_middle = {{point_off, point_off, {0, 0}, point_off, point_off}};
    const auto flat = [](axis_range x, axis_range y) { return facts_with({screen(mt_only, false, false, x, y)}); };
    const auto on = [](std::uint16_t bus, const char* node) {
        touch_screen s = screen(mt_only, false);
        s.bus = bus;
        s.node = node;
        return s;
    };
    const auto grabbed_mouse = [](std::vector<process> holders) {
        return facts_with({screen(mt_only, false)}, ms(200), mice_access::read_write, {known(false), {}},
                          {device("/dev/input/event1", "vm-mouse", mouse_caps, known(true), true, holders)});
    };
    const std::vector<row> rows = {
        {"MT only, not fed", facts_with({screen(mt_only, false)}), {}, {}, status_ready},
        {"touchpad kind, tap_time 200", facts_with({screen(touchpad_kind, true)}), {trap::tap_time}, {}, status_traps},
        {"touchpad kind, tap_time 0", facts_with({screen(touchpad_kind, true)}, ms(0)), {}, {}, status_ready},
        {"direct kind: the line mends it", facts_with({screen(direct_kind, true)}), {}, {}, status_ready},
        {"a second touchpad-kind screen clicks", facts_with({screen(mt_only, false), screen(touchpad_kind, true)}),
         {trap::tap_time}, {}, status_traps},
        {"grabbed by another", facts_with({screen(mt_only, false, true)}), {trap::grabbed}, {}, status_traps},
        {"no tracking id", facts_with({screen(no_tracking_id, false)}), {trap::records_break}, {}, status_traps},
        {"no mousedev", facts_with({screen(touchpad_kind, false)}, no_mousedev, mice_access::missing),
         {trap::mice_missing}, {}, status_traps},
        {"mice read-only", facts_with({screen(mt_only, false)}, ms(200), mice_access::read_only),
         {trap::mice_read_only}, {}, status_traps},
        {"mice denied", facts_with({screen(mt_only, false)}, ms(200), mice_access::denied), {trap::mice_unreadable}, {},
         status_traps},
        {"mice on a nodev mount", facts_with({screen(mt_only, false)}, ms(200), mice_access::nodev_mount),
         {trap::mice_unreadable}, {}, status_traps},
        {"mice is a FIFO", facts_with({screen(mt_only, false)}, ms(200), mice_access::not_mice),
         {trap::mice_not_mousedev}, {}, status_traps},
        {"mice has no driver", facts_with({screen(mt_only, false)}, ms(200), mice_access::no_driver),
         {trap::mice_not_mousedev}, {}, status_traps},
        {"tapbridge already running", facts_with({screen(mt_only, false)}, ms(200), mice_access::read_write, running),
         {trap::tapbridge_running}, {}, status_traps},
        {"/sys hidden, touchpad kind", facts_with({screen(touchpad_kind, sys_hidden)}, tap_time_hidden), {},
         {doubt::feeding}, status_traps},
        {"/sys hidden, direct kind", facts_with({screen(direct_kind, sys_hidden)}, tap_time_hidden), {},
         {doubt::feeding}, status_traps},
        {"/sys hidden, MT only: nothing rests on it", facts_with({screen(mt_only, sys_hidden)}, tap_time_hidden), {},
         {}, status_ready},
        {"fed as a touchpad, tap_time hidden", facts_with({screen(touchpad_kind, true)}, tap_time_hidden), {},
         {doubt::tap_time}, status_traps},
        {"/proc hidden", facts_with({screen(mt_only, false)}, ms(200), mice_access::read_write, proc_hidden), {},
         {doubt::tapbridge}, status_traps},
        {"0..0 range", flat({0, 0, 0}, {0, 0, 0}), {trap::flat_range}, {}, status_traps,
         {{{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}}}},
        {"-5..0 range: only 0 can be given", flat({-5, 0, 0}, range_y), {trap::flat_range}, {}, status_traps},
        {"0..1 range has room", flat({0, 1, 0}, {0, 1, 0}), {}, {}, status_ready},
        {"every point off", facts_with({screen(mt_only, false)}), {trap::all_points_off}, {}, status_traps, all_off},
        {"the only mouse grabbed by another", grabbed_mouse({{77, "remapper"}}), {trap::mouse_grabbed}, {},
         status_traps},
        {"a second mouse grabbed: that one never taps", facts_with({screen(mt_only, false)}, ms(200),
         mice_access::read_write, {known(false), {}}, {vm_mouse, grabbed_mouse({{77, "x"}}).others[0]}),
         {trap::mouse_grabbed}, {}, status_traps},
        {"a mouse held by tapbridge-remote: it passes the clicks on", grabbed_mouse({{78, "tapbridge-remot"}}), {},
         {}, status_ready},
        {"a tapbridge-remote --no-grab grabs nothing: another holds the grab", [&] {
             system_facts f = grabbed_mouse({{78, "tapbridge-remot"}});
             f.sharing_remotes = {78};
             return f;
         }(), {trap::mouse_grabbed}, {}, status_traps},
        {"a grabbed keyboard is no mouse", facts_with({screen(mt_only, false)}, ms(200), mice_access::read_write,
         {known(false), {}}, {vm_mouse, device("/dev/input/event4", "kbd", caps_of({{EV_KEY, KEY_A}}), known(false),
                                               true)}), {}, {}, status_ready},
        {"a grabbed keyboard whose feeding /sys hides is no mouse either", facts_with({screen(mt_only, sys_hidden)},
         tap_time_hidden, mice_access::read_write, {known(false), {}}, {device("/dev/input/event4", "kbd",
         caps_of({{EV_KEY, KEY_A}}), sys_hidden, true)}), {}, {}, status_ready},
        {"a grabbed mouse whose feeding /sys hides", facts_with({screen(mt_only, sys_hidden)}, tap_time_hidden,
         mice_access::read_write, {known(false), {}}, {device("/dev/input/event1", "m", mouse_caps, sys_hidden, true)}),
         {trap::mouse_grabbed}, {}, status_traps},
        {"one point is enough", facts_with({screen(mt_only, false)}), {}, {}, status_ready, only_middle},
        {"a screen on a bus that cannot tell, alone: it is the screen", facts_with({on(BUS_VIRTUAL, "e2")}), {}, {},
         status_ready},
        {"two on such buses: either may be a ring", facts_with({on(BUS_VIRTUAL, "e2"), on(0, "e3")}),
         {trap::may_be_ring}, {}, status_traps},
        {"a built-in one beside it is the screen", facts_with({on(BUS_I2C, "e2"), on(BUS_VIRTUAL, "e3")}), {}, {},
         status_ready},
    };
    for (const row& r : rows) {
        const auto traps = traps_for(r.facts, r.facts.screens.front(), r.points);
        const auto doubts = doubts_for(r.facts);
        EXPECT_EQ(traps, r.traps) << r.name;
        EXPECT_EQ(doubts, r.doubts) << r.name;
        EXPECT_EQ(status_for(traps, doubts), r.status) << r.name;
    }
}

TEST(Command, LineAsTheShellReadsIt)
{
    struct row {
        const char* name;
        std::string program;
        std::string node;
        int mode;
        point_set points;
        std::string line;
    };
    const point_set points = {{{-1, -1}, {160, 723}, {535, 72}, {160, 723}, {910, 723}}};
    const std::vector<row> rows = {
        {"touch mode", "/usr/local/bin/tapbridge", "/dev/input/event2", touch_mode, points,
         "/usr/local/bin/tapbridge /dev/input/event2 0 -1 -1 160 723 535 72 160 723 910 723"},
        {"X mode", "tapbridge", "/dev/input/event2", x_mode, points,
         "tapbridge /dev/input/event2 1 -1 -1 160 723 535 72 160 723 910 723"},
        {"blank and quote in a path", "/opt/my tools/tapbridge", "/dev/input/by-id/it's-event-touch", touch_mode, points,
         "'/opt/my tools/tapbridge' '/dev/input/by-id/it'\\''s-event-touch' 0 -1 -1 160 723 535 72 160 723 910 723"},
        // dash reads no $'...': control characters come from printf, a line break with the byte after it
        {"a line break and an escape in a path", "tapbridge", "/dev/input/x\nReady.\x1b[2J'", touch_mode, points,
         R"w(tapbridge '/dev/input/x'"$(printf '\012R')"'eady.'"$(printf '\033')"'[2J'\''' 0 -1 -1 160 723 535 72 )w"
         "160 723 910 723"},
        {"a %, a quote and a backslash after a line break", "/opt/a\n%b\n'c\n\\d", "/dev/input/event2", touch_mode,
         points, R"w('/opt/a'"$(printf '\012%%')"'b'"$(printf '\012\047')"'c'"$(printf '\012\134')"'d' )w"
                 "/dev/input/event2 0 -1 -1 160 723 535 72 160 723 910 723"},
    };
    for (const row& r : rows)
        EXPECT_EQ(command_line(r.program, r.node, r.mode, r.points), r.line) << r.name;
    EXPECT_EQ(x_mode_line("tapbridge", "/dev/input/event2", ":0", points),
              "DISPLAY=:0 tapbridge /dev/input/event2 1 -1 -1 160 723 535 72 160 723 910 723");
    EXPECT_EQ(x_mode_line("tapbridge", "/dev/input/event2", "host name:0", points).substr(0, 23),
              "'DISPLAY=host name:0' t");
    EXPECT_EQ(remote_command_line("tapbridge-remote", {map_text(key_code(KEY_B), btn_left)}, btn_wheel_down, "-odd name"),
              "tapbridge-remote --map KEY_B=left -- '-odd name'");
    EXPECT_EQ(remote_command_line("tapbridge-remote", {map_text(tap_at(0, -500), btn_wheel_down)}, btn_left, "Ring"),
              "tapbridge-remote --map TAP@0,-500=wheel-down Ring");
    EXPECT_EQ(remote_command_line("tapbridge-remote", {}, btn_wheel_down, "Swipe Ring"),
              "tapbridge-remote --next-page wheel-down 'Swipe Ring'");
    struct node_row {
        std::string given, kernel;
        std::optional<std::string> named;
    };
    const std::vector<node_row> nodes = {
        {"/tmp/touch\nscreen", "/dev/input/event2", "/tmp/touch\nscreen"},
        {"/tmp/touch\n", "/dev/input/event2", "/dev/input/event2"}, // a line break last: the kernel's node instead
        {"/tmp/touch\n", "", std::nullopt},                          // and none when /sys does not say
    };
    for (const node_row& n : nodes)
        EXPECT_EQ(node_for_line(n.given, n.kernel), n.named) << printable(n.given);
    EXPECT_EQ(remote_command_line("tapbridge-remote", {}, btn_left, "Turner\x7f\n$1"),
              R"w(tapbridge-remote 'Turner'"$(printf '\177\012$')"'1')w");
}

TEST(Text, PrintableAndNumbers)
{
    struct printed {
        std::string text;
        std::string shown;
    };
    const std::vector<printed> names = {
        {"vm-touch", "vm-touch"},
        {"x\nReady. Run as root:", "x\\nReady. Run as root:"},
        {"\x1b[2Jtouch\t\"q\"\\", "\\x1b[2Jtouch\\t\\\"q\\\"\\\\"},
        {"caf\xc3\xa9 \xe2\x84\xa2", "caf\xc3\xa9 \xe2\x84\xa2"},
        {"c1 \xc2\x9b csi, del \x7f", "c1 \\xc2\\x9b csi, del \\x7f"},
        {"cut \xe2\x84", "cut \\xe2\\x84"},
        {"overlong \xc0\xaf", "overlong \\xc0\\xaf"},
    };
    for (const printed& n : names)
        EXPECT_EQ(printable(n.text, true), n.shown) << n.shown;
    // Where the terminal is not UTF-8, 0x9b alone is CSI: every high byte is escaped.
    const std::vector<printed> eight_bit = {
        {"caf\xc3\xa9", "caf\\xc3\\xa9"}, {"\x9b" "1m\xff", "\\x9b" "1m\\xff"}, {"plain\n", "plain\\n"}};
    for (const printed& n : eight_bit)
        EXPECT_EQ(printable(n.text, false), n.shown) << n.shown;
    struct locale {
        const char* lc_all;
        const char* lc_ctype;
        const char* lang;
        bool utf8;
    };
    const std::vector<locale> locales = {
        {nullptr, nullptr, nullptr, false},           {nullptr, nullptr, "en_US.UTF-8", true},
        {nullptr, nullptr, "C.utf8", true},           {nullptr, nullptr, "de_DE.utf-8@euro", true},
        {"C", nullptr, "en_US.UTF-8", false},         {"", nullptr, "en_US.UTF-8", true},
        {nullptr, "C.UTF-8", "C", true},              {nullptr, "ru_RU.KOI8-R", "en_US.UTF-8", false},
        {"POSIX", "C.UTF-8", "C.UTF-8", false},       {nullptr, nullptr, "de_DE", false},
        {nullptr, nullptr, "en_US.UTF-16", false},    {nullptr, "", "C.UTF-8", true},
    };
    for (const locale& l : locales)
        EXPECT_EQ(utf8_locale(l.lc_all, l.lc_ctype, l.lang), l.utf8)
            << (l.lc_all ? l.lc_all : "-") << ' ' << (l.lc_ctype ? l.lc_ctype : "-") << ' ' << (l.lang ? l.lang : "-");
    struct number {
        std::string text;
        std::optional<unsigned int> tap_time;
        std::optional<int> pid;
    };
    const std::vector<number> numbers = {
        {"200\n", 200, std::nullopt},
        {"0", 0, std::nullopt},
        {"4294967295\n", 4294967295u, std::nullopt},
        {"4294967296\n", std::nullopt, std::nullopt},
        {"2147483647", 2147483647u, 2147483647},
        {"2147483648", 2147483648u, std::nullopt},
        {"99999999999", std::nullopt, std::nullopt},
        {"12", 12u, 12},
        {"-1", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
        {"\n", std::nullopt, std::nullopt},
        {"12abc", std::nullopt, std::nullopt},
        {" 12", std::nullopt, std::nullopt},
        {"self", std::nullopt, std::nullopt},
    };
    for (const number& n : numbers) {
        EXPECT_EQ(parse_unsigned(n.text), n.tap_time) << printable(n.text);
        EXPECT_EQ(parse_pid(n.text), n.pid) << printable(n.text);
    }
    EXPECT_EQ(parse_pid("0"), std::nullopt) << "no process has pid 0";
    struct word {
        std::string text;
        std::string word;
        bool one_line;
    };
    using namespace std::string_literals;
    const std::vector<word> words = {
        {"KEY_B=left", "KEY_B=left", true},
        {"", "''", true},
        {"Pad$1", "'Pad$1'", true},
        {"\x1b[2J", R"w("$(printf '\033')"'[2J')w", true},
        {"tab\there", R"w('tab'"$(printf '\011')"'here')w", true},
        {"\n\xc3\xa9", R"w("$(printf '\012\303')"')w" "\xa9'", true},
        // A command substitution strips a last line break, and nothing else on one line writes one.
        {"Turner\n", "'Turner\n'", false},
        {"a\x01\n", "'a\x01\n'", false},
        {"nul\0byte"s, "'nul\0byte'"s, false},
    };
    for (const word& w : words) {
        EXPECT_EQ(shell_word(w.text), w.word) << printable(w.text);
        EXPECT_EQ(one_line_word(w.text), w.one_line) << printable(w.text);
    }
}

TEST(Keymap, WhatARemotesEventClicks)
{
    struct row {
        const char* name;
        std::vector<const char*> maps; // empty: the default map
        bool grabbed;
        std::uint16_t type, code;
        std::int32_t value, previous;
        mouse_action action;
    };
    constexpr mouse_action left{btn_left, 0}, right{btn_right, 0}, middle{btn_middle, 0}, none{}, up{0, 1}, down{0, -1};
    const std::vector<row> rows = {
        {"page down: next page", {}, true, EV_KEY, KEY_PAGEDOWN, 1, 0, left},
        {"its autorepeat", {}, true, EV_KEY, KEY_PAGEDOWN, 2, 1, none},
        {"its release", {}, true, EV_KEY, KEY_PAGEDOWN, 0, 1, none},
        {"camera remote, volume up: previous page", {}, false, EV_KEY, KEY_VOLUMEUP, 1, 0, right},
        {"media remote, next song", {}, false, EV_KEY, KEY_NEXTSONG, 1, 0, left},
        {"gamepad shoulder", {}, true, EV_KEY, BTN_TL, 1, 0, right},
        {"gamepad start: menu", {}, true, EV_KEY, BTN_START, 1, 0, middle},
        {"hat right", {}, true, EV_ABS, ABS_HAT0X, 1, 0, left},
        {"hat left", {}, true, EV_ABS, ABS_HAT0X, -1, 0, right},
        {"hat from left straight to right", {}, true, EV_ABS, ABS_HAT0X, 1, -1, left},
        {"hat back to the middle", {}, true, EV_ABS, ABS_HAT0X, 0, 1, none},
        {"hat on a wider axis, half way", {}, true, EV_ABS, ABS_HAT0X, 3, 0, none},
        {"an analog stick is no hat", {}, true, EV_ABS, ABS_X, 1, 0, none},
        {"a letter is never mapped by default", {}, true, EV_KEY, KEY_A, 1, 0, none},
        {"a digit neither", {}, true, EV_KEY, KEY_1, 1, 0, none},
        {"its own left button, grabbed: passed on", {}, true, EV_KEY, BTN_LEFT, 1, 0, left},
        {"its own left button, shared: mousedev passes it", {}, false, EV_KEY, BTN_LEFT, 1, 0, none},
        {"its wheel, grabbed", {}, true, EV_REL, REL_WHEEL, -2, 0, {0, -2}},
        {"its wheel, shared", {}, false, EV_REL, REL_WHEEL, 1, 0, none},
        {"motion never clicks", {}, true, EV_REL, REL_X, 5, 0, none},
        {"--map replaces the defaults", {"KEY_ENTER=wheel-down"}, true, EV_KEY, KEY_PAGEDOWN, 1, 0, none},
        {"--map by name", {"KEY_ENTER=wheel-down"}, true, EV_KEY, KEY_ENTER, 1, 0, down},
        {"--map by number", {"115=wheel-up"}, true, EV_KEY, KEY_VOLUMEUP, 1, 0, up},
        {"--map by an alias", {"BTN_A=middle"}, true, EV_KEY, BTN_SOUTH, 1, 0, middle},
        {"--map of a hat end", {"ABS_HAT0Y-=left"}, true, EV_ABS, ABS_HAT0Y, -1, 0, left},
        {"--map of the other end only", {"ABS_HAT0Y-=left"}, true, EV_ABS, ABS_HAT0Y, 1, 0, none},
        {"--map of its own left button wins", {"BTN_LEFT=right"}, true, EV_KEY, BTN_LEFT, 1, 0, right},
        {"--map leaves its own buttons, grabbed", {"KEY_A=left"}, true, EV_KEY, BTN_MIDDLE, 1, 0, middle},
    };
    for (const row& r : rows) {
        key_map map = default_map();
        if (!r.maps.empty())
            map.count = 0;
        for (const char* m : r.maps)
            ASSERT_EQ(add_mapping(map, m), map_error::none) << m;
        EXPECT_EQ(action_of(map, r.grabbed, r.type, r.code, r.value, r.previous), r.action) << r.name;
    }
    struct given {
        const char* text;
        map_error error;
        const char* name; // the code as named back
    };
    const std::vector<given> maps = {
        {"KEY_PAGEDOWN=left", map_error::none, "KEY_PAGEDOWN"},
        {"BTN_A=right", map_error::none, "BTN_SOUTH"},
        {"ABS_HAT3Y+=middle", map_error::none, "ABS_HAT3Y+"},
        {"767=left", map_error::none, "KEY_MAX"},
        {"KEY_PAGEDOWN", map_error::no_equals, ""},
        {"KEY_NOSUCH=left", map_error::unknown_code, ""},
        {"ABS_X+=left", map_error::unknown_code, ""},
        {"ABS_HAT0X=left", map_error::unknown_code, ""},
        {"0=left", map_error::unknown_code, ""},
        {"768=left", map_error::unknown_code, ""},
        {"-1=left", map_error::unknown_code, ""},
        {"REL_WHEEL=left", map_error::unknown_code, ""},
        {"KEY_ENTER=up", map_error::unknown_button, ""},
        {"KEY_ENTER=", map_error::unknown_button, ""},
    };
    for (const given& g : maps) {
        key_map map{};
        EXPECT_EQ(add_mapping(map, g.text), g.error) << g.text;
        if (g.error == map_error::none) {
            EXPECT_EQ(code_name(map.entries[0].code), g.name) << g.text;
            EXPECT_EQ(parse_code(code_name(map.entries[0].code)), map.entries[0].code) << g.text;
        }
    }
    key_map twice{};
    ASSERT_EQ(add_mapping(twice, "KEY_ENTER=left"), map_error::none);
    EXPECT_EQ(add_mapping(twice, "28=right"), map_error::twice) << "KEY_ENTER is 28";
    key_map full{};
    full.count = map_capacity;
    EXPECT_EQ(add_mapping(full, "KEY_ENTER=left"), map_error::full);
    // What --learn takes for an answer: the press itself, none for a hat's return or half way.
    EXPECT_EQ(press_of(EV_ABS, ABS_HAT0X, 0, 1), std::nullopt);
    EXPECT_EQ(press_of(EV_ABS, ABS_HAT0Y, 3, 0), std::nullopt);
    EXPECT_EQ(press_of(EV_ABS, ABS_HAT0Y, -1, -1), std::nullopt);
    EXPECT_EQ(press_of(EV_ABS, ABS_HAT1X, -1, 0), hat_code(ABS_HAT1X, -1));
    EXPECT_EQ(press_of(EV_KEY, KEY_B, 1, 0), key_code(KEY_B));
    EXPECT_TRUE(mousedev_clicks(key_code(BTN_TOUCH)) && mousedev_clicks(key_code(BTN_STYLUS2)));
    EXPECT_FALSE(mousedev_clicks(key_code(BTN_SIDE)) || mousedev_clicks(key_code(KEY_ENTER)));
}

#define RING_SWIPES "left on SWIPE_LEFT SWIPE_UP, right on SWIPE_RIGHT SWIPE_DOWN"
#define UNLEARNT "its taps click nothing until mapped (tapbridge-setup --learn learns them)"

TEST(Keymap, WhichNodesTheRemoteIsAndWhetherTheMapFits)
{
    const input_caps keyboard = caps_of({{EV_KEY, KEY_PAGEDOWN}, {EV_KEY, KEY_A}}, false);
    const input_caps media = caps_of({{EV_KEY, KEY_VOLUMEUP}}, false);
    const input_caps mouse = caps_of({{EV_KEY, BTN_LEFT}, {EV_REL, REL_X}, {EV_REL, REL_Y}}, false);
    const input_caps combo = caps_of({{EV_KEY, KEY_PAGEDOWN}, {EV_KEY, BTN_LEFT}, {EV_REL, REL_WHEEL}}, false);
    const input_caps screen = caps_of({{EV_ABS, ABS_MT_POSITION_X}, {EV_ABS, ABS_MT_POSITION_Y}, {EV_KEY, KEY_PAGEDOWN}});
    const input_caps power = caps_of({{EV_KEY, KEY_POWER}}, false);
    const std::vector<candidate> all = {
        {"/dev/input/event0", 0, {"Page Turner", "AA:BB", "bt0", BUS_BLUETOOTH}, keyboard, false},
        {"/dev/input/event1", 0, {"Page Turner Media", "aa:bb", "bt0", BUS_BLUETOOTH}, media, false},
        {"/dev/input/event2", 0, {"Twin", "", "", BUS_BLUETOOTH}, keyboard, false},
        {"/dev/input/event3", 0, {"Twin", "", "", BUS_BLUETOOTH}, keyboard, false},
        {"/dev/input/event4", 0, {"Screen", "", "", BUS_I2C}, screen, false},
        {"/dev/input/event5", 0, {virtual_mouse_name, "", "", BUS_VIRTUAL}, mouse, true},
        {"/dev/input/event6", 0, {"USB Pad", "", "usb-1/input0", BUS_BLUETOOTH}, keyboard, false},
        {"/dev/input/event7", 0, {"USB Pad Mouse", "", "usb-1/input1", BUS_BLUETOOTH}, combo, true},
        {"/dev/input/event8", 0, {"Ring", "", "00:1a:7d:da:71:13", BUS_BLUETOOTH}, keyboard, false},
        {"/dev/input/event9", 0, {"Ring", "", "00:1a:7d:da:71:13", BUS_BLUETOOTH}, keyboard, false},
        {"/dev/input/event10", 0, {"Swipe Ring", "", "", BUS_BLUETOOTH}, finger_ring, true},
        {"/dev/input/event11", 0, {"Pad Ring", "", "", BUS_BLUETOOTH}, pad_ring, false},
        {"/dev/input/event12", 0, {"Built-in Pen", "", "", BUS_I2C}, pen_caps, true},
        {"/dev/input/event13", 0, {"Mystery Touch", "", "", BUS_VIRTUAL}, mt_only, false},
        {"/dev/input/event14", 0, {"Presenter System", "", "usb-3/input2", BUS_USB}, power, false},
    };
    struct row {
        const char* remote;
        int identity; // the node whose identity is followed, as when its path was given at start; -1: none
        bool take_screen;
        pick_kind kind;
        std::vector<std::size_t> nodes;
    };
    const std::vector<row> picks = {
        {"Page Turner", -1, false, pick_kind::found, {0, 1}},
        {"aa:BB", -1, false, pick_kind::found, {0, 1}},
        {"Page Turner Media", 1, false, pick_kind::found, {1}},
        {"page turner", -1, false, pick_kind::absent, {}},
        {"Twin", -1, false, pick_kind::several, {2, 3}},
        {"Screen", -1, false, pick_kind::touch_screen, {4}},
        {virtual_mouse_name, -1, false, pick_kind::virtual_mouse, {}},
        {"USB Pad", -1, false, pick_kind::found, {6, 7}},
        {"Ring", -1, false, pick_kind::several, {8, 9}}, // two rings on one Bluetooth adapter
        {"", -1, false, pick_kind::absent, {}},
        {"Swipe Ring", -1, false, pick_kind::found, {10}}, // multitouch, but on Bluetooth: a ring
        {"Built-in Pen", -1, false, pick_kind::touch_screen, {12}},
        {"Mystery Touch", -1, false, pick_kind::touch_screen, {13}}, // a bus that cannot tell
        {"Mystery Touch", -1, true, pick_kind::touch_screen, {13}},  // by name: never
        {"Mystery Touch", 13, true, pick_kind::found, {13}},          // by node, asked for
        {"Screen", 4, false, pick_kind::touch_screen, {4}},
    };
    for (const row& r : picks) {
        wanted want{r.remote, std::nullopt, r.take_screen};
        if (r.identity >= 0)
            want.identity = all[static_cast<std::size_t>(r.identity)].id;
        const pick p = pick_remote(want, all);
        EXPECT_EQ(p.kind, r.kind) << r.remote;
        EXPECT_EQ(p.nodes, r.nodes) << r.remote;
    }
    struct fit_row {
        const char* name;
        std::vector<const char*> args;
        std::vector<std::size_t> nodes;
        fit_kind kind;
        std::vector<bool> take;
        const char* clicks; // of the first node
    };
    const std::vector<fit_row> fits = {
        {"default map, a page turner and its media part", {"x"}, {0, 1}, fit_kind::fits, {true, true},
         "left on KEY_PAGEDOWN"},
        {"a mouse without keys, grabbed: read as a ring that drags", {"x"}, {5}, fit_kind::fits, {true},
         RING_SWIPES "; its left button held is a drag's contact, its other buttons and wheel go on as themselves; "
         UNLEARNT},
        {"a mouse without keys, shared: mousedev clicks its contact too", {"--no-grab", "x"}, {5},
         fit_kind::taps_twice, {true}, RING_SWIPES "; " UNLEARNT},
        {"a swipe ring, default map", {"x"}, {10}, fit_kind::fits, {true}, RING_SWIPES "; " UNLEARNT},
        {"a swipe ring, shared: mousedev clicks each touch", {"--no-grab", "x"}, {10}, fit_kind::taps_twice, {true},
         RING_SWIPES "; " UNLEARNT},
        {"a swipe ring, its taps learnt", {"--map", "TAP@0,500=left", "--map", "TAP@0,1012=right", "x"}, {10},
         fit_kind::fits, {true}, "left on TAP@0,500, right on TAP@0,1012"},
        {"a touchpad ring makes no TAP@", {"--map", "TAP@0,500=left", "x"}, {11}, fit_kind::undeclared, {false}, ""},
        {"a drag ring makes no TAP@ either: its taps have no place", {"--map", "TAP@0,500=left", "x"}, {5},
         fit_kind::undeclared, {false}, "its left button held is a drag's contact, its other buttons and wheel go on "
         "as themselves"},
        {"a drag ring's taps mapped as TAP", {"--map", "TAP=left", "x"}, {5}, fit_kind::fits, {true},
         "left on TAP; its left button held is a drag's contact, its other buttons and wheel go on as themselves"},
        {"a node with nothing mapped and no gestures is not taken", {"x"}, {0, 14}, fit_kind::fits, {true, false},
         "left on KEY_PAGEDOWN"},
        {"a touchpad ring, shared: mousedev leaves it alone", {"--no-grab", "x"}, {11}, fit_kind::fits, {true},
         RING_SWIPES},
        {"a page turner makes no swipe", {"--map", "SWIPE_LEFT=left", "x"}, {0}, fit_kind::undeclared, {false}, ""},
        {"next page on wheel-down", {"--next-page", "wheel-down", "x"}, {0, 1}, fit_kind::fits, {true, true},
         "wheel-down on KEY_PAGEDOWN"},
        {"a --map code on one node of two", {"--map", "KEY_VOLUMEUP=middle", "x"}, {0, 1}, fit_kind::fits,
         {false, true}, ""},
        {"a --map code on none", {"--map", "KEY_ENTER=left", "x"}, {0, 1}, fit_kind::undeclared, {false, false}, ""},
        {"a combo, grabbed", {"x"}, {7}, fit_kind::fits, {true},
         "left on KEY_PAGEDOWN; its own mouse buttons and wheel as themselves"},
        {"a combo, shared, default map", {"--no-grab", "x"}, {7}, fit_kind::fits, {true}, "left on KEY_PAGEDOWN"},
        {"shared, mousedev clicks BTN_LEFT itself", {"--no-grab", "--map", "BTN_LEFT=right", "x"}, {7},
         fit_kind::taps_twice, {true}, "right on BTN_LEFT"},
        {"grabbed, BTN_LEFT mapped", {"--map", "BTN_LEFT=right", "x"}, {7}, fit_kind::fits, {true},
         "right on BTN_LEFT; its own mouse buttons and wheel as themselves"},
    };
    for (const fit_row& r : fits) {
        std::vector<std::string_view> words(r.args.begin(), r.args.end());
        const remote_args a = parse_remote_args(words);
        ASSERT_EQ(a.error, "") << r.name;
        std::vector<const candidate*> nodes;
        for (std::size_t i : r.nodes)
            nodes.push_back(&all[i]);
        const fit_verdict v = fit_of(a.map, a.given_map, a.grab, nodes);
        EXPECT_EQ(v.kind, r.kind) << r.name;
        EXPECT_EQ(v.take, r.take) << r.name;
        EXPECT_EQ(clicks_text(a.map, a.grab, nodes[0]->caps), r.clicks) << r.name;
    }
    struct args_row {
        std::vector<const char*> args;
        const char* remote;
        const char* error; // its start
        bool grab;
    };
    const std::vector<args_row> lines = {
        {{"--no-grab", "--map", "KEY_B=left", "--map=28=right", "Page Turner"}, "Page Turner", "", false},
        {{"--", "-odd name"}, "-odd name", "", true},
        {{"a", "b"}, "a", "one remote only: 'a' and 'b'", true},
        {{}, "", "no REMOTE given", true},
        {{"x", "--map"}, "x", "--map needs CODE=BUTTON", true},
        {{"--grab\x1b", "x"}, "", "unknown option '--grab\\x1b'", true},
        {{"-x\x1b[2J"}, "", "unknown option '-x\\x1b[2J'", true},
        {{""}, "", "REMOTE is empty", true},
        {{"--next-page", "wheel-down", "--map", "KEY_B=left", "x"}, "x", "--next-page moves the default map", true},
        {{"--next-page", "up", "x"}, "", "--next-page 'up': no such button", true},
        {{"--take-screen", "Ring"}, "Ring", "--take-screen takes only a node", true},
        {{"--take-screen", "/dev/input/event3"}, "/dev/input/event3", "", true},
    };
    for (const args_row& r : lines) {
        std::vector<std::string_view> words(r.args.begin(), r.args.end());
        const remote_args a = parse_remote_args(words);
        EXPECT_TRUE(a.error.starts_with(r.error) && (*r.error || a.error.empty())) << a.error;
        EXPECT_EQ(a.remote, r.remote) << a.error;
        EXPECT_EQ(a.grab, r.grab) << a.error;
    }
    EXPECT_EQ(parse_remote_args({"x"}).map.count, default_mappings.size());
    // One gesture too many is told by the gestures' own bound.
    std::vector<std::string> many;
    for (std::size_t i = 0; i <= gesture_capacity; ++i)
        many.push_back("--map=TAP@" + std::to_string(i) + ",0=left");
    many.push_back("x");
    EXPECT_EQ(parse_remote_args(std::vector<std::string_view>(many.begin(), many.end())).error,
              "--map 'TAP@16,0=left': more than 16 gestures mapped; map fewer");
    EXPECT_EQ(parse_remote_args({"--map", "KEY_B=left", "x"}).map.count, 1u);
    EXPECT_TRUE(parse_remote_args({"x", "--help", "--bad"}).help);
    // A word taken for an option, where a remote of that name is there: the error says how to give it.
    struct hint_row {
        std::vector<const char*> args;
        const char* unknown; // the word taken for an option; empty: the error is another
        const char* text;    // the error with the line that means it
    };
    const std::vector<hint_row> hints = {
        {{"-Ring 2"}, "-Ring 2",
         "unknown option '-Ring 2'; a remote of that name is there: put -- before it (tapbridge-remote -- '-Ring 2')"},
        {{"--no-grab", "--map", "KEY_B=left", "-Ring 2"}, "-Ring 2",
         "unknown option '-Ring 2'; a remote of that name is there: put -- before it (tapbridge-remote --no-grab "
         "--map KEY_B=left -- '-Ring 2')"},
        {{"-Ring\t2", "--no-grab"}, "-Ring\t2",
         "unknown option '-Ring\\t2'; a remote of that name is there: put -- before it (tapbridge-remote --no-grab "
         R"w(-- '-Ring'"$(printf '\011')"'2'))w"},
        {{"--", "-Ring 2", "x"}, "", ""},
        {{"-Ring 2", "--"}, "-Ring 2",
         "unknown option '-Ring 2'; a remote of that name is there: put -- before it (tapbridge-remote -- '-Ring 2')"},
        {{"--map", "-Ring 2", "x"}, "", ""},
    };
    for (const hint_row& r : hints) {
        std::vector<std::string_view> words(r.args.begin(), r.args.end());
        const remote_args a = parse_remote_args(words);
        EXPECT_EQ(a.unknown_option, r.unknown) << a.error;
        if (*r.unknown) {
            EXPECT_EQ(name_after_options_text(a, words), r.text);
        }
    }
}

// The mappings a document's default-map table lists, from the line that
// starts it up to the one that ends it: each word that names a button
// (left, right, middle) sets the button of the codes after it.
std::vector<std::pair<std::string, std::string>> documented_map(const std::string& text, const std::string& first,
                                                                const std::string& last)
{
    std::vector<std::pair<std::string, std::string>> found;
    const std::size_t begin = text.find(first);
    const std::size_t end = begin == std::string::npos ? begin : text.find(last, begin + first.size());
    if (end == std::string::npos)
        return found;
    std::istringstream words(text.substr(begin, end - begin));
    std::string button;
    for (std::string word; words >> word;) {
        // Markdown's cells and code spans, and roff's escaped minus.
        std::erase_if(word, [](char c) { return c == '`' || c == '|'; });
        if (const std::size_t minus = word.find("\\-"); minus != std::string::npos)
            word.erase(minus, 1);
        if (parse_button(word))
            button = word;
        else if (const auto code = parse_code(word); code && !button.empty())
            found.emplace_back(code_name(*code), button);
        else if (const auto gesture = parse_gesture(word); gesture && !button.empty())
            found.emplace_back(gesture_name(*gesture), button);
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string file_text(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(Keymap, DefaultMapAsDocumented)
{
    std::vector<std::pair<std::string, std::string>> shipped;
    for (const mapping& m : default_mappings)
        shipped.emplace_back(code_name(m.code), button_word(m.button));
    for (const gesture_mapping& m : default_gesture_mappings)
        shipped.emplace_back(gesture_name(m.gesture), button_word(m.button));
    std::sort(shipped.begin(), shipped.end());
    struct document {
        std::string name, text, first, last;
    };
    const std::vector<document> documents = {
        {"README.md", file_text(TAPBRIDGE_SOURCE_DIR "/README.md"), "| button | for | codes |", "\n\n"},
        {"tapbridge-remote(1)", file_text(TAPBRIDGE_SOURCE_DIR "/doc/tapbridge-remote.1"), ".SH DEFAULT MAP", ".TE"},
        {"tapbridge-remote --help", remote_help, "The default map:", "Letters and digits"},
    };
    for (const document& d : documents) {
        ASSERT_NE(d.text.find(d.first), std::string::npos) << d.name << " has no default map table";
        // Both ways: every code documented is mapped so, and every mapping is documented.
        EXPECT_EQ(documented_map(d.text, d.first, d.last), shipped) << d.name;
    }
}

TEST(Gesture, WhatAStrokeIsAndWhichButtonItClicks)
{
    // Frames as a ring sends them, ms apart: c contact, p pressed within, x y, rel, k the kernel's release.
    struct frame_at {
        std::int64_t ms;
        stroke_frame f;
    };
    const auto touch = [](std::int64_t ms, std::int32_t x, std::int32_t y, bool down = true) {
        return frame_at{ms, {down, false, true, x, y, 0, 0, false}};
    };
    const auto rel = [](std::int64_t ms, std::int32_t dx, std::int32_t dy, bool button = false) {
        return frame_at{ms, {button, false, false, 0, 0, dx, dy, false}};
    };
    const auto press = [](frame_at f) { f.f.pressed = true; return f; };
    const frame_at lift_by_kernel{0, {false, false, true, 0, 0, 0, 0, true}};
    struct row {
        const char* name;
        std::vector<frame_at> frames;
        std::int64_t quiet_at; // ms at which the quiet gap is looked at; -1: not
        std::vector<const char*> gestures; // each stroke's gesture, as --map names it
    };
    constexpr axis_spans span{4095, 4095};
    const std::vector<row> rows = {
        {"a finger swipe to the left, not quite straight", {touch(0, 700, 500), touch(30, 660, 505), touch(60, 620, 498),
                                                            touch(90, 620, 498, false)}, -1, {"SWIPE_LEFT"}},
        {"the other way", {touch(0, 620, 500), touch(30, 700, 500), touch(60, 700, 500, false)}, -1, {"SWIPE_RIGHT"}},
        {"a pen stroke downward", {touch(0, 2000, 1012), touch(30, 2000, 1100), touch(60, 2010, 1400), touch(90, 2000, 2300),
                                   touch(120, 2000, 2300, false)}, -1, {"SWIPE_DOWN"}},
        {"a stroke that curves: the larger way wins", {touch(0, 100, 100), touch(40, 400, 200), touch(80, 300, 700),
                                                       touch(90, 300, 700, false)}, -1, {"SWIPE_DOWN"}},
        {"slow: 2 s between frames", {touch(0, 900, 900), touch(2000, 900, 600), touch(4000, 900, 600, false)}, -1,
         {"SWIPE_UP"}},
        {"just over 1.5 % of the span", {touch(0, 1000, 0), touch(10, 938, 0, false)}, -1, {"SWIPE_LEFT"}},
        {"a 4 % swipe", {touch(0, 0, 1000), touch(10, 0, 1164, false)}, -1, {"SWIPE_DOWN"}},
        {"1.5 % is still a tap, where it lifted", {touch(0, 1000, 500), touch(10, 1061, 500, false)}, -1,
         {"TAP@1061,500"}},
        {"a tap with jitter", {touch(0, 30, 1012), touch(20, 34, 1009), touch(40, 32, 1013, false)}, -1,
         {"TAP@32,1013"}},
        {"down and up within one frame", {press(touch(0, 10, 200, false))}, -1, {"TAP@10,200"}},
        {"two strokes in quick succession", {touch(0, 700, 500), touch(30, 600, 500, false), touch(40, 600, 500),
                                             touch(70, 700, 500), touch(80, 700, 500, false)}, -1,
         {"SWIPE_LEFT", "SWIPE_RIGHT"}},
        {"a stroke cut by the ring going away is none", {touch(0, 700, 500), touch(30, 600, 500), lift_by_kernel,
                                                         touch(40, 600, 500), touch(50, 500, 500, false)}, -1,
         {"SWIPE_LEFT"}},
        {"a drag: the button held, relative motion", {rel(0, 0, 0, true), rel(30, 0, -12, true), rel(60, 1, -12, true),
                                                      rel(90, 0, 0)}, -1, {"SWIPE_UP"}},
        {"a drag without motion: a tap with no place", {rel(0, 0, 0, true), rel(90, 0, 0)}, -1, {"TAP"}},
        {"a touchpad stroke of four 12-count events, ended by the gap", {rel(0, 12, 0), rel(35, 12, 0), rel(70, 12, 1),
                                                                         rel(105, 12, 0)}, 255, {"SWIPE_RIGHT"}},
        {"events 100 ms apart stay one burst", {rel(0, 0, 10), rel(100, 0, 10), rel(200, 0, 10)}, 350, {"SWIPE_DOWN"}},
        {"the gap not yet over: no gesture", {rel(0, 0, 10), rel(100, 0, 10), rel(200, 0, 10)}, 349, {}},
        {"one event alone: a tap", {rel(0, 12, 0)}, 150, {"TAP"}},
        {"motion, then the button: one drag", {rel(0, -15, 0), rel(30, -15, 0, true), rel(60, -15, 0, true), rel(70, 0, 0)},
         -1, {"SWIPE_LEFT"}},
        {"a stroke cut by the kernel's release is not carried into the next", {touch(0, 100, 500), lift_by_kernel,
                                                                             touch(40, 700, 500),
                                                                             touch(50, 620, 500, false)}, -1,
         {"SWIPE_LEFT"}},
        {"a frame without motion (a wheel step) does not stretch a burst's gap", {rel(0, 12, 0), rel(35, 12, 0),
                                                                                  rel(70, 12, 0), rel(100, 0, 0)}, 220,
         {"SWIPE_RIGHT"}},
        {"a drag whose button comes with its first motion", {press(rel(0, 0, -15, true)), rel(30, 0, -10, true),
                                                             rel(60, 0, 0)}, -1, {"SWIPE_UP"}},
    };
    for (const row& r : rows) {
        stroke s = no_stroke;
        std::vector<std::string> got;
        for (const frame_at& f : r.frames)
            if (const auto end = after_frame(s, f.f, f.ms))
                got.push_back(gesture_name(gesture_of(*end, span)));
        if (r.quiet_at >= 0) {
            EXPECT_EQ(quiet_left_ms(s, r.quiet_at) > 0, r.gestures.empty()) << r.name;
            if (const auto end = after_quiet(s, r.quiet_at))
                got.push_back(gesture_name(gesture_of(*end, span)));
        }
        EXPECT_EQ(got, std::vector<std::string>(r.gestures.begin(), r.gestures.end())) << r.name;
        EXPECT_EQ(quiet_left_ms(s, 0) < 0, r.quiet_at < 0 || !r.gestures.empty()) << r.name << ": a timer left open";
    }
    // A narrow axis counts against its own span.
    EXPECT_EQ(gesture_name(gesture_of({true, 0, 0, 10, -40}, {100, 4095})), "SWIPE_RIGHT");
    struct span_row {
        const char* name;
        stroke_end end;
        axis_spans spans;
        const char* gesture;
    };
    for (const span_row& r : std::vector<span_row>{
             {"exactly 1.5 % is still a tap", {true, 1015, 0, 15, 0}, {1000, 1000}, "TAP@1015,0"},
             {"a diagonal exactly between the axes: across", {true, 0, 0, 100, -100}, {4095, 4095}, "SWIPE_RIGHT"},
             // A descriptor that declares an axis 0..0 and moves on it all the same: no division by zero.
             {"an axis of span 0 that moves anyway", {true, 1, 900, 1, 80}, {0, 4095}, "SWIPE_RIGHT"},
         })
        EXPECT_EQ(gesture_name(gesture_of(r.end, r.spans)), r.gesture) << r.name;

    struct named {
        const char* text;
        bool parses;
    };
    for (const named& n : std::vector<named>{{"SWIPE_LEFT", true}, {"SWIPE_DOWN", true}, {"TAP", true},
                                             {"TAP@0,500", true}, {"TAP@-3,+4", false}, {"TAP@-3,4", true},
                                             {"TAP@1,2,3", false}, {"TAP@", false}, {"TAP@,5", false},
                                             {"TAP@99999999999,1", false}, {"swipe_left", false}, {"SWIPE", false},
                                             {"TAPX", false}, {"TAPX1,2", false}}) {
        const auto code = parse_gesture(n.text);
        EXPECT_EQ(code.has_value(), n.parses) << n.text;
        if (code) {
            EXPECT_EQ(gesture_name(*code), n.text) << n.text;
        }
    }

    // Which button a gesture clicks.
    struct click_row {
        std::vector<const char*> maps; // empty: the default map
        const char* gesture;
        int button;
    };
    const std::vector<click_row> clicks = {
        {{}, "SWIPE_LEFT", btn_left},
        {{}, "SWIPE_UP", btn_left},
        {{}, "SWIPE_RIGHT", btn_right},
        {{}, "SWIPE_DOWN", btn_right},
        {{}, "TAP@5,5", btn_none}, // taps are learnt, never guessed
        {{}, "TAP", btn_none},
        {{"TAP@0,500=left", "TAP@0,1012=right"}, "TAP@3,520", btn_left},
        {{"TAP@0,500=left", "TAP@0,1012=right"}, "TAP@0,790", btn_right}, // nearer 1012 than 500
        {{"TAP@0,200=right", "TAP@0,800=left"}, "TAP@4095,100", btn_right},
        {{"TAP@0,0=left", "TAP@10,0=right"}, "TAP@5,0", btn_left}, // half way: the first of equals
        {{"TAP@0,500=left", "TAP=middle"}, "TAP@9,9", btn_left},     // a placed entry wins
        {{"TAP@0,500=left", "TAP=middle"}, "TAP", btn_middle},       // a drag's tap has no place
        {{"TAP=middle"}, "TAP@9,9", btn_middle},
        {{"TAP@0,500=left"}, "TAP", btn_none},
        {{"SWIPE_UP=wheel-down"}, "SWIPE_UP", btn_wheel_down},
        {{"SWIPE_UP=wheel-down"}, "SWIPE_LEFT", btn_none},
    };
    for (const click_row& c : clicks) {
        key_map map = default_map();
        if (!c.maps.empty())
            map.count = map.gesture_count = 0;
        for (const char* m : c.maps)
            ASSERT_EQ(add_mapping(map, m), map_error::none) << m;
        EXPECT_EQ(button_of(map, *parse_gesture(c.gesture)), c.button) << c.gesture;
    }
    key_map twice{};
    ASSERT_EQ(add_mapping(twice, "TAP@0,500=left"), map_error::none);
    EXPECT_EQ(add_mapping(twice, "TAP@0,500=right"), map_error::twice);
    EXPECT_EQ(add_mapping(twice, "TAP@0,501=right"), map_error::none);
    const key_map moved = default_map(btn_wheel_down);
    EXPECT_EQ(button_of(moved, swipe(gesture_kind::swipe_left)), btn_wheel_down);
    EXPECT_EQ(button_of(moved, key_code(KEY_PAGEDOWN)), btn_wheel_down);
    EXPECT_EQ(button_of(moved, key_code(KEY_PAGEUP)), btn_right);

    // What a device's gestures come from, and whether it is a ring.
    const input_caps drag = caps_of({{EV_KEY, BTN_LEFT}, {EV_KEY, BTN_RIGHT}, {EV_REL, REL_X}, {EV_REL, REL_Y},
                                     {EV_REL, REL_WHEEL}}, false);
    const input_caps presenter = caps_of({{EV_KEY, KEY_PAGEDOWN}, {EV_KEY, BTN_LEFT}, {EV_REL, REL_X}, {EV_REL, REL_Y}},
                                         false);
    const input_caps keys_and_touch = caps_of({{EV_KEY, KEY_VOLUMEUP}, {EV_KEY, BTN_TOUCH}, {EV_ABS, ABS_X},
                                               {EV_ABS, ABS_Y}});
    struct kind_row {
        const char* name;
        input_caps caps;
        std::uint16_t bus;
        gesture_source source;
        touch_place place;
    };
    const std::vector<kind_row> kinds = {
        {"a finger ring", finger_ring, BUS_BLUETOOTH, gesture_source::touch, touch_place::ring},
        {"a USB dongle's finger", finger_ring, BUS_USB, gesture_source::touch, touch_place::ring},
        {"the screen, on I2C", mt_only, BUS_I2C, gesture_source::touch, touch_place::built_in},
        {"the screen, on SPI", direct_kind, BUS_SPI, gesture_source::touch, touch_place::built_in},
        {"the screen, on the host", mt_only, BUS_HOST, gesture_source::touch, touch_place::built_in},
        {"the screen, on RMI", mt_only, BUS_RMI, gesture_source::touch, touch_place::built_in},
        {"a screen on a bus that cannot tell", mt_only, BUS_VIRTUAL, gesture_source::touch, touch_place::unknown},
        {"keys beside a touch on such a bus: a ring", keys_and_touch, BUS_VIRTUAL, gesture_source::touch,
         touch_place::ring},
        {"a pen with a button of its own (BTN_0) on such a bus: no keyboard key", caps_of({{EV_KEY, BTN_0},
         {EV_KEY, BTN_TOUCH}, {EV_ABS, ABS_X}, {EV_ABS, ABS_Y}}), BUS_VIRTUAL, gesture_source::touch,
         touch_place::unknown},
        {"a pen ring", pen_caps, BUS_BLUETOOTH, gesture_source::touch, touch_place::ring},
        {"the device's own pen", pen_caps, BUS_I2C, gesture_source::touch, touch_place::built_in},
        {"a touchpad ring", pad_ring, BUS_BLUETOOTH, gesture_source::motion, touch_place::ring},
        {"a drag ring, or a mouse", drag, BUS_BLUETOOTH, gesture_source::drag, touch_place::ring},
        {"a presenter that is also a mouse: its buttons click", presenter, BUS_USB, gesture_source::none,
         touch_place::ring},
        {"multitouch whose contact is its tracking id", no_keys, BUS_I2C, gesture_source::touch, touch_place::built_in},
        {"multitouch without any contact code", caps_of({{EV_ABS, ABS_MT_POSITION_X}, {EV_ABS, ABS_MT_POSITION_Y}}),
         BUS_I2C, gesture_source::none, touch_place::built_in},
        {"a keyboard", caps_of({{EV_KEY, KEY_A}}, false), BUS_USB, gesture_source::none, touch_place::ring},
    };
    for (const kind_row& k : kinds) {
        EXPECT_EQ(source_of(k.caps), k.source) << k.name;
        EXPECT_EQ(place_of(k.bus, k.caps), k.place) << k.name;
    }
}

TEST(Numbers, InputDeviceNumbers)
{
    struct row {
        unsigned major;
        unsigned minor;
        bool evdev;
        bool mice;
    };
    const std::vector<row> rows = {
        {13, 63, false, true},  {13, 64, true, false},   {13, 95, true, false},  {13, 96, false, false},
        {13, 32, false, false}, {13, 255, false, false}, {13, 256, true, false}, {13, 1023, true, false},
        {13, 1024, false, false}, {14, 66, false, false}, {1, 3, false, false},  {12, 63, false, false},
    };
    for (const row& r : rows) {
        EXPECT_EQ(maybe_evdev_number(r.major, r.minor), r.evdev) << r.major << ':' << r.minor;
        EXPECT_EQ(is_mice_number(r.major, r.minor), r.mice) << r.major << ':' << r.minor;
    }
}

// Not an input event: moves the test's clock on by value microseconds.
constexpr tap_event after(int us) { return {EV_CNT, 0, us}; }

// Feeds events and returns what each finished contact answered, in order:
// "X Y" where it lifted, "off" or "stop".
std::vector<std::string> answers(const touch_state& state, const std::vector<tap_event>& events)
{
    lift_tracker tracker = start_tracking(state, still_box_for(range_x, range_y));
    std::int64_t now_us = 3'600'000'000; // an hour after boot
    std::vector<std::string> got;
    for (const tap_event& e : events) {
        now_us += e.type == EV_CNT ? e.value : 0;
        const auto done = e.type == EV_CNT ? std::nullopt : track(tracker, e, now_us);
        if (!done)
            continue;
        const gesture g = meaning(*done);
        got.push_back(g == gesture::stop  ? "stop"
                      : g == gesture::off ? "off"
                                          : std::to_string(done->lifted.x) + ' ' + std::to_string(done->lifted.y));
    }
    return got;
}

constexpr tap_event syn{EV_SYN, SYN_REPORT, 0};
constexpr tap_event mt_report{EV_SYN, SYN_MT_REPORT, 0};
constexpr tap_event touch_down{EV_KEY, BTN_TOUCH, 1};
constexpr tap_event touch_up{EV_KEY, BTN_TOUCH, 0};
constexpr tap_event slot(int n) { return {EV_ABS, ABS_MT_SLOT, n}; }
constexpr tap_event id(int n) { return {EV_ABS, ABS_MT_TRACKING_ID, n}; }
constexpr tap_event x(int v) { return {EV_ABS, ABS_MT_POSITION_X, v}; }
constexpr tap_event y(int v) { return {EV_ABS, ABS_MT_POSITION_Y, v}; }

TEST(Lift, WhatAFinishedTouchAnswers)
{
    struct row {
        const char* name;
        touch_state state;
        std::vector<tap_event> events;
        std::vector<std::string> answered;
    };
    constexpr int second = 1'000'000;
    // A screen of 16 slots, one of 32 and one of 64.
    const touch_state none{true, 0, false, std::vector<slot_state>(16)};
    const touch_state slots_32{true, 0, false, std::vector<slot_state>(32)};
    const touch_state slots_64{true, 0, false, std::vector<slot_state>(64)};
    touch_state was_at_300_400 = none;
    was_at_300_400.slots[0].last = {300, 400};
    touch_state down_at_300_400 = was_at_300_400;
    down_at_300_400.slots[0].down = down_at_300_400.touching = true;
    const touch_state no_slots{false, 0, false, std::vector<slot_state>(1)};
    // 0..1071 by 0..1447: a finger held still stays within 21 by 28 units.
    const std::vector<row> rows = {
        {"a slotted tap", none, {slot(0), id(7), x(300), y(400), touch_down, syn, id(-1), touch_up, syn}, {"300 400"}},
        {"moved before lifting", none, {id(7), x(10), y(20), touch_down, syn, x(15), syn, y(25), syn, id(-1), touch_up, syn},
         {"15 25"}},
        {"down where the last finger was: no position sent", was_at_300_400,
         {id(8), touch_down, syn, id(-1), touch_up, syn}, {"300 400"}},
        {"held 1 s: off", none, {id(7), x(300), y(400), touch_down, syn, after(second), id(-1), touch_up, syn}, {"off"}},
        {"just under 1 s: a point", none,
         {id(7), x(300), y(400), touch_down, syn, after(second - 1), id(-1), touch_up, syn}, {"300 400"}},
        {"held, no position sent: off", was_at_300_400, {id(8), touch_down, syn, after(second), id(-1), touch_up, syn},
         {"off"}},
        {"jitter to the still box's edge: off", none,
         {id(7), x(300), y(400), syn, x(321), syn, y(428), syn, after(2 * second), x(279), y(372), syn, id(-1), syn},
         {"off"}},
        {"one unit past it: a point", none,
         {id(7), x(300), y(400), syn, y(429), syn, y(400), syn, after(2 * second), id(-1), syn}, {"300 400"}},
        {"moved, then rested 2 s: where it lifted", none,
         {id(7), x(300), y(400), syn, x(600), syn, after(2 * second), id(-1), syn}, {"600 400"}},
        {"a finger already down is not followed", down_at_300_400,
         {x(310), syn, id(-1), touch_up, syn, id(9), x(50), y(60), touch_down, syn, id(-1), touch_up, syn}, {"50 60"}},
        {"a finger already down, another taps", down_at_300_400, {slot(1), id(9), x(50), y(60), syn, id(-1), syn},
         {"50 60"}},
        {"a finger already down, another holds", down_at_300_400,
         {slot(1), id(9), x(50), y(60), syn, after(second), id(-1), syn}, {"off"}},
        {"two fingers, the second lifts first: stop when both are up", none,
         {slot(0), id(1), x(100), y(100), touch_down, syn, slot(1), id(2), x(500), y(500), syn, id(-1), syn,
          slot(0), id(-1), touch_up, syn},
         {"stop"}},
        {"two fingers, the first lifts first", none,
         {slot(0), id(1), x(100), y(100), touch_down, syn, slot(1), id(2), x(500), y(500), syn, slot(0), id(-1), syn,
          after(second), slot(1), id(-1), touch_up, syn},
         {"stop"}},
        {"two fingers in one frame; nothing while one is down", none,
         {slot(0), id(1), x(100), y(100), slot(1), id(2), x(500), y(500), touch_down, syn, slot(0), id(-1), syn}, {}},
        {"a finger already down must lift before a stop", down_at_300_400,
         {slot(1), id(1), x(100), y(100), syn, slot(2), id(2), syn, id(-1), syn, slot(1), id(-1), syn, slot(0), id(-1),
          touch_up, syn},
         {"stop"}},
        {"a finger down in the frame the followed one lifts: no stop", none,
         {slot(0), id(1), x(100), y(100), touch_down, syn, id(-1), slot(1), id(2), x(500), y(500), syn, id(-1),
          touch_up, syn},
         {"100 100"}},
        {"no slots, no tracking id: BTN_TOUCH decides", no_slots,
         {x(70), y(80), mt_report, touch_down, syn, mt_report, touch_up, syn}, {"70 80"}},
        {"no slots, held: off", no_slots,
         {x(70), y(80), mt_report, touch_down, syn, after(second), x(71), y(80), mt_report, syn, mt_report, touch_up,
          syn},
         {"off"}},
        {"no slots, two contacts in a frame: stop", no_slots,
         {x(70), y(80), mt_report, touch_down, syn, x(70), y(80), mt_report, x(500), y(600), mt_report, syn, x(500),
          y(600), mt_report, syn, mt_report, touch_up, syn},
         {"stop"}},
        {"nothing before the frame ends", none, {id(7), x(1), y(2), touch_down, syn, id(-1), touch_up}, {}},
        {"a slot beyond those the screen has", none, {slot(20), id(3), x(1), y(2), syn, id(-1), syn}, {}},
        {"the screen's highest slot", none, {slot(15), id(3), x(1), y(2), syn, id(-1), syn}, {"1 2"}},
        {"the first slot past them", none, {slot(16), id(3), x(1), y(2), syn, id(-1), syn}, {}},
        {"slot 20 of 32", slots_32, {slot(20), id(3), x(1), y(2), syn, id(-1), syn}, {"1 2"}},
        {"slot 63 of 64, held: off", slots_64, {slot(63), id(3), x(1), y(2), syn, after(second), id(-1), syn},
         {"off"}},
        {"slot 64 of 64 is none", slots_64, {slot(64), id(3), x(1), y(2), syn, id(-1), syn}, {}},
        {"a negative slot is none", slots_64, {slot(-1), id(3), x(1), y(2), syn, id(-1), syn}, {}},
        {"the highest slot as the second finger", none,
         {id(1), x(1), y(2), syn, slot(15), id(3), syn, slot(0), id(-1), syn, slot(15), id(-1), syn}, {"stop"}},
        {"slot 40 of 64 as the second finger", slots_64,
         {slot(33), id(1), x(1), y(2), syn, slot(40), id(3), syn, slot(33), id(-1), syn, slot(40), id(-1), syn},
         {"stop"}},
        {"a second finger past the screen's slots: no answer before BTN_TOUCH goes up", none,
         {id(1), x(1), y(2), touch_down, syn, slot(16), id(3), syn, slot(0), id(-1), syn}, {}},
        {"a lift, then a whole second tap", none,
         {id(1), x(10), y(20), touch_down, syn, id(-1), touch_up, syn, id(2), x(30), y(40), touch_down, syn, id(-1),
          touch_up, syn},
         {"10 20", "30 40"}},
    };
    for (const row& r : rows)
        EXPECT_EQ(answers(r.state, r.events), r.answered) << r.name;
    // Standard input past the budget without a line end is read ten times a second.
    struct paced {
        std::size_t unended;
        std::int64_t last_ms, now_ms, delay_ms;
    };
    const std::vector<paced> paces = {
        {0, 1000, 1000, 0}, {unended_budget - 1, 1000, 1000, 0}, {unended_budget, 1000, 1000, 100},
        {unended_budget, 1000, 1030, 70}, {unended_budget, 1000, 1099, 1}, {unended_budget, 1000, 1100, 0},
        {SIZE_MAX, 0, 1, 99}, {SIZE_MAX, 1000, 900'000, 0},
    };
    for (const paced& p : paces)
        EXPECT_EQ(read_delay_ms(p.unended, p.last_ms, p.now_ms), p.delay_ms) << p.unended << " bytes, " << p.now_ms;
    const still_box tiny_and_whole = still_box_for({0, 99, 0}, {INT_MIN, INT_MAX, 0});
    EXPECT_EQ(tiny_and_whole.x, 4) << "at least 4 units";
    EXPECT_EQ(tiny_and_whole.y, 85899345) << "2 % of the whole int range, no overflow";
}

} // namespace
