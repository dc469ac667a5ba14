#include "steps.hpp"

#include "device_options.hpp"
#include "gestures.hpp"
#include "measure.hpp"
#include "readers.hpp"
#include "report.hpp"
#include "rings.hpp"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

// The numbers among a step's words after its first (a kind, or "up").
std::vector<int> numbers_after_kind(const std::vector<std::string>& words)
{
    std::vector<int> numbers;
    for (std::size_t i = 1; i < words.size(); ++i)
        if (const auto n = parse_number(words[i]))
            numbers.push_back(*n);
    return numbers;
}

// KIND XMIN XMAX YMIN YMAX and the optional words of a screen (res, slots,
// bus, nodirect, name); it is called name unless the words name it.
std::optional<screen_shape> screen_words(const std::string& rest, const char* name)
{
    auto [first, after] = first_word(rest);
    const auto kind = kind_named(first);
    const auto range = take_range(after);
    const auto options = range ? parse_device_options(after) : std::nullopt;
    if (!kind || !options || options->range || options->phys)
        return std::nullopt;
    const auto& [x0, x1, y0, y1] = *range;
    return screen_shape{*kind,
                        {x0, x1},
                        {y0, y1},
                        options->resolution.value_or(0),
                        options->name.value_or(name),
                        options->slots.value_or(default_slot_count),
                        options->bus.value_or(default_screen_bus),
                        !options->nodirect};
}

// screen2: a second touch screen beside the first, of its own kind and
// range; it has no reader of its own.
std::string make_other(world& w, const std::string& rest)
{
    const auto shape = screen_words(rest, "second touch screen");
    if (!w.have_devices || w.made.other || !shape)
        return "screen2 KIND XMIN XMAX YMIN YMAX [res N] [slots N] [bus NAME] [nodirect] [name TEXT], once, after "
               "screen";
    if (std::string error = make_other_screen(*shape, w.made); !error.empty())
        return error;
    record("node", "touch2 " + w.made.other_node);
    return {};
}

std::string make_screen(world& w, const std::string& rest)
{
    const auto shape = screen_words(rest, default_screen_name);
    if (w.have_devices || !shape)
        return "screen KIND XMIN XMAX YMIN YMAX [res N] [slots N, 0: type A] [bus NAME] [nodirect] [name TEXT], "
               "once";
    if (std::string error = make_devices(*shape, w.made); !error.empty())
        return error;
    w.have_devices = true;
    record("node", "mouse " + w.made.mouse_node);
    record("node", "touch " + w.made.screen_node);
    w.touch_fd = open_touch_reader(w.made.screen_node);
    if (w.touch_fd < 0)
        return "cannot open " + w.made.screen_node + " as a second reader";
    std::string error;
    w.mice_fd = open_mice_reader(error);
    return error;
}

std::string run_step(world& w, const std::string& rest)
{
    auto [id, command] = first_word(rest);
    std::optional<unsigned> uid;
    if (auto [word, after] = first_word(command); word == "as") {
        auto [number, tail] = first_word(after);
        const auto n = parse_number(number);
        if (!n || *n < 0)
            return "run ID as UID COMMAND";
        uid = static_cast<unsigned>(*n);
        command = tail;
    }
    bool terminal = true;
    if (auto [word, after] = first_word(command); word == "notty") {
        terminal = false;
        command = after;
    }
    if (id.empty() || command.empty())
        return "run ID [as UID] [notty] COMMAND";
    return start(w, {id, command, uid, terminal, "/bin/sh"});
}

