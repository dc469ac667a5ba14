// Words the report, --pick and --fix share, so each says a thing one way.
#pragma once

#include "facts.hpp"
#include "layout.hpp"
#include "mousedev.hpp"
#include "traps.hpp"

#include <string>
#include <vector>

// Adds item to a list written out as text: "a, b, c".
void append_listed(std::string& list, const std::string& item, const char* separator = ", ");

// "pid 12 (name), pid 40 (name)", or the text for nobody.
[[nodiscard]] std::string process_list(const std::vector<process>& processes);

// What mousedev does with this screen's touches, and the remedy.
[[nodiscard]] std::string echo_text(echo_kind kind, std::optional<int> tap_time);

// tapbridge beside this program when it is there (the printed line then
// runs from any directory), else the bare name for the PATH to find.
[[nodiscard]] std::string tapbridge_program();

// On standard error: why nothing usable was found (status 2).
void print_nothing_usable(const system_facts& facts);

// The traps to mend, one a line, then the command line: for screen in
// MODE 0 with points. Returns the exit status this means.
int print_command(const system_facts& facts, const touch_screen& screen, const point_set& points);
