// Descriptors 0, 1 and 2 are kept pointing at something harmless.
#pragma once

// Which of descriptors 0, 1 and 2 were closed at start and are now filled.
struct filled_fds {
    bool input;
    bool output;
    bool error;
};

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that
// a device opened after it can never take one of those numbers: the
// program's own text would reach the device, or the device's bytes would be
// read as typed input. Returns which ones it filled.
filled_fds keep_standard_fds_open();
