#include "setup/probe/describe.hpp"

#include "input/identity.hpp"
#include "input/sysfs.hpp"

namespace {

axis_range axis_of(const libevdev* device, unsigned code)
{
    const input_absinfo* info = libevdev_get_abs_info(device, code);
    if (!info)
        return {0, 0, 0};
    return {info->minimum, info->maximum, info->resolution};
}

} // namespace

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
    screen.bus = static_cast<std::uint16_t>(libevdev_get_id_bustype(node.device));
    return screen;
}

input_device describe_device(const std::string& path, const input_node& node)
{
    return {path, identity_of(node.device), caps_of(node.device), fed_by_mousedev(node.rdev), {}, false};
}
