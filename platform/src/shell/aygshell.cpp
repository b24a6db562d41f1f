// The shell helpers of the handheld: the menu bar, the caption's OK button, the input panel through
// the shell, and the system parameters that describe the screen.
#include <aygshell.h>
#include <sipapi.h>
#include <windows.h>

#include "gwes/controls/controls.h"
#include "gwes/input_panel.h"
#include "gwes/win_internal.h"

#include "emul/device.h"
#include "emul/shell.h"

using namespace emul;

namespace {

constexpr DWORD kMenuBarInfoSizeCe3 = 32; // the record before clrBk was added
constexpr int kPanelButton = 28;          // the input panel's button, from the bar's right end

} // namespace

CEAPI BOOL SHCreateMenuBar(SHMENUBARINFO *mbi) {
    if (!mbi || mbi->cbSize < kMenuBarInfoSizeCe3 || mbi->cbSize > sizeof(SHMENUBARINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The bar is a top-level window at the bottom of the screen, owned by the program's window;
    // showing it does not take the foreground from its owner.
    HWND bar = CreateWindowExW(
        0, u"menu_worker", u"", WS_POPUP, 0, screen::kHeight - screen::kMenuBarHeight,
        screen::kWidth, screen::kMenuBarHeight, mbi->hwndParent, nullptr, mbi->hInstRes, nullptr);
    if (!bar)
        return FALSE;
    if (!(mbi->dwFlags & SHCMBF_HIDDEN))
        SetWindowLongW(bar, GWL_STYLE, LONG(GetWindowLongW(bar, GWL_STYLE) | WS_VISIBLE));
    mbi->hwndMB = bar;
    return TRUE;
}

CEAPI BOOL SHHandleWMSettingChange(HWND hwnd, WPARAM wp, LPARAM, PSHACTIVATEINFO sai) {
    if (!hwnd || !sai) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The shell notes where the panel is; the program sizes its own windows.
    if (wp == SPI_SETSIPINFO)
        sai->fSipUp = inputPanelShown() ? 1 : 0;
    return TRUE;
}

CEAPI BOOL SHHandleWMActivate(HWND hwnd, WPARAM wp, LPARAM, PSHACTIVATEINFO sai, DWORD) {
    if (!hwnd || !sai) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Activation brings back the panel state the window had; leaving it remembers it.
    if (LOWORD(wp) != 0) {
        if (bool(sai->fSipUp) != inputPanelShown())
            SipShowIM(sai->fSipUp ? SIPF_ON : SIPF_OFF);
    } else {
        sai->fSipUp = inputPanelShown() ? 1 : 0;
    }
    return TRUE;
}

CEAPI BOOL SHSipInfo(UINT action, UINT, PVOID pv, UINT) {
    auto *si = static_cast<SIPINFO *>(pv);
    // The input panel's own calls, with their checks.
    if (action == SPI_GETSIPINFO)
        return SipGetInfo(si);
    if (action == SPI_SETSIPINFO)
        return SipSetInfo(si);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

CEAPI BOOL SHSipPreference(HWND, int) {
    return TRUE;
}

CEAPI BOOL SHInitDialog(PSHINITDLGINFO info) {
    if (!info || !IsWindow(info->hDlg)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!(info->dwMask & SHIDIM_FLAGS))
        return TRUE;
    HWND dlg = info->hDlg;
    if (info->dwFlags & SHIDIF_DONEBUTTON)
        SetWindowLongW(dlg, GWL_EXSTYLE,
                       LONG(GetWindowLongW(dlg, GWL_EXSTYLE) | WS_EX_CAPTIONOKBTN));
    if (info->dwFlags & (SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR)) {
        // Full screen between the navigation bar and the menu bar (or the panel).
        SIPINFO si{};
        inputPanelInfo(&si);
        RECT r = si.rcVisibleDesktop;
        if (info->dwFlags & (SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR))
            r.bottom = (info->dwFlags & SHIDIF_FULLSCREENNOMENUBAR)
                           ? screen::kHeight
                           : screen::kHeight - screen::kMenuBarHeight;
        MoveWindow(dlg, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
    if (info->dwFlags & SHIDIF_SIPDOWN && inputPanelShown())
        SipShowIM(SIPF_OFF);
    return TRUE;
}

CEAPI BOOL SHDoneButton(HWND hwnd, DWORD state) {
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    LONG ex = GetWindowLongW(hwnd, GWL_EXSTYLE);
    if (state == SHDB_SHOW)
        ex |= LONG(WS_EX_CAPTIONOKBTN);
    else if (state == SHDB_HIDE)
        ex &= ~LONG(WS_EX_CAPTIONOKBTN);
    SetWindowLongW(hwnd, GWL_EXSTYLE, ex);
    return TRUE;
}

CEAPI BOOL SHFullScreen(HWND hwnd, DWORD state) {
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    // Hiding the task bar gives its strip to whoever covers it; the program sizes its own window.
    // The input-panel button and the Start icon are drawn on the bar, so they go with it here.
    if (state & (SHFS_HIDETASKBAR | SHFS_SHOWTASKBAR))
        if (HWND bar = FindWindowW(u"HHTaskBar", nullptr))
            ShowWindow(bar, (state & SHFS_SHOWTASKBAR) ? SW_SHOWNA : SW_HIDE);
    return TRUE;
}

// The menu bar's window: its text, and the input panel's button at its right end, which shows
// or hides the panel.
LRESULT CALLBACK emul::menuBarProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = wins().get(h);
    if (w && msg == WM_LBUTTONDOWN && int16_t(LOWORD(lp)) >= w->right - w->left - kPanelButton) {
        SipShowIM(inputPanelShown() ? SIPF_OFF : SIPF_ON);
        return 0;
    }
    return w ? defaultProc(w, msg, wp, lp) : 0;
}
