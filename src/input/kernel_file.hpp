// Files of /sys and /proc, read and written without ever waiting. The
// kernel's own are regular files that answer at once; whatever a container
// or a bind mount put in their place (a FIFO, a terminal, a device) could
// block an open or a read for ever, or act on being opened.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct kernel_file {
    int error;        // errno of the failure; 0 when it was read or written
    std::string what; // when it is no regular file: what is there ("a FIFO"), and error is EINVAL
    std::string text; // read: what it holds, up to the limit asked for
};

// Reads at most limit bytes of path. Only a regular file is opened at all.
[[nodiscard]] kernel_file read_kernel_file(const std::string& path, std::size_t limit);

// Writes text to path in one write, as a sysfs attribute takes it. Only a
// regular file is opened at all.
[[nodiscard]] kernel_file write_kernel_file(const std::string& path, std::string_view text);

// "/sys/...: is a FIFO, not the kernel's file" or "cannot read /sys/...: reason".
[[nodiscard]] std::string kernel_file_problem(const std::string& path, const kernel_file& file, const char* verb);
