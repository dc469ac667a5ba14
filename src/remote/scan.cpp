#include "remote/scan.hpp"

#include "input/event_nodes.hpp"
#include "input/mousedev_ids.hpp"
#include "input/sysfs.hpp"

candidate candidate_of(const std::string& path, const input_node& node)
{
    candidate c{path, node.rdev, identity_of(node.device), caps_of(node.device), false};
    // Where /sys cannot say, mousedev's own device ids decide.
    const probed fed = fed_by_mousedev(node.rdev);
    c.fed = fed.state == tri::unknown ? mousedev_may_feed(c.caps) : fed.state == tri::yes;
    return c;
}

std::vector<candidate> scan_nodes()
{
    std::vector<candidate> found;
    for (const std::string& path : event_nodes().items) {
        input_node node = open_input(path);
        if (node.outcome == open_outcome::ok)
            found.push_back(candidate_of(path, node));
        close_input(node);
    }
    return found;
}
