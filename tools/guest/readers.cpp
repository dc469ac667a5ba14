#include "readers.hpp"

#include "mouse/mouse.hpp"
#include "report.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <linux/input.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr unsigned char acknowledge = 0xFA;
constexpr int acknowledge_wait_ms = 10000;

const char* or_number(const char* name)
{
    return name ? name : "?";
}

} // namespace

int open_touch_reader(const std::string& node)
{
    return open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

int open_mice_reader(std::string& error)
{
    const int fd = open(mice_path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = std::string("cannot open ") + mice_path + ": " + std::strerror(errno);
        return -1;
    }
    // mousedev answers each byte of the knock; the answers replace one
    // another, so one acknowledge is left to read.
    pollfd ready{fd, POLLIN, 0};
    unsigned char answer = 0;
    if (write(fd, imps2_param.data(), imps2_param.size()) != static_cast<ssize_t>(imps2_param.size()) ||
        poll(&ready, 1, acknowledge_wait_ms) != 1 || read(fd, &answer, 1) != 1 || answer != acknowledge) {
        error = std::string("no acknowledge from ") + mice_path + " to the IntelliMouse knock";
        close(fd);
        return -1;
    }
    return fd;
}

int report_touch(int fd)
{
    int frames = 0;
    input_event events[64];
    for (ssize_t n; (n = read(fd, events, sizeof events)) > 0;) {
        for (std::size_t i = 0; i < static_cast<std::size_t>(n) / sizeof events[0]; ++i) {
            const input_event& e = events[i];
            char text[160];
            std::snprintf(text, sizeof text, "%lld.%06lld %u %s %u %s %d", static_cast<long long>(e.input_event_sec),
                          static_cast<long long>(e.input_event_usec), e.type,
                          or_number(libevdev_event_type_get_name(e.type)), e.code,
                          or_number(libevdev_event_code_get_name(e.type, e.code)), e.value);
            record("touch", text);
            frames += e.type == EV_SYN && e.code == SYN_REPORT;
        }
    }
    return frames;
}

int report_mice(int fd)
{
    int packets = 0;
    unsigned char packet[16];
    // mousedev hands out one whole packet per read.
    for (ssize_t n; (n = read(fd, packet, sizeof packet)) > 0; ++packets) {
        std::string text;
        for (ssize_t i = 0; i < n; ++i) {
            char byte[4];
            std::snprintf(byte, sizeof byte, i ? " %02x" : "%02x", packet[i]);
            text += byte;
        }
        record("mice", text);
    }
    return packets;
}
