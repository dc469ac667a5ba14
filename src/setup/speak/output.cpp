#include "setup/speak/output.hpp"

#include "setup/decide/traps.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

int output_error()
{
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return 0;
    // A failed write earlier, whose buffer was dropped: the reason is gone.
    return errno != 0 ? errno : EIO;
}

int output_failed(int error)
{
    std::fprintf(stderr, "tapbridge-setup: cannot write to standard output: %s; the output is incomplete.\n",
                 std::strerror(error));
    return status_output;
}
