// Keeps the device's power daemon from blanking the screen while taps come.
#pragma once

#include <ctime>

// True when more than 60 wall-clock seconds separate now from last.
[[nodiscard]] bool keep_awake_due(std::time_t now, std::time_t last);

// Called after each tap: runs the platform's keep-awake command when it is
// due and then moves last to now.
void prevent_sleep(std::time_t& last);
