// The common controls: their classes come with the window system; InitCommonControls(Ex) is
// what a program calls before using them.
#include <commctrl.h>
#include <windows.h>

CEAPI void InitCommonControls(void) {}

CEAPI BOOL InitCommonControlsEx(LPINITCOMMONCONTROLSEX init) {
    if (!init || init->dwSize != sizeof(INITCOMMONCONTROLSEX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
