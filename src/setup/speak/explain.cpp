#include "setup/speak/explain.hpp"

#include "gesture/decide/place.hpp"
#include "input/node_check.hpp"
#include "mouse/mouse.hpp"
#include "setup/decide/command.hpp"
#include "setup/decide/mice.hpp"
#include "setup/probe/kernel_state.hpp"
#include "text/printable.hpp"

#include <climits>
#include <cstdio>
#include <unistd.h>

namespace {

open_outcome outcome_of_mice(mice_access access)
{
    switch (access) {
    case mice_access::denied: return open_outcome::denied;
    case mice_access::nodev_mount: return open_outcome::nodev_mount;
    case mice_access::no_driver: return open_outcome::no_driver;
    default: return open_outcome::failed;
    }
}

} // namespace

void append_listed(std::string& list, const std::string& item, const char* separator)
{
    if (!list.empty())
        list += separator;
    list += item;
}

std::string device_text(const touch_screen& screen)
{
    return printable(screen.node) + " \"" + printable(screen.name) + '"';
}

std::string device_text(const input_device& device)
{
    return printable(device.node) + " \"" + printable(device.id.name) + '"';
}

std::string tap_time_text(const tap_time_fact& tap_time)
{
    switch (tap_time.present.state) {
    case tri::yes: return std::to_string(tap_time.ms) + " ms";
    case tri::no: return std::string("missing (") + tap_time_path + " does not exist)";
    case tri::unknown: break;
    }
    return "unknown: " + tap_time.present.why;
}

std::string echo_text(const touch_screen& screen, const tap_time_fact& tap_time)
{
    switch (echo_of(screen, tap_time)) {
    case echo_kind::none:
        if (screen.fed.state == tri::unknown)
            return "not fed into /dev/input/mice: mousedev takes only devices with ABS_X/ABS_Y or relative "
                   "axes, and this one has neither (/sys could not confirm it: " + screen.fed.why + ')';
        return "not fed into /dev/input/mice: taps cannot come back as clicks";
    case echo_kind::touchpad_quiet:
        return "fed into /dev/input/mice as a touchpad (it declares BTN_TOOL_FINGER); tap_time is 0, "
               "so no touch comes back as a click";
    case echo_kind::touchpad_clicks:
        return "fed into /dev/input/mice as a touchpad (it declares BTN_TOOL_FINGER): a touch shorter than "
               "tap_time (" + tap_time_text(tap_time) + ") comes back as a left click, and tapbridge would tap "
               "point 1 again, without end. Remedy: tapbridge-setup --fix (tap_time 0)";
    case echo_kind::direct:
        return "fed into /dev/input/mice with BTN_TOUCH as the left button (no BTN_TOOL_FINGER): every tap "
               "comes back as a left press, whatever tap_time is. Remedy: point 1 off (-1 -1), as the line "
               "below has it; each tap then echoes one harmless \"button 1, x -1 y -1\" line";
    case echo_kind::unknown:
        break;
    }
    if (screen.fed.state == tri::unknown)
        return "unknown: " + screen.fed.why;
    return "fed into /dev/input/mice as a touchpad (it declares BTN_TOOL_FINGER), but tap_time is " +
           tap_time_text(tap_time);
}

std::string mice_text(const mice_facts& mice)
{
    switch (mice.access) {
    case mice_access::missing: return "missing: no mousedev in this kernel, or no node made for it";
    case mice_access::not_mice:
        return "not mousedev's multiplexer (a character device 13:63): it is " + mice.what;
    case mice_access::denied:
    case mice_access::nodev_mount:
    case mice_access::no_driver:
    case mice_access::failed: return failure_text(outcome_of_mice(mice.access), mice.error);
    case mice_access::read_only: return "read-only: no wheel";
    case mice_access::read_write: return "read-write: the wheel works";
    }
    return {};
}

std::string fed_devices_text(const system_facts& facts)
{
    const found_list<fed_device> fed = fed_devices(facts);
    if (fed.any.state == tri::unknown)
        return "unknown: " + fed.any.why;
    std::string text;
    for (const fed_device& f : fed.items) {
        std::string item = printable(f.name) + " (" + printable(f.node);
        if (f.kind == feed_kind::touch_screen)
            item += ", a touch screen";
        else if (f.device->grabbed && !grabbed_by_remote_program(facts, *f.device))
            item += ", grabbed: none of its clicks reach tapbridge";
        else if (f.device->grabbed && source_of(f.device->caps) != gesture_source::none)
            item += ", grabbed by tapbridge-remote, which reads its gestures";
        else if (f.device->grabbed)
            item += ", grabbed by tapbridge-remote, which passes its buttons on";
        else if (place_of(f.device->id.bus, f.device->caps) == touch_place::ring &&
                 source_of(f.device->caps) == gesture_source::touch)
            item += ", a ring: its touches click left";
        append_listed(text, item + ')');
    }
    return text.empty() ? "none: connect one before starting tapbridge" : text;
}

