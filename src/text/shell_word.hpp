// Text as one word for a POSIX shell, so that a printed command line runs
// as printed, whatever names and paths it holds.
#pragma once

#include <string>
#include <string_view>

// text as one word for a POSIX shell: as it is when every character is
// one no shell treats specially, otherwise in single quotes; with a control
// character in it, as $'...' with that character escaped (bash, zsh,
// busybox sh and current dash read it).
[[nodiscard]] std::string shell_word(std::string_view text);
