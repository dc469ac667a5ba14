#include "setup/probe/display.hpp"

#include <X11/Xlib.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Opens the display and asks; may wait for ever on a server that takes the
// connection and never answers, so it runs only in a child.
display_facts ask_display()
{
    display_facts facts{};
    facts.asked = true;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return facts;
    facts.opened = true;
    const int screen = DefaultScreen(display);
    facts.width = DisplayWidth(display, screen);
    facts.height = DisplayHeight(display, screen);
    int opcode = 0;
    int event = 0;
    int error = 0;
    facts.xtest = XQueryExtension(display, "XTEST", &opcode, &event, &error);
    XCloseDisplay(display);
    return facts;
}

// Waits until fd is readable or the deadline passes; true when readable.
bool readable_before(int fd, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        const int n = poll(&p, 1, static_cast<int>(left.count()));
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
    }
}

} // namespace

display_facts probe_display()
{
    display_facts facts{};
    const char* name = std::getenv("DISPLAY");
    facts.asked = name && *name;
    if (!facts.asked)
        return facts;
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) < 0)
        return facts;
    const pid_t child = fork();
    if (child < 0) {
        close(pipe_fds[0]);
        close(pipe_fds[1]);
        return facts;
    }
    if (child == 0) {
        close(pipe_fds[0]);
        const display_facts answer = ask_display();
        [[maybe_unused]] const ssize_t sent = write(pipe_fds[1], &answer, sizeof answer);
        // _exit: the parent's buffered output must not be written twice.
        _exit(0);
    }
    close(pipe_fds[1]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(x_answer_seconds);
    // A child that ended without an answer (Xlib exits on some errors)
    // makes the pipe readable too: the display did not open.
    display_facts answer{};
    if (!readable_before(pipe_fds[0], deadline))
        facts.timed_out = true;
    else if (read(pipe_fds[0], &answer, sizeof answer) == sizeof answer)
        facts = answer;
    close(pipe_fds[0]);
    kill(child, SIGKILL);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    return facts;
}
