#include "setup/speak/report.hpp"

#include "mouse/mouse.hpp"
#include "setup/decide/choose.hpp"
#include "setup/decide/command.hpp"
#include "setup/decide/records.hpp"
#include "setup/decide/sketch.hpp"
#include "setup/probe/display.hpp"
#include "setup/speak/explain.hpp"
#include "setup/speak/remotes_report.hpp"
#include "setup/speak/show_sketch.hpp"
#include "tap/point.hpp"
#include "tap/touch.hpp"
#include "text/printable.hpp"

#include <cstdio>
#include <cstdlib>
#include <libevdev/libevdev.h>
#include <string>
#include <unistd.h>

namespace {

std::string axis_text(const char* name, axis_range axis)
{
    std::string text = range_text(name, axis);
    if (resolution_believed(axis))
        text += " (" + std::to_string(axis.resolution) + " per mm)";
    return text;
}

// Why readers miss a tap without the code.
const char* loss_of(const dropped_code& d)
{
    if (!d.harmful)
        return "harmless: the screen never reports a finger tool";
    if (d.type == EV_KEY)
        return "taps break: readers never see the screen touched";
    if (d.code == ABS_MT_TRACKING_ID)
        return "taps break: readers never see a contact begin or end";
    return "taps break: readers never learn where the contact is";
}

void print_records(const input_caps& caps)
{
    const auto dropped = dropped_codes(caps);
    if (dropped.empty())
        std::printf("  records:  all %zu records of a tap reach its readers\n", tap_event_count);
    for (const dropped_code& d : dropped)
        std::printf("  records:  %s is not declared: %d of %zu records dropped; %s\n",
                    libevdev_event_code_get_name(d.type, d.code), d.records, tap_event_count, loss_of(d));
}

void print_screen(const touch_screen& s, const tap_time_fact& tap_time)
{
    std::printf("%s\n", device_text(s).c_str());
    std::printf("  range:    %s, %s\n", axis_text("x", s.x).c_str(), axis_text("y", s.y).c_str());
    print_records(s.caps);
    std::printf("  mousedev: %s\n", echo_text(s, tap_time).c_str());
    const bool partial = geteuid() != 0 && s.holders.any.state != tri::unknown;
    std::printf("  open by:  %s%s\n", process_list(s.holders).c_str(),
                partial ? " that this user can see (root sees all)" : "");
    std::printf("  grab:     %s\n",
                s.grabbed ? "held by another process: every event, taps included, goes only to it" : "none");
}

void print_system(const system_facts& facts)
{
    if (facts.unopened > 0)
        std::printf("%d input devices could not be opened (%s)\n", facts.unopened, facts.unopened_advice.c_str());
    std::printf("%s: %s\n", mice_path, mice_text(facts.mice_node).c_str());
    std::printf("mousedev tap_time: %s\n", tap_time_text(facts.tap_time).c_str());
    std::printf("mice now: %s\n", fed_devices_text(facts).c_str());
    std::printf("tapbridge running: %s\n",
                facts.tapbridges.any.state == tri::no ? "none" : process_list(facts.tapbridges).c_str());
    const display_facts& x = facts.display;
    const char* display = std::getenv("DISPLAY");
    if (!x.asked)
        std::puts("X display: DISPLAY is not set; X mode not checked");
    else if (x.timed_out)
        std::printf("X display: DISPLAY=%s did not answer within %d s; X mode not checked\n",
                    printable(display ? display : "").c_str(), x_answer_seconds);
    else if (!x.opened)
        std::puts("X display: cannot be opened; X mode is not possible from here");
    else
        std::printf("X display: %dx%d pixels, %s\n", x.width, x.height,
                    x.xtest ? "with XTEST: X mode works" : "no XTEST extension: X mode would click nothing");
}

// The roles as the printed line has them. The report turns a point off only
// where mousedev would echo it; the button that still does its job is named.
void print_layout(const point_set& points, const std::optional<left_clicker>& clicker)
{
    std::string text;
    for (std::size_t i = 0; i < point_count; ++i) {
        const button_role& role = page_turning[i];
        std::string item = role.button;
        if (point_enabled(points[i].x, points[i].y)) {
            item += std::string(" = ") + role.purpose + " at " + std::to_string(role.x_percent) + "%," +
                    std::to_string(role.y_percent) + '%';
        } else {
            item += " off: " + (clicker ? left_off_text(*clicker) : std::string("given so"));
            if (const auto other = stand_in(page_turning, points, i))
                item += std::string(", so ") + page_turning[*other].button + " alone gives " + role.purpose;
        }
        append_listed(text, item, "; ");
    }
    std::printf("Layout (page turning): %s\n", text.c_str());
}

void print_x_line(const system_facts& facts, const touch_screen& screen, bool left_off)
{
    // Real touches on a fed screen still click point 1 through /dev/input/mice.
    const auto points = x_mode_points(facts.display, left_off);
    const char* display = std::getenv("DISPLAY");
    if (!points || !display)
        return;
    std::printf("Or X mode (MODE 1), the same layout in screen pixels, on the display it was checked on (%s):\n",
                printable(display).c_str());
    std::printf("  %s\n", x_mode_line(program_beside("tapbridge"), screen.node, display, *points).c_str());
}

} // namespace

int run_report(const system_facts& facts)
{
    if (facts.screens.empty()) {
        print_nothing_usable(facts);
        return status_nothing;
    }
    std::puts("Touch screens (input devices with multitouch positions):");
    for (const touch_screen& s : facts.screens)
        print_screen(s, facts.tap_time);
    print_system(facts);
    print_remotes(facts, listed_remotes(facts), "tapbridge-setup");
    const auto best = best_screen(facts.screens);
    if (!best) {
        print_nothing_usable(facts);
        return status_nothing;
    }
    const touch_screen& screen = facts.screens[*best];
    const auto clicker = left_clicker_for(facts, screen);
    const bool left_off = clicker.has_value();
    std::printf("\nBest screen: %s\n", device_text(screen).c_str());
    const point_set points = default_points(screen.x, screen.y, left_off);
    print_layout(points, clicker);
    show_sketch(screen, points);
    const int status = print_command(facts, screen, points, true);
    print_x_line(facts, screen, left_off);
    return status;
}
