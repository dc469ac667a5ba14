#include "setup/probe/kernel_state.hpp"

#include "input/device_numbers.hpp"
#include "input/node_check.hpp"
#include "input/sysfs.hpp"
#include "mouse/mouse.hpp"
#include "text/parse.hpp"
#include "text/printable.hpp"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

std::string cannot_read(const std::string& path, int error)
{
    return "cannot read " + path + ": " + std::strerror(error);
}

mice_facts mice_failure(int error)
{
    const open_outcome outcome = outcome_of(error, mice_path);
    switch (outcome) {
    case open_outcome::missing: return {mice_access::missing, error, {}};
    case open_outcome::denied: return {mice_access::denied, error, {}};
    case open_outcome::nodev_mount: return {mice_access::nodev_mount, error, {}};
    case open_outcome::no_driver: return {mice_access::no_driver, error, {}};
    default: return {mice_access::failed, error, {}};
    }
}

} // namespace

tap_time_fact read_tap_time()
{
    if (const auto why = not_on("/sys/module", SYSFS_MAGIC, "sysfs"))
        return {unknown(*why), 0};
    const int fd = open(tap_time_path, O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        return {known(false), 0};
    if (fd < 0)
        return {unknown(cannot_read(tap_time_path, errno)), 0};
    std::array<char, 32> text{};
    const ssize_t n = read(fd, text.data(), text.size());
    const int error = errno;
    close(fd);
    if (n < 0)
        return {unknown(cannot_read(tap_time_path, error)), 0};
    const std::string_view value(text.data(), static_cast<std::size_t>(n));
    if (const auto ms = parse_unsigned(value))
        return {known(true), *ms};
    return {unknown(std::string(tap_time_path) + " holds \"" + printable(value) + "\", not a number"), 0};
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

mice_facts probe_mice()
{
    struct stat link{};
    if (lstat(mice_path, &link) < 0)
        return mice_failure(errno);
    struct stat st{};
    if (stat(mice_path, &st) < 0) {
        if (errno == ENOENT)
            return {mice_access::not_mice, ENOENT, "a symbolic link to nothing"};
        return {mice_access::failed, errno, {}};
    }
    if (!S_ISCHR(st.st_mode) || !is_mice_number(major(st.st_rdev), minor(st.st_rdev))) {
        const std::string through = S_ISLNK(link.st_mode) ? ", reached through a symbolic link" : "";
        return {mice_access::not_mice, 0, kind_of(st) + through};
    }
    int fd = open(mice_path, O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        close(fd);
        return {mice_access::read_write, 0, {}};
    }
    const int error = errno;
    fd = open(mice_path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        close(fd);
        return {mice_access::read_only, error, {}};
    }
    return mice_failure(error);
}

uinput_facts probe_uinput()
{
    struct stat st{};
    if (stat(uinput_path, &st) < 0)
        return {errno == ENOENT ? uinput_access::missing : uinput_access::failed, errno, {}};
    // uinput is the misc device 10:223.
    if (!S_ISCHR(st.st_mode) || major(st.st_rdev) != 10 || minor(st.st_rdev) != 223)
        return {uinput_access::not_uinput, 0, kind_of(st)};
    const int fd = open(uinput_path, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {errno == EACCES || errno == EPERM ? uinput_access::denied : uinput_access::failed, errno, {}};
    close(fd);
    return {uinput_access::writable, 0, {}};
}
