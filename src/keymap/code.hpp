// The input codes a remote's press can come from, by the kernel's names.
#pragma once

#include "input/caps.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A key or button (EV_KEY, direction 0), or one end of a hat axis (EV_ABS
// ABS_HAT0X..ABS_HAT3Y, direction -1 or +1): a d-pad reports each of its
// directions as a hat axis reaching -1 or +1.
struct input_code {
    std::uint16_t type;
    std::uint16_t code;
    std::int8_t direction;

    friend bool operator==(const input_code&, const input_code&) = default;
};

[[nodiscard]] constexpr bool is_hat_axis(unsigned code)
{
    return code >= ABS_HAT0X && code <= ABS_HAT3Y;
}

[[nodiscard]] constexpr input_code key_code(std::uint16_t code)
{
    return {EV_KEY, code, 0};
}

[[nodiscard]] constexpr input_code hat_code(std::uint16_t axis, std::int8_t direction)
{
    return {EV_ABS, axis, direction};
}

// "KEY_ENTER", "BTN_TR" (any name the kernel's headers give a key, aliases
// such as BTN_A included), "ABS_HAT0X+" or "ABS_HAT0X-", or a key's number
// (115 is KEY_VOLUMEUP). Empty for anything else: KEY_RESERVED (0) is no key.
[[nodiscard]] std::optional<input_code> parse_code(std::string_view text);

// The kernel's name of code ("BTN_SOUTH" for BTN_A, "ABS_HAT0Y-"), or the
// key's number where the headers name none.
[[nodiscard]] std::string code_name(input_code code);

// True when the device declares code: the input core never passes it
// otherwise, so a map that names it would wait for ever.
[[nodiscard]] bool declares_code(const input_caps& caps, input_code code);
