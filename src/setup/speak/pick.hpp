// tapbridge-setup --pick: the five points chosen by touching the screen.
#pragma once

#include "setup/facts.hpp"

#include <optional>
#include <string>

// Picks on node, or on the screen the report would choose when node is
// empty; prints the command line at the end. keyboard is false when
// standard input was closed at start: then no line can leave a point off,
// and its placeholder is never read. Returns the exit status.
int run_pick(const system_facts& facts, const std::optional<std::string>& node, bool keyboard);
