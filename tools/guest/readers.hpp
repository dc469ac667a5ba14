// The scenario's witnesses: a second reader of the touch node, and a
// client of /dev/input/mice of its own, in the IntelliMouse form as
// tapbridge asks for it. Each reports what the kernel delivered to it.
#pragma once

#include <string>

// Opens the touch node read-only and non-blocking; -1 on failure.
[[nodiscard]] int open_touch_reader(const std::string& node);

// Opens /dev/input/mice, sends the IntelliMouse knock and takes the
// acknowledge away. Returns the descriptor, or -1 with error set.
[[nodiscard]] int open_mice_reader(std::string& error);

// Records every event queued on the touch reader ("touch SEC.USEC TYPE
// TYPENAME CODE CODENAME VALUE"); returns how many SYN_REPORTs were among
// them.
int report_touch(int fd);

// Records every packet queued on the mice reader ("mice 09 00 00 00");
// returns how many.
int report_mice(int fd);
