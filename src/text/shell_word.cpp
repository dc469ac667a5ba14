#include "text/shell_word.hpp"

#include <algorithm>

namespace {

bool is_control(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}

// Inside single quotes only the quote itself needs care: close the quotes,
// give an escaped quote, open them again.
std::string single_quoted(std::string_view text)
{
    std::string word = "'";
    for (char c : text)
        word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

// text as the format of a printf that prints it. POSIX printf reads
// \ooo (1 to 3 octal digits; 3 always, so that a digit after it cannot
// join it) but not \x; a % begins a conversion unless doubled. The quote
// would end the single quotes around the format, and a backslash would
// begin an escape: both go as octal too, like every byte outside ASCII.
std::string printf_format(std::string_view text)
{
    std::string format;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '%')
            format += "%%";
        else if (is_control(c) || c == '\'' || c == '\\' || u >= 0x80)
            format += {'\\', static_cast<char>('0' + (u >> 6)), static_cast<char>('0' + ((u >> 3) & 7)),
                       static_cast<char>('0' + (u & 7))};
        else
            format += c;
    }
    return format;
}

// Single-quoted parts, and each run of control characters as the output
// of printf: a line break between single quotes would make the printed
// line two. A command substitution strips the line breaks it ends with,
// so a run that ends in one takes the next character along.
std::string with_printf(std::string_view text)
{
    std::string word;
    for (std::size_t at = 0; at < text.size();) {
        auto end = static_cast<std::size_t>(
            std::find_if(text.begin() + static_cast<std::ptrdiff_t>(at), text.end(), is_control) - text.begin());
        if (end > at) {
            word += single_quoted(text.substr(at, end - at));
            at = end;
            continue;
        }
        end = static_cast<std::size_t>(std::find_if_not(text.begin() + static_cast<std::ptrdiff_t>(at), text.end(),
                                                        is_control) - text.begin());
        if (text[end - 1] == '\n' && end < text.size())
            ++end;
        word += "\"$(printf '" + printf_format(text.substr(at, end - at)) + "')\"";
        at = end;
    }
    return word;
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
    if (one_line_word(text) && std::any_of(text.begin(), text.end(), is_control))
        return with_printf(text);
    return single_quoted(text);
}

bool one_line_word(std::string_view text)
{
    return !text.ends_with('\n') && text.find('\0') == std::string_view::npos;
}
