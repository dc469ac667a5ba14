// What the input devices under /dev/input are, for choosing the remote.
#pragma once

#include "input/evdev_node.hpp"
#include "remote/choose.hpp"

#include <string>
#include <vector>

// The node opened at path, asked what it is, closed again.
[[nodiscard]] candidate candidate_of(const std::string& path, const input_node& node);

// Every event node that opens, in device number order. Nodes that do not
// open (gone meanwhile, another driver's) are left out: none can be a
// remote now.
[[nodiscard]] std::vector<candidate> scan_nodes();
