#include "setup/probe/gather.hpp"

#include "input/evdev_node.hpp"
#include "input/event_nodes.hpp"
#include "input/processes.hpp"
#include "setup/decide/mousedev.hpp"
#include "setup/probe/describe.hpp"
#include "setup/probe/display.hpp"
#include "setup/probe/kernel_state.hpp"
#include "text/printable.hpp"

namespace {

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

system_facts gather_facts(bool probe_grabs, bool probe_x)
{
    system_facts facts{};
    facts.mice.any = known(false);
    const found_list<std::string> nodes = event_nodes();
    facts.nodes_hidden = nodes.any.why;
    for (const std::string& path : nodes.items) {
        input_node node = open_input(path);
        // Another input handler on a dynamic minor: not an event device. A
        // stale node no driver answers (ENXIO), or one gone since it was
        // listed: no device either.
        if (node.outcome == open_outcome::not_input || node.outcome == open_outcome::no_driver ||
            node.outcome == open_outcome::missing)
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
