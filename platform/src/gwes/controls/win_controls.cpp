// The default window procedure and the built-in controls: Edit, Static and Button; the
// scenario runner's view of controls (look-up by id, their state for `show`).
#include "gwes/win_internal.h"

#include "emul/devmgr.h"
#include "emul/text.h"

#include <algorithm>

namespace emul {

namespace {

constexpr UINT kEnChange = 0x0300;

int buttonType(const Window *w) {
    return int(w->style & 0xF);
}

bool isCheckable(const Window *w) {
    int t = buttonType(w);
    return t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == 5 /* 3STATE */ ||
           t == 6 /* AUTO3STATE */ || t == 4 /* RADIOBUTTON */ || t == BS_AUTORADIOBUTTON;
}

void notifyParent(Window *w, UINT code) {
    if (w->parent)
        wins().send(w->parent, WM_COMMAND, MAKEWPARAM(w->id, code), LPARAM(w->h));
}

LRESULT CALLBACK editProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = wins().get(h);
    if (!w)
        return 0;
    switch (msg) {
    case WM_CHAR: {
        char16_t c = char16_t(wp);
        bool multi = (w->style & ES_MULTILINE) != 0;
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

LRESULT CALLBACK staticProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = wins().get(h);
    return w ? defaultProc(w, msg, wp, lp) : 0;
}

// What a click does to a button: the automatic kinds change their check, then the parent hears.
void clickButton(Window *w) {
    int t = buttonType(w);
    if (t == BS_AUTOCHECKBOX)
        w->check = w->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    else if (t == 6)
        w->check = (w->check + 1) % 3;
    else if (t == BS_AUTORADIOBUTTON && w->parent) {
        for (Window *s : w->parent->children)
            if (s != w && equalsNoCase(s->className, u"Button") &&
                buttonType(s) == BS_AUTORADIOBUTTON)
                s->check = BST_UNCHECKED;
        w->check = BST_CHECKED;
    }
    notifyParent(w, BN_CLICKED);
}

struct ButtonData : ControlData {
    bool pressed = false;
};

LRESULT CALLBACK buttonProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = wins().get(h);
    if (!w)
        return 0;
    switch (msg) {
    case BM_GETCHECK:
        return isCheckable(w) ? w->check : 0;
    case BM_SETCHECK:
        if (isCheckable(w))
            w->check = int(wp) > BST_INDETERMINATE ? BST_CHECKED : int(wp);
        return 0;
    case BM_CLICK:
        if (!(w->style & WS_DISABLED))
            clickButton(w);
        return 0;
    case WM_LBUTTONDOWN: {
        if (!w->control)
            w->control = std::make_shared<ButtonData>();
        static_cast<ButtonData *>(w->control.get())->pressed = true;
        return 0;
    }
    case WM_LBUTTONUP: {
        auto *d = static_cast<ButtonData *>(w->control.get());
        if (d && d->pressed) {
            d->pressed = false;
            clickButton(w);
        }
        return 0;
    }
    }
    return defaultProc(w, msg, wp, lp);
}

void addBuiltin(WindowSystem::Impl &ws, const char16_t *name, WNDPROC proc) {
    WndClass c;
    c.name = name;
    c.proc = proc;
    c.builtin = true;
    ws.classes[foldCase(c.name)] = c;
}

} // namespace

LRESULT defaultProc(Window *w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SETTEXT:
        w->text = lp ? std::u16string(reinterpret_cast<const char16_t *>(lp)) : std::u16string();
        return TRUE;
    case WM_GETTEXT: {
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
    case WM_CLOSE:
        if (w->thread)
            wins().destroy(w);
        return 0;
    }
    return 0;
}

void registerBuiltinControls(WindowSystem::Impl &ws) {
    addBuiltin(ws, u"Edit", editProc);
    addBuiltin(ws, u"Static", staticProc);
    addBuiltin(ws, u"Button", buttonProc);
}

// ---- the scenario runner's view ----

std::optional<ControlState> WindowSystem::controlState(uintptr_t hwnd) const {
    Window *w = impl_->get(hwnd);
    if (!w)
        return std::nullopt;
    ControlState s;
    s.id = w->id;
    s.className = utf8(w->className);
    s.text = utf8(w->text);
    s.visible = true;
    for (Window *x = w; x; x = x->parent)
        if (!(x->style & WS_VISIBLE))
            s.visible = false;
    if (equalsNoCase(w->className, u"Button") && isCheckable(w))
        s.checked = w->check == BST_CHECKED;
    if (w->control)
        w->control->describe(s);
    return s;
}

} // namespace emul
