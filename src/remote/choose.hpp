// Which event nodes are the remote, and whether the map fits them: pure
// decisions over what the nodes declared.
#pragma once

#include "input/caps.hpp"
#include "input/identity.hpp"
#include "keymap/key_map.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// An event node as a scan found it.
struct candidate {
    std::string path;
    dev_t rdev;
    device_identity id;
    input_caps caps;
    bool fed; // mousedev merges it into /dev/input/mice
};

// What the remote is: a name or unique id, or the identity (name and
// unique id) that the node given by path had at start, which is followed
// across unplugging.
struct wanted {
    std::string given;
    std::optional<device_identity> identity;
    bool take_screen; // --take-screen: the node given may look like the device's own screen or pen
};

enum class pick_kind {
    found,         // nodes: every node of one physical remote (a path given: its node alone)
    absent,        // nothing matches (yet)
    several,       // nodes of more than one physical remote match: nodes lists them all
    touch_screen,  // only touch screens match, or pens, that are (or may be) the device's own: nodes lists them
    virtual_mouse, // only tapbridge-remote virtual mice match
};

struct pick {
    pick_kind kind;
    std::vector<std::size_t> nodes; // indices into the candidates
};

// True for a touch device that is, or may be, the device's own screen or
// pen (not on Bluetooth or USB): tapbridge taps it, so it is no ring.
[[nodiscard]] bool screen_like(const candidate& c);

// The physical remote that want names among the candidates. A node
// matches by its name or unique id (names_device), or by name and unique id
// both when the identity is known; screen-like devices and virtual mice
// never count, which would loop taps or clicks back, unless the screen-like
// node was given by its path with --take-screen.
[[nodiscard]] pick pick_remote(const wanted& want, const std::vector<candidate>& all);

enum class fit_kind {
    fits,
    undeclared,     // code or gesture: a --map entry that none of the nodes can send
    nothing_mapped, // the default map: none of its codes, no gestures, no mouse buttons of its own to pass on
    taps_twice,     // code: shared, mousedev itself clicks on it too (a ring's contact, when gesture is set)
};

struct fit_verdict {
    fit_kind kind;
    input_code code;
    std::vector<bool> take; // for each node: it declares something that clicks
    std::optional<gesture_code> gesture; // undeclared: the gesture; taps_twice: a gesture's contact
};

// Whether map fits the nodes of one remote (given_map: from --map, every
// code must be there, and every gesture must have a ring that makes it: a
// TAP@ one that gives positions), grabbed or shared, and which nodes to take.
[[nodiscard]] fit_verdict fit_of(const key_map& map, bool given_map, bool grab,
                                 const std::vector<const candidate*>& nodes);

// The codes that click on caps, as a user reads them: "left on KEY_PAGEDOWN
// KEY_RIGHT, right on KEY_PAGEUP; its own buttons and wheel".
[[nodiscard]] std::string clicks_text(const key_map& map, bool grab, const input_caps& caps);
