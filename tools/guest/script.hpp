// A batch of scenarios in the driver's step language, one step a line:
//
//   scenario NAME          starts a scenario; its steps follow
//   VERB REST              a step (see main.cpp for the verbs)
//   # ...                  a comment; blank lines are skipped
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct step {
    int line;         // in the batch file, for messages
    std::string verb;
    std::string rest; // the text after the verb, blanks around it removed
};

struct scenario {
    std::string name;
    std::vector<step> steps;
};

struct batch {
    std::vector<scenario> scenarios;
    std::string error; // empty when the text parsed
};

[[nodiscard]] batch parse_batch(std::string_view text);

// text split at blanks.
[[nodiscard]] std::vector<std::string> split_words(std::string_view text);

// The first word of text, and the rest with its leading blanks removed.
[[nodiscard]] std::pair<std::string, std::string> first_word(std::string_view text);

// text with \n, \r, \t, \\ and \xHH replaced by the bytes they stand for.
[[nodiscard]] std::string unescape(std::string_view text);

// A whole decimal number, optionally signed; empty for anything else.
[[nodiscard]] std::optional<int> parse_number(std::string_view word);
