// Prints shell_word() of each argument on a line of its own, or "-" where
// one_line_word() says it has none, for shell_words_test.py to run under
// each shell.
//   shell_words TEXT...

#include "text/shell_word.hpp"

#include <cstdio>

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        std::printf("%s\n", one_line_word(argv[i]) ? shell_word(argv[i]).c_str() : "-");
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}
