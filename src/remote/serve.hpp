// tapbridge-remote at work: the remote's nodes taken and read, the virtual
// mouse clicked, the remote followed as it comes and goes.
#pragma once

#include "gesture/read/frames.hpp"
#include "remote/args.hpp"
#include "remote/choose.hpp"
#include "remote/virtual_mouse.hpp"

#include <libevdev/libevdev.h>
#include <string>
#include <vector>

// sysexits.h, as --help documents them.
constexpr int status_usage = 64;     // EX_USAGE
constexpr int status_misfit = 65;    // EX_DATAERR: the map does not fit the remote
constexpr int status_no_remote = 66; // EX_NOINPUT: REMOTE is no remote
constexpr int status_no_uinput = 69; // EX_UNAVAILABLE
constexpr int status_io = 74;        // EX_IOERR
constexpr int status_busy = 75;      // EX_TEMPFAIL: grabbed or served by another process
constexpr int status_not_root = 77;  // EX_NOPERM

struct taken_node {
    std::string path;
    dev_t rdev;
    int fd;
    libevdev* device;
    std::string name;
    bool grabbed;
    frame_reader frames; // a ring's events as frames of its strokes
    stroke under_way;    // the stroke under way
    axis_spans spans;    // what its swipes are measured against
};

struct server {
    remote_args args;
    wanted want;
    virtual_mouse mouse;
    std::vector<taken_node> nodes;
    std::vector<std::string> refused; // "PATH RDEV" of nodes left alone, said once
    std::string last_notice;          // the last line about what a scan found, said once
    int signals;                      // signalfd: SIGTERM, SIGINT, SIGHUP
    int notify;                       // inotify
    int input_watch;                  // on /dev/input, -1 while it is not there
    int dev_watch;                    // on /dev, for /dev/input to appear
};

// Resolves the remote, makes the virtual mouse, takes the remote if it is
// there, and serves until a signal; returns the exit status.
[[nodiscard]] int serve(const remote_args& args);
