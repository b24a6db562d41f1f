// The floor of the decoder benchmark: every platform call the decoder makes, doing nothing.
#include <windows.h>

#include <aygshell.h>
#include <sipapi.h>

CEAPI BOOL CloseHandle(HANDLE) {
    return TRUE;
}
CEAPI HANDLE CreateFileW(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    return INVALID_HANDLE_VALUE;
}
CEAPI BOOL EventModify(HANDLE, DWORD) {
    return TRUE;
}
CEAPI HWND FindWindowW(LPCWSTR, LPCWSTR) {
    return nullptr;
}
CEAPI int GetClassNameW(HWND, LPWSTR, int) {
    return 0;
}
CEAPI HWND GetDesktopWindow(void) {
    return nullptr;
}
CEAPI HWND GetForegroundWindow(void) {
    return nullptr;
}
CEAPI BOOL GetVersionExW(LPOSVERSIONINFOW) {
    return FALSE;
}
CEAPI HWND GetWindow(HWND, UINT) {
    return nullptr;
}
CEAPI BOOL PostKeybdMessage(HWND, UINT, KEY_STATE_FLAGS, UINT, UINT *, UINT *) {
    return TRUE;
}
CEAPI BOOL PostMessageW(HWND, UINT, WPARAM, LPARAM) {
    return TRUE;
}
CEAPI LONG RegQueryValueExW(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) {
    return ERROR_FILE_NOT_FOUND;
}
CEAPI LRESULT SendMessageW(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}
CEAPI HWND SetFocus(HWND) {
    return nullptr;
}
CEAPI BOOL SetForegroundWindow(HWND) {
    return TRUE;
}
CEAPI BOOL SetWindowPos(HWND, HWND, int, int, int, int, UINT) {
    return TRUE;
}
CEAPI BOOL ShellExecuteEx(LPSHELLEXECUTEINFO) {
    return TRUE;
}
CEAPI BOOL SipGetInfo(SIPINFO *) {
    return FALSE;
}
CEAPI BOOL SipShowIM(DWORD) {
    return TRUE;
}
CEAPI void SystemIdleTimerReset(void) {}
CEAPI void keybd_event(BYTE, BYTE, DWORD, DWORD) {}
CEAPI void mouse_event(DWORD, DWORD, DWORD, DWORD, DWORD) {}
CEAPI int wsprintfW(LPWSTR out, LPCWSTR, ...) {
    if (out)
        out[0] = 0;
    return 0;
}
