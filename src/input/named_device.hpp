// Whether an input device of a given name is there: a word a command line
// took for an option may have been meant as a device's name.
#pragma once

#include <string_view>

// True when an event node under /dev/input opens and its device is named
// name exactly, as the kernel gives it (EVIOCGNAME). A node that does not
// open (another user's, gone meanwhile) names nothing.
[[nodiscard]] bool input_device_named(std::string_view name);
