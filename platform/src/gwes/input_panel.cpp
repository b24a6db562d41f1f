// The soft input panel: shown or hidden, always docked above the menu bar. SipShowIM is
// journaled; programs hear of a change as WM_SETTINGCHANGE with SPI_SETSIPINFO. The panel is a
// window of the window system's own above every program's, painted by the window system.
#include "gwes/input_panel.h"
#include "gwes/paint/paint.h"
#include "gwes/win_internal.h"

using namespace emul;

namespace emul {

namespace {

// Outside the numbers handed to programs' windows: showing the panel changes none of theirs.
constexpr uintptr_t kPanelHandle = 0xFFFC;

void showPanelWindow(WindowSystem::Impl &ws, bool on) {
    RECT r{0, screen::kInputPanelTop, screen::kWidth, screen::kWorkBottom};
    Window *p = ws.get(kPanelHandle);
    if (!p) {
        p = ws.make(kInputPanelClass, nullptr, r.left, r.top, r.right, r.bottom, kPanelHandle);
        p->text = u"Input Panel";
        p->topmost = true;
    }
    if (on) {
        p->style |= WS_VISIBLE;
        ws.raise(p);
    } else {
        p->style &= ~WS_VISIBLE;
    }
    exposeScreen(r);
}

} // namespace

bool inputPanelInfoSizeOk(const SIPINFO *si) {
    constexpr DWORD kDeviceSize = 48; // the device's record, with its 32-bit pointer
    return si && (si->cbSize == kDeviceSize || si->cbSize == sizeof(SIPINFO));
}

void inputPanelInfo(SIPINFO *si) {
    bool on = inputPanelShown();
    si->fdwFlags = on ? SIPF_ON | SIPF_DOCKED : SIPF_DOCKED;
    si->rcVisibleDesktop = RECT{0, screen::kWorkTop, screen::kWidth,
                                on ? screen::kInputPanelTop : screen::kWorkBottom};
    si->rcSipRect = RECT{0, screen::kInputPanelTop, screen::kWidth, screen::kWorkBottom};
    si->dwImDataSize = 0;
}

bool inputPanelShown() {
    return wins().inputPanel;
}

void WindowSystem::setInputPanel(bool on) {
    if (impl_->inputPanel == on)
        return;
    impl_->inputPanel = on;
    showPanelWindow(*impl_, on);
    // Programs resize themselves around the panel when they hear of the change.
    broadcast(WM_SETTINGCHANGE, SPI_SETSIPINFO, 0);
}

bool WindowSystem::inputPanelShown() const {
    return impl_->inputPanel;
}

} // namespace emul

CEAPI BOOL SipGetInfo(SIPINFO *info) {
    if (!inputPanelInfoSizeOk(info)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    inputPanelInfo(info);
    return TRUE;
}

// The panel's place is fixed; what a program can set is whether it is up.
CEAPI BOOL SipSetInfo(SIPINFO *info) {
    if (!inputPanelInfoSizeOk(info)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    bool on = (info->fdwFlags & SIPF_ON) != 0;
    if (on != inputPanelShown())
        SipShowIM(on ? SIPF_ON : SIPF_OFF);
    return TRUE;
}

CEAPI BOOL SipShowIM(DWORD flags) {
    dev().journal().call("SipShowIM", Fields().num("flags", flags));
    dev().windows().setInputPanel((flags & SIPF_ON) != 0);
    return TRUE;
}
