#include "gather.hpp"

#include "device_numbers.hpp"
#include "display.hpp"
#include "evdev_node.hpp"
#include "kernel_state.hpp"
#include "mousedev.hpp"
#include "processes.hpp"
#include "text.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <tuple>

namespace {

struct entry {
    std::string path;
    dev_t rdev;
    bool link;
};

// Adds a device mousedev feeds, or may feed where /sys cannot tell.
void add_mouse(found_list<std::string>& mice, const touch_screen& device)
{
    if (device.fed.state == tri::yes) {
        mice.items.push_back(printable(device.name) + " (" + printable(device.node) + ')');
        mice.any = known(true);
    } else if (device.fed.state == tri::unknown && mousedev_may_feed(device.caps) && mice.items.empty()) {
        mice.any = device.fed;
    }
}

} // namespace

found_list<std::string> event_nodes(const std::string& dir)
{
    found_list<std::string> nodes{known(false), {}};
    std::vector<entry> entries;
    DIR* d = opendir(dir.c_str());
    if (!d) {
        // A missing directory holds no nodes; one that cannot be read may.
        if (errno != ENOENT)
            nodes.any = unknown("cannot read " + printable(dir) + ": " + std::strerror(errno));
        return nodes;
    }
    while (const dirent* e = readdir(d)) {
        const std::string path = dir + '/' + e->d_name;
        struct stat link{};
        struct stat st{};
        if (lstat(path.c_str(), &link) < 0 || stat(path.c_str(), &st) < 0) {
            // Gone since it was listed, or a link to nothing: no device. Refused: unknown.
            if (errno != ENOENT && nodes.any.state != tri::unknown)
                nodes.any = unknown("cannot look at " + printable(path) + ": " + std::strerror(errno));
            continue;
        }
        if (S_ISCHR(st.st_mode) && maybe_evdev_number(major(st.st_rdev), minor(st.st_rdev)))
            entries.push_back({path, st.st_rdev, S_ISLNK(link.st_mode)});
    }
    closedir(d);
    const auto order = [](const entry& e) { return std::make_tuple(minor(e.rdev), e.link, e.path); };
    std::sort(entries.begin(), entries.end(), [&](const entry& a, const entry& b) { return order(a) < order(b); });
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (i == 0 || entries[i].rdev != entries[i - 1].rdev)
            nodes.items.push_back(entries[i].path);
    if (nodes.any.state != tri::unknown)
        nodes.any = known(!nodes.items.empty());
    return nodes;
}

system_facts gather_facts(bool probe_grabs, bool probe_x)
{
    system_facts facts{};
    facts.mice.any = known(false);
    const found_list<std::string> nodes = event_nodes();
    facts.nodes_hidden = nodes.any.why;
    for (const std::string& path : nodes.items) {
        input_node node = open_input(path);
        // Another input handler on a dynamic minor: not an event device.
        if (node.outcome == open_outcome::not_input)
            continue;
        ++facts.devices;
        if (node.outcome != open_outcome::ok) {
            if (++facts.unopened == 1)
                facts.unopened_advice = printable(path) + ": " + failure_text(node.outcome, node.error);
            continue;
        }
        touch_screen device = describe(path, node);
        if (is_touch_screen(device.caps)) {
            device.holders = holders_of(node.rdev);
            device.grabbed = probe_grabs && grabbed_by_other(node);
            facts.screens.push_back(device);
        } else {
            add_mouse(facts.mice, device);
        }
        close_input(node);
    }
    facts.mice_node = probe_mice();
    facts.tap_time = read_tap_time();
    facts.tapbridges = processes_named("tapbridge");
    if (probe_x)
        facts.display = probe_display();
    return facts;
}
