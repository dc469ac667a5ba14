// What an event node declares, as the kernel answers for it (the ioctls
// evtest asks too), one line each: "bus 0018", "prop INPUT_PROP_DIRECT",
// "EV_KEY BTN_TOUCH", "EV_ABS ABS_X 0 4095 res 12". Scenarios read it
// through an sh step to check that a device was made as they asked.
#pragma once

// Prints what node declares on standard output; returns 0, or 1 with why
// on standard error.
[[nodiscard]] int print_declared(const char* node);
