#include "tap/xclick.hpp"

#include <X11/extensions/XTest.h>
#include <cstdio>

Display* open_display()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        std::perror("ERROR Opening XDisplay");
    return display;
}

void mouse_click(Display* display, int x, int y)
{
    // Screen -1: whichever screen the pointer is on. Delay 0: now. Whatever
    // mouse button was pressed, the touch-screen client wants a plain tap,
    // which X spells as button 1.
    XTestFakeMotionEvent(display, -1, x, y, 0);
    XTestFakeButtonEvent(display, 1, True, 0);
    XTestFakeButtonEvent(display, 1, False, 0);
    // Push the three requests out together; a round trip would only add
    // latency, and errors are left to Xlib's default handlers.
    XFlush(display);
}
