// The tab control ("SysTabControl32"): a row of tabs, one selected. A tap on another tab asks the
// parent with TCN_SELCHANGING (a non-zero answer keeps the old tab), selects it and reports
// TCN_SELCHANGE, both through WM_NOTIFY; with the focus, Left and Right do the same for the tab
// beside the selected one. TCM_SETCURSEL changes the selection silently.
//
// Geometry: one row of tabs 20 pixels high (the dialog font's 13-pixel cell with padding), at
// the bottom with TCS_BOTTOM as handheld programs use it, else at the top. A tab is as wide as
// its text at 6 pixels a character plus 12, at least 40; tabs start 2 pixels in from the left.
// The display area leaves a 2-pixel border on every side and the row of tabs.
#include "gwes/controls/controls.h"

#include "emul/text.h"
#include "kernel/user_pointers.h"

#include <commctrl.h>

#include <algorithm>

namespace emul {

namespace {

constexpr int kTabHeight = 20, kBorder = 2;

struct TabData : ControlData {
    struct Item {
        std::u16string text;
        int image = -1;
        LPARAM param = 0;
        DWORD state = 0;
    };
    std::vector<Item> items;
    int sel = -1, focus = -1;
    DWORD exStyle = 0;
    LRESULT version = 0;
    bool pressed = false;
    void inspect(const Window &w, WindowInfo &s) const override;
};

TabData *data(Window *w) {
    return controlData<TabData>(w);
}

RECT itemRect(const Window *w, const TabData *d, int index) {
    int cy = w->bottom - w->top;
    int x = kBorder;
    for (int i = 0; i < index; ++i)
        x += std::max(40, int(d->items[size_t(i)].text.size()) * 6 + 12);
    int width = std::max(40, int(d->items[size_t(index)].text.size()) * 6 + 12);
    int top = (w->style & TCS_BOTTOM) ? cy - kTabHeight : 0;
    return RECT{x, top, x + width, top + kTabHeight};
}

RECT itemRect(Window *w, int index) {
    return itemRect(w, data(w), index);
}

void TabData::inspect(const Window &w, WindowInfo &s) const {
    inspectItems(items, sel, s);
    for (size_t i = 0; i < items.size(); ++i) {
        RECT r = itemRect(&w, this, int(i));
        s.itemBoxes.push_back({w.left + int(r.left), w.top + int(r.top), w.left + int(r.right),
                               w.top + int(r.bottom)});
    }
}

LRESULT notify(Window *w, UINT code) {
    // A control made without WS_CHILD tells its owner, as GetParent names it.
    Window *to = w->parent ? w->parent : w->owner;
    if (!to)
        return 0;
    NMHDR n{toHwnd(w), UINT_PTR(w->id), code};
    return wins().send(to, WM_NOTIFY, WPARAM(w->id), reinterpret_cast<LPARAM>(&n));
}

void copyItemOut(const TabData::Item &it, TCITEMW *out) {
    if ((out->mask & TCIF_TEXT) && out->pszText && out->cchTextMax > 0) {
        size_t n = std::min(it.text.size(), size_t(out->cchTextMax - 1));
        std::copy(it.text.begin(), it.text.begin() + long(n), out->pszText);
        out->pszText[n] = 0;
    }
    if (out->mask & TCIF_IMAGE)
        out->iImage = it.image;
    if (out->mask & TCIF_PARAM)
        out->lParam = it.param;
    if (out->mask & TCIF_STATE)
        out->dwState = it.state & out->dwStateMask;
}

void copyItemIn(const TCITEMW *in, TabData::Item *it) {
    if ((in->mask & TCIF_TEXT) && in->pszText)
        it->text = in->pszText;
    if (in->mask & TCIF_IMAGE)
        it->image = in->iImage;
    if (in->mask & TCIF_PARAM)
        it->param = in->lParam;
    if (in->mask & TCIF_STATE)
        it->state = (it->state & ~in->dwStateMask) | (in->dwState & in->dwStateMask);
}

// The first tab is selected as it comes; later ones move the selection along.
LRESULT insertItem(TabData *d, int index, const TCITEMW *in) {
    int count = int(d->items.size());
    if (!in || index < 0)
        return -1;
    int at = std::min(index, count);
    TabData::Item it;
    copyItemIn(in, &it);
    d->items.insert(d->items.begin() + at, it);
    if (d->sel < 0)
        d->sel = 0;
    else if (d->sel >= at && count > 0)
        ++d->sel;
    return at;
}

void deleteItem(TabData *d, int index) {
    d->items.erase(d->items.begin() + index);
    if (d->sel == index)
        d->sel = -1;
    else if (d->sel > index)
        --d->sel;
}

// TCM_ADJUSTRECT: `toWindow` from a display area to the window rectangle, else the other way.
void adjustRect(const Window *w, bool toWindow, RECT *r) {
    int s = toWindow ? -1 : 1;
    r->left += s * kBorder;
    r->right -= s * kBorder;
    if (w->style & TCS_BOTTOM) {
        r->top += s * kBorder;
        r->bottom -= s * (kBorder + kTabHeight);
    } else {
        r->top += s * (kBorder + kTabHeight);
        r->bottom -= s * kBorder;
    }
}

// Another tab becomes the selected one when the parent agrees; its answer may have destroyed
// the control.
void choose(HWND h, Window *w, int i) {
    if (i == data(w)->sel || notify(w, TCN_SELCHANGING))
        return;
    if (Window *again = wins().get(h)) {
        data(again)->sel = i;
        data(again)->focus = -1;
        notify(again, TCN_SELCHANGE);
    }
}

// The pen takes the keys to the tab control (as the arrows then work it) and picks a tab.
void penDown(HWND h, Window *w, LPARAM lp) {
    int x = int16_t(LOWORD(lp)), y = int16_t(HIWORD(lp));
    if (!(w->style & TCS_FOCUSNEVER))
        SetFocus(h);
    if (!(w = wins().get(h)))
        return;
    TabData *d = data(w);
    d->pressed = true;
    for (int i = 0; i < int(d->items.size()); ++i) {
        RECT r = itemRect(w, i);
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
            choose(h, w, i);
            break;
        }
    }
}

// Left and Right pick the tab beside the selected one; there is no wrapping at the ends.
void keyDown(HWND h, Window *w, WPARAM vk) {
    TabData *d = data(w);
    int at = d->focus >= 0 ? d->focus : d->sel;
    int next = vk == VK_LEFT ? at - 1 : vk == VK_RIGHT ? at + 1 : -1;
    if (next >= 0 && next < int(d->items.size()))
        choose(h, w, next);
}

// A message whose lParam (or the item's text) the control reads or fills, refused when either
// points into the reserved region.
bool refusedItem(UINT msg, LPARAM lp) {
    switch (msg) {
    case TCM_INSERTITEMW:
    case TCM_GETITEMW:
    case TCM_SETITEMW: {
        if (refusedParam(lp))
            return true;
        auto *item = reinterpret_cast<const TCITEMW *>(lp);
        return item && (item->mask & TCIF_TEXT) && refusedPointer(item->pszText);
    }
    case TCM_GETITEMRECT:
    case TCM_ADJUSTRECT:
        return refusedParam(lp);
    }
    return false;
}

} // namespace

