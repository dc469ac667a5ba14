#include "script.hpp"

#include <algorithm>
#include <charconv>
#include <tuple>

namespace {

constexpr std::string_view blanks = " \t";

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

} // namespace

std::pair<std::string, std::string> first_word(std::string_view text)
{
    text = trimmed(text);
    const auto end = std::min(text.find_first_of(blanks), text.size());
    return {std::string(text.substr(0, end)), std::string(trimmed(text.substr(end)))};
}

std::vector<std::string> split_words(std::string_view text)
{
    std::vector<std::string> words;
    for (auto [word, rest] = first_word(text); !word.empty(); std::tie(word, rest) = first_word(rest))
        words.push_back(word);
    return words;
}

std::optional<int> parse_number(std::string_view word)
{
    if (word.starts_with('+'))
        word.remove_prefix(1);
    int value = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (word.empty() || ec != std::errc() || end != word.data() + word.size())
        return std::nullopt;
    return value;
}

std::string unescape(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'n')
            out += '\n';
        else if (c == 'r')
            out += '\r';
        else if (c == 't')
            out += '\t';
        else if (c == 'x' && i + 2 < text.size()) {
            unsigned value = 0;
            std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
            out += static_cast<char>(value);
            i += 2;
        } else
            out += c;
    }
    return out;
}

batch parse_batch(std::string_view text)
{
    batch parsed;
    int number = 0;
    while (!text.empty()) {
        const auto end = std::min(text.find('\n'), text.size());
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        ++number;
        if (line.empty() || line.starts_with('#'))
            continue;
        auto [verb, rest] = first_word(line);
        if (verb == "scenario") {
            parsed.scenarios.push_back({rest, {}});
        } else if (parsed.scenarios.empty()) {
            parsed.error = "line " + std::to_string(number) + ": a step before the first scenario";
            return parsed;
        } else {
            parsed.scenarios.back().steps.push_back({number, verb, rest});
        }
    }
    return parsed;
}
