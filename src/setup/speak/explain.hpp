// Words the report, --pick and --fix share, so each says a thing one way.
#pragma once

#include "setup/decide/layout.hpp"
#include "setup/decide/mousedev.hpp"
#include "setup/decide/traps.hpp"
#include "setup/facts.hpp"

#include <string>
#include <vector>

// Adds item to a list written out as text: "a, b, c".
void append_listed(std::string& list, const std::string& item, const char* separator = ", ");

// node "name", both printable.
[[nodiscard]] std::string device_text(const touch_screen& screen);
[[nodiscard]] std::string device_text(const input_device& device);

// mousedev's tap_time: "200 ms", or why it is not known.
[[nodiscard]] std::string tap_time_text(const tap_time_fact& tap_time);

// What mousedev does with this screen's touches, and the remedy.
[[nodiscard]] std::string echo_text(const touch_screen& screen, const tap_time_fact& tap_time);

// What /dev/input/mice is for tapbridge.
[[nodiscard]] std::string mice_text(const mice_facts& mice);

// The devices mousedev feeds into it: "name (node), ...", or why they are
// not known.
[[nodiscard]] std::string fed_devices_text(const system_facts& facts);

// Why point 1 is off, after "left off: ".
[[nodiscard]] std::string left_off_text(const left_clicker& clicker);

// What /dev/uinput is for tapbridge-remote.
[[nodiscard]] std::string uinput_text(const uinput_facts& uinput);

// The program name (tapbridge, tapbridge-remote) beside this one when it is
// there (the printed line then runs from any directory), else the bare name
// for the PATH to find.
[[nodiscard]] std::string program_beside(const char* name);

// One axis as the user reads it: "x 0..1071".
[[nodiscard]] std::string range_text(const char* name, axis_range axis);

// On standard error: why nothing usable was found (status 2).
void print_nothing_usable(const system_facts& facts);

// The traps to mend and the facts to check, one a line, then the command
// line: for screen in MODE 0 with points, the default layout's when
// by_layout. Returns the exit status this means.
int print_command(const system_facts& facts, const touch_screen& screen, const point_set& points, bool by_layout);
