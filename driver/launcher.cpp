// Hot keys: the platform's programs, the power key, the desktop and the task-bar windows.
#include "keys.h"

// Above this build number the platform has the newer programs (the 2002 shell and later).
#define NEWER_SHELL_BUILD 10000

#define TASKBAR_SHOW_WINDOW 4
#define TASKBAR_ACTIVATE_WINDOW 6
#define TASKBAR_MSG_RESET (WM_USER + 3)
#define TASKBAR_MSG_SELECT (WM_USER + 0x64)
#define SWP_SHOW_ONLY (SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW)

// Power key press: the device is about to be switched off, so no key may stay held.
static void PowerKeyPress(KeyboardDevice *dev) {
    dev->shiftDown = 0;
    dev->altDown = 0;
    dev->ctrlDown = 0;
    dev->fnDown = 0;
    dev->numLock = 0;
    dev->keysDown = 0;
    dev->lettersDown = 0;
    SendVirtualKey(dev, VK_OFF, 0);
}

static void PowerKeyRelease(KeyboardDevice *dev) {
    SendVirtualKey(dev, VK_OFF, KEYEVENTF_KEYUP);
}

#if IRK_BUILD == 420
// The e-book reader's own program when it is installed, else the platform's reader.
static LPCWSTR ReaderProgram(void) {
    HANDLE f = CreateFileW(TEXT("ebook.exe"), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE)
        return TEXT("msreader.exe");
    CloseHandle(f);
    return TEXT("ebook.exe");
}

static void RaiseWindow(HWND window) {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_SHOW_ONLY);
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_SHOW_ONLY);
}

// Brings the "Worker" window to the front through the task bar.
static void ShowWorkerWindow(void) {
    HWND taskBar = FindWindowW(TEXT("HHTaskBar"), NULL);
    HWND worker = FindWindowW(TEXT("Worker"), NULL);
    PostMessageW(taskBar, WM_USER, TASKBAR_SHOW_WINDOW, (LPARAM)worker);
    RaiseWindow(worker);
}

// Brings the "Explore" window to the front; the task bar has to select it as well.
static void ShowExploreWindow(void) {
    HWND taskBar = FindWindowW(TEXT("HHTaskBar"), NULL);
    HWND explore = FindWindowW(TEXT("Explore"), NULL);
    SendMessageW(taskBar, WM_USER, TASKBAR_SHOW_WINDOW, (LPARAM)explore);
    SendMessageW(taskBar, TASKBAR_MSG_RESET, 0, 0);
    SendMessageW(taskBar, TASKBAR_MSG_SELECT, (WPARAM)explore, 0);
    SendMessageW(taskBar, WM_USER, TASKBAR_ACTIVATE_WINDOW, (LPARAM)explore);
    RaiseWindow(explore);
}
#endif

void LaunchHotKey(KeyboardDevice *dev, DWORD launchCode) {
    OSVERSIONINFOW version;
    DWORD build;
    WORD code = (WORD)launchCode;

    memset(&version, 0, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    GetVersionExW(&version);
    build = version.dwBuildNumber;
    UNREFERENCED_PARAMETER(build); // the CE 4.00 build makes no choice by it

    switch (code) {
    case LAUNCH_DESKTOP:
        SetForegroundWindow(GetDesktopWindow());
        break;
    case LAUNCH_POWER_DOWN:
#if IRK_BUILD == 300
        if (build < NEWER_SHELL_BUILD)
            PowerKeyPress(dev);
#else
        PowerKeyPress(dev);
#endif
        break;
    case LAUNCH_POWER_UP:
#if IRK_BUILD == 400
        PowerKeyRelease(dev);
#else
        if (build < NEWER_SHELL_BUILD)
            PowerKeyRelease(dev);
#endif
        break;
    case LAUNCH_MAIL:
#if IRK_BUILD == 300
        StartProgram(build > NEWER_SHELL_BUILD ? TEXT("tmail.exe") : TEXT("pmail.exe"), NULL);
#else
        StartProgram(TEXT("tmail.exe"), NULL);
#endif
        break;
    case LAUNCH_NOTES:
        StartProgram(TEXT("Notes.exe"), NULL);
        break;
    case LAUNCH_CONTACTS:
        StartProgram(TEXT("poutlook.exe"), TEXT(" contacts"));
        break;
    case LAUNCH_WORD:
        StartProgram(TEXT("pword.exe"), NULL);
        break;
    case LAUNCH_CALENDAR:
#if IRK_BUILD == 300
        if (build > NEWER_SHELL_BUILD)
            StartProgram(TEXT("poutlook.exe"), TEXT(" calendar"));
        else
            StartProgram(TEXT("calendar.exe"), NULL);
#else
        StartProgram(TEXT("poutlook.exe"), TEXT(" calendar"));
#endif
        break;
    case LAUNCH_EXCEL:
        StartProgram(TEXT("pxl.exe"), NULL);
        break;
    case LAUNCH_TASKS:
        StartProgram(TEXT("tasks.exe"), NULL);
        break;
    case LAUNCH_MONEY:
#if IRK_BUILD == 400
        StartProgram(TEXT("iTask.exe"), NULL);
#else
        StartProgram(build > NEWER_SHELL_BUILD ? TEXT("iTask.exe") : TEXT("moneyce.exe"), NULL);
#endif
        break;
    case LAUNCH_MY_CONFIG:
        if (dev->myConfig[0])
            StartProgram(dev->myConfig, NULL);
        break;
    case LAUNCH_QSTART:
#if IRK_BUILD == 400
        StartProgram(TEXT("iTask.exe"), NULL);
#else
        StartProgram(build > NEWER_SHELL_BUILD ? TEXT("iTask.exe") : TEXT("Qstart.exe"), NULL);
#endif
        break;
#if IRK_BUILD == 420
    case LAUNCH_CALC:
        StartProgram(TEXT("calc.exe"), NULL);
        break;
    case LAUNCH_CLOCK:
        StartProgram(TEXT("clock.exe"), NULL);
        break;
    case LAUNCH_READER:
        StartProgram(ReaderProgram(), NULL);
        break;
    case LAUNCH_FEXPLORE:
        StartProgram(TEXT("fexplore.exe"), NULL);
        break;
    case LAUNCH_IEXPLORE:
        StartProgram(TEXT("iexplore.exe"), NULL);
        break;
    case LAUNCH_WORKER:
        ShowWorkerWindow();
        break;
    case LAUNCH_PLAYER:
        StartProgram(TEXT("player.exe"), NULL);
        break;
    case LAUNCH_EXPLORE:
        ShowExploreWindow();
        break;
#endif
    default:
        break;
    }

    NotifyActivity(dev);
}
