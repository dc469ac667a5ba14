// Command-line numbers, read the way atoi reads them.
#pragma once

// Leading white space, an optional sign, leading decimal digits; anything
// after them is ignored and no digits at all gives 0. Unlike atoi, a value
// outside int saturates to INT_MAX or INT_MIN instead of being undefined.
[[nodiscard]] int parse_int(const char* text);
