// The driver's report: one record a line on standard output, "@ TAG TEXT".
// The guest's standard output is the serial console, where tools/vm.py
// tells records from the kernel's own lines by the "@ ".
#pragma once

#include <string_view>

// Writes one record in one write(), so that nothing else on the console can
// land inside it. Control characters in text become '?': a record is one line.
void record(std::string_view tag, std::string_view text = {});
