#include "remote/args.hpp"

#include "input/identity.hpp"
#include "text/printable.hpp"
#include "text/shell_word.hpp"

#include <optional>
#include <string>

namespace {

std::string quoted(std::string_view word)
{
    return '\'' + printable(word) + '\'';
}

std::string map_problem(map_error error, std::string_view text)
{
    const std::string given = "--map " + quoted(text);
    switch (error) {
    case map_error::none: break;
    case map_error::no_equals: return given + ": give CODE=BUTTON, for instance --map KEY_PAGEDOWN=left";
    case map_error::unknown_code:
        return given + ": no such code; give the kernel's name of a key or button (KEY_ENTER, BTN_TR), a hat end "
                       "(ABS_HAT0X+, ABS_HAT0X-), a key's number (115) or a ring's gesture (SWIPE_LEFT, "
                       "SWIPE_RIGHT, SWIPE_UP, SWIPE_DOWN, TAP, TAP@X,Y)";
    case map_error::unknown_button:
        return given + ": no such button; give left, right, middle, wheel-up or wheel-down";
    case map_error::twice: return given + ": that code is mapped already; give each code once";
    case map_error::full:
        // Gestures have a bound of their own, far below the codes'.
        if (parse_gesture(text.substr(0, text.find('='))))
            return given + ": more than " + std::to_string(gesture_capacity) + " gestures mapped; map fewer";
        return given + ": more than " + std::to_string(map_capacity) + " codes mapped; map fewer";
    }
    return {};
}

// The value of option NAME at args[i], "NAME=VALUE" or NAME and the next
// word (i then steps over it). Empty when args[i] is another option, or,
// with error set, when the value is missing.
std::optional<std::string_view> option_value(const std::vector<std::string_view>& args, std::size_t& i,
                                             std::string_view name, std::string_view needs, std::string& error)
{
    const std::string_view arg = args[i];
    if (arg.starts_with(name) && arg.size() > name.size() && arg[name.size()] == '=')
        return arg.substr(name.size() + 1);
    if (arg != name)
        return std::nullopt;
    if (i + 1 == args.size()) {
        error = std::string(name) + " needs " + std::string(needs);
        return std::nullopt;
    }
    return args[++i];
}

} // namespace

remote_args parse_remote_args(const std::vector<std::string_view>& args)
{
    remote_args parsed{false, false, true, false, false, {}, {}, {}, {}};
    bool remote_given = false;
    std::optional<int> next_page;
    bool options_done = false; // after "--", a name that starts with '-' is a name
    for (std::size_t i = 0; i < args.size() && parsed.error.empty(); ++i) {
        const std::string_view arg = args[i];
        if (options_done || !arg.starts_with('-')) {
            if (remote_given)
                parsed.error = "one remote only: " + quoted(parsed.remote) + " and " + quoted(arg) +
                               " (run one tapbridge-remote for each)";
            else
                parsed.remote = arg;
            remote_given = true;
        } else if (arg == "--") {
            options_done = true;
        } else if (arg == "--help" || arg == "--version") {
            (arg == "--help" ? parsed.help : parsed.version) = true;
            return parsed;
        } else if (arg == "--no-grab") {
            parsed.grab = false;
        } else if (arg == "--take-screen") {
            parsed.take_screen = true;
        } else if (const auto word = option_value(args, i, "--next-page", "BUTTON", parsed.error)) {
            next_page = parse_button(*word);
            if (!next_page)
                parsed.error = "--next-page " + quoted(*word) + ": no such button; give left, right, middle, "
                               "wheel-up or wheel-down";
        } else if (const auto text = option_value(args, i, "--map", "CODE=BUTTON", parsed.error)) {
            parsed.given_map = true;
            parsed.error = map_problem(add_mapping(parsed.map, *text), *text);
        } else if (!parsed.error.empty()) {
            break;
        } else {
            parsed.error = "unknown option " + quoted(arg);
            parsed.unknown_option = arg;
        }
    }
    if (parsed.error.empty() && !remote_given)
        parsed.error = "no REMOTE given: its event node, its name or its unique id, as tapbridge-setup prints them";
    if (parsed.error.empty() && parsed.remote.empty())
        parsed.error = "REMOTE is empty";
    if (parsed.error.empty() && parsed.given_map && next_page)
        parsed.error = "--next-page moves the default map's next page; with --map, give the button in each "
                       "CODE=BUTTON instead";
    if (parsed.error.empty() && parsed.take_screen && !parsed.remote.starts_with('/'))
        parsed.error = "--take-screen takes only a node given by its path (/dev/input/eventN), never a name";
    if (parsed.error.empty() && !parsed.given_map)
        parsed.map = default_map(next_page.value_or(btn_left));
    return parsed;
}

std::string name_after_options_text(const remote_args& parsed, const std::vector<std::string_view>& args)
{
    // Its other words stay as given; "--" ends the options just before the name.
    std::string line = remote_program_name;
    for (std::string_view arg : args)
        if (arg != parsed.unknown_option && arg != "--")
            line += ' ' + shell_word(arg);
    return parsed.error + "; a remote of that name is there: put -- before it (" + line + " -- " +
           shell_word(parsed.unknown_option) + ')';
}
