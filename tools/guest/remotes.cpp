#include "remotes.hpp"

#include "devices.hpp"
#include "report.hpp"
#include "rings.hpp"
#include "script.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr unsigned page_turner_keys[] = {KEY_PAGEDOWN, KEY_PAGEUP, KEY_RIGHT, KEY_LEFT, KEY_DOWN, KEY_UP,
                                         KEY_SPACE, KEY_ENTER, KEY_ESC, KEY_B, KEY_N, KEY_P};
constexpr unsigned media_keys[] = {KEY_VOLUMEUP, KEY_VOLUMEDOWN, KEY_MUTE, KEY_NEXTSONG, KEY_PREVIOUSSONG,
                                   KEY_PLAYPAUSE};
constexpr unsigned gamepad_buttons[] = {BTN_SOUTH, BTN_EAST, BTN_NORTH, BTN_WEST, BTN_TL, BTN_TR,
                                        BTN_SELECT, BTN_START};
constexpr unsigned combo_keys[] = {KEY_PAGEDOWN, KEY_PAGEUP, KEY_VOLUMEUP, KEY_VOLUMEDOWN, KEY_ENTER, KEY_A};
constexpr unsigned camera_keys[] = {KEY_CAMERA_FOCUS, KEY_CAMERA};

template <typename Codes>
void enable_keys(libevdev* device, const Codes& codes)
{
    for (unsigned code : codes)
        libevdev_enable_event_code(device, EV_KEY, code, nullptr);
}

// What the remotes with keys declare. No EV_REP: the kernel makes no
// autorepeat of its own, so a held key repeats exactly as a scenario writes
// its value-2 events.
void declare_keyed(libevdev* device, remote_kind kind)
{
    libevdev_enable_event_type(device, EV_KEY);
    switch (kind) {
    case remote_kind::keyboard: enable_keys(device, page_turner_keys); break;
    case remote_kind::consumer: enable_keys(device, media_keys); break;
    case remote_kind::gamepad:
        enable_keys(device, gamepad_buttons);
        declare_axis(device, ABS_X, {-32768, 32767});
        declare_axis(device, ABS_Y, {-32768, 32767});
        declare_axis(device, ABS_HAT0X, {-1, 1});
        declare_axis(device, ABS_HAT0Y, {-1, 1});
        break;
    case remote_kind::combo:
        enable_keys(device, combo_keys);
        for (unsigned code : {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE})
            libevdev_enable_event_code(device, EV_KEY, code, nullptr);
        for (unsigned code : {REL_X, REL_Y, REL_WHEEL})
            libevdev_enable_event_code(device, EV_REL, code, nullptr);
        break;
    case remote_kind::fullkbd:
        for (unsigned code = KEY_ESC; code <= KEY_MICMUTE; ++code)
            libevdev_enable_event_code(device, EV_KEY, code, nullptr);
        break;
    case remote_kind::camera: enable_keys(device, camera_keys); break;
    case remote_kind::hybrid:
        libevdev_enable_event_code(device, EV_KEY, BTN_TOUCH, nullptr);
        declare_axis(device, ABS_X, {0, 4095});
        declare_axis(device, ABS_Y, {0, 4095});
        for (unsigned code : {REL_X, REL_Y})
            libevdev_enable_event_code(device, EV_REL, code, nullptr);
        break;
    default: break; // the rings: declare_ring
    }
}

libevdev* remote_description(const remote_device& remote)
{
    libevdev* device = libevdev_new();
    libevdev_set_name(device, remote.name.c_str());
    if (!remote.phys.empty())
        libevdev_set_phys(device, remote.phys.c_str());
    libevdev_set_id_bustype(device, remote.bus);
    if (is_ring(remote.kind))
        declare_ring(device, remote);
    else
        declare_keyed(device, remote.kind);
    return device;
}

// A device of no kind any program takes: it only keeps a node number taken.
libevdev* filler_description()
{
    libevdev* device = libevdev_new();
    libevdev_set_name(device, "node number filler");
    libevdev_enable_event_code(device, EV_MSC, MSC_SCAN, nullptr);
    return device;
}

// libevdev passes no phys to uinput: it is set here, on a /dev/uinput of
// our own, before libevdev creates the device there. destroy() closes it.
std::string create(libevdev* description, libevdev_uinput*& made)
{
    const std::string name = libevdev_get_name(description);
    const char* phys = libevdev_get_phys(description);
    const int fd = open("/dev/uinput", O_RDWR | O_CLOEXEC);
    int rc = fd < 0 ? -errno : 0;
    if (rc == 0 && phys && ioctl(fd, UI_SET_PHYS, phys) != 0)
        rc = -errno;
    if (rc == 0)
        rc = libevdev_uinput_create_from_device(description, fd, &made);
    libevdev_free(description);
    if (rc < 0) {
        if (fd >= 0)
            close(fd);
        made = nullptr;
        return "cannot create " + name + " through /dev/uinput: " + std::strerror(-rc);
    }
    if (!libevdev_uinput_get_devnode(made))
        return name + " has no event node (is evdev loaded?)";
    return {};
}

