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
    std::string unknown_option; // the word error calls an unknown option, as given: it may be a name
};

// Reads the arguments after the program's name.
[[nodiscard]] remote_args parse_remote_args(const std::vector<std::string_view>& args);

// The usage error of parsed, for an unknown option that is the name of a
// remote that is there, with the line that means it: args again, that name
// moved after "--" ("... put -- before it (tapbridge-remote -- '-Ring 2')").
[[nodiscard]] std::string name_after_options_text(const remote_args& parsed,
                                                  const std::vector<std::string_view>& args);
