// Whether what tapbridge-setup printed reached the user. A status of 0
// promises the user has the command line: a write that failed must not end
// in it.
#pragma once

// Flushes standard output; 0 when everything printed so far was written,
// else the errno of the failure.
[[nodiscard]] int output_error();

// Says on standard error that standard output could not be written, and
// why; returns the status for it (status_output).
int output_failed(int error);