std::string left_off_text(const left_clicker& clicker)
{
    if (clicker.is_the_screen)
        return "mousedev would bring every tap back as a left click";
    return "mousedev makes every touch on " + printable(clicker.node) + " \"" + printable(clicker.name) +
           "\" a left click, which would tap point 1";
}

std::string uinput_text(const uinput_facts& uinput)
{
    switch (uinput.access) {
    case uinput_access::missing:
        return "missing: tapbridge-remote cannot make its virtual mouse. Load uinput (modprobe uinput), or use a "
               "kernel with CONFIG_INPUT_UINPUT";
    case uinput_access::not_uinput: return "not uinput's node (a character device 10:223): it is " + uinput.what;
    case uinput_access::denied: return failure_text(open_outcome::denied, uinput.error);
    case uinput_access::failed: return failure_text(outcome_of(uinput.error, uinput_path), uinput.error);
    case uinput_access::writable: return "writable: tapbridge-remote can make its virtual mouse";
    }
    return {};
}

std::string program_beside(const char* name)
{
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string path(self, static_cast<std::size_t>(n));
        path = path.substr(0, path.rfind('/') + 1) + name;
        if (access(path.c_str(), X_OK) == 0)
            return path;
    }
    return name;
}

std::string range_text(const char* name, axis_range axis)
{
    return std::string(name) + ' ' + std::to_string(axis.minimum) + ".." + std::to_string(axis.maximum);
}

void print_nothing_usable(const system_facts& facts)
{
    if (facts.devices == 0 && !facts.nodes_hidden.empty())
        std::fprintf(stderr, "tapbridge-setup: no input devices seen, but not for want of them: %s.%s\n",
                     facts.nodes_hidden.c_str(), geteuid() != 0 ? " Run as root." : "");
    else if (facts.devices == 0)
        std::fputs("tapbridge-setup: no input devices: /dev/input has no event nodes. This kernel has no "
                   "input subsystem (evdev), or /dev is not populated; tapbridge needs a touch screen's "
                   "event node and /dev/input/mice.\n", stderr);
    else if (facts.screens.empty() && facts.unopened == facts.devices)
        std::fprintf(stderr, "tapbridge-setup: none of the %d input devices could be opened (%s).\n", facts.devices,
                     facts.unopened_advice.c_str());
    else if (facts.screens.empty() && facts.unopened > 0)
        std::fprintf(stderr, "tapbridge-setup: no touch screen among the %d input devices that could be "
                     "opened; %d could not be opened (%s).\n", facts.devices - facts.unopened, facts.unopened,
                     facts.unopened_advice.c_str());
    else if (facts.screens.empty())
        std::fprintf(stderr, "tapbridge-setup: no touch screen: none of the %d input devices declares "
                     "multitouch positions (ABS_MT_POSITION_X and ABS_MT_POSITION_Y).\n", facts.devices);
    else
        std::fputs("tapbridge-setup: no touch screen has a range tapbridge can be given: its coordinates "
                   "must reach 0 or above, since tapbridge reads a negative one as \"off\".\n", stderr);
}