// The command line a program printed, taken as printed, by /bin/sh or the
// shell named.
std::string runline_step(world& w, const std::string& rest)
{
    auto [id, more] = first_word(rest);
    std::string shell = "/bin/sh";
    if (auto [word, after] = first_word(more); word == "in") {
        auto [name, tail] = first_word(after);
        shell = "/bin/" + name;
        more = tail;
    }
    std::string with;
    if (auto [word, after] = first_word(more); word == "with") {
        auto [text, tail] = first_word(after);
        with = text;
        more = tail;
    }
    const auto [from, prefix] = first_word(more);
    const program* source = find_program(w, from);
    if (!source || prefix.empty() || shell == "/bin/")
        return "runline ID [in SHELL] [with WORD] FROM PREFIX: FROM must be a program of this scenario";
    for (auto line = source->lines.rbegin(); line != source->lines.rend(); ++line) {
        const auto first = line->find_first_not_of(' ');
        if (first == std::string::npos || line->compare(first, prefix.size(), prefix) != 0 ||
            line->find(with) == std::string::npos)
            continue;
        // A label ("run:") is no part of the line it introduces.
        std::string command = line->substr(first);
        if (prefix.ends_with(':'))
            command = command.substr(std::min(command.size(), command.find_first_not_of(' ', prefix.size())));
        return start(w, {id, command, std::nullopt, true, shell});
    }
    return from + " printed no line starting with " + prefix + (with.empty() ? "" : " with " + with);
}

std::string sh_step(world& w, const std::string& command)
{
    program p{};
    if (std::string error = start_program({"sh", command, std::nullopt, false, "/bin/sh"}, environment(w), p); !error.empty())
        return error;
    w.programs.push_back(p);
    const std::size_t index = w.programs.size() - 1;
    const bool ended = wait_until(w, [&] { return w.programs[index].ended; }, wait_bound_ms);
    program& done = w.programs[index];
    std::string why;
    if (!ended) {
        signal_program(done, SIGKILL);
        wait_until(w, [&] { return w.programs[index].ended; }, stop_bound_ms);
        why = "sh did not finish: " + command;
    } else if (done.status != 0) {
        why = "sh failed (status " + std::to_string(done.status) + "): " + command;
    }
    // Output still buffered in the pipe belongs to this step.
    read_output(w.programs[index]);
    close_program(w.programs[index]);
    w.programs.erase(w.programs.begin() + static_cast<std::ptrdiff_t>(index));
    return why;
}

std::string finger_step(world& w, const std::string& rest)
{
    const auto words = split_words(rest);
    const std::vector<int> numbers = numbers_after_kind(words);
    const bool up = !words.empty() && words[0] == "up";
    const bool placed = !words.empty() && (words[0] == "down" || words[0] == "move");
    const auto slots_end = numbers.end() - (placed && numbers.size() == 3 ? 2 : 0);
    const bool slots_ok = !numbers.empty() && std::all_of(numbers.begin(), slots_end, [&](int n) {
        return n >= 0 && static_cast<std::size_t>(n) < w.made.touch.down.size();
    });
    if (numbers.size() + 1 != words.size() || (!up && !placed) || (placed && numbers.size() != 3) || !slots_ok)
        return "finger down|move SLOT X Y, or finger up SLOT...";
    const auto events = up ? lift_frame(w.made.touch, w.made.shape.kind, numbers)
                           : finger_frame(w.made.touch, w.made.shape.kind,
                                          words[0] == "down" ? finger_action::down : finger_action::move, numbers[0],
                                          numbers[1], numbers[2]);
    return emit(w.made.screen, events) ? std::string() : "cannot write to the touch screen";
}

