// tapbridge-setup: finds the touch screen, checks it for what would break
// tapbridge's taps, picks the five points by touch, and prints the command
// line that starts tapbridge.

#include "process/standard_fds.hpp"
#include "setup/decide/traps.hpp"
#include "setup/probe/gather.hpp"
#include "setup/speak/fix.hpp"
#include "setup/speak/output.hpp"
#include "setup/speak/learn.hpp"
#include "setup/speak/pick.hpp"
#include "setup/speak/remotes_report.hpp"
#include "setup/speak/report.hpp"
#include "text/printable.hpp"

#include <cerrno>
#include <cstdio>
#include <libevdev/libevdev.h>
#include <string_view>
#include <vector>

namespace {

constexpr const char* usage =
    "Usage: tapbridge-setup                report, and print a command line for tapbridge\n"
    "       tapbridge-setup --pick [NODE]  pick the five points by touching the screen\n"
    "       tapbridge-setup --remotes      list the remotes and the tapbridge-remote line for each\n"
    "       tapbridge-setup --learn [NODE] find which of a remote's buttons turn pages\n"
    "       tapbridge-setup --fix          set mousedev's tap_time to 0 where taps would echo\n"
    "       tapbridge-setup --help | --version\n";

constexpr const char* help =
    "\n"
    "Without options, lists every touch screen (input device with multitouch positions, a\n"
    "ring excepted): its range, which records of a tap the kernel would drop, whether mousedev\n"
    "feeds it into /dev/input/mice and the remedy, who holds it open or grabbed. Then\n"
    "/dev/input/mice, the mice connected, any tapbridge running and, with DISPLAY set, the X\n"
    "screen; then the remotes (devices with keys, buttons or a hat, and rings: a finger, pen\n"
    "or mouse on Bluetooth or USB, or a touchpad that only moves; the codes or gestures that\n"
    "turn pages, and the tapbridge-remote line) and /dev/uinput. No remote changes the\n"
    "status. It ends with a command line for the best screen (one known to be built in\n"
    "first), in the page-turning layout, as percentages of each axis' span from its minimum:\n"
    "  left = next page 85%,50%   right = previous page 15%,50%   middle = menu 50%,5%\n"
    "  wheel up = previous page 15%,50%   wheel down = next page 85%,50%\n"
    "Point 1 is -1 -1 (off) where mousedev turns a BTN_TOUCH into the left button: on the\n"
    "screen, another touch screen, a pen, or a ring that no tapbridge-remote serves; the\n"
    "remotes' lines then put next page on wheel down (--next-page wheel-down).\n"
    "With a working X display it also prints a MODE 1 line in screen pixels, led by DISPLAY=.\n"
    "Nothing is changed; the grab check takes a grab and releases it at once.\n"
    "\n"
    "--pick [NODE]  holds NODE (default: the best screen) for itself and asks, for left, right,\n"
    "               middle, wheel up and wheel down in turn, for a touch where that one should\n"
    "               tap (the point where the finger lifts); then prints the whole command line.\n"
    "               Touch alone answers, for screens without a keyboard: one finger held still\n"
    "               for 1 s leaves the point off; a second finger while the first is down stops\n"
    "               without a command line once both are up (exit status 130, as for Ctrl-C).\n"
    "               On a keyboard, Enter leaves the point off and Ctrl-C stops. With standard\n"
    "               input closed (<&-) only touches answer.\n"
    "--remotes      lists only the remotes and /dev/uinput, as the report does, then what to mend\n"
    "               before their lines can run. A running tapbridge is no trap for it: it checks a\n"
    "               remote beside the tapbridge already started. Exit status 0: every remote's\n"
    "               run: line runs as printed; 1: one must wait for a mend; 2: no remote, or none\n"
    "               with a key of the default map and no ring (--learn finds its keys).\n"
    "--learn [NODE] holds the remote at NODE (default: every remote, until one answers) and\n"
    "               asks for next page, previous page and menu in turn: press that button on the\n"
    "               remote; Enter, or 10 s without a press, skips it. A ring answers with one\n"
    "               gesture a question: a swipe (SWIPE_LEFT, ...), a tap at a place (TAP@X,Y) or\n"
    "               a drag's click (TAP). Then prints the tapbridge-remote line with a --map for\n"
    "               each button pressed (tapbridge's left, right and middle; next page on wheel\n"
    "               down where point 1 is off).\n"
    "--fix          writes 0 to /sys/module/mousedev/parameters/tap_time when a touchpad-kind\n"
    "               screen is fed into /dev/input/mice, so taps stop coming back as clicks.\n"
    "               Lasts until reboot; mousedev.tap_time=0 on the kernel command line keeps it.\n"
    "\n"
    "Exit status:\n"
    "  0   ready: the printed line runs as printed (--fix: tap_time is right now)\n"
    "  1   a line is printed, but the traps listed must be mended first, or a fact it rests on\n"
    "      is unknown (/sys or /proc hidden, as in some containers) and must be checked first;\n"
    "      an unknown is never taken for \"fine\" (--fix: the write failed, or what to change\n"
    "      could not be seen and nothing was changed)\n"
    "  2   nothing usable: no input devices, no touch screen, no permission (run as root),\n"
    "      or NODE missing, not an input device, not a touch screen, grabbed by another process,\n"
    "      or unplugged during --pick; --learn: no remote, none pressed, or it went away\n"
    "  64  usage error, or standard input ended before --pick was answered\n"
    "  74  standard output could not be written (closed, full, or failing): the output is\n"
    "      incomplete, and the error is on standard error\n"
    "  130 --pick stopped by two fingers: no command line (a shell shows 130 for Ctrl-C too)\n";

// The word as given may hold anything a shell can pass: escaped, it can
// neither break the line nor steer the terminal.
int usage_error(const char* what, std::string_view word)
{
    std::fprintf(stderr, "tapbridge-setup: %s '%s'\n%sTry tapbridge-setup --help.\n", what, printable(word).c_str(),
                 usage);
    return status_usage;
}


// status, unless standard output lost some of what was printed.
int finish(int status)
{
    if (status == status_output)
        return status;
    if (const int error = output_error())
        return output_failed(error);
    return status;
}

int run(const std::vector<std::string_view>& args, bool keyboard)
{
    if (args.empty())
        return run_report(gather_facts(grab_probe::all, true));
    const std::string_view option = args[0];
    const bool takes_node = option == "--pick" || option == "--learn";
    const std::size_t most = takes_node ? 2 : 1;
    if (option != "--help" && option != "--version" && option != "--fix" && option != "--remotes" && !takes_node)
        return usage_error(option.starts_with('-') ? "unknown option" : "unexpected argument", option);
    if (args.size() > most)
        return usage_error("unexpected argument", args[most]);
    if (takes_node && args.size() == 2 && args[1].starts_with('-'))
        return usage_error("unknown option", args[1]);
    if (option == "--help") {
        // Longer than stdio's buffer: the write that fails is inside fputs,
        // and only its errno still says why.
        errno = 0;
        if (std::fputs(usage, stdout) == EOF || std::fputs(help, stdout) == EOF)
            return output_failed(errno != 0 ? errno : EIO);
        return 0;
    }
    if (option == "--version") {
        std::puts("tapbridge-setup " TAPBRIDGE_VERSION);
        return 0;
    }
    if (option == "--fix")
        return run_fix(gather_facts(grab_probe::none, false));
    if (option == "--remotes")
        return run_remotes(gather_facts(grab_probe::remotes, false));
    const auto node = args.size() == 2 ? std::optional<std::string>(args[1]) : std::nullopt;
    if (option == "--learn")
        return run_learn(gather_facts(grab_probe::remotes, false), node, keyboard);
    return run_pick(gather_facts(grab_probe::all, false), node, keyboard);
}

} // namespace

int main(int argc, char** argv)
{
    // Before anything is opened: a device must never land on 0, 1 or 2.
    const filled_fds filled = keep_standard_fds_open();
    if (filled.output) {
        std::fputs("tapbridge-setup: standard output is closed, so nothing it finds can be shown; run it with "
                   "standard output open.\n", stderr);
        return status_output;
    }
    // Why a device cannot be opened is reported here, in the user's terms;
    // libevdev itself speaks only of its own errors.
    libevdev_set_log_priority(LIBEVDEV_LOG_ERROR);
    const std::vector<std::string_view> args(argv + (argc > 0), argv + argc);
    return finish(run(args, !filled.input));
}
