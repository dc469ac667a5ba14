#include "fix.hpp"

#include "explain.hpp"
#include "kernel_state.hpp"
#include "mousedev.hpp"
#include "traps.hpp"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// "node (name), ..." of the screens whose echo is kind.
std::string screens_of(const system_facts& facts, echo_kind kind)
{
    std::string text;
    for (const touch_screen& s : facts.screens)
        if (echo_of(s, facts.tap_time) == kind)
            append_listed(text, s.node + " (\"" + s.name + "\")");
    return text;
}

} // namespace

int run_fix(const system_facts& facts)
{
    if (facts.screens.empty()) {
        print_nothing_usable(facts);
        std::fputs("tapbridge-setup: nothing changed.\n", stderr);
        return status_nothing;
    }
    if (tap_time_fix_needed(facts)) {
        const std::string screens = screens_of(facts, echo_kind::touchpad_clicks);
        if (const int error = write_tap_time_zero(); error != 0) {
            std::fprintf(stderr, "tapbridge-setup: cannot write 0 to %s: %s. Run as root.\n", tap_time_path,
                         std::strerror(error));
            return status_traps;
        }
        std::printf("mousedev tap_time: %s -> 0. Touches on %s no longer come back as left clicks.\n",
                    facts.tap_time ? (std::to_string(*facts.tap_time) + " ms").c_str() : "unreadable",
                    screens.c_str());
        std::printf("This lasts until the next reboot. To keep it, add mousedev.tap_time=0 to the kernel "
                    "command line, or put\n  echo 0 > %s\ninto a boot script.\n", tap_time_path);
        return status_ready;
    }
    if (const std::string direct = screens_of(facts, echo_kind::direct); !direct.empty()) {
        std::printf("Nothing for --fix to change: mousedev reads BTN_TOUCH on %s as the left button, whatever "
                    "tap_time is. The command line tapbridge-setup prints leaves point 1 off (-1 -1), which "
                    "stops the echo.\n", direct.c_str());
        return status_ready;
    }
    if (!screens_of(facts, echo_kind::touchpad_quiet).empty())
        std::puts("Nothing to fix: mousedev's tap_time is already 0.");
    else
        std::puts("Nothing to fix: mousedev feeds no touch screen into /dev/input/mice.");
    return status_ready;
}
