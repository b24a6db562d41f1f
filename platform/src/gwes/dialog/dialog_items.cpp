// The dialog helpers: a dialog's controls by id.
#include "gwes/win_internal.h"
#include "kernel/user_pointers.h"

using namespace emul;

CEAPI HWND GetDlgItem(HWND dlg, int id) {
    Window *w = needWindow(dlg);
    if (!w)
        return nullptr;
    for (Window *c : w->children)
        if (c->id == id)
            return toHwnd(c);
    SetLastError(1421); // ERROR_CONTROL_ID_NOT_FOUND
    return nullptr;
}

CEAPI int GetDlgCtrlID(HWND h) {
    Window *w = needWindow(h);
    return w && w->parent ? w->id : 0;
}

CEAPI BOOL SetDlgItemTextW(HWND dlg, int id, LPCWSTR text) {
    HWND c = GetDlgItem(dlg, id);
    return c ? SetWindowTextW(c, text) : FALSE;
}

CEAPI UINT GetDlgItemTextW(HWND dlg, int id, LPWSTR buf, int max) {
    if (refusedPointer(buf))
        return 0;
    HWND c = GetDlgItem(dlg, id);
    if (!c) {
        if (buf && max > 0)
            buf[0] = 0;
        return 0;
    }
    return UINT(GetWindowTextW(c, buf, max));
}

CEAPI LRESULT SendDlgItemMessageW(HWND dlg, int id, UINT msg, WPARAM wp, LPARAM lp) {
    HWND c = GetDlgItem(dlg, id);
    return c ? SendMessageW(c, msg, wp, lp) : 0;
}

CEAPI BOOL CheckDlgButton(HWND dlg, int id, UINT check) {
    HWND c = GetDlgItem(dlg, id);
    if (!c)
        return FALSE;
    SendMessageW(c, BM_SETCHECK, check, 0);
    return TRUE;
}

CEAPI UINT IsDlgButtonChecked(HWND dlg, int id) {
    HWND c = GetDlgItem(dlg, id);
    return c ? UINT(SendMessageW(c, BM_GETCHECK, 0, 0)) : 0;
}
