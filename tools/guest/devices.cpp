#include "devices.hpp"

#include "script.hpp"

#include <algorithm>
#include <cstring>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>

void declare_axis(libevdev* device, unsigned code, axis_span span, int resolution)
{
    input_absinfo info{};
    info.minimum = span.minimum;
    info.maximum = span.maximum;
    info.resolution = resolution;
    libevdev_enable_event_code(device, EV_ABS, code, &info);
}

namespace {

libevdev* mouse_description()
{
    libevdev* device = libevdev_new();
    libevdev_set_name(device, "virtual mouse");
    libevdev_set_id_bustype(device, BUS_VIRTUAL);
    for (unsigned code : {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE})
        libevdev_enable_event_code(device, EV_KEY, code, nullptr);
    for (unsigned code : {REL_X, REL_Y, REL_WHEEL})
        libevdev_enable_event_code(device, EV_REL, code, nullptr);
    return device;
}

libevdev* screen_description(const screen_shape& shape)
{
    libevdev* device = libevdev_new();
    libevdev_set_name(device, shape.name.c_str());
    libevdev_set_id_bustype(device, shape.bus);
    libevdev_enable_event_code(device, EV_KEY, BTN_TOUCH, nullptr);
    if (shape.kind != screen_kind::direct)
        libevdev_enable_event_code(device, EV_KEY, BTN_TOOL_FINGER, nullptr);
    if (shape.slots > 0) {
        declare_axis(device, ABS_MT_SLOT, {0, shape.slots - 1});
        declare_axis(device, ABS_MT_TRACKING_ID, {0, max_tracking_id});
    }
    declare_axis(device, ABS_MT_POSITION_X, shape.x, shape.resolution);
    declare_axis(device, ABS_MT_POSITION_Y, shape.y, shape.resolution);
    if (shape.kind != screen_kind::mt) {
        declare_axis(device, ABS_X, shape.x);
        declare_axis(device, ABS_Y, shape.y);
    }
    if (shape.direct)
        libevdev_enable_property(device, INPUT_PROP_DIRECT);
    return device;
}

// Creates the uinput device that description declares; it is freed here
// either way, since the kernel keeps its own copy.
std::string create(libevdev* description, libevdev_uinput*& made, std::string& node)
{
    const int rc = libevdev_uinput_create_from_device(description, LIBEVDEV_UINPUT_OPEN_MANAGED, &made);
    const std::string name = libevdev_get_name(description);
    libevdev_free(description);
    if (rc < 0) {
        made = nullptr;
        return "cannot create " + name + " through /dev/uinput: " + std::strerror(-rc);
    }
    const char* path = libevdev_uinput_get_devnode(made);
    if (!path)
        return name + " has no event node (is evdev loaded?)";
    node = path;
    return {};
}

bool any_down(const fingers& state)
{
    return std::any_of(state.down.begin(), state.down.end(), [](bool down) { return down; });
}

// The keys and the single-touch position that follow the fingers, and the
// SYN_REPORT that ends the frame. touching: whether a finger was down before it.
void end_frame(const fingers& state, screen_kind kind, bool touching, std::vector<tap_event>& events)
{
    if (any_down(state) != touching) {
        events.push_back({EV_KEY, BTN_TOUCH, !touching});
        if (kind != screen_kind::direct)
            events.push_back({EV_KEY, BTN_TOOL_FINGER, !touching});
    }
    const auto lowest = std::find(state.down.begin(), state.down.end(), true);
    if (kind != screen_kind::mt && lowest != state.down.end()) {
        const auto p = static_cast<std::size_t>(lowest - state.down.begin());
        events.push_back({EV_ABS, ABS_X, state.x[p]});
        events.push_back({EV_ABS, ABS_Y, state.y[p]});
    }
    events.push_back({EV_SYN, SYN_REPORT, 0});
}

// A type-A frame: the contacts down, each ended by SYN_MT_REPORT; a lone
// SYN_MT_REPORT once none is.
std::vector<tap_event> contacts_frame(fingers& state, screen_kind kind, bool touching)
{
    std::vector<tap_event> events;
    for (std::size_t i = 0; i < state.down.size(); ++i)
        if (state.down[i])
            events.insert(events.end(), {{EV_ABS, ABS_MT_POSITION_X, state.x[i]},
                                         {EV_ABS, ABS_MT_POSITION_Y, state.y[i]}, {EV_SYN, SYN_MT_REPORT, 0}});
    if (events.empty())
        events.push_back({EV_SYN, SYN_MT_REPORT, 0});
    end_frame(state, kind, touching, events);
    return events;
}

fingers fingers_for(const screen_shape& shape)
{
    const auto slots = static_cast<std::size_t>(shape.slots > 0 ? shape.slots : 2);
    return {std::vector<bool>(slots), std::vector<int>(slots), std::vector<int>(slots), 0, shape.slots == 0};
}

} // namespace

