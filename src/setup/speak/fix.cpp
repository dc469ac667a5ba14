#include "setup/speak/fix.hpp"

#include "setup/decide/mousedev.hpp"
#include "setup/decide/traps.hpp"
#include "setup/probe/kernel_state.hpp"
#include "setup/speak/explain.hpp"
#include "text/printable.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

// "node ("name"), ..." of the screens whose echo is kind.
std::string screens_of(const system_facts& facts, echo_kind kind)
{
    std::string text;
    for (const touch_screen& s : facts.screens)
        if (echo_of(s, facts.tap_time) == kind)
            append_listed(text, device_text(s));
    return text;
}

// What to do when tap_time cannot be written, by the reason.
std::string write_advice(int error)
{
    if (error == EROFS)
        return "sysfs is read-only here (a container?), for root too. Set it where it is writable, on the "
               "host (echo 0 > " + std::string(tap_time_path) + "), or boot with mousedev.tap_time=0 on the "
               "kernel command line";
    if ((error == EACCES || error == EPERM) && geteuid() != 0)
        return "Run as root";
    return "Boot with mousedev.tap_time=0 on the kernel command line instead";
}

// Why tap_time does not read back as 0 after the write, or empty when it does.
std::string not_zero_now()
{
    const tap_time_fact now = read_tap_time();
    if (now.present.state == tri::yes && now.ms == 0)
        return {};
    const kernel_file back = read_kernel_file(tap_time_path, 32);
    if (back.error != 0)
        return kernel_file_problem(tap_time_path, back, "read back");
    if (now.present.state == tri::unknown)
        return "it reads back as \"" + printable(back.text) + "\" (" + now.present.why + ')';
    return "it reads back as \"" + printable(back.text) + '"';
}

int write_zero(const system_facts& facts)
{
    const std::string screens = screens_of(facts, echo_kind::touchpad_clicks);
    if (const kernel_file written = write_tap_time_zero(); !written.what.empty()) {
        std::fprintf(stderr, "tapbridge-setup: %s; nothing was written. Boot with mousedev.tap_time=0 on the kernel "
                     "command line instead.\n", kernel_file_problem(tap_time_path, written, "write").c_str());
        return status_traps;
    } else if (written.error != 0) {
        std::fprintf(stderr, "tapbridge-setup: cannot write 0 to %s: %s. %s.\n", tap_time_path,
                     std::strerror(written.error), write_advice(written.error).c_str());
        return status_traps;
    }
    // Done only when it reads back as written: a write can be taken and
    // change nothing.
    if (const std::string why = not_zero_now(); !why.empty()) {
        std::fprintf(stderr, "tapbridge-setup: wrote 0 to %s, but %s: mousedev's tap_time is not 0. Boot with "
                     "mousedev.tap_time=0 on the kernel command line instead.\n", tap_time_path, why.c_str());
        return status_traps;
    }
    std::printf("mousedev tap_time: %s -> 0. Touches on %s no longer come back as left clicks.\n",
                tap_time_text(facts.tap_time).c_str(), screens.c_str());
    std::printf("This lasts until the next reboot. To keep it, add mousedev.tap_time=0 to the kernel "
                "command line, or put\n  echo 0 > %s\ninto a boot script.\n", tap_time_path);
    return status_ready;
}

// Why --fix cannot tell what to change, or empty when it can. Only a
// touchpad-kind screen's feeding matters: tap_time changes nothing for
// another.
std::string cannot_tell(const system_facts& facts)
{
    if (const touch_screen* s = feeding_unknown(facts); s && s->caps.keys[BTN_TOOL_FINGER])
        return "whether mousedev feeds " + device_text(*s) + " is unknown: " + s->fed.why;
    if (tap_time_unknown_matters(facts))
        return "mousedev's tap_time is " + tap_time_text(facts.tap_time);
    return {};
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
        const int status = write_zero(facts);
        if (const std::string why = cannot_tell(facts); status == status_ready && !why.empty()) {
            std::fprintf(stderr, "tapbridge-setup: %s. Run tapbridge-setup --fix where /sys is visible.\n",
                         why.c_str());
            return status_traps;
        }
        return status;
    }
    if (const std::string why = cannot_tell(facts); !why.empty()) {
        std::fprintf(stderr, "tapbridge-setup: %s. Nothing changed: run tapbridge-setup --fix where /sys is "
                     "visible (on the host), or boot with mousedev.tap_time=0 on the kernel command line.\n",
                     why.c_str());
        return status_traps;
    }
    if (const std::string direct = screens_of(facts, echo_kind::direct); !direct.empty()) {
        std::printf("Nothing for --fix to change: mousedev reads BTN_TOUCH on %s as the left button, whatever "
                    "tap_time is. The command line tapbridge-setup prints leaves point 1 off (-1 -1), which "
                    "stops the echo.\n", direct.c_str());
        return status_ready;
    }
    if (const touch_screen* s = feeding_unknown(facts)) {
        // Nothing rests on tap_time here, but it could not be read: not "fine".
        std::fprintf(stderr, "tapbridge-setup: whether mousedev feeds %s could not be seen (%s). Nothing changed: "
                     "tap_time cannot help a screen without BTN_TOOL_FINGER; if it is fed, point 1 off (-1 -1) "
                     "stops the echo, as the line tapbridge-setup prints has it.\n", device_text(*s).c_str(),
                     s->fed.why.c_str());
        return status_traps;
    }
    if (!screens_of(facts, echo_kind::touchpad_quiet).empty())
        std::puts("Nothing to fix: mousedev's tap_time is already 0.");
    else
        std::puts("Nothing to fix: mousedev feeds no touch screen into /dev/input/mice.");
    return status_ready;
}
