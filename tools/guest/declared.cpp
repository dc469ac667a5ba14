#include "declared.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <libevdev/libevdev.h>
#include <unistd.h>

namespace {

void print_codes(const libevdev* device, unsigned type)
{
    const auto most = static_cast<unsigned>(libevdev_event_type_get_max(type));
    for (unsigned code = 0; code <= most; ++code) {
        if (!libevdev_has_event_code(device, type, code))
            continue;
        const char* name = libevdev_event_code_get_name(type, code);
        std::printf("%s %s", libevdev_event_type_get_name(type), name ? name : std::to_string(code).c_str());
        if (type == EV_ABS) {
            const input_absinfo* axis = libevdev_get_abs_info(device, code);
            std::printf(" %d %d res %d", axis->minimum, axis->maximum, axis->resolution);
        }
        std::printf("\n");
    }
}

} // namespace

int print_declared(const char* node)
{
    const int fd = open(node, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    libevdev* device = nullptr;
    const int rc = fd < 0 ? -errno : libevdev_new_from_fd(fd, &device);
    if (rc < 0) {
        std::fprintf(stderr, "%s: %s\n", node, std::strerror(-rc));
        if (fd >= 0)
            close(fd);
        return 1;
    }
    std::printf("bus %04x\n", static_cast<unsigned>(libevdev_get_id_bustype(device)));
    for (unsigned prop = 0; prop <= INPUT_PROP_MAX; ++prop)
        if (libevdev_has_property(device, prop))
            std::printf("prop %s\n", libevdev_property_get_name(prop));
    // EV_SYN is every device's: left out.
    for (unsigned type = EV_KEY; type <= EV_MAX; ++type)
        if (libevdev_has_event_type(device, type))
            print_codes(device, type);
    libevdev_free(device);
    close(fd);
    return 0;
}
