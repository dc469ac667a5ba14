#include "text/parse.hpp"

#include <charconv>

std::optional<unsigned int> parse_unsigned(std::string_view text)
{
    if (text.ends_with('\n'))
        text.remove_suffix(1);
    unsigned int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end)
        return std::nullopt;
    return value;
}

std::optional<int> parse_pid(std::string_view name)
{
    int pid = 0;
    const char* end = name.data() + name.size();
    const auto [stop, error] = std::from_chars(name.data(), end, pid);
    // from_chars takes a minus sign; a pid has none, and is never 0.
    if (name.empty() || error != std::errc{} || stop != end || pid <= 0)
        return std::nullopt;
    return pid;
}

std::optional<int> parse_int(std::string_view text)
{
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end)
        return std::nullopt;
    return value;
}
