// Errors of the display about the device's window. Xlib's own handler ends the process on the
// first one, so a window that another program destroys would end the device without its
// programs saving their documents; the device takes them itself instead.
#pragma once

#include <SDL.h>

namespace handheld {

// From now on the display's errors come here (on an X display; elsewhere nothing changes).
void watchWindowErrors(SDL_Window *window);
// The display said the window no longer exists.
bool windowDestroyed();

} // namespace handheld
