// tapbridge-setup --learn: which of a remote's buttons turn to the next
// page, the previous page and the menu, found by pressing them.
#pragma once

#include "setup/facts.hpp"

#include <optional>
#include <string>

// Learns on the remote at node, or on whichever remote answers first when
// node is empty; prints the tapbridge-remote line with a --map for each
// button pressed. keyboard is false when standard input was closed at start:
// then only presses and the time limit answer. Returns the exit status.
int run_learn(const system_facts& facts, const std::optional<std::string>& node, bool keyboard);
