#include "kernel_state.hpp"

#include "../mouse/mouse.hpp"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// /sys/dev/char/MAJOR:MINOR is the node's own directory, whatever path
// named the node.
std::string sys_dir(dev_t rdev)
{
    return "/sys/dev/char/" + std::to_string(major(rdev)) + ':' + std::to_string(minor(rdev));
}

} // namespace

bool maybe_input(dev_t rdev)
{
    char target[PATH_MAX];
    const ssize_t n = readlink((sys_dir(rdev) + "/subsystem").c_str(), target, sizeof target - 1);
    if (n <= 0)
        return true;
    return std::string_view(target, static_cast<std::size_t>(n)).ends_with("/input");
}

bool fed_by_mousedev(dev_t rdev)
{
    // The event node's device link leads to the input device, whose
    // handlers are its children (event2, mouse0, ...).
    const std::string dir = sys_dir(rdev) + "/device";
    DIR* d = opendir(dir.c_str());
    if (!d)
        return false;
    bool fed = false;
    while (const dirent* entry = readdir(d)) {
        const std::string_view name = entry->d_name;
        if (name.starts_with("mouse") && name.size() > 5)
            fed = true;
    }
    closedir(d);
    return fed;
}

std::optional<int> read_tap_time()
{
    std::FILE* f = std::fopen(tap_time_path, "r");
    if (!f)
        return std::nullopt;
    int value = 0;
    const bool read = std::fscanf(f, "%d", &value) == 1;
    std::fclose(f);
    if (!read)
        return std::nullopt;
    return value;
}

int write_tap_time_zero()
{
    const int fd = open(tap_time_path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    // A sysfs attribute takes the whole value in one write.
    const int result = write(fd, "0\n", 2) == 2 ? 0 : errno;
    close(fd);
    return result;
}

mice_access probe_mice()
{
    struct stat st{};
    if (stat(mice_path, &st) < 0)
        return errno == ENOENT ? mice_access::missing : mice_access::unreadable;
    int fd = open(mice_path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        close(fd);
        return mice_access::read_write;
    }
    fd = open(mice_path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        close(fd);
        return mice_access::read_only;
    }
    return mice_access::unreadable;
}
