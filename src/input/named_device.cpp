#include "input/named_device.hpp"

#include "input/evdev_node.hpp"
#include "input/event_nodes.hpp"
#include "input/identity.hpp"

bool input_device_named(std::string_view name)
{
    for (const std::string& path : event_nodes().items) {
        input_node node = open_input(path);
        const bool named = node.outcome == open_outcome::ok && identity_of(node.device).name == name;
        close_input(node);
        if (named)
            return true;
    }
    return false;
}
