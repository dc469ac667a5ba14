// Other processes, as /proc shows them.
#pragma once

#include "facts.hpp"

#include <string_view>
#include <sys/types.h>
#include <vector>

// Every other process with a descriptor on the character device rdev. As
// another user than root, other users' descriptors are not visible.
[[nodiscard]] std::vector<process> holders_of(dev_t rdev);

// Every other process whose command name (/proc/PID/comm) is name.
[[nodiscard]] std::vector<process> processes_named(std::string_view name);
