#include "setup/speak/remotes_report.hpp"

#include "input/mousedev_ids.hpp"
#include "setup/decide/command.hpp"
#include "setup/decide/layout.hpp"
#include "setup/decide/mice.hpp"
#include "setup/decide/remotes.hpp"
#include "setup/probe/kernel_state.hpp"
#include "setup/speak/explain.hpp"
#include "text/printable.hpp"
#include "text/shell_word.hpp"

#include <cstdio>
#include <string>

namespace {

// "next page (left): KEY_PAGEDOWN, KEY_RIGHT; previous page (right): ...",
// a button at a time in the layout's order.
std::string pages_text(const input_caps& caps)
{
    const std::vector<mapping> codes = page_codes(caps);
    std::string text;
    for (int button = btn_left; button <= btn_wheel_down; ++button) {
        std::string listed;
        for (const mapping& m : codes)
            if (m.button == button)
                append_listed(listed, code_name(m.code));
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

void print_remote(const system_facts& facts, const input_device& d)
{
    std::printf("%s \"%s\"\n", printable(d.node).c_str(), printable(d.id.name).c_str());
    std::printf("  id:       %s\n", d.id.uniq.empty() ? "none" : printable(d.id.uniq).c_str());
    const std::string pages = pages_text(d.caps);
    const std::string learn = program_beside("tapbridge-setup") + " --learn " + shell_word(d.node);
    if (pages.empty())
        std::printf("  pages:    no key of the default map; %s asks for its keys\n", learn.c_str());
    else
        std::printf("  pages:    %s\n", pages.c_str());
    if (mousedev_may_feed(d.caps))
        std::puts("  mouse:    a mouse too: while tapbridge-remote holds it, its own buttons and wheel go on "
                  "through the virtual mouse");
    std::printf("  held:     %s\n", held_text(facts, d).c_str());
    if (!pages.empty())
        std::printf("  run:      %s\n", remote_command_line(program_beside(remote_program_name), {},
                                                         remote_argument(d, facts.others)).c_str());
}

} // namespace

void print_remotes(const system_facts& facts)
{
    bool any = false;
    for (const input_device& d : facts.others) {
        if (!is_remote(d))
            continue;
        if (!any)
            std::puts("Remotes (keys, buttons or a hat that tapbridge-remote turns into clicks for tapbridge):");
        any = true;
        print_remote(facts, d);
    }
    if (!any)
        std::puts("Remotes: none (a page turner, camera or media remote, or gamepad that sends keys: connect it and "
                  "run tapbridge-setup again)");
    std::printf("%s: %s\n", uinput_path, uinput_text(facts.uinput).c_str());
}
