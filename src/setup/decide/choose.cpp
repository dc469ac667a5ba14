#include "setup/decide/choose.hpp"

#include "gesture/decide/place.hpp"
#include "setup/decide/layout.hpp"
#include "setup/decide/records.hpp"

#include <tuple>

std::optional<std::size_t> best_screen(const std::vector<touch_screen>& screens)
{
    std::optional<std::size_t> best;
    auto rank = [&](std::size_t i) {
        const touch_screen& s = screens[i];
        // Lower is better; false sorts before true.
        return std::make_tuple(place_of(s.bus, s.caps) != touch_place::built_in, taps_break(s.caps),
                               !s.caps.props[INPUT_PROP_DIRECT], s.grabbed, i);
    };
    for (std::size_t i = 0; i < screens.size(); ++i) {
        if (!range_usable(screens[i].x) || !range_usable(screens[i].y))
            continue;
        if (!best || rank(i) < rank(*best))
            best = i;
    }
    return best;
}
