#include "input/node_check.hpp"

#include <cerrno>
#include <cstring>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

open_outcome outcome_of(int error, const std::string& path)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR: return open_outcome::missing;
    case EACCES:
    case EPERM: {
        // Root is refused a device node only by the mount (nodev), a
        // security module or a container's device rules.
        struct statvfs fs{};
        if (statvfs(path.c_str(), &fs) == 0 && (fs.f_flag & ST_NODEV))
            return open_outcome::nodev_mount;
        return open_outcome::denied;
    }
    case ENXIO:
    case ENODEV: return open_outcome::no_driver;
    // A character device of another driver rejects the evdev ioctls.
    case ENOTTY:
    case EINVAL: return open_outcome::not_input;
    default: return open_outcome::failed;
    }
}

std::string kind_of(const struct stat& st)
{
    const auto numbers = [&] { return std::to_string(major(st.st_rdev)) + ':' + std::to_string(minor(st.st_rdev)); };
    switch (st.st_mode & S_IFMT) {
    case S_IFIFO: return "a FIFO";
    case S_IFREG: return "a regular file";
    case S_IFDIR: return "a directory";
    case S_IFSOCK: return "a socket";
    case S_IFLNK: return "a symbolic link";
    case S_IFBLK: return "a block device " + numbers();
    case S_IFCHR: return "a character device " + numbers();
    default: return "a file of unknown type";
    }
}

std::string failure_text(open_outcome outcome, int error)
{
    switch (outcome) {
    case open_outcome::ok: return "opens";
    case open_outcome::missing: return "does not exist";
    case open_outcome::not_input: return "is not an input event device";
    case open_outcome::denied:
        if (geteuid() != 0)
            return "permission denied: run as root";
        return "permission denied even for root: a security module or the container's device rules forbid it";
    case open_outcome::nodev_mount:
        return "its file system is mounted nodev, which forbids device nodes even for root: use the node on "
               "the /dev the kernel fills (devtmpfs), or remount without nodev";
    case open_outcome::no_driver:
        return std::string("no driver answers its device number (") + std::strerror(error) +
               "): the kernel lacks that input handler, or the node is stale";
    case open_outcome::failed: return std::string("cannot be opened: ") + std::strerror(error);
    }
    return {};
}
