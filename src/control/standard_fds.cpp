#include "standard_fds.hpp"

#include <cerrno>
#include <fcntl.h>

void keep_standard_fds_open()
{
    // Started with >&- (some init scripts, nohup setups), the next open()
    // would return 1 and printf would write into /dev/input/mice or, once its
    // buffer fills, into the touch node as garbage input records.
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
            continue;
        // open() returns the lowest free number, and every one below fd is
        // open by now, so this lands exactly on fd. Without /dev/null (a bare
        // chroot) a read-only directory serves: writes to it fail, and the
        // text is lost instead of reaching a device.
        if (open("/dev/null", O_RDWR) < 0) {
            [[maybe_unused]] const int placeholder = open("/", O_RDONLY | O_DIRECTORY);
        }
    }
}
