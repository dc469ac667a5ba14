#include "setup/speak/remotes_report.hpp"

#include "gesture/decide/place.hpp"
#include "input/mousedev_ids.hpp"
#include "setup/decide/command.hpp"
#include "setup/decide/layout.hpp"
#include "setup/decide/mice.hpp"
#include "setup/decide/traps.hpp"
#include "setup/probe/kernel_state.hpp"
#include "setup/speak/explain.hpp"
#include "text/printable.hpp"
#include "text/shell_word.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <utility>

namespace {

// "next page (left): KEY_PAGEDOWN, KEY_RIGHT, SWIPE_LEFT; previous page
// (right): ...", a button at a time in the layout's order: the default
// map's codes the device declares and the gestures it makes, next page on
// next_page.
std::string pages_text(const input_caps& caps, int next_page)
{
    const key_map map = default_map(next_page);
    std::string text;
    // Next page first, wherever it is.
    std::array<int, point_count> order{next_page};
    std::size_t n = 1;
    for (int b = btn_left; b <= btn_wheel_down; ++b)
        if (b != next_page)
            order[n++] = b;
    for (const int button : order) {
        std::string listed;
        for (std::size_t i = 0; i < map.count; ++i)
            if (map.entries[i].button == button && declares_code(caps, map.entries[i].code))
                append_listed(listed, code_name(map.entries[i].code));
        for (std::size_t i = 0; i < map.gesture_count; ++i)
            if (map.gestures[i].button == button && makes_gesture(caps, map.gestures[i].gesture))
                append_listed(listed, gesture_name(map.gestures[i].gesture));
        if (listed.empty())
            continue;
        const button_role& role = page_turning[static_cast<std::size_t>(button - 1)];
        append_listed(text, std::string(role.purpose) + " (" + role.button + "): " + listed, "; ");
    }
    return text;
}

std::string held_text(const system_facts& facts, const input_device& d)
{
    if (!d.grabbed)
        return "none";
    if (grabbed_by_remote_program(facts, d))
        return "by tapbridge-remote (open by " + process_list(d.holders) + "): it serves this remote now";
    return "by another process (open by " + process_list(d.holders) + "), which takes every key: tapbridge-remote "
           "cannot take it while that program holds it";
}

// What a ring's gestures are, and what is left for --learn.
std::string ring_text(ring_shape shape, const std::string& learn)
{
    switch (shape) {
    case ring_shape::none: break;
    case ring_shape::touch:
        return "a ring that touches like a finger or a pen: each touch, from contact to lift, is a swipe or a tap. "
               "Its taps click nothing until " + learn + " learns them";
    case ring_shape::motion:
        return "a ring that moves like a touchpad: each burst of motion, ended by 150 ms without any, is a swipe";
    case ring_shape::drag:
        return "a mouse, or a ring that moves like one: a burst of its motion, or its left button held while it "
               "moves, is a swipe (a mouse needs no tapbridge-remote: tapbridge reads it as it is). Its clicks alone "
               "click nothing until " + learn + " learns them";
    }
    return {};
}

void print_remote(const system_facts& facts, const listed_remote& r, int next_page)
{
    const input_device& d = *r.device;
    std::printf("%s\n", device_text(d).c_str());
    std::printf("  id:       %s\n", d.id.uniq.empty() ? "none" : printable(d.id.uniq).c_str());
    const std::string learn = program_beside("tapbridge-setup") + " --learn " + shell_word(d.node);
    if (r.line)
        std::printf("  pages:    %s\n", pages_text(d.caps, next_page).c_str());
    else
        std::printf("  pages:    no key of the default map; %s asks for its keys\n", learn.c_str());
    if (r.ring != ring_shape::none)
        std::printf("  ring:     %s\n", ring_text(r.ring, learn).c_str());
    // Until it is served (grabbed), mousedev makes its touches clicks.
    if (r.ring == ring_shape::touch && d.fed.state != tri::no && !r.served)
        std::printf("  mouse:    mousedev feeds it: until tapbridge-remote serves it, each of its touches is a left "
                    "click, %s\n", next_page == btn_left ? "and tapbridge taps point 1"
                                                         : "which tapbridge's point 1, off, leaves untapped");
    else if (r.ring == ring_shape::none && mousedev_may_feed(d.caps))
        std::puts("  mouse:    a mouse too: while tapbridge-remote holds it, its own buttons and wheel go on "
                  "through the virtual mouse");
    std::printf("  held:     %s\n", held_text(facts, d).c_str());
    if (r.line)
        std::printf("  run:      %s\n", remote_command_line(program_beside(remote_program_name), {}, next_page,
                                                         remote_argument(d, facts.others)).c_str());
}

// The listing's verdict under it: what to mend, or which line to run.
void print_listing_verdict(const system_facts& facts, const std::vector<listed_remote>& listed, int status)
{
    if (status == status_nothing) {
        if (!listed.empty())
            std::puts("No remote above has a key of the default map: the --learn on its pages: line finds its keys "
                      "and prints its line.");
        return;
    }
    if (status == status_traps) {
        std::puts("Mend these first:");
        bool uinput_said = false;
        for (const listed_remote& r : listed)
            for (remote_trap t : r.traps) {
                if (!r.line || (t == remote_trap::no_uinput && std::exchange(uinput_said, true)))
                    continue;
                std::printf("  - %s.\n", remote_trap_text(t, facts, *r.device).c_str());
            }
        std::puts("Then run a remote's run: line above as root, beside tapbridge.");
        return;
    }
    const bool all_served = std::all_of(listed.begin(), listed.end(),
                                        [](const listed_remote& r) { return !r.line || r.served; });
    std::puts(all_served ? "Ready: tapbridge-remote serves each remote above now."
                         : "Ready. Run a remote's run: line above as root, beside tapbridge (either may start "
                           "first).");
}

} // namespace

