#include "gather.hpp"

#include "display.hpp"
#include "evdev_node.hpp"
#include "kernel_state.hpp"
#include "processes.hpp"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <string_view>

namespace {

constexpr std::string_view input_dir = "/dev/input";
constexpr std::string_view event_prefix = "event";

bool is_event_name(std::string_view name)
{
    return name.size() > event_prefix.size() && name.starts_with(event_prefix) &&
           name.find_first_not_of("0123456789", event_prefix.size()) == std::string_view::npos;
}

} // namespace

std::vector<std::string> event_nodes()
{
    std::vector<int> numbers;
    DIR* d = opendir(std::string(input_dir).c_str());
    if (!d)
        return {};
    while (const dirent* entry = readdir(d))
        if (is_event_name(entry->d_name))
            numbers.push_back(std::atoi(entry->d_name + event_prefix.size()));
    closedir(d);
    std::sort(numbers.begin(), numbers.end());
    std::vector<std::string> nodes;
    for (int n : numbers)
        nodes.push_back(std::string(input_dir) + '/' + std::string(event_prefix) + std::to_string(n));
    return nodes;
}

system_facts gather_facts(bool probe_grabs, bool probe_x)
{
    system_facts facts{};
    for (const std::string& path : event_nodes()) {
        ++facts.devices;
        input_node node = open_input(path);
        if (node.outcome != open_outcome::ok) {
            facts.denied += node.outcome == open_outcome::denied;
            continue;
        }
        touch_screen device = describe(path, node);
        if (is_touch_screen(device.caps)) {
            device.holders = holders_of(node.rdev);
            device.grabbed = probe_grabs && grabbed_by_other(node);
            facts.screens.push_back(device);
        } else if (device.fed) {
            facts.mice.push_back(device.name + " (" + path + ")");
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
