// How the window system's own controls look: buttons, check boxes, radio buttons, group boxes,
// static text and icons, edit boxes, and the combo box's field and open list.
#include "gwes/paint/look.h"

#include "gwes/controls/combobox.h"

#include "emul/text.h"

#include <algorithm>

namespace emul::look {

namespace {

constexpr int kBoxSize = 13; // check boxes and radio buttons

// A radio button's ring and dot, one row of 12 pixels a string: 'o' ring, 'w' inside.
constexpr const char *kRadio[12] = {
    "....oooo....", "..oowwwwoo..", ".owwwwwwwwo.", ".owwwwwwwwo.", "owwwwwwwwwwo", "owwwwwwwwwwo",
    "owwwwwwwwwwo", "owwwwwwwwwwo", ".owwwwwwwwo.", ".owwwwwwwwo.", "..oowwwwoo..", "....oooo....",
};

void checkMark(HDC dc, int x, int y, COLORREF c) {
    // A tick three pixels thick: down to the right, then up to the top right corner.
    for (int i = 0; i < 7; ++i) {
        int cx = x + 2 + i, cy = i < 3 ? y + 4 + i : y + 6 - (i - 2);
        vline(dc, cx, cy, cy + 3, c);
    }
}

// A box or ring under the pen (or the space bar) is filled with the button face colour.
void checkBox(HDC dc, int x, int y, bool checked, bool enabled, bool pressed) {
    RECT box{x, y, x + kBoxSize, y + kBoxSize};
    fill(dc, box, sys(enabled && !pressed ? COLOR_WINDOW : COLOR_BTNFACE));
    frame(dc, box, sys(COLOR_WINDOWFRAME));
    if (checked)
        checkMark(dc, x + 1, y + 1, sys(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
}

void radio(HDC dc, int x, int y, bool checked, bool enabled, bool pressed) {
    COLORREF ring = sys(COLOR_WINDOWFRAME);
    COLORREF in = sys(enabled && !pressed ? COLOR_WINDOW : COLOR_BTNFACE);
    for (int r = 0; r < 12; ++r)
        for (int c = 0; c < 12; ++c)
            if (kRadio[r][c] != '.')
                SetPixel(dc, x + c, y + r, kRadio[r][c] == 'o' ? ring : in);
    if (checked) {
        COLORREF dot = sys(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
        fill(dc, RECT{x + 4, y + 5, x + 8, y + 7}, dot);
        fill(dc, RECT{x + 5, y + 4, x + 7, y + 8}, dot);
    }
}

void fillBrush(HDC dc, const RECT &r, HBRUSH brush) {
    FillRect(dc, &r, brush);
}

COLORREF labelColor(Window *w, HDC dc) {
    return (w->style & WS_DISABLED) ? sys(COLOR_GRAYTEXT) : GetTextColor(dc);
}

bool isPushButton(const Window *w) {
    uint32_t type = w->style & 0xF;
    return equalsNoCase(w->className, u"Button") &&
           (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

// As the dialog manager shows it: the push button with the focus looks the default one, and
// the dialog's default button does while no other push button has the focus.
bool looksDefault(Window *w) {
    bool isDefault = (w->style & 0xF) == BS_DEFPUSHBUTTON;
    Window *dialog = w->parent;
    if (!dialog || dialog->className != u"Dialog")
        return isDefault;
    if (focused(w))
        return true;
    Window *f = wins().get(wins().focusOfForeground());
    return isDefault && !(f && f->parent == dialog && isPushButton(f));
}

void pushButton(Window *w, HDC dc, const RECT &client) {
    ctlColor(w, WM_CTLCOLORBTN, dc);
    bool pressed = (wins().send(w, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
    fill(dc, client, sys(COLOR_BTNFACE));
    RECT edge = client;
    if (looksDefault(w)) {
        frame(dc, edge, sys(COLOR_WINDOWFRAME));
        InflateRect(&edge, -1, -1);
    }
    buttonEdge(dc, edge, pressed);
    RECT label = edge;
    if (pressed)
        OffsetRect(&label, 1, 1);
    COLORREF c = (w->style & WS_DISABLED) ? sys(COLOR_GRAYTEXT) : sys(COLOR_BTNTEXT);
    text(dc, w->text, label, DT_CENTER | DT_VCENTER | DT_SINGLELINE, c);
    if (focused(w)) {
        RECT f = edge;
        InflateRect(&f, -3, -3);
        DrawFocusRect(dc, &f);
    }
}

void groupBox(Window *w, HDC dc, const RECT &client) {
    HBRUSH brush = ctlColor(w, WM_CTLCOLORSTATIC, dc);
    COLORREF c = labelColor(w, dc);
    int th = textHeight(dc);
    RECT box{client.left, client.top + th / 2, client.right, client.bottom};
    frame(dc, box, sys(COLOR_BTNSHADOW));
    if (w->text.empty())
        return;
    RECT label{client.left + 6, client.top, client.left + 6, client.top + th};
    label.right += textWidth(dc, w->text) + 4;
    label.right = std::min(label.right, client.right - 6);
    fillBrush(dc, label, brush);
    OffsetRect(&label, 2, 0);
    text(dc, w->text, label, DT_LEFT | DT_SINGLELINE, c);
}

} // namespace

void paintButton(Window *w, HDC dc, const RECT &client, const WindowInfo &info) {
    if (info.kind == ControlKind::PushButton)
        return pushButton(w, dc, client);
    if (info.kind == ControlKind::GroupBox)
        return groupBox(w, dc, client);
    HBRUSH brush = ctlColor(w, WM_CTLCOLORSTATIC, dc);
    COLORREF c = labelColor(w, dc);
    fillBrush(dc, client, brush);
    int y = client.top + (client.bottom - client.top - kBoxSize) / 2;
    bool enabled = !(w->style & WS_DISABLED);
    bool checked = info.checked.value_or(false);
    bool pressed = (wins().send(w, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
    if (info.kind == ControlKind::CheckBox)
        checkBox(dc, client.left, y, checked, enabled, pressed);
    else
        radio(dc, client.left, y + 1, checked, enabled, pressed);
    RECT label{client.left + kBoxSize + 4, client.top, client.right, client.bottom};
    text(dc, w->text, label, DT_LEFT | DT_VCENTER | DT_SINGLELINE, c);
    if (focused(w)) {
        int th = textHeight(dc);
        RECT f{label.left - 1, (client.top + client.bottom - th) / 2 - 1, 0, 0};
        f.right = std::min<LONG>(label.left + textWidth(dc, w->text) + 1, client.right);
        f.bottom = f.top + th + 2;
        DrawFocusRect(dc, &f);
    }
}

void paintStatic(Window *w, HDC dc, const RECT &client) {
    HBRUSH brush = ctlColor(w, WM_CTLCOLORSTATIC, dc);
    COLORREF c = labelColor(w, dc);
    fillBrush(dc, client, brush);
    uint32_t type = w->style & 0x1F;
    if (type == SS_ICON) {
        // At the large icon size whatever the image's own: a small image is stretched.
        if (HANDLE icon = staticImageOf(w))
            DrawIconEx(dc, 0, 0, reinterpret_cast<HICON>(icon), 0, 0, 0, nullptr,
                       DI_NORMAL | DI_DEFAULTSIZE);
        return;
    }
    UINT format = DT_LEFT | DT_WORDBREAK;
    if (type == SS_CENTER)
        format = DT_CENTER | DT_WORDBREAK;
    else if (type == SS_RIGHT)
        format = DT_RIGHT | DT_WORDBREAK;
    else if (type == SS_LEFTNOWORDWRAP)
        format = DT_LEFT;
    if (w->style & SS_CENTERIMAGE)
        format = (format & ~UINT(DT_WORDBREAK)) | DT_VCENTER | DT_SINGLELINE;
    if (w->style & SS_NOPREFIX)
        format |= DT_NOPREFIX;
    text(dc, w->text, client, format, c);
}

void paintCombo(Window *w, HDC dc, const RECT &client, const WindowInfo &info) {
    HBRUSH brush = ctlColor(w, WM_CTLCOLOREDIT, dc);
    COLORREF c = labelColor(w, dc);
    RECT field{client.left, client.top, client.right, client.top + kComboFieldHeight};
    field.bottom = std::min(field.bottom, client.bottom);
    fillBrush(dc, field, brush);
    frame(dc, field, sys(COLOR_WINDOWFRAME));
    // The button that opens the list, with its arrow.
    RECT button{field.right - 1 - kBoxSize, field.top + 1, field.right - 1, field.bottom - 1};
    fill(dc, button, sys(COLOR_BTNFACE));
    vline(dc, button.left, button.top, button.bottom, sys(COLOR_WINDOWFRAME));
    int ax = button.left + 3, ay = (button.top + button.bottom) / 2 - 2;
    for (int i = 0; i < 4; ++i)
        hline(dc, ax + i, ax + 7 - i, ay + i, sys(COLOR_BTNTEXT));
    RECT label{field.left + 2, field.top + 2, button.left - 1, field.bottom - 2};
    // The focused box is marked across its whole field, empty or not; while its list is open the
    // list's mark shows the choice instead.
    bool marked = focused(w) && !comboList(w);
    if (marked) {
        fill(dc, label, sys(COLOR_HIGHLIGHT));
        c = sys(COLOR_HIGHLIGHTTEXT);
    }
    RECT shown = label;
    OffsetRect(&shown, 1, 0);
    text(dc, info.label, shown, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, c);
    if (marked)
        DrawFocusRect(dc, &label);
}

namespace {

// An arrow of four rows in the middle of a square of the list's scroll bar.
void scrollArrow(HDC dc, const RECT &square, bool up) {
    fill(dc, square, sys(COLOR_BTNFACE));
    buttonEdge(dc, square, false);
    int ax = (square.left + square.right) / 2 - 3, ay = (square.top + square.bottom) / 2 - 2;
    for (int i = 0; i < 4; ++i)
        hline(dc, ax + i, ax + 7 - i, up ? ay + 3 - i : ay + i, sys(COLOR_BTNTEXT));
}

} // namespace

void paintList(Window *w, HDC dc, const RECT &client, const WindowInfo &info) {
    fill(dc, client, sys(COLOR_WINDOW));
    frame(dc, client, sys(COLOR_WINDOWFRAME));
    const std::vector<std::u16string> none;
    const std::vector<std::u16string> &items = info.items ? *info.items : none;
    int top = info.topIndex.value_or(0);
    for (size_t i = 0; i < info.itemBoxes.size(); ++i) {
        const WindowInfo::Box &b = info.itemBoxes[i];
        size_t item = size_t(top) + i;
        if (item >= items.size())
            break;
        RECT row{b.left - w->left, b.top - w->top, b.right - w->left, b.bottom - w->top};
        bool marked = int(item) == info.selected;
        if (marked)
            fill(dc, row, sys(COLOR_HIGHLIGHT));
        RECT label{row.left + 2, row.top, row.right - 1, row.bottom};
        text(dc, items[item], label, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX,
             sys(marked ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    }
    if (info.itemBoxes.empty() || info.itemBoxes[0].right >= w->right - 1)
        return;
    // Every list shows whole rows inside its border: the combo box's and the file dialog's.
    int rows = (client.bottom - client.top - 2) / kListItemHeight;
    paintScrollBar(dc, listScrollBar(w, int(items.size()), rows, top));
}

void paintScrollBar(HDC dc, const ListScrollBar &s) {
    fill(dc, s.bar, sys(COLOR_SCROLLBAR));
    scrollArrow(dc, s.up, true);
    scrollArrow(dc, s.down, false);
    if (IsRectEmpty(&s.thumb))
        return;
    fill(dc, s.thumb, sys(COLOR_BTNFACE));
    buttonEdge(dc, s.thumb, false);
}

} // namespace emul::look
