#include "input/sysfs.hpp"

#include "input/kernel_file.hpp"
#include "text/parse.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <linux/magic.h>
#include <string_view>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

namespace {

// /sys/dev/char/MAJOR:MINOR is the node's own directory, whatever path
// named the node.
std::string sys_dir(dev_t rdev)
{
    return "/sys/dev/char/" + std::to_string(major(rdev)) + ':' + std::to_string(minor(rdev));
}

std::string cannot_read(const std::string& path, int error)
{
    return "cannot read " + path + ": " + std::strerror(error);
}

bool is_mouse_handler(std::string_view name)
{
    constexpr std::string_view prefix = "mouse";
    return name.starts_with(prefix) && parse_unsigned(name.substr(prefix.size())).has_value();
}

} // namespace

std::optional<std::string> not_on(const char* path, long magic, const char* fs)
{
    struct statfs st{};
    if (statfs(path, &st) < 0)
        return cannot_read(path, errno) + " (is " + fs + " mounted?)";
    if (static_cast<long>(st.f_type) != magic)
        return std::string(path) + " is not on " + fs + " (not mounted, or another file system over it)";
    return std::nullopt;
}

probed fed_by_mousedev(dev_t rdev)
{
    if (const auto why = not_on("/sys/dev/char", SYSFS_MAGIC, "sysfs"))
        return unknown(*why);
    // The event node's device link leads to the input device, whose
    // handlers are its children (event2, mouse0, ...).
    const std::string dir = sys_dir(rdev) + "/device";
    DIR* d = opendir(dir.c_str());
    if (!d)
        return unknown(cannot_read(dir, errno));
    bool fed = false;
    while (const dirent* entry = readdir(d))
        fed = fed || is_mouse_handler(entry->d_name);
    closedir(d);
    return known(fed);
}

std::string kernel_node_path(dev_t rdev)
{
    const kernel_file uevent = read_kernel_file(sys_dir(rdev) + "/uevent", 4096);
    constexpr std::string_view key = "DEVNAME=";
    std::string_view text = uevent.error == 0 ? std::string_view(uevent.text) : std::string_view();
    while (!text.empty()) {
        const std::string_view line = text.substr(0, text.find('\n'));
        text.remove_prefix(std::min(text.size(), line.size() + 1));
        if (line.starts_with(key) && line.size() > key.size())
            return "/dev/" + std::string(line.substr(key.size()));
    }
    return {};
}
