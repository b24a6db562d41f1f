// The Edit control: typed characters, backspace, and the multi-line box's line breaks; and the
// ink control of the notes program, which takes typed text as a multi-line box does.
#include "gwes/controls/controls.h"

namespace emul {

namespace {

constexpr UINT kEnChange = 0x0300;

LRESULT textProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, bool alwaysMulti) {
    Window *w = wins().get(h);
    if (!w)
        return 0;
    switch (msg) {
    case WM_CHAR: {
        char16_t c = char16_t(wp);
        bool multi = alwaysMulti || (w->style & ES_MULTILINE) != 0;
        if (c == 8) {
            if (w->text.empty())
                return 0;
            size_t n =
                w->text.size() >= 2 && w->text.compare(w->text.size() - 2, 2, u"\r\n") == 0 ? 2 : 1;
            w->text.erase(w->text.size() - n);
        } else if (c == 13 && multi) {
            w->text += u"\r\n";
        } else if (c == 9 && multi) {
            w->text += c;
        } else if (c >= 32 && c != 127) {
            w->text += c;
        } else {
            return 0;
        }
        wins().changed();
        notifyParent(w, kEnChange);
        return 0;
    }
    case WM_SETTEXT:
        defaultProc(w, msg, wp, lp);
        notifyParent(w, kEnChange);
        return TRUE;
    case WM_LBUTTONDOWN:
        SetFocus(h);
        return 0;
    }
    return defaultProc(w, msg, wp, lp);
}

} // namespace

LRESULT CALLBACK editProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    return textProc(h, msg, wp, lp, false);
}

// The text typed into an ink document is kept as the window's text; the caret stays at its end,
// so the arrow keys that reach it move nothing.
LRESULT CALLBACK richInkProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    return textProc(h, msg, wp, lp, true);
}

} // namespace emul
