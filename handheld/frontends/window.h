// The device in a window on the host's display: its screen's pixels, the mouse as the pen, the
// host keyboard as the built-in infrared keyboard, the hardware keys and the keyboard's status
// beside the screen.
#pragma once

#include "frontends/interactive.h"

#include <string>

namespace handheld {

struct WindowOptions {
    InteractiveOptions device; // state folder, reset, driver build (no recording)
    int scale = 2;             // 1, 2 or 3 window pixels to a device pixel
    bool traceFrames = false;  // a line on standard output for every frame shown
};

// Whether the host has a display to open a window on.
bool displayAvailable();

// The exit status, or kNoWindow (with nothing started) when no window could be opened; `why`
// says why.
constexpr int kNoWindow = -1;
int runWindow(const WindowOptions &options, std::string *why);

} // namespace handheld
