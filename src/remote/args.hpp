// tapbridge-remote's command line, read without touching the system.
#pragma once

#include "keymap/key_map.hpp"

#include <string>
#include <string_view>
#include <vector>

struct remote_args {
    bool help;
    bool version;
    bool grab;         // false with --no-grab
    bool given_map;    // --map given: the default map is replaced
    bool take_screen;  // --take-screen: the node given may look like the device's own touch screen or pen
    key_map map;
    std::string remote; // a path (starting with '/'), a name or a unique id
    std::string error;  // a usage error, in the user's terms; empty when the line is fine
};

// Reads the arguments after the program's name.
[[nodiscard]] remote_args parse_remote_args(const std::vector<std::string_view>& args);