std::string remote_step(world& w, const std::string& rest)
{
    constexpr const char* usage =
        "remote ID KIND [range XMIN XMAX YMIN YMAX] [res N] [bus NAME] [nodirect] [phys TEXT] [name TEXT]: KIND "
        "keyboard|consumer|gamepad|combo|fullkbd|hybrid|finger|pen|pad|drag|fingerkeys; range, res and nodirect on "
        "finger, pen and fingerkeys alone";
    const auto [id, more] = first_word(rest);
    auto [word, after] = first_word(more);
    const auto kind = remote_kind_named(word);
    const auto options = parse_device_options(after);
    if (id.empty() || !kind || find_remote(w, id) || !options || options->slots)
        return usage;
    if (!places_contact(*kind) && (options->range || options->resolution || options->nodirect))
        return usage;
    const auto [x0, x1, y0, y1] = options->range.value_or(default_ring_range);
    w.remotes.push_back({.id = id,
                         .kind = *kind,
                         .name = options->name.value_or("remote " + id),
                         .phys = options->phys.value_or(""),
                         .device = nullptr,
                         .fillers = {},
                         .node = {},
                         .reader = -1,
                         .seen = 0,
                         .bus = options->bus.value_or(default_bus(*kind)),
                         .x = {x0, x1},
                         .y = {y0, y1},
                         .resolution = options->resolution.value_or(0),
                         .direct = !options->nodirect,
                         .contact = {}});
    return plug_remote(w.remotes.back());
}

// key ID CODE VALUE, press ID CODE, hat ID AXIS VALUE, mouse ID TOKENS.
std::string remote_input(world& w, const std::string& verb, const std::string& rest)
{
    const auto words = split_words(rest);
    remote_device* r = words.empty() ? nullptr : find_remote(w, words[0]);
    std::optional<std::vector<tap_event>> events;
    if (verb == "mouse" && r)
        events = mouse_events(rest.substr(words[0].size()));
    else if (verb == "press" && r && words.size() == 2 && (events = remote_events(EV_KEY, words[1], 1)))
        events->insert(events->end(), {{EV_KEY, (*events)[0].code, 0}, {EV_SYN, SYN_REPORT, 0}});
    const auto value = words.size() == 3 ? parse_number(words[2]) : std::nullopt;
    if ((verb == "key" || verb == "hat") && r && value)
        events = remote_events(verb == "key" ? EV_KEY : EV_ABS, words[1], *value);
    if (!events)
        return verb == "mouse" ? "mouse [REMOTE] TOKENS"
                               : verb + (verb == "press" ? " REMOTE CODE" : " REMOTE CODE VALUE") +
                                     ", the remote made by a remote step";
    return emit(r->device, *events) ? "" : "cannot write to " + r->id + " (unplugged?)";
}

// The mouse tokens COUNT times, one every MS ms on a schedule kept from the
// first, so that a slow round does not delay the rest; MS 0 is a burst.
std::string paced_step(world& w, const std::string& rest)
{
    const auto [ms_word, more] = first_word(rest);
    const auto [count_word, tokens] = first_word(more);
    const auto ms = parse_number(ms_word);
    const auto count = parse_number(count_word);
    const auto events = mouse_events(tokens);
    if (!ms || !count || *ms < 0 || *count < 1 || !events || tokens.empty())
        return "paced MS COUNT TOKENS";
    const long long first = now_ms();
    for (int i = 0; i < *count; ++i) {
        collect_for(w, static_cast<int>(std::max(0LL, first + static_cast<long long>(i) * *ms - now_ms())));
        if (!emit(w.made.mouse, *events))
            return "cannot write to the mouse";
    }
    return {};
}

// text with each $ID of a remote replaced by the node it has now.
std::string with_nodes(const world& w, std::string text)
{
    for (const remote_device& r : w.remotes)
        for (std::size_t at; (at = text.find('$' + r.id)) != std::string::npos;)
            text.replace(at, r.id.size() + 1, r.node);
    return text;
}

bool file_holds(const std::string& path, const std::string& text)
{
    std::ifstream in(path);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str().find(text) != std::string::npos;
}

