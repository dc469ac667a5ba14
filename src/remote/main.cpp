// tapbridge-remote: makes a remote that is no mouse (a page turner, a
// camera or media remote, a gamepad, a keyboard) click a virtual mouse,
// which tapbridge reads through /dev/input/mice like any other.

#include "input/named_device.hpp"
#include "process/standard_fds.hpp"
#include "remote/args.hpp"
#include "remote/help.hpp"
#include "remote/serve.hpp"
#include "text/printable.hpp"

#include <csignal>
#include <cstdio>
#include <libevdev/libevdev.h>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    // Before anything is opened: a device must never land on 0, 1 or 2.
    keep_standard_fds_open();
    // A log that goes away must not take the remote with it.
    signal(SIGPIPE, SIG_IGN);
    // Each attach and detach reaches a log as it happens.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    libevdev_set_log_priority(LIBEVDEV_LOG_ERROR);
    const std::vector<std::string_view> words(argv + (argc > 0), argv + argc);
    const remote_args args = parse_remote_args(words);
    if (args.help) {
        std::fputs(remote_usage, stdout);
        std::fputs(remote_help, stdout);
        return 0;
    }
    if (args.version) {
        std::puts("tapbridge-remote " TAPBRIDGE_VERSION);
        return 0;
    }
    if (!args.error.empty()) {
        // Only a word taken for an option may have been meant as a name:
        // only then are the input devices looked at.
        const std::string error = !args.unknown_option.empty() && input_device_named(args.unknown_option)
                                      ? name_after_options_text(args, words)
                                      : args.error;
        std::fprintf(stderr, "tapbridge-remote: %s\n%sTry tapbridge-remote --help.\n", error.c_str(), remote_usage);
        return status_usage;
    }
    if (geteuid() != 0) {
        std::fputs("tapbridge-remote: run it as root: it grabs input devices and makes a virtual mouse through "
                   "/dev/uinput\n", stderr);
        return status_not_root;
    }
    return serve(args);
}
