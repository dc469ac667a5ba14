#include "input/kernel_file.hpp"

#include "input/node_check.hpp"
#include "text/printable.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

kernel_file failure(int error)
{
    return {error, {}, {}};
}

// Opens path with flags when it is a regular file. Looked at before it is
// opened, so nothing else is ever opened; looked at again through the
// descriptor, in case something else was put there in between. O_NONBLOCK
// keeps even that open from waiting (a FIFO opens at once, or fails).
int open_regular(const std::string& path, int flags, kernel_file& result)
{
    struct stat st{};
    if (stat(path.c_str(), &st) < 0) {
        result = failure(errno);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        result = {EINVAL, kind_of(st), {}};
        return -1;
    }
    const int fd = open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        result = failure(errno);
        return -1;
    }
    if (fstat(fd, &st) < 0 || !S_ISREG(st.st_mode)) {
        result = {EINVAL, kind_of(st), {}};
        close(fd);
        return -1;
    }
    result = failure(0);
    return fd;
}

} // namespace

kernel_file read_kernel_file(const std::string& path, std::size_t limit)
{
    kernel_file result{};
    const int fd = open_regular(path, O_RDONLY, result);
    if (fd < 0)
        return result;
    result.text.resize(limit);
    std::size_t got = 0;
    while (got < limit) {
        const ssize_t n = read(fd, result.text.data() + got, limit - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            result.error = errno;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    close(fd);
    result.text.resize(got);
    return result;
}

kernel_file write_kernel_file(const std::string& path, std::string_view text)
{
    kernel_file result{};
    const int fd = open_regular(path, O_WRONLY, result);
    if (fd < 0)
        return result;
    const ssize_t n = write(fd, text.data(), text.size());
    if (n < 0)
        result.error = errno;
    else if (static_cast<std::size_t>(n) != text.size())
        result.error = EIO;
    // A sysfs attribute can refuse the value only in the write itself; a
    // plain file can fail still at the close.
    if (close(fd) < 0 && result.error == 0)
        result.error = errno;
    return result;
}

std::string kernel_file_problem(const std::string& path, const kernel_file& file, const char* verb)
{
    if (!file.what.empty())
        return printable(path) + " is " + file.what + ", not a file of the kernel's";
    return std::string("cannot ") + verb + ' ' + printable(path) + ": " + std::strerror(file.error);
}
