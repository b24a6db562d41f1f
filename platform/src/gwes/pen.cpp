// The pen on the glass: the hit test that finds the window a tap lands on, the window that keeps
// the pen while it is down, and SetCapture/ReleaseCapture/GetCapture.
//
// A touch screen has no hover: the pen goes down, moves while it stays down and lifts. The
// window it went down on gets the moves and the lift (in its client coordinates, outside its
// rectangle too) until it lifts, unless a window holds the pen by SetCapture, which then gets
// everything, the next pen-down included. Input is posted to the window's thread, as the
// platform queues it.
#include "gwes/controls/controls.h"
#include "gwes/paint/paint.h"
#include "gwes/panel_keys.h"
#include "gwes/win_internal.h"

#include <algorithm>

namespace emul {

namespace {

bool contains(const Window *w, int x, int y) {
    return x >= w->left && x < w->right && y >= w->top && y < w->bottom;
}

bool shown(const Window *w) {
    return (w->style & WS_VISIBLE) != 0;
}

// What a window says of a point on it (screen coordinates). The built-in controls are asked
// (statics and group boxes let the pen through to what lies beneath); other windows are not
// asked from here, as that would run a program's code on the caller's thread, and take the
// pen in their whole rectangle.
LRESULT hitCode(Window *w, int x, int y) {
    if (w->thread && w->proc && isBuiltinControlProc(w->proc))
        return w->proc(toHwnd(w), WM_NCHITTEST, 0, MAKELPARAM(x, y));
    return HTCLIENT;
}

// The deepest window at the point within `w`, which contains it and is shown and enabled; null
// when `w` and everything in it let the point through. A disabled child is passed over, so its
// parent gets the pen, as the platform does.
Window *hitIn(Window *w, int x, int y) {
    for (Window *c : w->children)
        if (shown(c) && !(c->style & WS_DISABLED) && contains(c, x, y))
            if (Window *h = hitIn(c, x, y))
                return h;
    LRESULT code = hitCode(w, x, y);
    return code == HTTRANSPARENT ? nullptr : w;
}

} // namespace

Window *WindowSystem::Impl::at(int x, int y) {
    for (Window *w : topLevel) {
        if (!shown(w) || !contains(w, x, y))
            continue;
        // A disabled window (the owner of a modal dialog) takes the pen and does nothing with
        // it: nothing beneath it is hit.
        if (w->style & WS_DISABLED)
            return nullptr;
        if (Window *h = hitIn(w, x, y))
            return h;
    }
    if (!contains(desktop, x, y))
        return nullptr;
    Window *h = hitIn(desktop, x, y);
    return h ? h : desktop;
}

uintptr_t WindowSystem::Impl::pen(WindowSystem::Pen what, int x, int y) {
    using Pen = WindowSystem::Pen;
    x = std::clamp(x, 0, kScreenWidth - 1);
    y = std::clamp(y, 0, kScreenHeight - 1);
    cursorX = x;
    cursorY = y;
    Window *to = get(capture);
    if (!to) {
        if (what == Pen::Down || (what == Pen::Up && !penIsDown))
            to = at(x, y);
        else if (penIsDown)
            to = get(penOwner);
    }
    if (what == Pen::Move && !penIsDown)
        return 0; // no hover on a touch screen
    // The task bar's OK works as a button: pressed while the pen is on it, OK when it lifts there.
    if (what == Pen::Down && !capture && onTaskBarOk(to, x, y)) {
        penIsDown = true;
        penOwner = 0;
        okTracking = true;
        pressTaskBarOk(true);
        return 0;
    }
    if (okTracking && what != Pen::Down) {
        bool on = onTaskBarOk(at(x, y), x, y);
        pressTaskBarOk(on);
        if (what == Pen::Up) {
            penIsDown = okTracking = false;
            pressTaskBarOk(false);
            if (on)
                taskBarOk();
        }
        return 0;
    }
    if (what == Pen::Down) {
        penIsDown = true;
        penOwner = to ? to->h : 0;
        // A tap on another program's window brings that program to the front.
        // The task bar never takes the front from the program it names.
        Window *top = to ? topLevelOf(to) : nullptr;
        if (top && top->thread && !top->owner && top->h != foreground && !capture &&
            top->className != u"HHTaskBar")
            activate(top);
    } else if (what == Pen::Up) {
        penIsDown = false;
        penOwner = 0;
    }
    if (!to)
        return 0;
    // The input panel belongs to no program: the window system works its keys itself.
    if (!to->thread && to->className == kInputPanelClass) {
        panelPen(to, what, x - to->left, y - to->top);
        return to->h;
    }
    LPARAM at = MAKELPARAM(x - to->left, y - to->top);
    if (what == Pen::Move && to->thread) {
        // Moves not yet read are one move to where the pen is now, as the platform merges them.
        Queue &q = queue(to->thread);
        if (!q.posted.empty() && q.posted.back().m.message == WM_MOUSEMOVE &&
            q.posted.back().m.hwnd == toHwnd(to)) {
            q.posted.back().m.lParam = at;
            q.posted.back().m.pt = POINT{x, y};
            changed();
            return to->h;
        }
    }
    UINT msg = what == Pen::Down ? WM_LBUTTONDOWN : what == Pen::Up ? WM_LBUTTONUP : WM_MOUSEMOVE;
    post(to, msg, what == Pen::Up ? 0 : MK_LBUTTON, at);
    return to->h;
}

uintptr_t WindowSystem::pen(Pen what, int x, int y) {
    return impl_->pen(what, x, y);
}

} // namespace emul

using namespace emul;

CEAPI HWND WindowFromPoint(POINT p) {
    return toHwnd(wins().at(p.x, p.y));
}

CEAPI HWND SetCapture(HWND h) {
    auto &ws = wins();
    HWND previous = GetCapture();
    Window *w = ws.get(h);
    if (!w)
        return previous;
    uintptr_t old = ws.capture;
    ws.capture = w->h;
    if (old != w->h)
        if (Window *o = ws.get(old))
            ws.send(o, WM_CAPTURECHANGED, 0, LPARAM(w->h));
    return previous;
}

CEAPI BOOL ReleaseCapture(void) {
    auto &ws = wins();
    uintptr_t old = ws.capture;
    ws.capture = 0;
    if (Window *o = ws.get(old))
        ws.send(o, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

CEAPI HWND GetCapture(void) {
    auto &ws = wins();
    Window *c = ws.get(ws.capture);
    return c && c->thread == kern().self() ? toHwnd(c) : nullptr;
}
