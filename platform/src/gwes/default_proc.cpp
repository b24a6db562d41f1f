// What DefWindowProcW does for a window: its text, painting, the hit test and WM_CLOSE.
#include "gwes/paint/paint.h"
#include "gwes/win_internal.h"
#include "kernel/user_pointers.h"

#include <algorithm>

namespace emul {

LRESULT defaultProc(Window *w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SETTEXT:
        if (refusedParam(lp))
            return FALSE;
        w->text = lp ? std::u16string(reinterpret_cast<const char16_t *>(lp)) : std::u16string();
        wins().changed();
        invalidate(w, nullptr, true);
        if (w->h == wins().foreground)
            foregroundChanged();
        return TRUE;
    case WM_GETTEXT: {
        if (refusedParam(lp))
            return 0;
        auto *buf = reinterpret_cast<char16_t *>(lp);
        if (!buf || wp == 0)
            return 0;
        size_t n = std::min(w->text.size(), size_t(wp - 1));
        std::copy(w->text.begin(), w->text.begin() + n, buf);
        buf[n] = 0;
        return LRESULT(n);
    }
    case WM_GETTEXTLENGTH:
        return LRESULT(w->text.size());
    case WM_PAINT:
        return defaultPaint(w);
    case WM_ERASEBKGND:
        return defaultErase(w, reinterpret_cast<HDC>(wp));
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        return defaultCtlColor(w, msg, reinterpret_cast<HDC>(wp));
    case WM_SETFONT:
        // The built-in controls draw their text in the font they are given.
        if (!w->builtinClass)
            return 0;
        w->font = reinterpret_cast<HFONT>(wp);
        if (w->className == u"Edit" || w->className == u"richink")
            editLayoutOf(w->h) = EditLayout{}; // its lines are measured in the new font
        if (LOWORD(lp))
            invalidate(w, nullptr, true);
        return 0;
    case WM_GETFONT:
        return w->builtinClass ? reinterpret_cast<LRESULT>(w->font) : 0;
    case WM_NCHITTEST:
        return HTCLIENT; // no caption or frame: the whole window is its client area
    case WM_CLOSE:
        if (w->thread)
            wins().destroy(w);
        return 0;
    }
    return 0;
}

} // namespace emul