std::string remote_trap_text(remote_trap t, const system_facts& facts, const input_device& d)
{
    switch (t) {
    case remote_trap::no_uinput: return std::string("/dev/uinput: ") + uinput_text(facts.uinput);
    case remote_trap::served:
        return "tapbridge-remote already holds " + device_text(d) + " (open by " + process_list(d.holders) +
               "): a second one would stop at once. Stop it first";
    case remote_trap::held:
        return "another process holds a grab on " + device_text(d) + " (open by " + process_list(d.holders) +
               "): tapbridge-remote cannot take it. Stop that program first";
    }
    return {};
}

void print_remotes(const system_facts& facts, const std::vector<listed_remote>& listed, const char* again)
{
    if (listed.empty())
        std::printf("Remotes: none (a page turner, a ring, a camera or media remote, or a gamepad: connect it "
                    "and run %s again)\n", again);
    else
        std::puts("Remotes (keys, buttons, a hat or a ring's gestures that tapbridge-remote turns into clicks for "
                  "tapbridge):");
    const int next_page = next_page_button(facts);
    for (const listed_remote& r : listed)
        print_remote(facts, r, next_page);
    std::printf("%s: %s\n", uinput_path, uinput_text(facts.uinput).c_str());
}

int run_remotes(const system_facts& facts)
{
    if (facts.devices == 0 || facts.unopened == facts.devices) {
        print_nothing_usable(facts);
        return status_nothing;
    }
    // Devices this user cannot open may be the remote: said before the listing.
    if (facts.unopened > 0)
        std::printf("%d input devices could not be opened (%s)\n", facts.unopened, facts.unopened_advice.c_str());
    const std::vector<listed_remote> listed = listed_remotes(facts);
    print_remotes(facts, listed, "tapbridge-setup --remotes");
    const int status = remotes_status(listed);
    print_listing_verdict(facts, listed, status);
    return status;
}