LRESULT CALLBACK tabProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = wins().get(h);
    if (!w)
        return 0;
    if (refusedItem(msg, lp))
        return msg == TCM_INSERTITEMW ? -1 : 0;
    TabData *d = data(w);
    int count = int(d->items.size());
    bool valid = int(wp) >= 0 && int(wp) < count;
    switch (msg) {
    case TCM_GETITEMCOUNT:
        return count;
    case TCM_INSERTITEMW:
        return insertItem(d, int(wp), reinterpret_cast<const TCITEMW *>(lp));
    case TCM_GETITEMW:
        if (!valid || !lp)
            return FALSE;
        copyItemOut(d->items[wp], reinterpret_cast<TCITEMW *>(lp));
        return TRUE;
    case TCM_SETITEMW:
        if (!valid || !lp)
            return FALSE;
        copyItemIn(reinterpret_cast<const TCITEMW *>(lp), &d->items[wp]);
        return TRUE;
    case TCM_DELETEITEM:
        if (!valid)
            return FALSE;
        deleteItem(d, int(wp));
        return TRUE;
    case TCM_DELETEALLITEMS:
        d->items.clear();
        d->sel = -1;
        return TRUE;
    case TCM_GETCURSEL:
        return d->sel;
    case TCM_SETCURSEL: {
        // A negative index leaves no tab selected; one past the end changes nothing.
        if (int(wp) >= count)
            return -1;
        int old = d->sel;
        d->sel = int(wp) < 0 ? -1 : int(wp);
        wins().changed();
        return old;
    }
    case TCM_GETCURFOCUS:
        return d->focus >= 0 ? d->focus : d->sel;
    case TCM_SETCURFOCUS:
        if (valid)
            d->focus = int(wp);
        return 0;
    case TCM_GETITEMRECT:
        if (!valid || !lp)
            return FALSE;
        *reinterpret_cast<RECT *>(lp) = itemRect(w, int(wp));
        return TRUE;
    case TCM_ADJUSTRECT:
        if (lp)
            adjustRect(w, wp != 0, reinterpret_cast<RECT *>(lp));
        return 0;
    case TCM_SETEXTENDEDSTYLE: {
        DWORD old = d->exStyle;
        DWORD mask = wp ? DWORD(wp) : 0xFFFFFFFF;
        d->exStyle = (d->exStyle & ~mask) | (DWORD(lp) & mask);
        return old;
    }
    case TCM_GETEXTENDEDSTYLE:
        return d->exStyle;
    case CCM_SETVERSION: {
        LRESULT old = d->version;
        d->version = LRESULT(wp);
        return old;
    }
    case CCM_GETVERSION:
        return d->version;
    case WM_LBUTTONDOWN:
        penDown(h, w, lp);
        return 0;
    case WM_KEYDOWN:
        keyDown(h, w, wp);
        return 0;
    case WM_GETDLGCODE:
        return 0x0001 | 0x0080; // DLGC_WANTARROWS | DLGC_WANTCHARS
    case WM_LBUTTONUP:
        if (d->pressed) {
            d->pressed = false;
            notify(w, NM_CLICK);
        }
        return 0;
    }
    return defaultProc(w, msg, wp, lp);
}

} // namespace emul
