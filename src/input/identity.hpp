// Who an input device is, across unplugging: the kernel's name, unique id
// and attachment, and which of them a remote's name on a command line means.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct libevdev;

struct device_identity {
    std::string name; // as the driver names it (EVIOCGNAME)
    std::string uniq; // its unique id (EVIOCGUNIQ): a Bluetooth address, a serial number; often empty
    std::string phys; // where it is attached (EVIOCGPHYS): a USB port and interface, a Bluetooth adapter
    std::uint16_t bus; // the bus it comes on (EVIOCGID: BUS_BLUETOOTH, BUS_USB, BUS_I2C, ...)
};

[[nodiscard]] device_identity identity_of(const libevdev* device);

// The physical device an event node belongs to. One remote may have several
// nodes (a keyboard part and a consumer-control part, for instance), which
// share its unique id or, without one, the port it is attached to: phys up
// to its last '/', "usb-0000:00:14.0-1" of "usb-0000:00:14.0-1/input1".
// Empty when the driver gives neither (a virtual device), or a phys with no
// port in it (a Bluetooth adapter's address): then no other node is known
// to belong to it.
[[nodiscard]] std::string physical_device(const device_identity& id);

// True when both nodes are known to belong to one physical device.
[[nodiscard]] bool same_physical(const device_identity& a, const device_identity& b);

// True when remote, as tapbridge-remote's command line gives it, names the
// device: its name exactly, or its unique id, in either case (a Bluetooth
// address is written both ways).
[[nodiscard]] bool names_device(std::string_view remote, const device_identity& id);

// The name tapbridge-remote gives its virtual mouse. No tapbridge-remote
// takes such a device as a remote, which would loop its clicks back.
constexpr const char* virtual_mouse_name = "tapbridge-remote virtual mouse";

[[nodiscard]] bool is_virtual_mouse(const device_identity& id);

// tapbridge-remote's program name, and the name a process running it has
// in /proc/PID/comm: the kernel keeps 15 bytes of it.
constexpr const char* remote_program_name = "tapbridge-remote";
constexpr const char* remote_program_comm = "tapbridge-remot";
