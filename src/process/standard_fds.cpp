#include "process/standard_fds.hpp"

#include <cerrno>
#include <fcntl.h>

namespace {

// Fills fd when it is closed; true when it had to.
bool fill_if_closed(int fd)
{
    if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
        return false;
    // open() returns the lowest free number, and every one below fd is open
    // by now, so this lands exactly on fd. Without /dev/null (a bare chroot)
    // a read-only directory serves: writes to it fail, and the text is lost
    // instead of reaching a device.
    if (open("/dev/null", O_RDWR) < 0) {
        [[maybe_unused]] const int placeholder = open("/", O_RDONLY | O_DIRECTORY);
    }
    return true;
}

} // namespace

filled_fds keep_standard_fds_open()
{
    // Started with >&- (some init scripts, nohup setups), the next open()
    // would return 1 and printf would write into /dev/input/mice or, once its
    // buffer fills, into the touch node as garbage input records. In order:
    // each call relies on the ones below it being open.
    const bool input = fill_if_closed(0);
    const bool output = fill_if_closed(1);
    const bool error = fill_if_closed(2);
    return {input, output, error};
}
