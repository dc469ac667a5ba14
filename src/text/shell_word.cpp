#include "text/shell_word.hpp"

#include <algorithm>

namespace {

bool is_control(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}

// text as $'...', where a control character is written as an escape: a
// line break in single quotes would print as a line of its own.
std::string escaped_word(std::string_view text)
{
    static constexpr char hex[] = "0123456789abcdef";
    std::string word = "$'";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\' || c == '\'')
            word += std::string("\\") + c;
        else if (is_control(c))
            word += std::string("\\x") + hex[u >> 4] + hex[u & 0xFu];
        else
            word += c;
    }
    return word + "'";
}

} // namespace

std::string shell_word(std::string_view text)
{
    constexpr std::string_view plain = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+,:@%=";
    const bool safe = !text.empty() && std::all_of(text.begin(), text.end(), [&](char c) {
        return plain.find(c) != std::string_view::npos;
    });
    if (safe)
        return std::string(text);
    if (std::any_of(text.begin(), text.end(), is_control))
        return escaped_word(text);
    // Inside single quotes only the quote itself needs care: close the
    // quotes, give an escaped quote, open them again.
    std::string word = "'";
    for (char c : text)
        word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}