namespace {

std::string axis_flatness(const touch_screen& screen)
{
    std::string text;
    if (usable_span(screen.x) == 0)
        append_listed(text, range_text("x", screen.x));
    if (usable_span(screen.y) == 0)
        append_listed(text, range_text("y", screen.y));
    return text;
}

// "purpose (button) and purpose (button) on one point, x X y Y", for the
// first two points that merged_purposes() finds.
std::string merged_text(const point_set& points)
{
    const auto pair = merged_purposes(points);
    if (!pair)
        return {};
    const auto role = [&](std::size_t i) {
        return std::string(page_turning[i].purpose) + " (" + page_turning[i].button + ')';
    };
    const point at = points[(*pair)[0]];
    return role((*pair)[0]) + " and " + role((*pair)[1]) + " on one point, x " + std::to_string(at.x) + " y " +
           std::to_string(at.y);
}

std::string trap_text(trap t, const system_facts& facts, const touch_screen& screen, const point_set& points)
{
    const std::string node = printable(screen.node);
    switch (t) {
    case trap::records_break:
        return node + " drops records a tap needs (see \"records\" above): tapbridge's taps will not register "
               "there";
    case trap::tap_time:
        return "mousedev's tap_time is " + tap_time_text(facts.tap_time) +
               " on a touchpad-kind screen: run tapbridge-setup --fix as root";
    case trap::grabbed:
        return "another process holds a grab on " + node + " (open by " + process_list(screen.holders) +
               "): injected taps reach only the grabber. Fine if that is the device's own UI; otherwise stop it";
    case trap::mouse_grabbed: {
        std::string text;
        for (const input_device* d : grabbed_mice(facts))
            append_listed(text, "the mouse " + printable(d->node) + " \"" + printable(d->id.name) +
                                    "\" is grabbed by another process (open by " + process_list(d->holders) + ")",
                          "; ");
        return text + ": mousedev gets none of its clicks, so tapbridge never sees them. Stop that program, or use "
                      "another mouse";
    }
    case trap::mice_missing:
        return std::string(mice_path) + " does not exist: tapbridge stops with \"please run as root\" even "
               "for root. Load mousedev (modprobe mousedev), or make its node (mknod " + mice_path + " c 13 63)";
    case trap::mice_not_mousedev:
        return std::string(mice_path) + ": " + mice_text(facts.mice_node) + ". tapbridge would read no mouse "
               "there: load mousedev (modprobe mousedev) and put its node there instead (mknod " + mice_path +
               " c 13 63)";
    case trap::mice_unreadable:
        return std::string(mice_path) + ": " + mice_text(facts.mice_node);
    case trap::mice_read_only:
        return std::string(mice_path) + " opens read-only: tapbridge cannot switch on the wheel, so wheel up "
               "and wheel down never tap. Run as root, or make the node writable";
    case trap::tapbridge_running:
        return "tapbridge is already running (" + process_list(facts.tapbridges) +
               "): a second one doubles every tap. Stop it first (kill " +
               std::to_string(facts.tapbridges.items.front().pid) + ")";
    case trap::flat_range:
        return node + " reports a range with one value at 0 or above (" + axis_flatness(screen) +
               "): the line taps, but every button at that one value, so the buttons cannot be told apart along "
               "it. The driver gives no real size; take the range from the device's documentation and give the "
               "points by hand";
    case trap::layout_merged:
        return "the layout puts " + merged_text(points) + ": of " + node + "'s range (" + range_text("x", screen.x) +
               ", " + range_text("y", screen.y) + ") tapbridge can tap only the part at 0 or above, too little to "
               "keep them apart. Give the points by touch (tapbridge-setup --pick)";
    case trap::may_be_ring: {
        std::string others;
        for (const touch_screen& s : facts.screens)
            if (s.node != screen.node)
                append_listed(others, device_text(s));
        char bus[8];
        std::snprintf(bus, sizeof bus, "0x%02x", screen.bus);
        return node + "'s bus (" + bus + ") is neither I2C, SPI nor the host, so it may be a ring rather than the "
               "device's own screen, and " + others + " may be either: tapbridge-setup cannot tell which one to tap. "
               "Switch the ring off (or unpair it) and run tapbridge-setup again: the screen left is the device's own";
    }
    case trap::all_points_off:
        return "every point is off (-1 -1): this line prints a line for each button and taps nothing. "
               "Give at least one point (tapbridge-setup --pick, and touch instead of pressing Enter)";
    }
    return {};
}

std::string doubt_text(doubt d, const system_facts& facts)
{
    switch (d) {
    case doubt::feeding: {
        const touch_screen* s = feeding_unknown(facts);
        return "whether mousedev feeds " + printable(s->node) + " into /dev/input/mice is unknown (" + s->fed.why +
               "). A mouseN in its \"H: Handlers=\" line of /proc/bus/input/devices says it is; then " +
               (s->caps.keys[BTN_TOOL_FINGER] ? "run tapbridge-setup --fix where /sys is visible (on the host)"
                                              : "keep point 1 off (-1 -1), as the line below has it");
    }
    case doubt::tap_time:
        return "mousedev's tap_time is " + tap_time_text(facts.tap_time) + ", and a touchpad-kind screen is fed: "
               "if it is not 0, every short touch taps point 1 again. Read it where /sys is visible (cat " +
               tap_time_path + ") and run tapbridge-setup --fix there, or boot with mousedev.tap_time=0";
    case doubt::tapbridge:
        return "whether tapbridge already runs is unknown (" + facts.tapbridges.any.why +
               "): a second one doubles every tap. Check with ps where /proc is visible";
    }
    return {};
}

} // namespace

int print_command(const system_facts& facts, const touch_screen& screen, const point_set& points, bool by_layout)
{
    const std::vector<trap> traps = traps_for(facts, screen, points, by_layout);
    const std::vector<doubt> doubts = doubts_for(facts);
    if (!traps.empty()) {
        std::puts("Mend these first:");
        for (trap t : traps)
            std::printf("  - %s.\n", trap_text(t, facts, screen, points).c_str());
    }
    if (!doubts.empty()) {
        std::puts("Check these first: tapbridge-setup could not see them, and the line rests on them:");
        for (doubt d : doubts)
            std::printf("  - %s.\n", doubt_text(d, facts).c_str());
    }
    const int status = status_for(traps, doubts);
    std::puts(status == status_ready ? "Ready. Run as root:" : "Then run as root:");
    std::printf("  %s\n", command_line(program_beside("tapbridge"), screen.node, touch_mode, points).c_str());
    return status;
}
