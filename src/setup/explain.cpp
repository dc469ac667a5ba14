#include "explain.hpp"

#include "../mouse/mouse.hpp"
#include "command.hpp"
#include "kernel_state.hpp"

#include <climits>
#include <cstdio>
#include <unistd.h>

void append_listed(std::string& list, const std::string& item, const char* separator)
{
    if (!list.empty())
        list += separator;
    list += item;
}

std::string process_list(const std::vector<process>& processes)
{
    if (processes.empty())
        return "no other process";
    std::string text;
    for (const process& p : processes)
        append_listed(text, "pid " + std::to_string(p.pid) + " (" + p.name + ')');
    return text;
}

std::string echo_text(echo_kind kind, std::optional<int> tap_time)
{
    switch (kind) {
    case echo_kind::none:
        return "not fed into /dev/input/mice: taps cannot come back as clicks";
    case echo_kind::touchpad_quiet:
        return "fed into /dev/input/mice as a touchpad (it declares BTN_TOOL_FINGER); tap_time is 0, "
               "so no touch comes back as a click";
    case echo_kind::touchpad_clicks:
        return "fed into /dev/input/mice as a touchpad (it declares BTN_TOOL_FINGER): a touch shorter than "
               "tap_time (" + (tap_time ? std::to_string(*tap_time) + " ms" : std::string("unreadable")) +
               ") comes back as a left click, and tapbridge would tap point 1 again, without end. "
               "Remedy: tapbridge-setup --fix (tap_time 0)";
    case echo_kind::direct:
        return "fed into /dev/input/mice with BTN_TOUCH as the left button (no BTN_TOOL_FINGER): every tap "
               "comes back as a left press, whatever tap_time is. Remedy: point 1 off (-1 -1), as the line "
               "below has it; each tap then echoes one harmless \"button 1, x -1 y -1\" line";
    }
    return {};
}

std::string tapbridge_program()
{
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string path(self, static_cast<std::size_t>(n));
        path = path.substr(0, path.rfind('/') + 1) + "tapbridge";
        if (access(path.c_str(), X_OK) == 0)
            return path;
    }
    return "tapbridge";
}

void print_nothing_usable(const system_facts& facts)
{
    if (facts.devices == 0)
        std::fputs("tapbridge-setup: no input devices: /dev/input has no event nodes. This kernel has no "
                   "input subsystem (evdev), or /dev is not populated; tapbridge needs a touch screen's "
                   "event node and /dev/input/mice.\n", stderr);
    else if (facts.screens.empty() && facts.denied == facts.devices)
        std::fprintf(stderr, "tapbridge-setup: permission denied on all %d input devices: run as root.\n",
                     facts.devices);
    else if (facts.screens.empty() && facts.denied > 0)
        std::fprintf(stderr, "tapbridge-setup: no touch screen among the %d input devices that could be "
                     "opened; %d could not be opened: run as root.\n", facts.devices - facts.denied, facts.denied);
    else if (facts.screens.empty())
        std::fprintf(stderr, "tapbridge-setup: no touch screen: none of the %d input devices declares "
                     "multitouch positions (ABS_MT_POSITION_X and ABS_MT_POSITION_Y).\n", facts.devices);
    else
        std::fputs("tapbridge-setup: no touch screen has a range tapbridge can be given: its coordinates "
                   "must reach 0 or above, since tapbridge reads a negative one as \"off\".\n", stderr);
}

namespace {

std::string trap_text(trap t, const system_facts& facts, const touch_screen& screen)
{
    switch (t) {
    case trap::records_break:
        return screen.node + " drops records a tap needs (see \"records\" above): tapbridge's taps will not "
               "register there";
    case trap::tap_time:
        return "mousedev's tap_time is " +
               (facts.tap_time ? std::to_string(*facts.tap_time) + " ms" : std::string("unreadable")) +
               " on a touchpad-kind screen: run tapbridge-setup --fix as root";
    case trap::grabbed:
        return "another process holds a grab on " + screen.node + " (open by " + process_list(screen.holders) +
               "): injected taps reach only the grabber. Fine if that is the device's own UI; otherwise stop it";
    case trap::mice_missing:
        return std::string(mice_path) + " does not exist: tapbridge stops with \"please run as root\" even "
               "for root. Load mousedev (modprobe mousedev), or make its node (mknod " + mice_path + " c 13 63)";
    case trap::mice_unreadable:
        return std::string(mice_path) + " cannot be opened by this user: run as root";
    case trap::mice_read_only:
        return std::string(mice_path) + " opens read-only: tapbridge cannot switch on the wheel, so wheel up "
               "and wheel down never tap. Run as root, or make the node writable";
    case trap::tapbridge_running:
        return "tapbridge is already running (" + process_list(facts.tapbridges) +
               "): a second one doubles every tap. Stop it first (kill " +
               std::to_string(facts.tapbridges.front().pid) + ")";
    }
    return {};
}

} // namespace

int print_command(const system_facts& facts, const touch_screen& screen, const point_set& points)
{
    const std::vector<trap> traps = traps_for(facts, screen);
    if (traps.empty()) {
        std::puts("Ready. Run as root:");
    } else {
        std::puts("Mend these first:");
        for (trap t : traps)
            std::printf("  - %s.\n", trap_text(t, facts, screen).c_str());
        std::puts("Then run as root:");
    }
    std::printf("  %s\n", command_line(tapbridge_program(), screen.node, touch_mode, points).c_str());
    return status_for(traps);
}
