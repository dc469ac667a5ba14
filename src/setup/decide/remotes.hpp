// Remotes: devices whose keys, buttons or hat tapbridge-remote can turn
// into the clicks tapbridge taps.
#pragma once

#include "keymap/key_map.hpp"
#include "setup/facts.hpp"

#include <string>
#include <vector>

// True for a device tapbridge-remote can take: a key or button other than a
// mouse's or a pen's own, or a hat, and not a tapbridge-remote virtual
// mouse. (Touch screens are never among the others.)
[[nodiscard]] bool is_remote(const input_device& device);

// The default map's codes the device declares, in the map's order.
[[nodiscard]] std::vector<mapping> page_codes(const input_caps& caps);

// How a tapbridge-remote line names the device: its unique id where that
// names this one physical device and no other, else its name where that
// does, else its node (which follows only that node).
[[nodiscard]] std::string remote_argument(const input_device& device, const std::vector<input_device>& others);
