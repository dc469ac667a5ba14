// Remotes: devices whose keys, buttons or hat tapbridge-remote can turn
// into the clicks tapbridge taps.
#pragma once

#include "keymap/key_map.hpp"
#include "setup/decide/mice.hpp"
#include "setup/facts.hpp"

#include <string>
#include <vector>

// What a ring pretends to be, as its listing says it.
enum class ring_shape {
    none,   // no ring: keys, buttons or a hat alone, or the device's own touch
    touch,  // a finger or a pen on Bluetooth or USB: each touch a swipe or a tap
    motion, // a touchpad that only moves: each burst of motion a swipe
    drag,   // a mouse on Bluetooth or USB, or a ring that moves or drags like one
};

[[nodiscard]] ring_shape ring_shape_of(const input_device& device);

// True for a device tapbridge-remote can take: a key or button other than a
// mouse's or a pen's own, a hat, or a ring's gestures, and not a
// tapbridge-remote virtual mouse. (The device's own touch screens are never
// among the others.)
[[nodiscard]] bool is_remote(const input_device& device);

// The default map's codes the device declares, in the map's order.
[[nodiscard]] std::vector<mapping> page_codes(const input_caps& caps);

// The button a remote's next page must click to tap: left, or wheel-down
// where tapbridge's point 1 is off, as the running tapbridge's line has it,
// or, with none running, as the report's line does.
[[nodiscard]] int next_page_button(const system_facts& facts);

// True when tapbridge's line (its arguments after the program) leaves
// point 1 off: a negative x or y.
[[nodiscard]] bool left_off_in(const std::vector<std::string>& line);

// How a tapbridge-remote line names the device: its unique id where that
// names this one physical device and no other, else its name where that
// does, else its node (which follows only that node). An id or name that
// ends in a line break names it on no printed line: the node does.
[[nodiscard]] std::string remote_argument(const input_device& device, const std::vector<input_device>& others);

// What stands between a tapbridge-remote line and its clicks.
enum class remote_trap {
    no_uinput, // /dev/uinput missing or not writable: no virtual mouse
    served,    // a tapbridge-remote holds the remote already: a second one stops at once
    held,      // another process holds a grab on it
};

[[nodiscard]] std::vector<remote_trap> remote_traps(const system_facts& facts, const input_device& device);

// A remote as the listing of remotes shows it, and what its line comes to.
struct listed_remote {
    const input_device* device;
    bool line;   // it has a run: line: a key of the default map, or a ring's swipes (else --learn finds its keys)
    ring_shape ring;
    bool served; // a tapbridge-remote serves it now: its line runs already
    std::vector<remote_trap> traps; // what stands before its line (never served: that is no fault of it)
};

// Every remote in facts, in node order.
[[nodiscard]] std::vector<listed_remote> listed_remotes(const system_facts& facts);

// The status of the listing (tapbridge-setup --remotes): status_nothing
// when no remote has a line to run, status_traps when a remote's line must
// wait for something to be mended, else status_ready. A remote without a
// line (a power button, one whose keys --learn must find) keeps no other's
// line from running.
[[nodiscard]] int remotes_status(const std::vector<listed_remote>& listed);
