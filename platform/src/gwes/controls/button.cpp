// The Button control: push buttons, check boxes and radio buttons. Under the pen a button is
// pressed while the pen is down on it and clicked only when the pen lifts inside it; it holds
// the pen (SetCapture) meanwhile, so a lift elsewhere reaches it and clicks nothing. The space
// bar presses the focused button the same way: down shows it pressed, up clicks it.
#include "gwes/controls/controls.h"

#include "emul/text.h"

namespace emul {

namespace {

constexpr int kRadioButton = 4, kGroupBox = 7;

int buttonType(const Window *w) {
    return int(w->style & 0xF);
}

bool isCheckable(const Window *w) {
    int t = buttonType(w);
    return t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == 5 /* 3STATE */ ||
           t == 6 /* AUTO3STATE */ || t == kRadioButton || t == BS_AUTORADIOBUTTON;
}

bool isRadio(const Window *w) {
    return equalsNoCase(w->className, u"Button") &&
           (buttonType(w) == kRadioButton || buttonType(w) == BS_AUTORADIOBUTTON);
}

struct ButtonData : ControlData {
    int check = BST_UNCHECKED;
    bool tracking = false; // the pen went down on it and has not lifted
    bool pushed = false;   // shown pressed: the pen is down on it
    void inspect(const Window &w, WindowInfo &s) const override {
        if (isCheckable(&w))
            s.checked = check == BST_CHECKED;
    }
};

ButtonData *data(Window *w) {
    return controlData<ButtonData>(w);
}

bool isPush(const Window *w) {
    return buttonType(w) == BS_PUSHBUTTON || buttonType(w) == BS_DEFPUSHBUTTON;
}

// In a dialog the default look goes with the focus among the push buttons: when it moves, the
// others paint again.
void pushButtonsRepaint(Window *w) {
    if (!isPush(w) || !w->parent)
        return;
    for (Window *c : w->parent->children)
        if (c != w && equalsNoCase(c->className, u"Button") && isPush(c))
            InvalidateRect(toHwnd(c), nullptr, TRUE);
}

bool inside(const Window *w, LPARAM lp) {
    int x = int16_t(LOWORD(lp)), y = int16_t(HIWORD(lp));
    return x >= 0 && y >= 0 && x < w->right - w->left && y < w->bottom - w->top;
}

// The radio buttons of `w`'s group: from the sibling that starts it (WS_GROUP, or the first) to
// the next one that starts another, as the dialog manager groups controls.
std::vector<Window *> groupOf(Window *w) {
    std::vector<Window *> group;
    if (!w->parent)
        return {w};
    const std::vector<Window *> &sib = w->parent->children;
    size_t at = size_t(std::find(sib.begin(), sib.end(), w) - sib.begin());
    size_t first = at;
    while (first > 0 && !(sib[first]->style & WS_GROUP))
        --first;
    for (size_t i = first; i < sib.size(); ++i) {
        if (i > first && (sib[i]->style & WS_GROUP))
            break;
        group.push_back(sib[i]);
    }
    return group;
}

// What a click does to a button: the automatic kinds change their check, then the parent hears.
void clickButton(Window *w) {
    int t = buttonType(w);
    ButtonData *d = data(w);
    if (t == BS_AUTOCHECKBOX)
        d->check = d->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    else if (t == 6)
        d->check = (d->check + 1) % 3;
    else if (t == BS_AUTORADIOBUTTON) {
        for (Window *s : groupOf(w))
            if (s != w && isRadio(s))
                data(s)->check = BST_UNCHECKED;
        d->check = BST_CHECKED;
    }
    wins().changed();
    notifyParent(w, BN_CLICKED);
}

} // namespace

LRESULT CALLBACK buttonProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = wins().get(h);
    if (!w)
        return 0;
    ButtonData *d = data(w);
    switch (msg) {
    case WM_NCHITTEST:
        // A group box is only a frame: the pen goes to what it frames.
        return buttonType(w) == kGroupBox ? HTTRANSPARENT : HTCLIENT;
    case BM_GETCHECK:
        return isCheckable(w) ? d->check : 0;
    case BM_SETCHECK:
        if (isCheckable(w))
            d->check = int(wp) > BST_INDETERMINATE ? BST_CHECKED : int(wp);
        wins().changed();
        return 0;
    case BM_GETSTATE:
        return (isCheckable(w) ? d->check : 0) | (d->pushed ? BST_PUSHED : 0) |
               (GetFocus() == h ? BST_FOCUS : 0);
    case BM_SETSTATE:
        d->pushed = wp != 0;
        wins().changed();
        return 0;
    case BM_CLICK:
        if (!(w->style & WS_DISABLED))
            clickButton(w);
        return 0;
    case WM_LBUTTONDOWN:
        if (buttonType(w) == kGroupBox)
            return 0;
        d->tracking = d->pushed = true;
        SetFocus(h);
        SetCapture(h);
        wins().changed();
        return 0;
    case WM_MOUSEMOVE:
        if (d->tracking && d->pushed != inside(w, lp)) {
            d->pushed = !d->pushed;
            wins().changed();
        }
        return 0;
    case WM_LBUTTONUP: {
        if (!d->tracking)
            return 0;
        d->tracking = d->pushed = false;
        if (GetCapture() == h)
            ReleaseCapture();
        wins().changed();
        if (inside(w, lp))
            clickButton(w);
        return 0;
    }
    case WM_KEYDOWN:
        if (wp == VK_SPACE && !d->tracking && buttonType(w) != kGroupBox && !d->pushed) {
            d->pushed = true;
            wins().changed();
        }
        return 0;
    case WM_KEYUP:
        if (wp != VK_SPACE || d->tracking || !d->pushed)
            return 0;
        d->pushed = false;
        wins().changed();
        InvalidateRect(h, nullptr, TRUE); // a key coming up changes no other control's look
        clickButton(w);
        return 0;
    case WM_SETFOCUS:
        pushButtonsRepaint(w);
        return defaultProc(w, msg, wp, lp);
    case WM_KILLFOCUS:
        // A press of the space bar ends without a click when the focus goes elsewhere.
        if (d->pushed && !d->tracking) {
            d->pushed = false;
            wins().changed();
        }
        pushButtonsRepaint(w);
        return defaultProc(w, msg, wp, lp);
    case WM_CAPTURECHANGED:
        // Another window took the pen: the press ends without a click.
        if (d->tracking && LPARAM(lp) != LPARAM(w->h)) {
            d->tracking = d->pushed = false;
            wins().changed();
        }
        return 0;
    }
    return defaultProc(w, msg, wp, lp);
}

} // namespace emul
