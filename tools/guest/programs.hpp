// Programs under test, started the way a user starts them: through the
// shell, on a terminal of their own that is their controlling terminal (so
// Ctrl-C typed there interrupts them), optionally as another user; or
// without any terminal, as a boot script runs.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

struct program {
    std::string id;
    pid_t pid;
    int pidfd;    // readable once the process has ended; -1 after
    int output;   // its standard output: the pty master (also its standard input), or a pipe; -1 once closed
    int errors;   // its standard error
    bool typed;   // keys can be typed on output: it is a terminal
    std::string out_tail, err_tail; // a line still being printed
    int out_lines;                  // whole lines on standard output so far
    std::vector<std::string> lines; // those lines
    std::string text;               // everything it printed, both streams
    bool ended;
    int status; // as waitpid gives it
};

struct launch {
    std::string id;
    std::string command; // run by SHELL -c
    std::optional<unsigned> uid;
    bool terminal;      // false: standard input /dev/null, no controlling terminal, output to a pipe
    std::string shell;  // the shell's path: /bin/sh, unless a step names another
};

// Starts command in a session of its own with environment env. Returns an
// empty string, or what failed.
[[nodiscard]] std::string start_program(const launch& how, const std::vector<std::string>& env, program& started);

// Records what the program printed since the last call, a line at a time
// ("out ID LINE", "err ID LINE"; "sh LINE" from a state change). At its end,
// also the rest of an unfinished line.
void read_output(program& p);

// After its pidfd turned readable: collects the status and records
// "exit ID status N" or "exit ID signal N".
void reap(program& p);

// Sends sig to the program's process group: the shell and what it started.
void signal_program(const program& p, int sig);

// True while the program sleeps in poll() or select(): it has done what it
// does before it waits, and is waiting for input. (The shell execs a single
// command, so the program is the process started.)
[[nodiscard]] bool waiting_for_input(const program& p);

// True while the program is stopped by a signal (SIGSTOP): whatever is sent
// to it meanwhile waits, to arrive all at once when it continues.
[[nodiscard]] bool stopped(const program& p);

// The CPU time the program has used so far, user and system, in clock ticks
// (/proc/PID/stat); -1 once it is gone.
[[nodiscard]] long long cpu_ticks(const program& p);

// The same in nanoseconds, as the scheduler counts it (/proc/PID/schedstat):
// exact, where ticks are sampled at each timer interrupt and charge a whole
// tick to whatever runs then. -1 once it is gone.
[[nodiscard]] long long cpu_ns(const program& p);

// A process other than this one that has path open, or 0: a program that
// printed nothing (one a script started, its output thrown away) has reached
// the point where it opened it.
[[nodiscard]] pid_t holder_of(const std::string& path);

// Closes what is left open of a program that has ended.
void close_program(program& p);
