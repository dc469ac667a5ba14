// tapbridge-remote: makes a remote that is no mouse (a page turner, a
// camera or media remote, a gamepad, a keyboard) click a virtual mouse,
// which tapbridge reads through /dev/input/mice like any other.

#include "process/standard_fds.hpp"
#include "remote/args.hpp"
#include "remote/serve.hpp"
#include "text/printable.hpp"

#include <csignal>
#include <cstdio>
#include <libevdev/libevdev.h>
#include <unistd.h>

namespace {

constexpr const char* usage = "Usage: tapbridge-remote [--no-grab] [--map CODE=BUTTON]... REMOTE\n"
                              "       tapbridge-remote --help | --version\n";

constexpr const char* help =
    "\n"
    "Turns each press of REMOTE into one click of a virtual mouse that tapbridge reads\n"
    "through /dev/input/mice, so that a page turner, a camera or media remote, a gamepad, a\n"
    "keyboard or a ring turns pages. Run it as root, beside tapbridge.\n"
    "\n"
    "REMOTE         its event node (/dev/input/eventN), or its name exactly as the kernel gives\n"
    "               it, or its unique id (a Bluetooth address), as tapbridge-setup prints them.\n"
    "               By name or id it may be absent at start, and every node of that one remote\n"
    "               is taken; it is followed as it goes away and comes back, under any eventN.\n"
    "--map CODE=BUTTON  replaces the default map. CODE: the kernel's name of a key or button\n"
    "               (KEY_ENTER, BTN_TR), a hat end (ABS_HAT0X+, ABS_HAT0X-), a key's number, or a\n"
    "               ring's gesture: SWIPE_LEFT, SWIPE_RIGHT, SWIPE_UP, SWIPE_DOWN (in the ring's\n"
    "               own axes: X grows to the right, Y downward), TAP (any tap) or TAP@X,Y (a tap\n"
    "               nearest to that point, in the ring's units, among the map's TAP@ entries).\n"
    "               BUTTON: left, right, middle, wheel-up or wheel-down. Repeat it for more codes.\n"
    "--next-page BUTTON  the default map with next page on BUTTON instead of left: wheel-down\n"
    "               where tapbridge's point 1 is off (tapbridge-setup prints it so).\n"
    "--no-grab      shares the remote: its keys also reach the device's own interface.\n"
    "               Without it the remote is grabbed (EVIOCGRAB), and where it is also a mouse\n"
    "               its own buttons and wheel go on through the virtual mouse.\n"
    "--take-screen  REMOTE, given by node, may look like the device's own touch screen or pen\n"
    "               (a ring on a bus that is neither Bluetooth nor USB): take it all the same.\n"
    "\n"
    "A press is a key going down (value 1) or a hat axis reaching -1 or +1: autorepeat,\n"
    "releases and codes not in the map do nothing. A ring's gesture is one click, at its\n"
    "lift: from the contact (a finger or pen down, a drag's button held) to the lift, or, for\n"
    "a ring that only moves, one burst of motion ended by 150 ms without any. Its way is that\n"
    "of its larger displacement; less than 1.5 % of the axis' span (20 counts of relative\n"
    "motion) is a tap. A ring's BTN_TOUCH and BTN_LEFT are only its contact. The default map:\n"
    "  left   (next page)      KEY_PAGEDOWN KEY_RIGHT KEY_DOWN KEY_SPACE KEY_ENTER KEY_VOLUMEDOWN\n"
    "                          KEY_NEXTSONG KEY_NEXT KEY_FORWARD BTN_TR BTN_TR2 BTN_DPAD_RIGHT\n"
    "                          BTN_DPAD_DOWN ABS_HAT0X+ ABS_HAT0Y+ SWIPE_LEFT SWIPE_UP\n"
    "  right  (previous page)  KEY_PAGEUP KEY_LEFT KEY_UP KEY_VOLUMEUP KEY_PREVIOUSSONG\n"
    "                          KEY_PREVIOUS KEY_BACK BTN_TL BTN_TL2 BTN_DPAD_LEFT BTN_DPAD_UP\n"
    "                          ABS_HAT0X- ABS_HAT0Y- SWIPE_RIGHT SWIPE_DOWN\n"
    "  middle (menu)           KEY_MENU KEY_COMPOSE KEY_PLAYPAUSE BTN_START BTN_SELECT BTN_MODE\n"
    "Letters and digits are never mapped by default, nor taps: rings disagree on which place\n"
    "means which page (tapbridge-setup --learn learns them).\n"
    "\n"
    "It prints a line when the virtual mouse is made, when the remote is attached or\n"
    "detached, and when it stops; nothing per press. SIGTERM, SIGINT or SIGHUP end it: the\n"
    "grab released, the virtual mouse removed.\n"
    "\n"
    "Exit status:\n"
    "  0   stopped by SIGTERM, SIGINT or SIGHUP\n"
    "  64  usage error\n"
    "  65  the map does not fit the remote: a --map code it does not declare, or a gesture it\n"
    "      cannot make; with the default map, none of its codes, no gestures and no mouse\n"
    "      buttons of its own; --no-grab with a code, or a ring's contact, that mousedev itself\n"
    "      clicks on for it (each press would tap twice)\n"
    "  66  REMOTE is no remote: no such node, not an input event device, a touch screen or pen\n"
    "      of the device's own (or one that may be: see --take-screen), the screen tapbridge\n"
    "      writes to, a tapbridge-remote virtual mouse, or a name or id that matches more\n"
    "      than one remote\n"
    "  69  no /dev/uinput (modprobe uinput, or a kernel with CONFIG_INPUT_UINPUT), or the\n"
    "      virtual mouse cannot be made\n"
    "  74  reading the remote or writing the virtual mouse failed (not the remote going away)\n"
    "  75  another process holds a grab on the remote, or another tapbridge-remote serves it\n"
    "  77  not run as root\n";

} // namespace

int main(int argc, char** argv)
{
    // Before anything is opened: a device must never land on 0, 1 or 2.
    keep_standard_fds_open();
    // A log that goes away must not take the remote with it.
    signal(SIGPIPE, SIG_IGN);
    // Each attach and detach reaches a log as it happens.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    libevdev_set_log_priority(LIBEVDEV_LOG_ERROR);
    const remote_args args = parse_remote_args({argv + (argc > 0), argv + argc});
    if (args.help) {
        std::fputs(usage, stdout);
        std::fputs(help, stdout);
        return 0;
    }
    if (args.version) {
        std::puts("tapbridge-remote " TAPBRIDGE_VERSION);
        return 0;
    }
    if (!args.error.empty()) {
        std::fprintf(stderr, "tapbridge-remote: %s\n%sTry tapbridge-remote --help.\n", args.error.c_str(), usage);
        return status_usage;
    }
    if (geteuid() != 0) {
        std::fputs("tapbridge-remote: run it as root: it grabs input devices and makes a virtual mouse through "
                   "/dev/uinput\n", stderr);
        return status_not_root;
    }
    return serve(args);
}
