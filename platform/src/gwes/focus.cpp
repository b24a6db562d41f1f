// Foreground, active window and keyboard focus.
#include "gwes/win_internal.h"

using namespace emul;

CEAPI HWND GetForegroundWindow(void) {
    auto &ws = wins();
    return ws.get(ws.foreground) ? toHwnd(ws.foreground) : nullptr;
}

CEAPI BOOL SetForegroundWindow(HWND h) {
    // Programs pass the handle with bit 0 set to bring owned pop-ups along.
    uintptr_t v = reinterpret_cast<uintptr_t>(h) & ~uintptr_t(1);
    dev().journal().call("SetForegroundWindow", Fields().hwnd("hwnd", v));
    Window *w = needWindow(toHwnd(v));
    if (!w)
        return FALSE;
    wins().activate(w);
    return TRUE;
}

CEAPI HWND SetFocus(HWND h) {
    auto &ws = wins();
    Queue &mine = ws.queue(kern().self());
    HWND previous = toHwnd(ws.get(mine.focus));
    if (!h) {
        mine.focus = 0;
        return previous;
    }
    Window *w = needWindow(h);
    if (!w)
        return nullptr;
    if (w->thread) {
        Queue &q = ws.queue(w->thread);
        if (w->thread != kern().self())
            previous = toHwnd(ws.get(q.focus));
        uintptr_t old = q.focus;
        q.focus = w->h;
        if (Window *top = ws.topLevelOf(w))
            q.active = top->h;
        if (old != w->h && w->thread == kern().self()) {
            if (Window *o = ws.get(old))
                ws.send(o, WM_KILLFOCUS, w->h, 0);
            ws.send(w, WM_SETFOCUS, old, 0);
        }
    }
    return previous;
}

CEAPI HWND GetFocus(void) {
    auto &ws = wins();
    return toHwnd(ws.get(ws.queue(kern().self()).focus));
}

CEAPI HWND GetActiveWindow(void) {
    auto &ws = wins();
    return toHwnd(ws.get(ws.queue(kern().self()).active));
}

CEAPI HWND SetActiveWindow(HWND h) {
    auto &ws = wins();
    Queue &q = ws.queue(kern().self());
    HWND previous = toHwnd(ws.get(q.active));
    Window *w = needWindow(h);
    if (!w)
        return nullptr;
    q.active = ws.topLevelOf(w)->h;
    return previous;
}
