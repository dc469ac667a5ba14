// The remotes: every device whose keys, buttons or hat tapbridge-remote can
// turn into clicks, and the line that does it; in the report, and alone
// (--remotes) beside a running tapbridge.
#pragma once

#include "setup/decide/remotes.hpp"
#include "setup/facts.hpp"

#include <string>
#include <vector>

// What one trap means for the remote d, and what to do.
[[nodiscard]] std::string remote_trap_text(remote_trap t, const system_facts& facts, const input_device& d);

// Prints the remotes listed, the codes of each that turn pages by default,
// and /dev/uinput; again is the command to run once a remote is connected.
void print_remotes(const system_facts& facts, const std::vector<listed_remote>& listed, const char* again);

// tapbridge-setup --remotes: the remotes alone, what to mend before their
// lines run, and the status of that (remotes_status). A running tapbridge
// is no concern of it: a remote's line runs beside it. Returns the exit
// status.
int run_remotes(const system_facts& facts);