void destroy(libevdev_uinput*& device)
{
    if (device) {
        const int fd = libevdev_uinput_get_fd(device);
        libevdev_uinput_destroy(device);
        close(fd);
    }
    device = nullptr;
}

void close_reader(remote_device& remote)
{
    if (remote.reader >= 0)
        close(remote.reader);
    remote.reader = -1;
}

const char* or_number(const char* name)
{
    return name ? name : "?";
}

} // namespace

std::optional<remote_kind> remote_kind_named(std::string_view name)
{
    constexpr std::pair<std::string_view, remote_kind> kinds[] = {
        {"keyboard", remote_kind::keyboard}, {"consumer", remote_kind::consumer}, {"gamepad", remote_kind::gamepad},
        {"combo", remote_kind::combo},       {"fullkbd", remote_kind::fullkbd},   {"hybrid", remote_kind::hybrid},
        {"camera", remote_kind::camera},     {"finger", remote_kind::finger},     {"pen", remote_kind::pen},
        {"pad", remote_kind::pad},           {"drag", remote_kind::drag},         {"fingerkeys", remote_kind::fingerkeys}};
    for (const auto& [word, kind] : kinds)
        if (word == name)
            return kind;
    return std::nullopt;
}

int default_bus(remote_kind kind)
{
    return kind == remote_kind::gamepad ? BUS_USB : BUS_BLUETOOTH;
}

std::string plug_remote(remote_device& remote)
{
    remote.contact = no_contact(remote.kind);
    if (std::string error = create(remote_description(remote), remote.device); !error.empty())
        return error;
    remote.node = libevdev_uinput_get_devnode(remote.device);
    record("node", remote.id + ' ' + remote.node);
    remote.reader = open(remote.node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    return remote.reader < 0 ? "cannot open " + remote.node + " as a second reader" : std::string();
}

void unplug_remote(remote_device& remote)
{
    // The reader goes first: a removed device's node only says so.
    close_reader(remote);
    destroy(remote.device);
    // evdev hands out the lowest free number: fillers take those up to the
    // one just freed.
    constexpr int most_fillers = 64;
    for (int i = 0; i < most_fillers; ++i) {
        libevdev_uinput* filler = nullptr;
        if (!create(filler_description(), filler).empty())
            break;
        remote.fillers.push_back(filler);
        if (libevdev_uinput_get_devnode(filler) == remote.node)
            break;
    }
}

namespace {

void record_frame(const remote_device& remote, const input_event& syn)
{
    char text[80];
    std::snprintf(text, sizeof text, "%s %lld.%06lld", remote.id.c_str(), static_cast<long long>(syn.input_event_sec),
                  static_cast<long long>(syn.input_event_usec));
    record("frame", text);
}

void destroy_fillers(remote_device& remote)
{
    for (libevdev_uinput*& filler : remote.fillers)
        destroy(filler);
    remote.fillers.clear();
}

} // namespace

std::string replug_remote(remote_device& remote)
{
    const std::string old_node = remote.node;
    std::string error = plug_remote(remote);
    destroy_fillers(remote);
    if (error.empty() && remote.node == old_node)
        error = "came back as " + old_node + " again: the fillers did not hold its number";
    return error;
}

void remove_remote(remote_device& remote)
{
    close_reader(remote);
    destroy(remote.device);
    destroy_fillers(remote);
}

void report_remote(remote_device& remote)
{
    input_event events[64];
    for (ssize_t n; remote.reader >= 0 && (n = read(remote.reader, events, sizeof events)) > 0;) {
        for (std::size_t i = 0; i < static_cast<std::size_t>(n) / sizeof events[0]; ++i) {
            const input_event& e = events[i];
            if (e.type == EV_SYN && e.code == SYN_REPORT) {
                if (is_ring(remote.kind))
                    record_frame(remote, e);
                continue;
            }
            char text[160];
            std::snprintf(text, sizeof text, "%s %s %s %d", remote.id.c_str(),
                          or_number(libevdev_event_type_get_name(e.type)),
                          or_number(libevdev_event_code_get_name(e.type, e.code)), e.value);
            record("seen", text);
            ++remote.seen;
        }
    }
}

std::optional<std::vector<tap_event>> remote_events(std::uint16_t type, std::string_view code, int value)
{
    const std::string name(code);
    int number = libevdev_event_code_from_name(type, name.c_str());
    if (number < 0) {
        const auto given = parse_number(code);
        if (!given || *given < 0 || *given > libevdev_event_type_get_max(type))
            return std::nullopt;
        number = *given;
    }
    return std::vector<tap_event>{{type, static_cast<std::uint16_t>(number), value}, {EV_SYN, SYN_REPORT, 0}};
}
