// tapbridge-setup --pick: the five points chosen by touching the screen.
#pragma once

#include "facts.hpp"

#include <optional>
#include <string>

// Picks on node, or on the screen the report would choose when node is
// empty; prints the command line at the end. Returns the exit status.
int run_pick(const system_facts& facts, const std::optional<std::string>& node);