std::string wait_step(world& w, const std::string& rest)
{
    const auto [id, more] = first_word(rest);
    const auto [what, value] = first_word(more);
    const auto count = parse_number(value);
    if (id == "touch" && what == "frames" && count)
        return wait_until(w, [&] { return w.frames >= *count; }, wait_bound_ms) ? "" : "too few frames on the touch node";
    if (id == "mice" && what == "packets" && count)
        return wait_until(w, [&] { return w.packets >= *count; }, wait_bound_ms) ? "" : "too few packets on /dev/input/mice";
    if (what == "holds" && !value.empty()) {
        // $REMOTE: the node the remote has now.
        const remote_device* r = value.starts_with('$') ? find_remote(w, value.substr(1)) : nullptr;
        const std::string path = r ? r->node : value;
        pid_t holder = 0;
        if (!wait_until(w, [&] { return (holder = holder_of(path)) != 0; }, wait_bound_ms, 20))
            return "no process opened " + path;
        // Named like a program of the scenario, so that its pid reads as $ID.
        record("pid", id + ' ' + std::to_string(holder));
        return {};
    }
    if (id == "file" && !value.empty())
        return wait_until(w, [&, text = unescape(value)] { return file_holds(what, text); }, wait_bound_ms, 20)
                   ? ""
                   : what + " never held " + value;
    if (remote_device* r = find_remote(w, id); r && what == "seen" && count)
        return wait_until(w, [&] { return find_remote(w, id)->seen >= *count; }, wait_bound_ms)
                   ? ""
                   : "too few events seen on " + id;
    if (!find_program(w, id))
        return "wait: no program " + id;
    // The vector does not grow while waiting: look the program up each time.
    auto p = [&] { return find_program(w, id); };
    bool done = false;
    if (what == "lines" && count)
        done = wait_until(w, [&] { return p()->out_lines >= *count; }, wait_bound_ms);
    else if (what == "text" && !value.empty())
        done = wait_until(w, [&, text = with_nodes(w, unescape(value))] { return p()->text.find(text) != std::string::npos; },
                          wait_bound_ms);
    else if (what == "idle")
        done = wait_until(w, [&] { return waiting_for_input(*p()); }, wait_bound_ms, 10);
    else if (what == "stopped")
        done = wait_until(w, [&] { return stopped(*p()); }, wait_bound_ms, 10);
    else if (what == "exit")
        done = wait_until(w, [&] { return p()->ended; }, wait_bound_ms);
    else
        return "wait ID lines N | text TEXT | idle | stopped | exit, or wait touch frames N | mice packets N | "
               "ID holds PATH | file PATH TEXT | REMOTE seen N";
    return done ? "" : "timed out";
}

} // namespace

