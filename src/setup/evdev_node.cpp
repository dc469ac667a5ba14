#include "evdev_node.hpp"

#include "device_numbers.hpp"
#include "kernel_state.hpp"

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

axis_range axis_of(const libevdev* device, unsigned code)
{
    const input_absinfo* info = libevdev_get_abs_info(device, code);
    if (!info)
        return {0, 0, 0};
    return {info->minimum, info->maximum, info->resolution};
}

input_caps caps_of(const libevdev* device)
{
    input_caps caps;
    for (unsigned type = 0; type < caps.types.size(); ++type)
        caps.types[type] = libevdev_has_event_type(device, type);
    for (unsigned code = 0; code < caps.keys.size(); ++code)
        caps.keys[code] = libevdev_has_event_code(device, EV_KEY, code);
    for (unsigned code = 0; code < caps.axes.size(); ++code)
        caps.axes[code] = libevdev_has_event_code(device, EV_ABS, code);
    for (unsigned prop = 0; prop < caps.props.size(); ++prop)
        caps.props[prop] = libevdev_has_property(device, prop);
    return caps;
}

} // namespace

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

touch_screen describe(const std::string& path, const input_node& node)
{
    touch_screen screen{};
    screen.node = path;
    const char* name = libevdev_get_name(node.device);
    screen.name = name ? name : "";
    screen.caps = caps_of(node.device);
    screen.x = axis_of(node.device, ABS_MT_POSITION_X);
    screen.y = axis_of(node.device, ABS_MT_POSITION_Y);
    screen.fed = fed_by_mousedev(node.rdev);
    return screen;
}

bool grabbed_by_other(const input_node& node)
{
    if (libevdev_grab(node.device, LIBEVDEV_GRAB) == -EBUSY)
        return true;
    [[maybe_unused]] const int released = libevdev_grab(node.device, LIBEVDEV_UNGRAB);
    return false;
}
