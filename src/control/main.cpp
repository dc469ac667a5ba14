// tapbridge: every mouse button press or wheel step becomes one tap on the
// touch screen, either as multitouch events on its event node or as an XTest
// click on the X display.

#include "control/args.hpp"
#include "control/keep_awake.hpp"
#include "mouse/mouse.hpp"
#include "process/standard_fds.hpp"
#include "tap/point.hpp"
#include "tap/touch.hpp"
#include "tap/xclick.hpp"

#include <array>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int startup_failure = -1; // the shell sees 255
constexpr int argument_count = 13;  // program name, node, MODE, ten coordinates
constexpr int poll_timeout_ms = 10;
// Lets the multiplexer finish a packet before it is read, and caps handling
// at about twenty packets a second.
constexpr useconds_t settle_us = 50000;

[[noreturn]] void button_loop(int mouse_fd, int imps2, int mode, int event_fd, Display* display,
                              const std::array<int, 10>& point_table, std::time_t last_keep_awake)
{
    pollfd mouse{mouse_fd, POLLIN, 0};
    for (;;) {
        // Only the count matters: an error or hang-up also goes on to the
        // read, which then fails and yields no button.
        if (poll(&mouse, 1, poll_timeout_ms) <= 0)
            continue;
        usleep(settle_us);
        const int code = getbtn(mouse_fd, imps2);
        if (code == btn_none)
            continue;
        const int x = point_table[2 * (code - 1)];
        const int y = point_table[2 * code - 1];
        std::printf("button %d, x %d y %d\n", code, x, y);
        if (!point_enabled(x, y))
            continue;
        if (mode == x_mode)
            mouse_click(display, x, y);
        else
            write_touch_event(event_fd, x, y);
        prevent_sleep(last_keep_awake);
    }
}

} // namespace

int main(int argc, char** argv)
{
    // Which ones were closed makes no difference to tapbridge.
    [[maybe_unused]] const filled_fds filled = keep_standard_fds_open();
    if (argc != argument_count) {
        std::printf("Usage: %s /dev/input/eventX MODE pt1x pt1y pt2x pt2y ... pt5x pt5y\n",
                    argc > 0 && argv[0] ? argv[0] : "tapbridge");
        return startup_failure;
    }
    const int mode = parse_int(argv[2]);

    int imps2 = 0;
    const int mouse_fd = open_mouse(imps2);
    if (mouse_fd < 0)
        return startup_failure;

    int event_fd = -1;
    Display* display = nullptr;
    if (mode == x_mode) {
        display = open_display();
        if (!display)
            return startup_failure;
    } else {
        // The node given is opened as is; the message is fixed text.
        event_fd = open(argv[1], O_RDWR);
        if (event_fd < 0) {
            std::perror("ERROR Opening /dev/input/event");
            return startup_failure;
        }
    }

    std::array<int, 10> point_table{};
    for (std::size_t i = 0; i < point_table.size(); ++i)
        point_table[i] = parse_int(argv[3 + i]);

    button_loop(mouse_fd, imps2, mode, event_fd, display, point_table, std::time(nullptr));
}
