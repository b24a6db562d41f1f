// The Button control: push buttons, check boxes and radio buttons.
#include "gwes/controls/controls.h"

#include "emul/text.h"

namespace emul {

namespace {

int buttonType(const Window *w) {
    return int(w->style & 0xF);
}

bool isCheckable(const Window *w) {
    int t = buttonType(w);
    return t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == 5 /* 3STATE */ ||
           t == 6 /* AUTO3STATE */ || t == 4 /* RADIOBUTTON */ || t == BS_AUTORADIOBUTTON;
}

struct ButtonData : ControlData {
    int check = BST_UNCHECKED;
    bool pressed = false;
    void inspect(const Window &w, WindowInfo &s) const override {
        if (isCheckable(&w))
            s.checked = check == BST_CHECKED;
    }
};

ButtonData *data(Window *w) {
    return controlData<ButtonData>(w);
}

// What a click does to a button: the automatic kinds change their check, then the parent hears.
void clickButton(Window *w) {
    int t = buttonType(w);
    ButtonData *d = data(w);
    if (t == BS_AUTOCHECKBOX)
        d->check = d->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    else if (t == 6)
        d->check = (d->check + 1) % 3;
    else if (t == BS_AUTORADIOBUTTON && w->parent) {
        for (Window *s : w->parent->children)
            if (s != w && equalsNoCase(s->className, u"Button") &&
                buttonType(s) == BS_AUTORADIOBUTTON)
                data(s)->check = BST_UNCHECKED;
        d->check = BST_CHECKED;
    }
    notifyParent(w, BN_CLICKED);
}

} // namespace

LRESULT CALLBACK buttonProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = wins().get(h);
    if (!w)
        return 0;
    ButtonData *d = data(w);
    switch (msg) {
    case BM_GETCHECK:
        return isCheckable(w) ? d->check : 0;
    case BM_SETCHECK:
        if (isCheckable(w))
            d->check = int(wp) > BST_INDETERMINATE ? BST_CHECKED : int(wp);
        return 0;
    case WM_NCHITTEST:
        // A group box is only a frame: the pen goes to what it frames.
        return buttonType(w) == 7 /* BS_GROUPBOX */ ? HTTRANSPARENT : HTCLIENT;
    case BM_CLICK:
        if (!(w->style & WS_DISABLED))
            clickButton(w);
        return 0;
    case WM_LBUTTONDOWN:
        d->pressed = true;
        return 0;
    case WM_LBUTTONUP:
        if (d->pressed) {
            d->pressed = false;
            clickButton(w);
        }
        return 0;
    }
    return defaultProc(w, msg, wp, lp);
}

} // namespace emul
