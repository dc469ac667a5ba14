#include "device_options.hpp"

#include "script.hpp"

#include <linux/input.h>
#include <utility>

namespace {

std::optional<int> at_least_zero(std::string_view word)
{
    const auto n = parse_number(word);
    return n && *n >= 0 ? n : std::nullopt;
}

} // namespace

std::optional<std::array<int, 4>> take_range(std::string& text)
{
    std::array<int, 4> numbers{};
    for (int& n : numbers) {
        auto [word, rest] = first_word(text);
        const auto given = parse_number(word);
        if (!given)
            return std::nullopt;
        n = *given;
        text = rest;
    }
    return numbers;
}

std::optional<int> bus_named(std::string_view name)
{
    constexpr std::pair<std::string_view, int> buses[] = {{"bluetooth", BUS_BLUETOOTH}, {"usb", BUS_USB},
                                                          {"i2c", BUS_I2C},             {"spi", BUS_SPI},
                                                          {"host", BUS_HOST},           {"virtual", BUS_VIRTUAL}};
    for (const auto& [word, bus] : buses)
        if (word == name)
            return bus;
    return std::nullopt;
}

std::optional<device_options> parse_device_options(std::string_view text)
{
    device_options options{};
    std::string rest(text);
    while (!rest.empty()) {
        auto [word, after] = first_word(rest);
        rest = after;
        if (word == "name") {
            if (rest.empty())
                return std::nullopt;
            options.name = unescape(rest);
            return options;
        }
        if (word == "nodirect") {
            options.nodirect = true;
            continue;
        }
        if (word == "range") {
            if (!(options.range = take_range(rest)))
                return std::nullopt;
            continue;
        }
        auto [value, later] = first_word(rest);
        rest = later;
        if (word == "phys" && !value.empty())
            options.phys = unescape(value);
        else if (word == "bus" && bus_named(value))
            options.bus = bus_named(value);
        else if (word == "res" && parse_number(value))
            options.resolution = parse_number(value);
        else if (word == "slots" && at_least_zero(value))
            options.slots = at_least_zero(value);
        else
            return std::nullopt;
    }
    return options;
}
