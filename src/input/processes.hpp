// Other processes, as /proc shows them.
#pragma once

#include "input/probed.hpp"

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

struct process {
    int pid;
    std::string name; // as /proc/PID/comm gives it
};

// Every other process with a descriptor on the character device rdev. As
// another user than root, other users' descriptors are not visible.
[[nodiscard]] found_list<process> holders_of(dev_t rdev);

// holders_of for each of rdevs, in one pass over /proc.
[[nodiscard]] std::vector<found_list<process>> holders_of_each(const std::vector<dev_t>& rdevs);

// The process's arguments after its program's name (/proc/PID/cmdline);
// empty when they cannot be read.
[[nodiscard]] std::vector<std::string> arguments_of(int pid);

// True when the process was started with option among its arguments
// (/proc/PID/cmdline), before any "--" that ends its options.
[[nodiscard]] bool started_with(int pid, std::string_view option);

// Every other process whose command name (/proc/PID/comm) is name.
[[nodiscard]] found_list<process> processes_named(std::string_view name);

// "pid 12 (name), pid 40 (name)", names escaped; the text for nobody, or
// why nobody can be named.
[[nodiscard]] std::string process_list(const found_list<process>& processes);
