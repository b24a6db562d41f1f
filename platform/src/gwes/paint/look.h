// The drawing pieces the built-in controls share: frames, edges and text in the dialog font.
#pragma once

#include "gwes/paint/paint.h"

#include "emul/window_view.h"

#include <string>

namespace emul {
struct ListScrollBar; // gwes/controls/combobox.h
} // namespace emul

namespace emul::look {

inline COLORREF sys(int index) {
    return GetSysColor(index);
}
void fill(HDC dc, const RECT &r, COLORREF c);
// A one-pixel frame just inside `r`.
void frame(HDC dc, const RECT &r, COLORREF c);
// A raised (or, pressed, sunken) button edge: a dark outer line, light and shadow inside.
void buttonEdge(HDC dc, const RECT &r, bool pressed);
void hline(HDC dc, int x0, int x1, int y, COLORREF c);
void vline(HDC dc, int x, int y0, int y1, COLORREF c);
// The text of a window in the dialog font, `&` marks underlined unless `format` has DT_NOPREFIX.
void text(HDC dc, const std::u16string &s, RECT r, UINT format, COLORREF color);
int textHeight(HDC dc);
int textWidth(HDC dc, const std::u16string &s);
// What the parent's WM_CTLCOLOR* answer says: the brush (null: the default), with the DC's
// text colour and mode set by the answer.
HBRUSH ctlColor(Window *w, UINT msg, HDC dc);
// The control's state as a person sees it.
WindowInfo infoOf(Window *w);
bool focused(Window *w);

// One kind each (controls_look.cpp, commctrl_look.cpp).
void paintButton(Window *w, HDC dc, const RECT &client, const WindowInfo &info);
void paintStatic(Window *w, HDC dc, const RECT &client);
void paintEdit(Window *w, HDC dc, const RECT &client, bool ink);
void paintCombo(Window *w, HDC dc, const RECT &client, const WindowInfo &info);
void paintList(Window *w, HDC dc, const RECT &client, const WindowInfo &info);
// A list's or an edit box's scroll bar: its arrows, its track and its thumb.
void paintScrollBar(HDC dc, const ListScrollBar &s);
void paintTrackbar(Window *w, HDC dc, const RECT &client, const WindowInfo &info);
void paintTabs(Window *w, HDC dc, const RECT &client, const WindowInfo &info);
void paintMenuBar(Window *w, HDC dc, const RECT &client);

} // namespace emul::look
