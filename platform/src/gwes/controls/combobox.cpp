// The combo box: a list of strings with one selection, shown closed as its selected entry and
// open as a drop-down list (combo_list.cpp). Sorted lists insert in collating order with case
// folded and keep equal entries in the order they came; CB_INSERTSTRING never sorts.
//
// The user: a tap on the box opens the list (a tap on it while open closes it); the arrows, Home,
// End, Page Up/Down and a letter move the selection of a closed box, each change reported with
// CBN_SELCHANGE, and move the mark in the open list, where Enter or F4 chooses the marked entry,
// Escape closes without a change, and a tap on an entry chooses it. F4 or Alt+Down opens it.
#include "gwes/controls/combobox.h"

#include <algorithm>

namespace emul {

namespace {

// The harness's pick of an entry from the open list (WindowSystem::pickEntry).
constexpr UINT kPickEntry = 0x03FE;

ComboData *data(Window *w) {
    return controlData<ComboData>(w);
}

std::u16string textArg(LPARAM lp) {
    return lp ? std::u16string(reinterpret_cast<const char16_t *>(lp)) : std::u16string();
}

// Searches start after entry `after` (-1: from the top), run to the end and wrap around.
int find(const ComboData *d, int after, const std::u16string &text, bool exact) {
    auto count = int(d->items.size());
    if (count == 0)
        return CB_ERR;
    std::u16string want = foldText(text);
    int start = (after < -1 || after >= count) ? -1 : after;
    for (int k = 1; k <= count; ++k) {
        int i = (start + k) % count;
        std::u16string have = foldText(d->items[size_t(i)].text);
        if (exact ? have == want : have.compare(0, want.size(), want) == 0)
            return i;
    }
    return CB_ERR;
}

// Where a key moves a selection (or the list's mark) from `at`; `at` itself when it does not.
int moved(int at, WPARAM vk, int count, int page) {
    if (count == 0)
        return at;
    int to = at;
    switch (vk) {
    case VK_UP:
    case VK_LEFT:
        to = at < 0 ? 0 : at - 1;
        break;
    case VK_DOWN:
    case VK_RIGHT:
        to = at + 1;
        break;
    case VK_PRIOR:
        to = at - page;
        break;
    case VK_NEXT:
        to = at < 0 ? page - 1 : at + page;
        break;
    case VK_HOME:
        to = 0;
        break;
    case VK_END:
        to = count - 1;
        break;
    default:
        return at;
    }
    return std::clamp(to, 0, count - 1);
}

LRESULT keyDown(Window *w, WPARAM vk, LPARAM lp) {
    ComboData *d = data(w);
    bool alt = (lp & (LPARAM(1) << 29)) != 0;
    auto count = int(d->items.size());
    if (Window *list = comboList(w)) {
        ComboListData *l = listData(list);
        if (vk == VK_RETURN || vk == VK_F4 || (alt && (vk == VK_UP || vk == VK_DOWN)))
            comboCloseList(w, true, l->highlight);
        else if (vk == VK_ESCAPE)
            comboCloseList(w, false, -1);
        else
            listMark(list, moved(l->highlight, vk, count, std::max(1, l->rows - 1)));
        return 0;
    }
    if (vk == VK_F4 || (alt && vk == VK_DOWN)) {
        comboOpenList(w);
        if (Window *list = comboList(w))
            SetCapture(toHwnd(list));
        return 0;
    }
    int to = moved(d->sel, vk, count, 1);
    if (to != d->sel) {
        d->sel = to;
        wins().changed();
        comboNotify(w, CBN_SELCHANGE);
    }
    return 0;
}

// A letter moves to the next entry that starts with it, wrapping around.
LRESULT letter(Window *w, char16_t c) {
    ComboData *d = data(w);
    if (c < 32)
        return 0;
    Window *list = comboList(w);
    int from = list ? listData(list)->highlight : d->sel;
    int i = find(d, from, std::u16string(1, c), false);
    if (i < 0)
        return 0;
    if (list) {
        listMark(list, i);
    } else if (i != d->sel) {
        d->sel = i;
        wins().changed();
        comboNotify(w, CBN_SELCHANGE);
    }
    return 0;
}

// The entry of the open list under a point of the box's client area (the pen that opened the
// list moving on to it), or -1.
int entryUnder(Window *w, LPARAM lp) {
    Window *list = comboList(w);
    if (!list)
        return -1;
    int x = w->left + int16_t(LOWORD(lp)) - list->left;
    int y = w->top + int16_t(HIWORD(lp)) - list->top;
    return listEntryAt(list, x, y);
}

LRESULT pen(Window *w, UINT msg, LPARAM lp) {
    ComboData *d = data(w);
    switch (msg) {
    case WM_LBUTTONDOWN:
        SetFocus(toHwnd(w));
        if (comboList(w)) {
            comboCloseList(w, false, -1);
            return 0;
        }
        comboOpenList(w);
        d->penTrack = comboList(w) != nullptr;
        return 0;
    case WM_MOUSEMOVE:
        if (d->penTrack)
            if (int i = entryUnder(w, lp); i >= 0)
                listMark(comboList(w), i);
        return 0;
    case WM_LBUTTONUP: {
        if (!d->penTrack)
            return 0;
        d->penTrack = false;
        // Lifted on an entry, the pen chose it; anywhere else the list stays open for a tap.
        if (int i = entryUnder(w, lp); i >= 0)
            comboCloseList(w, true, i);
        else if (Window *list = comboList(w))
            SetCapture(toHwnd(list));
        return 0;
    }
    }
    return 0;
}

LRESULT insert(Window *w, UINT msg, WPARAM wp, LPARAM lp) {
    ComboData *d = data(w);
    auto count = int(d->items.size());
    std::u16string s = textArg(lp);
    int at = count;
    if (msg == CB_INSERTSTRING) {
        at = int(wp) == -1 ? count : int(wp);
        if (at < 0 || at > count)
            return CB_ERR;
    } else if (w->style & CBS_SORT) {
        at = 0;
        while (at < count && collate(d->items[size_t(at)].text, s) <= 0)
            ++at;
    }
    d->items.insert(d->items.begin() + at, ComboData::Item{s, 0});
    if (d->sel >= at)
        ++d->sel;
    wins().changed();
    return at;
}

LRESULT copyText(const std::u16string &t, WPARAM wp, LPARAM lp) {
    auto *buf = reinterpret_cast<char16_t *>(lp);
    if (!buf || wp == 0)
        return 0;
    size_t n = std::min(t.size(), size_t(wp - 1));
    std::copy(t.begin(), t.begin() + long(n), buf);
    buf[n] = 0;
    return LRESULT(n);
}

LRESULT removeItems(Window *w, UINT msg, WPARAM wp) {
    ComboData *d = data(w);
    bool valid = int(wp) >= 0 && size_t(int(wp)) < d->items.size();
    switch (msg) {
    case CB_DELETESTRING:
        if (!valid)
            return CB_ERR;
        d->items.erase(d->items.begin() + long(wp));
        if (d->sel == int(wp))
            d->sel = CB_ERR;
        else if (d->sel > int(wp))
            --d->sel;
        wins().changed();
        return LRESULT(d->items.size());
    case CB_RESETCONTENT:
        d->items.clear();
        d->sel = CB_ERR;
        wins().changed();
        return CB_OKAY;
    }
    return CB_ERR;
}

// An entry's text or data.
LRESULT itemOf(Window *w, UINT msg, WPARAM wp, LPARAM lp) {
    ComboData *d = data(w);
    bool valid = int(wp) >= 0 && size_t(int(wp)) < d->items.size();
    switch (msg) {
    case CB_GETLBTEXT:
        if (!valid || !lp)
            return CB_ERR;
        return copyText(d->items[wp].text, d->items[wp].text.size() + 1, lp);
    case CB_GETLBTEXTLEN:
        return valid ? LRESULT(d->items[wp].text.size()) : CB_ERR;
    case CB_GETITEMDATA:
        return valid ? d->items[wp].data : CB_ERR;
    case CB_SETITEMDATA:
        if (!valid)
            return CB_ERR;
        d->items[wp].data = lp;
        return TRUE;
    }
    return CB_ERR;
}

} // namespace

void ComboData::inspect(const Window &, WindowInfo &s) const {
    inspectItems(items, sel, s);
    s.label = s.selected >= 0 ? items[size_t(s.selected)].text : std::u16string();
}

void comboNotify(Window *w, int code) {
    // A control made without WS_CHILD tells its owner, as GetParent names it.
    if (Window *to = w->parent ? w->parent : w->owner)
        wins().send(to, WM_COMMAND, MAKEWPARAM(w->id, code), LPARAM(w->h));
}

LRESULT CALLBACK comboProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = wins().get(h);
    if (!w)
        return 0;
    ComboData *d = data(w);
    auto count = int(d->items.size());
    bool valid = int(wp) >= 0 && int(wp) < count;
    switch (msg) {
    case WM_CREATE:
    case WM_SIZE:
        // The height a program gives is the open list's; closed, the box is one row high.
        if (w->bottom - w->top != kComboClosedHeight) {
            d->dropHeight = w->bottom - w->top;
            w->bottom = w->top + std::min(kComboClosedHeight, d->dropHeight);
        }
        return 0;
    case WM_DESTROY:
        if (Window *list = comboList(w))
            wins().destroy(list);
        d->list = 0;
        return 0;
    case WM_KILLFOCUS:
        if (comboList(w))
            comboCloseList(w, false, -1);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
        return pen(w, msg, lp);
    case WM_KEYDOWN:
        return keyDown(w, wp, lp);
    case WM_CHAR:
        return letter(w, char16_t(wp));
    case WM_GETDLGCODE: {
        // An open list takes Enter and Escape for itself.
        auto *m = reinterpret_cast<const MSG *>(lp);
        bool listKey =
            m && m->message == WM_KEYDOWN && (m->wParam == VK_RETURN || m->wParam == VK_ESCAPE);
        return 0x0001 | 0x0080 | (listKey && comboList(w) ? 0x0004 : 0); // ARROWS, CHARS, ALL
    }
    case CB_ADDSTRING:
    case CB_INSERTSTRING:
        return insert(w, msg, wp, lp);
    case CB_DELETESTRING:
    case CB_RESETCONTENT:
        return removeItems(w, msg, wp);
    case CB_GETCOUNT:
        return count;
    case CB_GETCURSEL:
        return d->sel;
    case CB_SETCURSEL:
        d->sel = valid ? int(wp) : CB_ERR;
        wins().changed();
        return d->sel;
    case CB_GETLBTEXT:
    case CB_GETLBTEXTLEN:
    case CB_GETITEMDATA:
    case CB_SETITEMDATA:
        return itemOf(w, msg, wp, lp);
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
        return find(d, int(wp), textArg(lp), msg == CB_FINDSTRINGEXACT);
    case CB_SELECTSTRING: {
        int i = find(d, int(wp), textArg(lp), false);
        if (i >= 0) {
            d->sel = i;
            wins().changed();
        }
        return i;
    }
    case CB_SHOWDROPDOWN:
        if (wp && !comboList(w)) {
            comboOpenList(w);
            if (Window *list = comboList(w))
                SetCapture(toHwnd(list));
        } else if (!wp && comboList(w)) {
            comboCloseList(w, false, -1);
        }
        return TRUE;
    case CB_GETDROPPEDSTATE:
        return comboList(w) != nullptr;
    case kPickEntry:
        if (Window *list = comboList(w)) {
            if (valid)
                listMark(list, int(wp));
            comboCloseList(w, valid, valid ? int(wp) : -1);
        }
        return 0;
    case WM_GETTEXT:
        return copyText(d->sel >= 0 ? d->items[size_t(d->sel)].text : u"", wp, lp);
    case WM_GETTEXTLENGTH:
        return d->sel >= 0 ? LRESULT(d->items[size_t(d->sel)].text.size()) : 0;
    }
    return defaultProc(w, msg, wp, lp);
}

// The user picks entry `index` from the open list, as a tap on it does: the list opens (the
// parent hears CBN_DROPDOWN), the entry is chosen and the list closes (CBN_SELENDOK,
// CBN_CLOSEUP, then CBN_SELCHANGE, also when the entry was selected already).
void comboUserSelect(Window *w, int index) {
    HWND h = toHwnd(w);
    wins().send(w, CB_SHOWDROPDOWN, TRUE, 0, true);
    if (Window *again = wins().get(h))
        wins().send(again, kPickEntry, WPARAM(index), 0, true);
}

} // namespace emul