std::optional<screen_kind> kind_named(std::string_view name)
{
    if (name == "mt")
        return screen_kind::mt;
    if (name == "touchpad")
        return screen_kind::touchpad;
    if (name == "direct")
        return screen_kind::direct;
    return std::nullopt;
}

std::vector<tap_event> finger_frame(fingers& state, screen_kind kind, finger_action action, int slot, int x, int y)
{
    if (action == finger_action::up)
        return lift_frame(state, kind, {slot});
    const auto s = static_cast<std::size_t>(slot);
    const bool touching = any_down(state);
    if (state.type_a) {
        state.down[s] = true;
        state.x[s] = x;
        state.y[s] = y;
        return contacts_frame(state, kind, touching);
    }
    std::vector<tap_event> events{{EV_ABS, ABS_MT_SLOT, slot}};
    if (action == finger_action::down)
        events.push_back({EV_ABS, ABS_MT_TRACKING_ID, state.next_id++ % (max_tracking_id + 1)});
    events.push_back({EV_ABS, ABS_MT_POSITION_X, x});
    events.push_back({EV_ABS, ABS_MT_POSITION_Y, y});
    state.down[s] = true;
    state.x[s] = x;
    state.y[s] = y;
    end_frame(state, kind, touching, events);
    return events;
}

std::vector<tap_event> lift_frame(fingers& state, screen_kind kind, const std::vector<int>& slots)
{
    const bool touching = any_down(state);
    if (state.type_a) {
        for (int slot : slots)
            state.down[static_cast<std::size_t>(slot)] = false;
        return contacts_frame(state, kind, touching);
    }
    std::vector<tap_event> events;
    for (int slot : slots) {
        events.push_back({EV_ABS, ABS_MT_SLOT, slot});
        events.push_back({EV_ABS, ABS_MT_TRACKING_ID, -1});
        state.down[static_cast<std::size_t>(slot)] = false;
    }
    end_frame(state, kind, touching, events);
    return events;
}

std::optional<std::vector<tap_event>> mouse_events(std::string_view tokens)
{
    std::vector<tap_event> events;
    for (const std::string& token : split_words(tokens)) {
        const auto value = parse_number(std::string_view(token).substr(1));
        const char c = token[0];
        if (token == "S")
            events.push_back({EV_SYN, SYN_REPORT, 0});
        else if (!value)
            return std::nullopt;
        else if (c == 'L' || c == 'R' || c == 'M')
            events.push_back({EV_KEY, static_cast<std::uint16_t>(c == 'L' ? BTN_LEFT : c == 'R' ? BTN_RIGHT : BTN_MIDDLE),
                              *value});
        else if (c == 'X' || c == 'Y' || c == 'W')
            events.push_back({EV_REL, static_cast<std::uint16_t>(c == 'X' ? REL_X : c == 'Y' ? REL_Y : REL_WHEEL),
                              *value});
        else
            return std::nullopt;
    }
    return events;
}

std::string make_devices(const screen_shape& shape, devices& made)
{
    made = {nullptr, nullptr, {}, {}, shape, fingers_for(shape), nullptr, {}, {}, {}};
    if (std::string error = create(mouse_description(), made.mouse, made.mouse_node); !error.empty())
        return error;
    return create(screen_description(shape), made.screen, made.screen_node);
}

std::string make_other_screen(const screen_shape& shape, devices& made)
{
    made.other_shape = shape;
    made.other_touch = fingers_for(shape);
    return create(screen_description(shape), made.other, made.other_node);
}

void remove_devices(devices& made)
{
    for (libevdev_uinput** device : {&made.mouse, &made.screen, &made.other}) {
        if (*device)
            libevdev_uinput_destroy(*device);
        *device = nullptr;
    }
}

void unplug_screen(devices& made)
{
    if (made.screen)
        libevdev_uinput_destroy(made.screen);
    made.screen = nullptr;
}

bool emit(libevdev_uinput* device, const std::vector<tap_event>& events)
{
    return device && std::all_of(events.begin(), events.end(), [&](const tap_event& e) {
        return libevdev_uinput_write_event(device, e.type, e.code, e.value) == 0;
    });
}
