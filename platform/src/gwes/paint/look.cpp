// The drawing pieces the built-in controls share, and which control paints how.
#include "gwes/paint/look.h"

#include "emul/text.h"

namespace emul::look {

void fill(HDC dc, const RECT &r, COLORREF c) {
    SetBkColor(dc, c);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

void hline(HDC dc, int x0, int x1, int y, COLORREF c) {
    fill(dc, RECT{x0, y, x1, y + 1}, c);
}

void vline(HDC dc, int x, int y0, int y1, COLORREF c) {
    fill(dc, RECT{x, y0, x + 1, y1}, c);
}

void frame(HDC dc, const RECT &r, COLORREF c) {
    hline(dc, r.left, r.right, r.top, c);
    hline(dc, r.left, r.right, r.bottom - 1, c);
    vline(dc, r.left, r.top, r.bottom, c);
    vline(dc, r.right - 1, r.top, r.bottom, c);
}

void buttonEdge(HDC dc, const RECT &r, bool pressed) {
    frame(dc, r, sys(COLOR_WINDOWFRAME));
    RECT in{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    COLORREF light = sys(COLOR_BTNHIGHLIGHT), shadow = sys(COLOR_BTNSHADOW);
    if (pressed) {
        hline(dc, in.left, in.right, in.top, shadow);
        vline(dc, in.left, in.top, in.bottom, shadow);
        return;
    }
    hline(dc, in.left, in.right - 1, in.top, light);
    vline(dc, in.left, in.top, in.bottom - 1, light);
    hline(dc, in.left, in.right, in.bottom - 1, shadow);
    vline(dc, in.right - 1, in.top, in.bottom, shadow);
}

void text(HDC dc, const std::u16string &s, RECT r, UINT format, COLORREF color) {
    HGDIOBJ old = SelectObject(dc, controlFont());
    SetTextColor(dc, color);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, reinterpret_cast<LPCWSTR>(s.c_str()), int(s.size()), &r, format);
    SelectObject(dc, old);
}

int textHeight(HDC dc) {
    HGDIOBJ old = SelectObject(dc, controlFont());
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    return tm.tmHeight;
}

int textWidth(HDC dc, const std::u16string &s) {
    HGDIOBJ old = SelectObject(dc, controlFont());
    SIZE size{};
    GetTextExtentPoint32W(dc, reinterpret_cast<LPCWSTR>(s.c_str()), int(s.size()), &size);
    SelectObject(dc, old);
    return size.cx;
}

HBRUSH ctlColor(Window *w, UINT msg, HDC dc) {
    Window *to = w->parent ? w->parent : w;
    LRESULT r = wins().send(to, msg, reinterpret_cast<WPARAM>(dc), LPARAM(w->h));
    if (!r || !wins().get(toHwnd(w)))
        r = defaultCtlColor(to, msg, dc);
    return reinterpret_cast<HBRUSH>(r);
}

WindowInfo infoOf(Window *w) {
    std::optional<WindowInfo> i = dev().windows().view().window(w->h);
    return i ? *i : WindowInfo{};
}

bool focused(Window *w) {
    return wins().focusOfForeground() == w->h;
}

} // namespace emul::look

namespace emul {

bool paintControl(Window *w, HDC dc, const RECT &client) {
    using namespace look;
    ControlsFont font(w);
    // A text box's state is its text: no copy of a long document for every paint.
    if (w->className == u"Edit" || w->className == u"richink") {
        paintEdit(w, dc, client, w->className == u"richink");
        return true;
    }
    WindowInfo info = infoOf(w);
    switch (info.kind) {
    case ControlKind::PushButton:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
    case ControlKind::GroupBox:
        paintButton(w, dc, client, info);
        return true;
    case ControlKind::Static:
        paintStatic(w, dc, client);
        return true;
    case ControlKind::Edit:
    case ControlKind::Ink:
        paintEdit(w, dc, client, info.kind == ControlKind::Ink);
        return true;
    case ControlKind::ComboBox:
        paintCombo(w, dc, client, info);
        return true;
    case ControlKind::ListBox:
        paintList(w, dc, client, info);
        return true;
    case ControlKind::Trackbar:
        paintTrackbar(w, dc, client, info);
        return true;
    case ControlKind::Tabs:
        paintTabs(w, dc, client, info);
        return true;
    case ControlKind::MenuBar:
        paintMenuBar(w, dc, client);
        return true;
    default:
        return false;
    }
}

} // namespace emul
