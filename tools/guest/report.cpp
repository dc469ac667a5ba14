#include "report.hpp"

#include <cerrno>
#include <string>
#include <unistd.h>

void record(std::string_view tag, std::string_view text)
{
    std::string line = "@ ";
    line += tag;
    if (!text.empty()) {
        line += ' ';
        for (char c : text)
            line += static_cast<unsigned char>(c) < 0x20 && c != '\t' ? '?' : c;
    }
    line += '\n';
    for (std::size_t done = 0; done < line.size();) {
        const ssize_t n = write(STDOUT_FILENO, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}
