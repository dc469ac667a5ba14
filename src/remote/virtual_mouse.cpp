#include "remote/virtual_mouse.hpp"

#include "input/identity.hpp"

#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>

namespace {

int write_frame(const virtual_mouse& mouse, unsigned type, unsigned code, int value)
{
    if (const int rc = libevdev_uinput_write_event(mouse.device, type, code, value); rc < 0)
        return -rc;
    const int rc = libevdev_uinput_write_event(mouse.device, EV_SYN, SYN_REPORT, 0);
    return rc < 0 ? -rc : 0;
}

unsigned button_code(int button)
{
    return button == btn_left ? BTN_LEFT : button == btn_right ? BTN_RIGHT : BTN_MIDDLE;
}

} // namespace

virtual_mouse make_virtual_mouse()
{
    libevdev* description = libevdev_new();
    libevdev_set_name(description, virtual_mouse_name);
    libevdev_set_id_bustype(description, BUS_VIRTUAL);
    for (unsigned code : {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE})
        libevdev_enable_event_code(description, EV_KEY, code, nullptr);
    for (unsigned code : {REL_X, REL_Y, REL_WHEEL})
        libevdev_enable_event_code(description, EV_REL, code, nullptr);
    virtual_mouse mouse{nullptr, 0, {}};
    const int rc = libevdev_uinput_create_from_device(description, LIBEVDEV_UINPUT_OPEN_MANAGED, &mouse.device);
    libevdev_free(description);
    if (rc < 0) {
        mouse.device = nullptr;
        mouse.error = -rc;
        return mouse;
    }
    const char* node = libevdev_uinput_get_devnode(mouse.device);
    mouse.node = node ? node : "";
    return mouse;
}

void remove_virtual_mouse(virtual_mouse& mouse)
{
    if (mouse.device)
        libevdev_uinput_destroy(mouse.device);
    mouse.device = nullptr;
}

int send_action(const virtual_mouse& mouse, const mouse_action& action)
{
    if (action.wheel != 0)
        return write_frame(mouse, EV_REL, REL_WHEEL, action.wheel);
    if (action.button == btn_none)
        return 0;
    if (const int error = write_frame(mouse, EV_KEY, button_code(action.button), 1))
        return error;
    return write_frame(mouse, EV_KEY, button_code(action.button), 0);
}