std::string play(world& w, const step& s)
{
    if (s.verb == "screen")
        return make_screen(w, s.rest);
    if (s.verb == "screen2")
        return make_other(w, s.rest);
    if (s.verb == "run")
        return run_step(w, s.rest);
    if (s.verb == "runline")
        return runline_step(w, s.rest);
    if (s.verb == "sh")
        return sh_step(w, s.rest);
    if (s.verb == "wait")
        return wait_step(w, s.rest);
    if (s.verb == "pause") {
        const auto ms = parse_number(s.rest);
        if (!ms || *ms < 0)
            return "pause MS";
        collect_for(w, *ms);
        return {};
    }
    if (s.verb == "cpu") {
        const auto [id, text] = first_word(s.rest);
        const auto ms = parse_number(text);
        if (!find_program(w, id) || !ms || *ms < 0)
            return "cpu ID MS: ID must be a program of this scenario";
        const long long ticks = cpu_ticks(*find_program(w, id));
        const long long ns = cpu_ns(*find_program(w, id));
        collect_for(w, *ms);
        const long long ticks_after = cpu_ticks(*find_program(w, id));
        const long long ns_after = cpu_ns(*find_program(w, id));
        if (ticks < 0 || ns < 0 || ticks_after < 0 || ns_after < 0)
            return "cpu: " + id + " ended during the window, or /proc does not say";
        record("cpu", id + ' ' + std::to_string(ticks_after - ticks) + ' ' + std::to_string((ns_after - ns) / 1'000'000));
        return {};
    }
    if (s.verb == "keys" || s.verb == "stop" || s.verb == "signal") {
        const auto [id, text] = first_word(s.rest);
        program* p = find_program(w, id);
        if (!p)
            return s.verb + ": no program " + id;
        if (s.verb == "signal") {
            const auto sig = parse_number(text);
            if (!sig)
                return "signal ID SIGNAL";
            signal_program(*p, *sig);
            return {};
        }
        if (s.verb == "stop") {
            const auto sig = text.empty() ? std::optional<int>(SIGTERM) : parse_number(text);
            if (!sig)
                return "stop ID [SIGNAL]";
            signal_program(*p, *sig);
            return wait_until(w, [&] { return find_program(w, id)->ended; }, stop_bound_ms) ? "" : "did not stop";
        }
        const std::string bytes = unescape(text);
        return p->typed && p->output >= 0 &&
                       write(p->output, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size())
                   ? ""
                   : "cannot type on the terminal of " + id;
    }
    if (!w.have_devices)
        return s.verb + ": no devices yet (screen first)";
    if (s.verb == "remote")
        return remote_step(w, s.rest);
    if (s.verb == "measure")
        return measure_step(w, s.rest);
    if (s.verb == "stroke" || s.verb == "rel" || s.verb == "contact")
        return gesture_step(w, s.verb, s.rest);
    if (remote_device* r = find_remote(w, s.rest); r && s.verb == "unplug") {
        if (!r->device)
            return "unplug: " + r->id + " is not plugged in";
        unplug_remote(*r);
        return {};
    }
    if (s.verb == "remove") {
        // No fillers: a program that looks again only when a node appears
        // must not be woken by them.
        remote_device* r = find_remote(w, s.rest);
        if (!r || !r->device)
            return "remove REMOTE, while it is plugged in";
        remove_remote(*r);
        return {};
    }
    if (s.verb == "replug") {
        remote_device* r = find_remote(w, s.rest);
        if (!r || r->device)
            return "replug REMOTE, once it was unplugged";
        return replug_remote(*r);
    }
    if (s.verb == "key" || s.verb == "press" || s.verb == "hat" ||
        (s.verb == "mouse" && find_remote(w, first_word(s.rest).first)))
        return remote_input(w, s.verb, s.rest);
    if (s.verb == "unplug") {
        // The second reader goes first: a removed device's node only says so.
        if (w.touch_fd >= 0)
            close(w.touch_fd);
        w.touch_fd = -1;
        unplug_screen(w.made);
        return {};
    }
    if (s.verb == "mouse") {
        const auto events = mouse_events(s.rest);
        if (!events)
            return "mouse: tokens are L1 L0 R1 R0 M1 M0 X<n> Y<n> W<n> S";
        return emit(w.made.mouse, *events) ? "" : "cannot write to the mouse";
    }
    if (s.verb == "paced")
        return paced_step(w, s.rest);
    if (s.verb == "finger")
        return finger_step(w, s.rest);
    if (s.verb == "tap2") {
        const auto words = split_words(s.rest);
        const auto x = words.size() == 2 ? parse_number(words[0]) : std::nullopt;
        const auto y = words.size() == 2 ? parse_number(words[1]) : std::nullopt;
        if (!w.made.other || !x || !y)
            return "tap2 X Y, on the screen of screen2";
        fingers& f = w.made.other_touch;
        const screen_kind kind = w.made.other_shape.kind;
        return emit(w.made.other, finger_frame(f, kind, finger_action::down, 0, *x, *y)) &&
                       emit(w.made.other, finger_frame(f, kind, finger_action::up, 0, 0, 0))
                   ? ""
                   : "cannot write to the second touch screen";
    }
    if (s.verb == "tap") {
        const auto words = split_words(s.rest);
        if (words.size() != 2)
            return "tap X Y";
        if (std::string error = finger_step(w, "down 0 " + words[0] + ' ' + words[1]); !error.empty())
            return error;
        return finger_step(w, "up 0");
    }
    return "unknown step " + s.verb;
}
