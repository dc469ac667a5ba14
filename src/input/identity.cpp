#include "input/identity.hpp"

#include <algorithm>
#include <libevdev/libevdev.h>

namespace {

std::string or_empty(const char* text)
{
    return text ? text : "";
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

device_identity identity_of(const libevdev* device)
{
    return {or_empty(libevdev_get_name(device)), or_empty(libevdev_get_uniq(device)),
            or_empty(libevdev_get_phys(device)), static_cast<std::uint16_t>(libevdev_get_id_bustype(device))};
}

std::string physical_device(const device_identity& id)
{
    if (!id.uniq.empty())
        return id.uniq;
    // A phys without a '/' names no port of the device's own: Bluetooth's
    // is the adapter's address, which every device paired to it shares.
    const std::size_t slash = id.phys.rfind('/');
    return slash == std::string::npos ? std::string() : id.phys.substr(0, slash);
}

bool same_physical(const device_identity& a, const device_identity& b)
{
    const std::string physical = physical_device(a);
    return !physical.empty() && physical == physical_device(b);
}

bool names_device(std::string_view remote, const device_identity& id)
{
    if (remote.empty())
        return false;
    if (remote == id.name)
        return true;
    return remote.size() == id.uniq.size() &&
           std::equal(remote.begin(), remote.end(), id.uniq.begin(), [](char a, char b) { return lower(a) == lower(b); });
}

bool is_virtual_mouse(const device_identity& id)
{
    return id.name == virtual_mouse_name;
}
