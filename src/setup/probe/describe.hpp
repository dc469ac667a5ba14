// An opened event node as tapbridge-setup sees a touch screen.
#pragma once

#include "input/evdev_node.hpp"
#include "setup/facts.hpp"

#include <string>

// The device as a touch screen: name, codes and position ranges from the
// node, whether mousedev feeds it from /sys. holders and grabbed are left
// empty: holders_of() and grabbed_by_other() find those out.
[[nodiscard]] touch_screen describe(const std::string& path, const input_node& node);

// The device as any other input device: its identity, codes and feeding.
// holders and grabbed are left empty, as for a screen.
[[nodiscard]] input_device describe_device(const std::string& path, const input_node& node);
