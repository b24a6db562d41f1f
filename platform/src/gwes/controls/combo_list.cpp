// The combo box's drop-down list: a pop-up window of the class "ComboLBox", owned by the box's
// top-level window and above every other window, made when the list opens and destroyed when it
// closes. It shows the box's entries, one row of kListItemHeight pixels each inside a one-pixel
// border, as many rows as the program's list height allows (fewer when there are fewer entries).
// When there are more entries than rows, the right kListScrollWidth pixels are a scroll bar: its
// top square scrolls a row up, its bottom square a row down, a tap above or below its thumb a
// page that way, and the thumb follows the pen that drags it.
//
// While it is open it holds the pen: a tap on an entry chooses it, a tap anywhere off the list
// closes it without a change and does nothing else, and so does a stroke that begins on an
// entry and lifts off the list.
#include "gwes/controls/combobox.h"
#include "gwes/paint/paint.h"

#include <algorithm>

namespace emul {

namespace {

int entries(const ComboListData *d) {
    return int(d->box().items.size());
}

bool scrolls(const ComboListData *d) {
    return entries(d) > d->rows;
}

void clampTop(ComboListData *d) {
    d->top = std::clamp(d->top, 0, std::max(0, entries(d) - d->rows));
}

bool inRect(const RECT &r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

void scrolled(Window *w, ComboListData *d) {
    clampTop(d);
    invalidate(w, nullptr, true);
    wins().changed();
}

void scrollBarTap(Window *w, ComboListData *d, int x, int y) {
    ListScrollBar s = listScrollBar(w);
    if (inRect(s.up, x, y))
        --d->top;
    else if (inRect(s.down, x, y))
        ++d->top;
    else if (inRect(s.thumb, x, y))
        d->thumbGrab = y - s.thumb.top;
    else if (y < s.thumb.top)
        d->top -= d->rows;
    else
        d->top += d->rows;
    scrolled(w, d);
}

// The thumb held at `thumbGrab` follows the pen to `y`: the first entry shown is the one whose
// place the thumb's top has reached, to the nearest.
void dragThumb(Window *w, ComboListData *d, int y) {
    ListScrollBar s = listScrollBar(w);
    int travel = (s.down.top - s.up.bottom) - (s.thumb.bottom - s.thumb.top);
    int hidden = entries(d) - d->rows;
    if (travel <= 0 || hidden <= 0)
        return;
    int top = MulDiv(y - d->thumbGrab - s.up.bottom, hidden, travel);
    if (top == d->top)
        return;
    d->top = top;
    scrolled(w, d);
}

} // namespace

void ComboListData::inspect(const Window &w, WindowInfo &s) const {
    inspectItems(box().items, highlight, s);
    s.topIndex = top;
    int n = int(box().items.size());
    int right = w.right - 1 - (n > rows ? kListScrollWidth : 0);
    for (int i = top; i < std::min(n, top + rows); ++i) {
        int y = w.top + 1 + (i - top) * kListItemHeight;
        s.itemBoxes.push_back({w.left + 1, y, right, y + kListItemHeight});
    }
}

ComboListData *listData(Window *list) {
    return list ? dynamic_cast<ComboListData *>(list->control.get()) : nullptr;
}

Window *comboList(Window *combo) {
    auto *d = dynamic_cast<ComboData *>(combo->control.get());
    return d && d->list ? wins().get(d->list) : nullptr;
}

void listMark(Window *list, int i) {
    ComboListData *d = listData(list);
    if (!d)
        return;
    int n = entries(d);
    d->highlight = n ? std::clamp(i, 0, n - 1) : -1;
    if (d->highlight >= 0) {
        if (d->highlight < d->top)
            d->top = d->highlight;
        else if (d->highlight >= d->top + d->rows)
            d->top = d->highlight - d->rows + 1;
    }
    clampTop(d);
    invalidate(list, nullptr, true);
    wins().changed();
}

ListScrollBar listScrollBar(Window *list) {
    ComboListData *d = listData(list);
    return d ? listScrollBar(list, entries(d), d->rows, d->top) : listScrollBar(list, 0, 1, 0);
}

ListScrollBar listScrollBar(Window *list, int n, int rows, int top) {
    int cx = list->right - list->left, cy = list->bottom - list->top;
    return scrollBarIn(RECT{cx - 1 - kListScrollWidth, 1, cx - 1, cy - 1}, n, rows, top);
}

ListScrollBar scrollBarIn(const RECT &bar, int n, int rows, int top) {
    ListScrollBar s;
    int side = kListScrollWidth;
    s.bar = bar;
    s.up = RECT{s.bar.left, s.bar.top, s.bar.right, s.bar.top + side};
    s.down = RECT{s.bar.left, s.bar.bottom - side, s.bar.right, s.bar.bottom};
    int track = s.down.top - s.up.bottom;
    if (track <= 0 || rows <= 0 || n <= rows)
        return s;
    int thumb = std::max(side / 2, track * rows / n);
    int at = s.up.bottom + (track - thumb) * std::clamp(top, 0, n - rows) / (n - rows);
    s.thumb = RECT{s.bar.left, at, s.bar.right, at + thumb};
    return s;
}

int listEntryAt(Window *list, int x, int y) {
    ComboListData *d = listData(list);
    int cx = list->right - list->left, cy = list->bottom - list->top;
    if (!d || x < 1 || y < 1 || x >= cx - 1 || y >= cy - 1)
        return -1;
    if (scrolls(d) && x >= cx - 1 - kListScrollWidth)
        return -1;
    int row = (y - 1) / kListItemHeight;
    int i = d->top + row;
    return row < d->rows && i < entries(d) ? i : -1;
}

void comboOpenList(Window *combo) {
    ComboData *d = controlData<ComboData>(combo);
    if (comboList(combo))
        return;
    HWND ch = toHwnd(combo);
    comboNotify(combo, CBN_DROPDOWN); // the parent may fill the list now
    combo = wins().get(ch);
    if (!combo)
        return;
    int n = int(d->items.size());
    int room = std::max(0, d->dropHeight - kComboClosedHeight - 2) / kListItemHeight;
    int rows = std::max(1, std::min(n, room));
    int height = rows * kListItemHeight + 2;
    int y = combo->bottom;
    if (y + height > kScreenHeight && combo->top - height >= 0)
        y = combo->top - height;
    HWND lh = CreateWindowExW(0, u"ComboLBox", u"",
                              WS_POPUP | WS_BORDER | (n > rows ? WS_VSCROLL : 0), combo->left, y,
                              combo->right - combo->left, height, ch, nullptr, nullptr, nullptr);
    Window *list = wins().get(lh);
    if (!list)
        return;
    auto l = std::make_shared<ComboListData>();
    l->combo = combo->h;
    l->entries = combo->control;
    l->rows = rows;
    list->control = l;
    d->list = list->h;
    // Shown above everything without taking the foreground: the box keeps the focus and its keys.
    list->topmost = true;
    list->style |= WS_VISIBLE;
    wins().raise(list);
    listMark(list, d->sel);
    invalidate(combo, nullptr, true); // the field shows its mark only while the list is closed
    wins().changed();
}

void comboCloseList(Window *combo, bool ok, int choice) {
    ComboData *d = controlData<ComboData>(combo);
    Window *list = comboList(combo);
    if (!list)
        return;
    auto &ws = wins();
    d->list = 0;
    d->penTrack = false;
    if (ws.capture == list->h || ws.capture == combo->h)
        ReleaseCapture();
    ws.destroy(list);
    bool chosen = ok && choice >= 0 && size_t(choice) < d->items.size();
    if (chosen)
        d->sel = choice;
    invalidate(combo, nullptr, true);
    ws.changed();
    HWND h = toHwnd(combo);
    comboNotify(combo, ok ? CBN_SELENDOK : CBN_SELENDCANCEL);
    if ((combo = ws.get(h)) != nullptr)
        comboNotify(combo, CBN_CLOSEUP);
    if (chosen && (combo = ws.get(h)) != nullptr)
        comboNotify(combo, CBN_SELCHANGE);
}

LRESULT CALLBACK comboListProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = wins().get(h);
    if (!w)
        return 0;
    ComboListData *d = listData(w);
    Window *combo = d ? wins().get(d->combo) : nullptr;
    if (!combo)
        return defaultProc(w, msg, wp, lp);
    int x = int16_t(LOWORD(lp)), y = int16_t(HIWORD(lp));
    int cx = w->right - w->left, cy = w->bottom - w->top;
    switch (msg) {
    case WM_LBUTTONDOWN:
        if (x < 0 || y < 0 || x >= cx || y >= cy) {
            comboCloseList(combo, false, -1);
            return 0;
        }
        if (scrolls(d) && x >= cx - 1 - kListScrollWidth) {
            scrollBarTap(w, d, x, y);
            return 0;
        }
        d->tracking = true;
        if (int i = listEntryAt(w, x, y); i >= 0)
            listMark(w, i);
        return 0;
    case WM_MOUSEMOVE:
        if (d->thumbGrab >= 0)
            dragThumb(w, d, y);
        else if (d->tracking)
            if (int i = listEntryAt(w, x, y); i >= 0 && i != d->highlight)
                listMark(w, i);
        return 0;
    case WM_LBUTTONUP:
        d->thumbGrab = -1;
        if (!d->tracking)
            return 0;
        d->tracking = false;
        if (int i = listEntryAt(w, x, y); i >= 0)
            comboCloseList(combo, true, i);
        else if (x < 0 || y < 0 || x >= cx || y >= cy)
            comboCloseList(combo, false, -1); // dragged off the list: the user changed their mind
        return 0;
    }
    return defaultProc(w, msg, wp, lp);
}

} // namespace emul
