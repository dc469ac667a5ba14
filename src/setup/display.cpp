#include "display.hpp"

#include <X11/Xlib.h>
#include <cstdlib>

display_facts probe_display()
{
    display_facts facts{};
    const char* name = std::getenv("DISPLAY");
    facts.asked = name && *name;
    if (!facts.asked)
        return facts;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return facts;
    facts.opened = true;
    const int screen = DefaultScreen(display);
    facts.width = DisplayWidth(display, screen);
    facts.height = DisplayHeight(display, screen);
    int opcode = 0;
    int event = 0;
    int error = 0;
    facts.xtest = XQueryExtension(display, "XTEST", &opcode, &event, &error);
    XCloseDisplay(display);
    return facts;
}
