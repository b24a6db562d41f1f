// What a window holds for its program: the long slots, the user data and the text.
#include "gwes/paint/paint.h"
#include "gwes/win_internal.h"
#include "kernel/user_pointers.h"

using namespace emul;

namespace {

LONG_PTR getLong(HWND h, int index, bool narrow) {
    Window *w = needWindow(h);
    if (!w)
        return 0;
    switch (index) {
    case GWL_WNDPROC:
        return narrow ? LONG_PTR(wins().procToken(w->proc)) : reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_STYLE:
        return LONG_PTR(LONG(w->style));
    case GWL_EXSTYLE:
        return LONG_PTR(LONG(w->exStyle));
    case GWL_ID:
        return w->id;
    case GWL_USERDATA:
        return w->userData;
    }
    if (index < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto it = w->longs.find(index);
    return it == w->longs.end() ? 0 : it->second;
}

LONG_PTR setLong(HWND h, int index, LONG_PTR v, bool narrow) {
    Window *w = needWindow(h);
    if (!w)
        return 0;
    LONG_PTR old = getLong(h, index, narrow);
    switch (index) {
    case GWL_WNDPROC:
        w->proc = narrow ? wins().tokenProc(uintptr_t(uint32_t(v))) : reinterpret_cast<WNDPROC>(v);
        return old;
    case GWL_STYLE: {
        bool wasShown = isVisibleChain(w);
        w->style = uint32_t(v);
        // Shown or hidden this way, it paints or uncovers as ShowWindow would.
        if (wasShown != isVisibleChain(w))
            exposeScreen(RECT{w->left, w->top, w->right, w->bottom});
        else
            invalidate(w, nullptr, true);
        return old;
    }
    case GWL_EXSTYLE:
        w->exStyle = uint32_t(v);
        // The task bar shows the OK button of the program in front.
        if (w->h == wins().foreground)
            foregroundChanged();
        return old;
    case GWL_ID:
        w->id = int(v);
        return old;
    case GWL_USERDATA:
        w->userData = v;
        return old;
    }
    if (index < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    w->longs[index] = v;
    return old;
}

} // namespace

CEAPI LONG GetWindowLongW(HWND h, int index) {
    return LONG(getLong(h, index, true));
}
CEAPI LONG SetWindowLongW(HWND h, int index, LONG v) {
    return LONG(setLong(h, index, v, true));
}
CEAPI LONG_PTR GetWindowLongPtrW(HWND h, int index) {
    return getLong(h, index, false);
}
CEAPI LONG_PTR SetWindowLongPtrW(HWND h, int index, LONG_PTR v) {
    return setLong(h, index, v, false);
}

CEAPI int GetWindowTextW(HWND h, LPWSTR buf, int max) {
    if (refusedPointer(buf))
        return 0;
    Window *w = needWindow(h);
    if (!w || !buf || max <= 0)
        return 0;
    return int(wins().send(w, WM_GETTEXT, WPARAM(max), reinterpret_cast<LPARAM>(buf)));
}

CEAPI int GetWindowTextLengthW(HWND h) {
    Window *w = needWindow(h);
    return w ? int(wins().send(w, WM_GETTEXTLENGTH, 0, 0)) : 0;
}

CEAPI BOOL SetWindowTextW(HWND h, LPCWSTR text) {
    if (refusedPointer(text))
        return FALSE;
    Window *w = needWindow(h);
    if (!w)
        return FALSE;
    return BOOL(wins().send(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : u"")));
}
