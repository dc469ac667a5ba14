#include "text/printable.hpp"

#include <cstdint>
#include <cstdlib>

namespace {

// The length of the printable UTF-8 character at the start of text, or 0.
// C1 controls (U+0080..U+009F) count as control characters: some terminals
// obey them.
std::size_t printable_utf8(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0u) != 0x80u)
            return 0;
        code = code << 6 | (byte(i) & 0x3Fu);
    }
    // Overlong forms, surrogates and C1 controls are refused.
    const std::uint32_t lowest[] = {0, 0, 0xA0, 0x800, 0x10000};
    if (code < lowest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        return 0;
    return length;
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

std::string printable(std::string_view text, bool utf8)
{
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80 && utf8) {
            if (const std::size_t n = printable_utf8(text.substr(i)); n > 0) {
                out.append(text.substr(i, n));
                i += n;
                continue;
            }
        }
        ++i;
        switch (c) {
        case '\n': out += "\\n"; continue;
        case '\t': out += "\\t"; continue;
        case '\r': out += "\\r"; continue;
        case '\\': out += "\\\\"; continue;
        case '"': out += "\\\""; continue;
        default: break;
        }
        if (c < 0x20 || c >= 0x7F) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 0xFu];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool utf8_locale(const char* lc_all, const char* lc_ctype, const char* lang)
{
    std::string_view name;
    for (const char* value : {lc_all, lc_ctype, lang})
        if (value && *value) {
            name = value;
            break;
        }
    // language[_territory][.codeset][@modifier]; the codeset's case and
    // dashes do not count ("UTF-8", "utf8").
    const auto dot = name.find('.');
    if (dot == std::string_view::npos)
        return false;
    std::string codeset;
    for (char c : name.substr(dot + 1, name.find('@', dot) - dot - 1))
        if (c != '-' && c != '_')
            codeset += lower(c);
    return codeset == "utf8";
}

std::string printable(std::string_view text)
{
    static const bool utf8 = utf8_locale(std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG"));
    return printable(text, utf8);
}
