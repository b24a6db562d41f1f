// What a Windows CE SDK declares and the desktop headers lack: enough to compile the system's
// code against the real Windows headers of mingw-w64, so that it stays Windows CE code.
#pragma once
#include <windows.h>

#define CEEXPORT extern "C" __declspec(dllexport)

// winuser.h (CE)
typedef UINT32 KEY_STATE_FLAGS;
#define KeyStateDownFlag 0x0080
#define KeyShiftAnyCtrlFlag 0x40000000
#define KeyShiftAnyShiftFlag 0x20000000
#define KeyShiftAnyAltFlag 0x10000000
#define VK_OFF 0xDF
#define WS_EX_CAPTIONOKBTN 0x80000000L
#define SPI_SETSIPINFO 224
#define SPI_GETSIPINFO 225
extern "C" BOOL WINAPI PostKeybdMessage(HWND hwnd, UINT VKey, KEY_STATE_FLAGS KeyStateFlags,
                                        UINT cCharacters, UINT *pShiftStateBuffer,
                                        UINT *pCharacterBuffer);
extern "C" void WINAPI SystemIdleTimerReset(void);

// winbase.h (CE): EscapeCommFunction codes for the infrared mode
#define SETIR 10
#define CLRIR 11

// sipapi.h
#define SIPF_OFF 0x00000000
#define SIPF_ON 0x00000001
#define SIPF_DOCKED 0x00000002
#define SIPF_LOCKED 0x00000004
typedef struct tagSIPINFO {
    DWORD cbSize;
    DWORD fdwFlags;
    RECT rcVisibleDesktop;
    RECT rcSipRect;
    DWORD dwImDataSize;
    void *pvImData;
} SIPINFO, *PSIPINFO;
extern "C" BOOL WINAPI SipGetInfo(SIPINFO *pSipInfo);
extern "C" BOOL WINAPI SipSetInfo(SIPINFO *pSipInfo);
extern "C" BOOL WINAPI SipShowIM(DWORD dwFlag);

// shellapi.h (CE)
extern "C" BOOL WINAPI SHGetShortcutTarget(LPWSTR szShortcut, LPWSTR szTarget, int cbMax);

// The entry point of a CE program takes a wide command line; renamed so that the desktop's
// narrow declaration does not clash.
#define WinMain CeWinMain
int WINAPI CeWinMain(HINSTANCE, HINSTANCE, LPWSTR, int);

// Device Manager (CE)
extern "C" HANDLE WINAPI ActivateDevice(LPCWSTR lpszDevKey, DWORD dwClientInfo);
extern "C" BOOL WINAPI DeactivateDevice(HANDLE hDevice);

// pkfuncs.h
extern "C" BOOL WINAPI KernelIoControl(DWORD dwIoControlCode, LPVOID lpInBuf, DWORD nInBufSize,
                                       LPVOID lpOutBuf, DWORD nOutBufSize, LPDWORD lpBytesReturned);
#define FILE_DEVICE_HAL 0x00000101
#define IOCTL_HAL_REBOOT CTL_CODE(FILE_DEVICE_HAL, 15, METHOD_BUFFERED, FILE_ANY_ACCESS)

// aygshell.h
#define SHCMBF_EMPTYBAR 0x0001
#define SHCMBF_HIDDEN 0x0002
#define SHCMBF_HIDESIPBUTTON 0x0004
#define SHCMBF_COLORBK 0x0008
#define SHCMBF_HMENU 0x0010
typedef struct tagSHMENUBARINFO {
    DWORD cbSize;
    HWND hwndParent;
    DWORD dwFlags;
    UINT nToolBarId;
    HINSTANCE hInstRes;
    int nBmpId;
    int cBmpImages;
    HWND hwndMB;
    COLORREF clrBk;
} SHMENUBARINFO, *PSHMENUBARINFO;
extern "C" BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO *pmbi);
typedef struct {
    DWORD cbSize;
    HWND hwndLastFocus;
    UINT fSipUp : 1;
    UINT fSipOnDeactivation : 1;
    UINT fActive : 1;
    UINT fReserved : 29;
} SHACTIVATEINFO, *PSHACTIVATEINFO;
#define SHA_INPUTDIALOG 0x00000001
extern "C" BOOL WINAPI SHHandleWMSettingChange(HWND hwnd, WPARAM wParam, LPARAM lParam,
                                               PSHACTIVATEINFO psai);
extern "C" BOOL WINAPI SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM lParam,
                                          PSHACTIVATEINFO psai, DWORD dwFlags);
extern "C" BOOL WINAPI SHSipInfo(UINT uiAction, UINT uiParam, PVOID pvParam, UINT fWinIni);
extern "C" BOOL WINAPI SHSipPreference(HWND hwnd, int st);
#define SHIDIM_FLAGS 0x0001
#define SHIDIF_DONEBUTTON 0x0001
#define SHIDIF_SIZEDLG 0x0002
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHIDIF_SIPDOWN 0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010
#define SHIDIF_EMPTYMENU 0x0020
typedef struct tagSHINITDLGINFO {
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
} SHINITDLGINFO, *PSHINITDLGINFO;
extern "C" BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi);
#define SHFS_SHOWTASKBAR 0x0001
#define SHFS_HIDETASKBAR 0x0002
#define SHFS_SHOWSIPBUTTON 0x0004
#define SHFS_HIDESIPBUTTON 0x0008
#define SHFS_SHOWSTARTICON 0x0010
#define SHFS_HIDESTARTICON 0x0020
extern "C" BOOL WINAPI SHFullScreen(HWND hwndRequester, DWORD dwState);
#define SHDB_SHOW 0x0001
#define SHDB_HIDE 0x0002
extern "C" BOOL WINAPI SHDoneButton(HWND hwndRequester, DWORD dwState);
