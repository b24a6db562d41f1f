// The display's errors about the window, taken by the device instead of ending the process.
#include "frontends/window_errors.h"

#include <SDL_syswm.h>

#include <X11/Xlib.h>

namespace handheld {

namespace {

Window watched = 0;
bool destroyed = false;

// Any other error is a request that failed and is dropped; none of them ends the device.
int onError(Display *, XErrorEvent *e) {
    if (e->error_code == BadWindow && e->resourceid == watched)
        destroyed = true;
    return 0;
}

} // namespace

void watchWindowErrors(SDL_Window *window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return;
    watched = info.info.x11.window;
    destroyed = false;
    XSetErrorHandler(onError);
}

bool windowDestroyed() {
    return destroyed;
}

} // namespace handheld
