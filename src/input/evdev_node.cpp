#include "input/evdev_node.hpp"

#include "input/device_numbers.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

input_node failed_node(open_outcome outcome, int error, std::string what = {})
{
    return {outcome, error, std::move(what), -1, 0, nullptr};
}

} // namespace

input_caps caps_of(const libevdev* device)
{
    input_caps caps;
    for (unsigned type = 0; type < caps.types.size(); ++type)
        caps.types[type] = libevdev_has_event_type(device, type);
    for (unsigned code = 0; code < caps.keys.size(); ++code)
        caps.keys[code] = libevdev_has_event_code(device, EV_KEY, code);
    for (unsigned code = 0; code < caps.axes.size(); ++code)
        caps.axes[code] = libevdev_has_event_code(device, EV_ABS, code);
    for (unsigned code = 0; code < caps.rels.size(); ++code)
        caps.rels[code] = libevdev_has_event_code(device, EV_REL, code);
    for (unsigned prop = 0; prop < caps.props.size(); ++prop)
        caps.props[prop] = libevdev_has_property(device, prop);
    return caps;
}


input_node open_input(const std::string& path)
{
    struct stat st{};
    if (stat(path.c_str(), &st) < 0)
        return failed_node(outcome_of(errno, path), errno);
    // Opening a FIFO, a terminal or another driver's device has effects of
    // its own: the number decides before anything is opened.
    if (!S_ISCHR(st.st_mode) || !maybe_evdev_number(major(st.st_rdev), minor(st.st_rdev)))
        return failed_node(open_outcome::not_input, ENOTTY, kind_of(st));
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return failed_node(outcome_of(errno, path), errno);
    libevdev* device = nullptr;
    const int rc = libevdev_new_from_fd(fd, &device);
    if (rc < 0) {
        close(fd);
        // Another input handler's node on a dynamic minor lands here.
        return failed_node(outcome_of(-rc, path), -rc, "a device that does not answer as evdev");
    }
    return {open_outcome::ok, 0, {}, fd, st.st_rdev, device};
}

void close_input(input_node& node)
{
    if (node.device)
        libevdev_free(node.device);
    if (node.fd >= 0)
        close(node.fd);
    node.device = nullptr;
    node.fd = -1;
}

bool grabbed_by_other(const input_node& node)
{
    if (libevdev_grab(node.device, LIBEVDEV_GRAB) == -EBUSY)
        return true;
    [[maybe_unused]] const int released = libevdev_grab(node.device, LIBEVDEV_UNGRAB);
    return false;
}
