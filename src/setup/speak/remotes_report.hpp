// The report's remotes: every device whose keys, buttons or hat
// tapbridge-remote can turn into clicks, and the line that does it.
#pragma once

#include "setup/facts.hpp"

// Prints the remotes, the codes of each that turn pages by default, and
// /dev/uinput. Nothing here changes the report's status: tapbridge's own
// line does not rest on a remote.
void print_remotes(const system_facts& facts);
