// A left click at a screen point, injected into an X server through XTest.
#pragma once

#include <X11/Xlib.h>

// Opens the default display ($DISPLAY); null after reporting the failure.
[[nodiscard]] Display* open_display();

// Moves the pointer to (x, y) in screen pixels and clicks button 1 there.
void mouse_click(Display* display, int x, int y);
