// Which records of a tap reach a screen's readers: the input core drops
// every record whose type or code the screen did not declare.
#pragma once

#include "setup/facts.hpp"

#include <cstdint>
#include <vector>

// A code of the tap that the screen does not declare.
struct dropped_code {
    std::uint16_t type;
    std::uint16_t code;
    int records;  // how many of the tap's twelve records carry it
    bool harmful; // readers miss the tap without it

    friend bool operator==(const dropped_code&, const dropped_code&) = default;
};

// True when the input core passes (type, code) for a device with caps.
[[nodiscard]] bool declares(const input_caps& caps, std::uint16_t type, std::uint16_t code);

// The codes of tap_events() the screen would drop, in the tap's order.
[[nodiscard]] std::vector<dropped_code> dropped_codes(const input_caps& caps);

// True when a dropped code leaves readers without a contact or a position.
[[nodiscard]] bool taps_break(const input_caps& caps);
