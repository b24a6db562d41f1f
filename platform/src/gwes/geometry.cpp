// Positions and sizes of windows.
#include "gwes/paint/paint.h"
#include "gwes/win_internal.h"

using namespace emul;

namespace {

void moveTree(Window *w, int dx, int dy) {
    w->left += dx;
    w->right += dx;
    w->top += dy;
    w->bottom += dy;
    for (Window *c : w->children)
        moveTree(c, dx, dy);
}

// Moves and sizes a window; x/y relative to the parent's client area (screen for top-level).
void place(Window *w, int x, int y, int cx, int cy) {
    int ox = w->parent ? w->parent->left : 0, oy = w->parent ? w->parent->top : 0;
    moveTree(w, ox + x - w->left, oy + y - w->top);
    w->right = w->left + cx;
    w->bottom = w->top + cy;
}

} // namespace

CEAPI BOOL SetWindowPos(HWND h, HWND after, int x, int y, int cx, int cy, UINT flags) {
    auto &ws = wins();
    uintptr_t a = reinterpret_cast<uintptr_t>(after);
    Fields f;
    f.hwnd("hwnd", reinterpret_cast<uintptr_t>(h));
    if (ws.get(a))
        f.hwnd("after", a);
    else
        f.num("after", int64_t(intptr_t(a)));
    dev().journal().call("SetWindowPos",
                         f.num("x", x).num("y", y).num("cx", cx).num("cy", cy).num("flags", flags));
    Window *w = needWindow(h);
    if (!w || w == ws.desktop)
        return FALSE;
    RECT before{w->left, w->top, w->right, w->bottom};
    bool wasShown = isVisibleChain(w);
    int nx = x, ny = y, ncx = cx, ncy = cy;
    int ox = w->parent ? w->parent->left : 0, oy = w->parent ? w->parent->top : 0;
    if (flags & SWP_NOMOVE)
        nx = w->left - ox, ny = w->top - oy;
    if (flags & SWP_NOSIZE)
        ncx = w->right - w->left, ncy = w->bottom - w->top;
    place(w, nx, ny, ncx, ncy);
    if (flags & SWP_SHOWWINDOW)
        w->style |= WS_VISIBLE;
    if (flags & SWP_HIDEWINDOW)
        w->style &= ~WS_VISIBLE;
    if (!(flags & SWP_NOZORDER) && !w->parent) {
        if (after == HWND_TOPMOST)
            w->topmost = true;
        else if (after == HWND_NOTOPMOST)
            w->topmost = false;
        if (after == HWND_BOTTOM) {
            ws.topLevel.erase(std::remove(ws.topLevel.begin(), ws.topLevel.end(), w),
                              ws.topLevel.end());
            ws.topLevel.push_back(w);
        } else if (Window *ref = ws.get(a)) {
            if (ref != w && !ref->parent) {
                ws.topLevel.erase(std::remove(ws.topLevel.begin(), ws.topLevel.end(), w),
                                  ws.topLevel.end());
                auto pos = std::find(ws.topLevel.begin(), ws.topLevel.end(), ref);
                ws.topLevel.insert(pos == ws.topLevel.end() ? pos : pos + 1, w);
            }
        } else {
            ws.raise(w);
        }
    }
    if (wasShown)
        exposeScreen(before);
    exposeScreen(RECT{w->left, w->top, w->right, w->bottom});
    return TRUE;
}

CEAPI BOOL MoveWindow(HWND h, int x, int y, int cx, int cy, BOOL) {
    Window *w = needWindow(h);
    if (!w || w == wins().desktop)
        return FALSE;
    RECT before{w->left, w->top, w->right, w->bottom};
    place(w, x, y, cx, cy);
    if (isVisibleChain(w)) {
        exposeScreen(before);
        exposeScreen(RECT{w->left, w->top, w->right, w->bottom});
    }
    wins().send(w, WM_SIZE, 0, MAKELPARAM(cx, cy));
    return TRUE;
}

CEAPI BOOL GetWindowRect(HWND h, LPRECT r) {
    Window *w = needWindow(h);
    if (!w || !r)
        return FALSE;
    *r = RECT{w->left, w->top, w->right, w->bottom};
    return TRUE;
}

CEAPI BOOL GetClientRect(HWND h, LPRECT r) {
    Window *w = needWindow(h);
    if (!w || !r)
        return FALSE;
    *r = RECT{0, 0, w->right - w->left, w->bottom - w->top};
    return TRUE;
}

CEAPI BOOL ScreenToClient(HWND h, LPPOINT p) {
    Window *w = needWindow(h);
    if (!w || !p)
        return FALSE;
    p->x -= w->left;
    p->y -= w->top;
    return TRUE;
}

CEAPI BOOL ClientToScreen(HWND h, LPPOINT p) {
    Window *w = needWindow(h);
    if (!w || !p)
        return FALSE;
    p->x += w->left;
    p->y += w->top;
    return TRUE;
}
