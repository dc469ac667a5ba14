#include "setup/probe/gather.hpp"

#include "gesture/decide/place.hpp"
#include "input/evdev_node.hpp"
#include "input/event_nodes.hpp"
#include "input/processes.hpp"
#include "setup/decide/mice.hpp"
#include "setup/decide/remotes.hpp"
#include "setup/probe/describe.hpp"
#include "setup/probe/display.hpp"
#include "setup/probe/kernel_state.hpp"
#include "text/printable.hpp"

system_facts gather_facts(grab_probe grabs, bool probe_x)
{
    system_facts facts{};
    const found_list<std::string> nodes = event_nodes();
    facts.nodes_hidden = nodes.any.why;
    std::vector<dev_t> screen_numbers;
    std::vector<dev_t> other_numbers;
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
        const input_caps caps = caps_of(node.device);
        const auto bus = static_cast<std::uint16_t>(libevdev_get_id_bustype(node.device));
        // A ring that pretends to be a finger has multitouch positions too,
        // but comes on Bluetooth or USB: it is a remote, never the screen.
        if (is_touch_screen(caps) && place_of(bus, caps) != touch_place::ring) {
            touch_screen screen = describe(path, node);
            screen.grabbed = grabs == grab_probe::all && grabbed_by_other(node);
            facts.screens.push_back(screen);
            screen_numbers.push_back(node.rdev);
        } else {
            input_device device = describe_device(path, node);
            // Whose grab keeps a mouse from mousedev, or a remote from
            // tapbridge-remote, matters; a grab of anything else does not.
            // A ring is a remote too, and so is whatever it pretends to be.
            const bool remote = is_remote(device) || source_of(caps) != gesture_source::none;
            const bool wanted = grabs == grab_probe::all ? device.fed.state != tri::no || remote
                                                         : grabs == grab_probe::remotes && remote;
            device.grabbed = wanted && grabbed_by_other(node);
            facts.others.push_back(device);
            other_numbers.push_back(node.rdev);
        }
        close_input(node);
    }
    // Who holds them open, in one pass over /proc.
    std::vector<dev_t> numbers = screen_numbers;
    numbers.insert(numbers.end(), other_numbers.begin(), other_numbers.end());
    const std::vector<found_list<process>> holders = holders_of_each(numbers);
    for (std::size_t i = 0; i < facts.screens.size(); ++i)
        facts.screens[i].holders = holders[i];
    for (std::size_t i = 0; i < facts.others.size(); ++i)
        facts.others[i].holders = holders[facts.screens.size() + i];
    facts.mice_node = probe_mice();
    facts.tap_time = read_tap_time();
    facts.tapbridges = processes_named("tapbridge");
    if (!facts.tapbridges.items.empty())
        facts.running_line = arguments_of(facts.tapbridges.items.front().pid);
    facts.remote_programs = processes_named(remote_program_comm);
    for (const process& p : facts.remote_programs.items)
        if (started_with(p.pid, "--no-grab"))
            facts.sharing_remotes.push_back(p.pid);
    facts.uinput = probe_uinput();
    if (probe_x)
        facts.display = probe_display();
    return facts;
}
