// Calls one of tapbridge-setup's probes and prints what it learnt, one fact
// a line, for setup_test.py to run under canned /dev, /sys and /proc.
//   setup_probe nodes DIR | open PATH | fed PATH | holders PATH | mice | tap_time | tapbridges | display

#include "input/evdev_node.hpp"
#include "input/event_nodes.hpp"
#include "input/processes.hpp"
#include "input/sysfs.hpp"
#include "setup/probe/display.hpp"
#include "setup/probe/gather.hpp"
#include "setup/probe/kernel_state.hpp"

#include <cstdio>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace {

const char* tri_name(tri t)
{
    return t == tri::yes ? "yes" : t == tri::no ? "no" : "unknown";
}

void print_probed(const char* what, const probed& p)
{
    std::printf("%s: %s%s%s\n", what, tri_name(p.state), p.why.empty() ? "" : ": ", p.why.c_str());
}

void print_processes(const found_list<process>& found)
{
    print_probed("any", found.any);
    for (const process& p : found.items)
        std::printf("pid %d %s\n", p.pid, p.name.c_str());
}

dev_t rdev_of(const char* path)
{
    struct stat st{};
    return stat(path, &st) == 0 ? st.st_rdev : 0;
}

constexpr const char* mice_names[] = {"missing", "not_mice", "denied", "nodev_mount",
                                      "no_driver", "failed", "read_only", "read_write"};
constexpr const char* outcome_names[] = {"ok", "missing", "not_input", "denied", "nodev_mount", "no_driver", "failed"};

} // namespace

int main(int argc, char** argv)
{
    const std::string_view what = argc > 1 ? argv[1] : "";
    const char* arg = argc > 2 ? argv[2] : "";
    if (what == "nodes") {
        const found_list<std::string> nodes = event_nodes(arg);
        if (nodes.any.state == tri::unknown)
            std::printf("unknown: %s\n", nodes.any.why.c_str());
        for (const std::string& node : nodes.items)
            std::printf("%s\n", node.c_str());
    } else if (what == "open") {
        input_node node = open_input(arg);
        std::printf("outcome: %s %s\n", outcome_names[static_cast<int>(node.outcome)], node.what.c_str());
        close_input(node);
    } else if (what == "fed") {
        print_probed("fed", fed_by_mousedev(rdev_of(arg)));
    } else if (what == "holders") {
        print_processes(holders_of(rdev_of(arg)));
    } else if (what == "tapbridges") {
        print_processes(processes_named("tapbridge"));
    } else if (what == "mice") {
        const mice_facts mice = probe_mice();
        std::printf("mice: %s %s\n", mice_names[static_cast<int>(mice.access)], mice.what.c_str());
    } else if (what == "tap_time") {
        const tap_time_fact t = read_tap_time();
        print_probed("present", t.present);
        std::printf("ms: %u\n", t.ms);
    } else if (what == "display") {
        const display_facts d = probe_display();
        std::printf("asked %d timed_out %d opened %d xtest %d size %dx%d\n", d.asked, d.timed_out, d.opened, d.xtest,
                    d.width, d.height);
    } else {
        std::fputs("usage: setup_probe nodes DIR | open PATH | fed PATH | holders PATH | mice | tap_time | "
                   "tapbridges | display\n", stderr);
        return 64;
    }
    return 0;
}
