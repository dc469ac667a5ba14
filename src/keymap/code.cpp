#include "keymap/code.hpp"

#include <charconv>
#include <libevdev/libevdev.h>

namespace {

std::optional<input_code> parse_hat(std::string_view text)
{
    if (text.size() < 2 || (text.back() != '+' && text.back() != '-'))
        return std::nullopt;
    const std::string axis(text.substr(0, text.size() - 1));
    const int code = libevdev_event_code_from_name(EV_ABS, axis.c_str());
    if (code < 0 || !is_hat_axis(static_cast<unsigned>(code)))
        return std::nullopt;
    return hat_code(static_cast<std::uint16_t>(code), text.back() == '+' ? 1 : -1);
}

std::optional<input_code> parse_number(std::string_view text)
{
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end || value == KEY_RESERVED || value > KEY_MAX)
        return std::nullopt;
    return key_code(static_cast<std::uint16_t>(value));
}

} // namespace

std::optional<input_code> parse_code(std::string_view text)
{
    if (text.starts_with("ABS_"))
        return parse_hat(text);
    if (!text.empty() && text.front() >= '0' && text.front() <= '9')
        return parse_number(text);
    if (!text.starts_with("KEY_") && !text.starts_with("BTN_"))
        return std::nullopt;
    const std::string name(text);
    const int code = libevdev_event_code_from_name(EV_KEY, name.c_str());
    if (code <= KEY_RESERVED)
        return std::nullopt;
    return key_code(static_cast<std::uint16_t>(code));
}

std::string code_name(input_code code)
{
    const char* name = libevdev_event_code_get_name(code.type, code.code);
    std::string text = name ? name : std::to_string(code.code);
    if (code.type == EV_ABS)
        text += code.direction > 0 ? '+' : '-';
    return text;
}

bool declares_code(const input_caps& caps, input_code code)
{
    if (code.type == EV_KEY)
        return caps.types[EV_KEY] && code.code < caps.keys.size() && caps.keys[code.code];
    return code.type == EV_ABS && caps.types[EV_ABS] && code.code < caps.axes.size() && caps.axes[code.code];
}
