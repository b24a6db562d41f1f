// The combo box: a list of strings with one selection, shown closed as its selected entry.
// Sorted lists insert with a case-insensitive comparison and keep equal entries in the order
// they came; CB_INSERTSTRING never sorts.
#include "gwes/controls/controls.h"

#include "emul/text.h"

#include <algorithm>

namespace emul {

namespace {

constexpr int kClosedHeight = 20; // a row of the dialog font in its frame

struct ComboData : ControlData {
    struct Item {
        std::u16string text;
        LPARAM data = 0;
    };
    std::vector<Item> items;
    int sel = CB_ERR;
    bool dropped = false;
    int dropHeight = 0; // the list's height when open, as the template gave it
    void inspect(const Window &, WindowInfo &s) const override {
        inspectItems(items, sel, s);
        s.label = s.selected >= 0 ? items[size_t(s.selected)].text : std::u16string();
    }
};

ComboData *data(Window *w) {
    return controlData<ComboData>(w);
}

std::u16string textArg(LPARAM lp) {
    return lp ? std::u16string(reinterpret_cast<const char16_t *>(lp)) : std::u16string();
}

// Case-insensitive order of two entries, as the list sorts them.
int compareNoCase(const std::u16string &a, const std::u16string &b) {
    std::u16string fa = foldCase(a), fb = foldCase(b);
    return fa < fb ? -1 : fa == fb ? 0 : 1;
}

void notify(Window *w, int code) {
    // A control made without WS_CHILD tells its owner, as GetParent names it.
    if (Window *to = w->parent ? w->parent : w->owner)
        wins().send(to, WM_COMMAND, MAKEWPARAM(w->id, code), LPARAM(w->h));
}

} // namespace

// The user picks entry `index` from the open list, as a tap on it does: the list opens, the
// selection changes, the parent hears CBN_SELCHANGE (also when the entry was selected already),
// then the list closes.
void comboUserSelect(Window *w, int index) {
    ComboData *d = data(w);
    notify(w, CBN_DROPDOWN);
    d->dropped = true;
    if (index >= 0 && size_t(index) < d->items.size())
        d->sel = index;
    notify(w, CBN_SELCHANGE);
    d->dropped = false;
    notify(w, CBN_SELENDOK);
    notify(w, CBN_CLOSEUP);
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
        if (w->bottom - w->top != kClosedHeight) {
            d->dropHeight = w->bottom - w->top;
            w->bottom = w->top + std::min(kClosedHeight, d->dropHeight);
        }
        return 0;
    case CB_ADDSTRING: {
        std::u16string s = textArg(lp);
        size_t at = d->items.size();
        if (w->style & CBS_SORT) {
            at = 0;
            while (at < d->items.size() && compareNoCase(d->items[at].text, s) <= 0)
                ++at;
        }
        d->items.insert(d->items.begin() + long(at), ComboData::Item{s, 0});
        if (d->sel >= int(at))
            ++d->sel;
        return LRESULT(at);
    }
    case CB_INSERTSTRING: {
        int at = int(wp);
        if (at == -1)
            at = count;
        if (at < 0 || at > count)
            return CB_ERR;
        d->items.insert(d->items.begin() + at, ComboData::Item{textArg(lp), 0});
        if (d->sel >= at)
            ++d->sel;
        return at;
    }
    case CB_DELETESTRING:
        if (!valid)
            return CB_ERR;
        d->items.erase(d->items.begin() + long(wp));
        if (d->sel == int(wp))
            d->sel = CB_ERR;
        else if (d->sel > int(wp))
            --d->sel;
        return LRESULT(d->items.size());
    case CB_RESETCONTENT:
        d->items.clear();
        d->sel = CB_ERR;
        return CB_OKAY;
    case CB_GETCOUNT:
        return count;
    case CB_GETCURSEL:
        return d->sel;
    case CB_SETCURSEL:
        if (!valid) {
            d->sel = CB_ERR;
            return CB_ERR;
        }
        d->sel = int(wp);
        return d->sel;
    case CB_GETLBTEXT:
        if (!valid || !lp)
            return CB_ERR;
        std::copy(d->items[wp].text.begin(), d->items[wp].text.end(),
                  reinterpret_cast<char16_t *>(lp));
        reinterpret_cast<char16_t *>(lp)[d->items[wp].text.size()] = 0;
        return LRESULT(d->items[wp].text.size());
    case CB_GETLBTEXTLEN:
        return valid ? LRESULT(d->items[wp].text.size()) : CB_ERR;
    case CB_GETITEMDATA:
        return valid ? d->items[wp].data : CB_ERR;
    case CB_SETITEMDATA:
        if (!valid)
            return CB_ERR;
        d->items[wp].data = lp;
        return TRUE;
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
    case CB_SELECTSTRING: {
        // Searches start after entry wp (-1: from the top), run to the end and wrap around.
        if (count == 0)
            return CB_ERR;
        std::u16string want = foldCase(textArg(lp));
        int start = (int(wp) < -1 || int(wp) >= count) ? -1 : int(wp);
        for (int k = 1; k <= count; ++k) {
            int i = (start + k) % count;
            std::u16string have = foldCase(d->items[size_t(i)].text);
            bool hit =
                msg == CB_FINDSTRINGEXACT ? have == want : have.compare(0, want.size(), want) == 0;
            if (hit) {
                if (msg == CB_SELECTSTRING)
                    d->sel = i;
                return i;
            }
        }
        return CB_ERR;
    }
    case CB_SHOWDROPDOWN:
        if (bool(wp) != d->dropped) {
            d->dropped = bool(wp);
            notify(w, d->dropped ? CBN_DROPDOWN : CBN_CLOSEUP);
        }
        return TRUE;
    case CB_GETDROPPEDSTATE:
        return d->dropped;
    case WM_GETTEXT: {
        auto *buf = reinterpret_cast<char16_t *>(lp);
        if (!buf || wp == 0)
            return 0;
        std::u16string t = d->sel >= 0 ? d->items[size_t(d->sel)].text : u"";
        size_t n = std::min(t.size(), size_t(wp - 1));
        std::copy(t.begin(), t.begin() + long(n), buf);
        buf[n] = 0;
        return LRESULT(n);
    }
    case WM_GETTEXTLENGTH:
        return d->sel >= 0 ? LRESULT(d->items[size_t(d->sel)].text.size()) : 0;
    }
    return defaultProc(w, msg, wp, lp);
}

} // namespace emul
