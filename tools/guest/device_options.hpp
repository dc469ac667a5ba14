// The optional words of the steps that make devices (screen, screen2,
// remote), in any order; "name TEXT" takes the rest of the line, so it
// comes last. Each step takes the words that fit what it makes.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

struct device_options {
    std::optional<std::array<int, 4>> range; // range XMIN XMAX YMIN YMAX
    std::optional<int> resolution;           // res N: units per mm (a negative one too, as a driver may)
    std::optional<int> slots;                // slots N: N >= 0
    std::optional<int> bus;                  // bus NAME, as BUS_... numbers it
    bool nodirect;                           // nodirect: no INPUT_PROP_DIRECT
    std::optional<std::string> phys;         // phys TEXT: one word, escapes as in keys
    std::optional<std::string> name;         // name TEXT: the rest, escapes as in keys
};

// The four numbers XMIN XMAX YMIN YMAX at the start of text, which then
// keeps what follows them; empty when a number is missing.
[[nodiscard]] std::optional<std::array<int, 4>> take_range(std::string& text);

// Empty when a word is none of these, or its value is missing or out of
// range.
[[nodiscard]] std::optional<device_options> parse_device_options(std::string_view text);

// The bus a word names: bluetooth, usb, i2c, spi, host or virtual.
[[nodiscard]] std::optional<int> bus_named(std::string_view name);
