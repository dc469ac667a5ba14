// What is at a path, and why it would not open, in the user's terms.
#pragma once

#include <string>
#include <sys/stat.h>

enum class open_outcome {
    ok,
    missing,     // nothing at the path
    not_input,   // something else than an input event device
    denied,      // permission denied to this user
    nodev_mount, // on a file system mounted nodev: device nodes do not open there, even for root
    no_driver,   // an input device number that no driver answers
    failed,      // anything else: the system's text says what
};

// What opening path failed with error means here.
[[nodiscard]] open_outcome outcome_of(int error, const std::string& path);

// "a FIFO", "a regular file", "a character device 1:3", ...
[[nodiscard]] std::string kind_of(const struct stat& st);

// Why the open failed and what to do, after the path: "permission denied:
// run as root", "does not exist", ...
[[nodiscard]] std::string failure_text(open_outcome outcome, int error);
