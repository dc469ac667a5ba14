// Descriptors 0, 1 and 2 are kept pointing at something harmless.
#pragma once

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that
// the mouse stream and the touch node, opened after it, can never take one of
// those numbers and receive the program's own text as input.
void keep_standard_fds_open();
