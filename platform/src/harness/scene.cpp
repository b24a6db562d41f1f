// Scene windows: stand-ins for windows of other programs that tests and scenarios place on the
// screen, and what they were sent or posted.
#include "gwes/win_internal.h"

#include "emul/harness.h"

namespace emul::harness {

uintptr_t createSceneWindow(const std::string &name, const std::u16string &className,
                            uintptr_t parent, int left, int top, int right, int bottom) {
    WindowSystem::Impl &ws = wins();
    Window *p = parent ? ws.get(parent) : nullptr;
    if (p) {
        left += p->left;
        right += p->left;
        top += p->top;
        bottom += p->top;
    }
    Window *w = ws.make(className, p, left, top, right, bottom);
    w->sceneName = name;
    w->className = className; // a scene window keeps the spelling it was given
    w->proc = nullptr;
    w->style = WS_VISIBLE | (p ? WS_CHILD : 0);
    return w->h;
}

uintptr_t findSceneWindow(const std::string &name) {
    for (auto &e : dev().windows().impl().windows)
        if (e.second->sceneName == name)
            return e.first;
    return 0;
}

std::vector<Received> received(uintptr_t hwnd) {
    std::vector<Received> out;
    if (Window *w = dev().windows().impl().get(hwnd))
        for (const MSG &m : w->received)
            out.push_back(Received{m.message, uintptr_t(m.wParam), intptr_t(m.lParam)});
    return out;
}

} // namespace emul::harness
