// The user's actions on the foreground program, and how scenarios find its controls: first on
// the page its tab control shows, then on its other pages in tab order, then among the rest of
// its windows.
#include "emul/user.h"

#include "gwes/win_internal.h"

#include "emul/harness.h"
#include "emul/shell.h"
#include "emul/text.h"

#include <commctrl.h>

namespace emul {

void comboUserSelect(Window *w, int index);

namespace {

void collect(Window *w, int id, std::vector<Window *> &out) {
    for (Window *c : w->children) {
        if (c->id == id)
            out.push_back(c);
        collect(c, id, out);
    }
}

Window *findTabControl(Window *w) {
    for (Window *c : w->children) {
        if (equalsNoCase(c->className, u"SysTabControl32"))
            return c;
        if (Window *t = findTabControl(c))
            return t;
    }
    return nullptr;
}

std::vector<Window *> programTops(WindowSystem::Impl &ws) {
    std::vector<Window *> tops;
    Program *p = dev().windows().foregroundProgram();
    if (!p)
        return tops;
    for (Window *top : ws.topLevel)
        if (top->program == p)
            tops.push_back(top);
    return tops;
}

Window *tabControlOfForeground(WindowSystem::Impl &ws) {
    // A tab control made without WS_CHILD is a top-level window owned by the program's window.
    for (Window *top : programTops(ws))
        if (equalsNoCase(top->className, u"SysTabControl32"))
            return top;
    for (Window *top : programTops(ws))
        if (Window *t = findTabControl(top))
            return t;
    return nullptr;
}

Window *control(int id, const char16_t *cls, const char *what, std::string *error) {
    auto &ws = dev().windows().impl();
    ws.reap();
    Window *w = ws.get(harness::findControl(id));
    if (!w) {
        *error = "the foreground program has no control " + std::to_string(id);
        return nullptr;
    }
    if (cls && !equalsNoCase(w->className, cls)) {
        *error = "control " + std::to_string(id) + " is not " + what;
        return nullptr;
    }
    return w;
}

LPARAM point(int x, int y) {
    return MAKELPARAM(x, y);
}

LRESULT send(Window *w, UINT msg, WPARAM wp, LPARAM lp) {
    return dev().windows().send(w->h, msg, wp, lp);
}

} // namespace

uintptr_t harness::findControl(int id) {
    WindowSystem::Impl *impl_ = &wins();
    std::vector<Window *> tops = programTops(*impl_);
    std::vector<Window *> found;
    // The pages of the tab control, the shown one first.
    if (Window *tab = tabControlOfForeground(*impl_)) {
        std::vector<Window *> pages = tab->children;
        int sel = int(impl_->send(tab, TCM_GETCURSEL, 0, 0));
        if (sel >= 0 && size_t(sel) < pages.size())
            std::rotate(pages.begin(), pages.begin() + sel, pages.begin() + sel + 1);
        for (Window *page : pages) {
            if (page->id == id)
                found.push_back(page);
            collect(page, id, found);
        }
        if (!found.empty())
            return found.front()->h;
    }
    for (Window *top : tops) {
        if (top->id == id && top->parent)
            found.push_back(top);
        collect(top, id, found);
    }
    // Without pages to tell them apart, a control that is shown wins over a hidden one.
    for (Window *w : found) {
        bool shown = true;
        for (Window *x = w; x; x = x->parent)
            if (!(x->style & WS_VISIBLE))
                shown = false;
        if (shown)
            return w->h;
    }
    return found.empty() ? 0 : found.front()->h;
}

namespace user {

bool tapTab(int index, std::string *error) {
    auto &ws = dev().windows().impl();
    ws.reap();
    Window *tab = tabControlOfForeground(ws);
    if (!tab) {
        *error = "the foreground program has no tab control";
        return false;
    }
    RECT r{};
    if (index < 0 || !send(tab, TCM_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(&r))) {
        *error = "the tab control has no tab " + std::to_string(index);
        return false;
    }
    LPARAM at = point((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    send(tab, WM_LBUTTONDOWN, 1 /* MK_LBUTTON */, at);
    if (ws.get(tab->h))
        send(tab, WM_LBUTTONUP, 0, at);
    return true;
}

bool click(int id, std::string *error) {
    Window *w = control(id, nullptr, nullptr, error);
    if (!w)
        return false;
    if (w->style & WS_DISABLED) {
        *error = "control " + std::to_string(id) + " is disabled";
        return false;
    }
    uintptr_t h = w->h;
    LPARAM at = point((w->right - w->left) / 2, (w->bottom - w->top) / 2);
    dev().windows().send(h, WM_LBUTTONDOWN, 1, at);
    dev().windows().send(h, WM_LBUTTONUP, 0, at);
    return true;
}

bool slide(int id, int pos, std::string *error) {
    Window *w = control(id, u"msctls_trackbar32", "a trackbar", error);
    if (!w)
        return false;
    int min = int(send(w, TBM_GETRANGEMIN, 0, 0)), max = int(send(w, TBM_GETRANGEMAX, 0, 0));
    if (pos < min || pos > max) {
        *error = "position " + std::to_string(pos) + " is outside the trackbar's range " +
                 std::to_string(min) + " to " + std::to_string(max);
        return false;
    }
    uintptr_t h = w->h;
    int cur = int(send(w, TBM_GETPOS, 0, 0));
    RECT thumb{}, chan{};
    send(w, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    send(w, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&chan));
    bool vert = (w->style & TBS_VERT) != 0;
    // The finger goes down on the thumb and passes over every position on the way.
    int fx = (thumb.left + thumb.right) / 2, fy = (thumb.top + thumb.bottom) / 2;
    auto &windows = dev().windows();
    windows.send(h, WM_LBUTTONDOWN, 1, point(fx, fy));
    int step = pos > cur ? 1 : -1;
    for (int p = cur; p != pos;) {
        p += step;
        if (max > min) {
            if (vert)
                fy = chan.top + MulDiv(p - min, chan.bottom - chan.top, max - min);
            else
                fx = chan.left + MulDiv(p - min, chan.right - chan.left, max - min);
        }
        windows.send(h, WM_MOUSEMOVE, 1, point(fx, fy));
    }
    windows.send(h, WM_LBUTTONUP, 0, point(fx, fy));
    return true;
}

bool select(int id, const std::u16string &text, std::string *error) {
    Window *w = control(id, u"ComboBox", "a combo box", error);
    if (!w)
        return false;
    // The entry spelled exactly so, else one that differs only in case.
    int count = int(send(w, CB_GETCOUNT, 0, 0)), index = -1;
    for (int i = 0; i < count && index < 0; ++i) {
        int len = int(send(w, CB_GETLBTEXTLEN, WPARAM(i), 0));
        std::u16string s(size_t(std::max(len, 0)) + 1, u'\0');
        send(w, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(&s[0]));
        s.resize(size_t(std::max(len, 0)));
        if (s == text)
            index = i;
    }
    if (index < 0)
        index =
            int(send(w, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(text.c_str())));
    if (index < 0) {
        *error = "combo box " + std::to_string(id) + " has no entry \"" + utf8(text) + "\"";
        return false;
    }
    comboUserSelect(w, index);
    return true;
}

namespace {

Window *foregroundWindow(std::string *error) {
    auto &ws = dev().windows().impl();
    ws.reap();
    Window *w = ws.get(ws.foreground);
    if (!w || !w->thread) {
        *error = "no program is in the foreground";
        return nullptr;
    }
    return w;
}

} // namespace

bool pressOk(std::string *error) {
    Window *w = foregroundWindow(error);
    if (!w)
        return false;
    if (!(w->exStyle & WS_EX_CAPTIONOKBTN)) {
        *error = "the foreground window has no OK button";
        return false;
    }
    dev().windows().post(w->h, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return true;
}

bool pressCancel(std::string *error) {
    Window *w = foregroundWindow(error);
    if (!w)
        return false;
    dev().windows().post(w->h, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return true;
}

void setInputPanel(bool on) {
    Shell &shell = dev().shell();
    if (shell.sipOn == on)
        return;
    shell.sipOn = on;
    dev().windows().broadcast(WM_SETTINGCHANGE, SPI_SETSIPINFO, 0);
}

} // namespace user

} // namespace emul
