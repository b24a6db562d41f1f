// Shell execution of the CE SDK.
#ifndef CE_SHELLAPI_H
#define CE_SHELLAPI_H
#include <windows.h>

#define SEE_MASK_NOCLOSEPROCESS 0x00000040
#define SEE_MASK_FLAG_NO_UI 0x00000400

typedef struct _SHELLEXECUTEINFO {
    DWORD cbSize;
    ULONG fMask;
    HWND hwnd;
    LPCWSTR lpVerb;
    LPCWSTR lpFile;
    LPCWSTR lpParameters;
    LPCWSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp;
    LPVOID lpIDList;
    LPCWSTR lpClass;
    HKEY hkeyClass;
    DWORD dwHotKey;
    HANDLE hIcon;
    HANDLE hProcess;
} SHELLEXECUTEINFO, *LPSHELLEXECUTEINFO;

CEAPI BOOL ShellExecuteEx(LPSHELLEXECUTEINFO lpExecInfo);

#define CSIDL_DESKTOP 0x0000
#define CSIDL_PROGRAMS 0x0002
#define CSIDL_PERSONAL 0x0005
#define CSIDL_STARTUP 0x0007
#define CSIDL_STARTMENU 0x000B
#define CSIDL_WINDOWS 0x0024

#define CSIDL_FAVORITES 0x0006
#define CSIDL_RECENT 0x0008
#define CSIDL_DESKTOPDIRECTORY 0x0010
#define CSIDL_FONTS 0x0014
#define CSIDL_APPDATA 0x001A
#define CSIDL_PROGRAM_FILES 0x0026
#define CSIDL_PROFILE 0x0028

// A shortcut (.lnk) holds "<count>#<command line>"; the size is in characters.
CEAPI BOOL SHGetShortcutTarget(LPWSTR szShortcut, LPWSTR szTarget, int cbMax);
CEAPI DWORD SHCreateShortcut(LPWSTR szShortcut, LPWSTR szTarget);

#endif
