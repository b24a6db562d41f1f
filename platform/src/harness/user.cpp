// The user's actions on the foreground program: each is the messages that a real tap or drag
// sends, to the control that the window system's view finds.
#include "emul/user.h"

#include <windows.h>

#include "emul/device.h"
#include "emul/harness.h"
#include "emul/text.h"
#include "emul/windows_sys.h"

#include <commctrl.h>

namespace emul {

namespace {

std::optional<WindowInfo> control(int id, ControlKind kind, const char *what, std::string *error) {
    std::optional<WindowInfo> w = dev().windows().view().window(harness::findControl(id));
    if (!w) {
        *error = "the foreground program has no control " + std::to_string(id);
        return std::nullopt;
    }
    if (what && w->kind != kind) {
        *error = "control " + std::to_string(id) + " is not " + what;
        return std::nullopt;
    }
    return w;
}

LPARAM point(int x, int y) {
    return MAKELPARAM(x, y);
}

LRESULT send(uintptr_t h, UINT msg, WPARAM wp, LPARAM lp) {
    return dev().windows().send(h, msg, wp, lp);
}

} // namespace

namespace user {

bool tapTab(int index, std::string *error) {
    const WindowView &view = dev().windows().view();
    uintptr_t tab = view.tabControlOf(view.foregroundProgram());
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
    if (view.isWindow(tab))
        send(tab, WM_LBUTTONUP, 0, at);
    return true;
}

bool click(int id, std::string *error) {
    std::optional<WindowInfo> w = control(id, ControlKind::Window, nullptr, error);
    if (!w)
        return false;
    if (!w->enabled) {
        *error = "control " + std::to_string(id) + " is disabled";
        return false;
    }
    LPARAM at = point((w->right - w->left) / 2, (w->bottom - w->top) / 2);
    send(w->hwnd, WM_LBUTTONDOWN, 1, at);
    send(w->hwnd, WM_LBUTTONUP, 0, at);
    return true;
}

bool slide(int id, int pos, std::string *error) {
    std::optional<WindowInfo> w = control(id, ControlKind::Trackbar, "a trackbar", error);
    if (!w)
        return false;
    uintptr_t h = w->hwnd;
    int min = int(send(h, TBM_GETRANGEMIN, 0, 0)), max = int(send(h, TBM_GETRANGEMAX, 0, 0));
    if (pos < min || pos > max) {
        *error = "position " + std::to_string(pos) + " is outside the trackbar's range " +
                 std::to_string(min) + " to " + std::to_string(max);
        return false;
    }
    int cur = int(send(h, TBM_GETPOS, 0, 0));
    RECT thumb{}, chan{};
    send(h, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    send(h, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&chan));
    bool vert = (w->style & TBS_VERT) != 0;
    // The finger goes down on the thumb and passes over every position on the way.
    int fx = (thumb.left + thumb.right) / 2, fy = (thumb.top + thumb.bottom) / 2;
    send(h, WM_LBUTTONDOWN, 1, point(fx, fy));
    int step = pos > cur ? 1 : -1;
    for (int p = cur; p != pos;) {
        p += step;
        if (max > min) {
            if (vert)
                fy = chan.top + MulDiv(p - min, chan.bottom - chan.top, max - min);
            else
                fx = chan.left + MulDiv(p - min, chan.right - chan.left, max - min);
        }
        send(h, WM_MOUSEMOVE, 1, point(fx, fy));
    }
    send(h, WM_LBUTTONUP, 0, point(fx, fy));
    return true;
}

bool select(int id, const std::u16string &text, std::string *error) {
    std::optional<WindowInfo> w = control(id, ControlKind::ComboBox, "a combo box", error);
    if (!w)
        return false;
    uintptr_t h = w->hwnd;
    // The entry spelled exactly so, else one that differs only in case.
    int count = int(send(h, CB_GETCOUNT, 0, 0)), index = -1;
    for (int i = 0; i < count && index < 0; ++i) {
        int len = int(send(h, CB_GETLBTEXTLEN, WPARAM(i), 0));
        std::u16string s(size_t(std::max(len, 0)) + 1, u'\0');
        send(h, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(&s[0]));
        s.resize(size_t(std::max(len, 0)));
        if (s == text)
            index = i;
    }
    if (index < 0)
        index =
            int(send(h, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(text.c_str())));
    if (index < 0) {
        *error = "combo box " + std::to_string(id) + " has no entry \"" + utf8(text) + "\"";
        return false;
    }
    dev().windows().pickEntry(h, index);
    return true;
}

namespace {

std::optional<WindowInfo> foregroundWindow(std::string *error) {
    const WindowView &view = dev().windows().view();
    std::optional<WindowInfo> w = view.window(view.foreground());
    if (!w || w->unowned) {
        *error = "no program is in the foreground";
        return std::nullopt;
    }
    return w;
}

} // namespace

bool pressOk(std::string *error) {
    std::optional<WindowInfo> w = foregroundWindow(error);
    if (!w)
        return false;
    if (!(w->exStyle & WS_EX_CAPTIONOKBTN)) {
        *error = "the foreground window has no OK button";
        return false;
    }
    dev().windows().post(w->hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return true;
}

bool pressCancel(std::string *error) {
    std::optional<WindowInfo> w = foregroundWindow(error);
    if (!w)
        return false;
    dev().windows().post(w->hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return true;
}

void setInputPanel(bool on) {
    dev().windows().setInputPanel(on);
}

} // namespace user

} // namespace emul
