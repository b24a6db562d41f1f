// Key events, characters and user programs on their way to the system, each followed by the
// activity notifications; and the search for a rich-ink control in the foreground program.
#include "keys.h"

#include <shellapi.h>

#include "norvel_reg.h"
#include "wstr.h"

#define RICHINK_CLASS TEXT("richink")
#define CLASS_NAME_CHARS 50

// Value buffers are offered at these sizes and have one more code unit behind them, which stays
// 0, so a value that fills what was offered is still terminated. A digit's value may hold a data
// file's full path, so it is read up to the platform's path limit: a longer value fails to read
// and starts nothing rather than a cut path.
#define FN_VALUE_BYTES (MAX_PATH * sizeof(WCHAR))
#define PROGRAM_VALUE_BYTES 300

void NotifyActivity(KeyboardDevice *dev) {
    SystemIdleTimerReset();
    if (dev->backlightEvent)
        SetEvent(dev->backlightEvent);
}

void SendVirtualKey(KeyboardDevice *dev, DWORD vk, DWORD flags) {
    keybd_event((BYTE)(vk & 0xFF), 0, flags, 0);
    NotifyActivity(dev);
}

void PostCharacter(KeyboardDevice *dev, WCHAR ch, DWORD down) {
    UINT shiftState[1] = {0};
    UINT chars[1] = {ch};
    PostKeybdMessage((HWND)-1, 0, down ? KeyStateDownFlag : 0, 1, shiftState, chars);
#if IRK_BUILD == 400
    // This build posts characters without reporting activity.
    UNREFERENCED_PARAMETER(dev);
#else
    NotifyActivity(dev);
#endif
}

// Reads a window's class name and compares it with "richink" exactly.
// Returns -1 when the name cannot be read, 1 on a match, 0 otherwise.
static int IsRichInk(HWND window) {
    WCHAR name[CLASS_NAME_CHARS];
    if (GetClassNameW(window, name, CLASS_NAME_CHARS) == 0)
        return -1;
    return IrkStrCmp(name, RICHINK_CLASS) == 0 ? 1 : 0;
}

static void RecordRichInk(KeyboardDevice *dev, HWND window) {
    dev->richInkWindow = window;
    dev->richInkFound = 1;
}

// Pre-order search of the descendants of `parent`. A window whose class cannot be read is
// neither matched nor searched below, but its later siblings still are.
static DWORD SearchBelow(KeyboardDevice *dev, HWND parent) {
    HWND w;
    for (w = GetWindow(parent, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        int match = IsRichInk(w);
        if (match < 0)
            continue;
        if (match) {
            RecordRichInk(dev, w);
            return 1;
        }
        if (SearchBelow(dev, w))
            return 1;
    }
    return 0;
}

// Searches the subtree of `window`, then its later siblings with their subtrees; every window is
// examined once.
DWORD FindRichInkChild(KeyboardDevice *dev, HWND window) {
    HWND w;
    if (SearchBelow(dev, window))
        return dev->richInkFound;
    for (w = GetWindow(window, GW_HWNDNEXT); w && dev->richInkFound == 0;
         w = GetWindow(w, GW_HWNDNEXT)) {
        int match = IsRichInk(w);
        if (match < 0)
            continue;
        if (match)
            RecordRichInk(dev, w);
        else
            SearchBelow(dev, w);
    }
    return dev->richInkFound;
}

DWORD ForegroundHasRichInk(KeyboardDevice *dev) {
    HWND child;
    int match;

    dev->richInkFound = 0;
    child = GetWindow(GetForegroundWindow(), GW_CHILD);
    if (!child)
        return 0;
    match = IsRichInk(child);
    if (match < 0)
        return 0;
    if (match)
        RecordRichInk(dev, child);
    else
        FindRichInkChild(dev, child);

#if IRK_BUILD == 400
    // Only a control that is tall enough and covers the top of the work area takes the keys.
    if (dev->richInkFound == 1) {
        RECT r = {0, 0, 0, 0};
        POINT pt = {30, 50};
        GetWindowRect(dev->richInkWindow, &r);
        if ((LONG)(r.bottom - r.top) < 20) {
            dev->richInkFound = 0;
            return 0;
        }
        if (WindowFromPoint(pt) != dev->richInkWindow)
            dev->richInkFound = 0;
    }
#endif
    return dev->richInkFound;
}

void StartProgram(LPCWSTR file, LPCWSTR parameters) {
    SHELLEXECUTEINFO sei;
    memset(&sei, 0, sizeof(sei));
    sei.cbSize = sizeof(SHELLEXECUTEINFO);
    sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    sei.hwnd = NULL;
    sei.lpVerb = TEXT("open");
    sei.lpFile = file;
    sei.lpParameters = parameters;
    sei.lpDirectory = NULL;
    sei.nShow = SW_SHOW;
    ShellExecuteEx(&sei);
    if (sei.hProcess)
        CloseHandle(sei.hProcess);
}

// Starts a program's command as stored by the settings program: a path, possibly quoted, and
// possibly followed by one parameter after the last space.
static void StartCommand(WCHAR *command) {
    DWORD len = IrkStrLen(command);
    DWORD i;

#if IRK_BUILD == 420
    while (len > 0 && command[len - 1] == TEXT(' '))
        command[--len] = 0;
#endif
    if (len >= 4 && IrkStrCmp(command + len - 4, TEXT(".exe")) == 0) {
        StartProgram(command, NULL);
        return;
    }
    if (len > 0 && command[len - 1] == TEXT('"')) {
        StartProgram(command, NULL);
        return;
    }
    for (i = len; i > 0; --i) {
        if (command[i - 1] == TEXT(' ')) {
            command[i - 1] = 0;
            StartProgram(command, command + i);
            return;
        }
    }
    // A bare name without a space has nothing to pass as parameters.
    StartProgram(command, NULL);
}

void LaunchUserProgram(KeyboardDevice *dev, DWORD digit) {
    WCHAR valueName[16];
    WCHAR first[FN_VALUE_BYTES / sizeof(WCHAR) + 1];
    WCHAR second[PROGRAM_VALUE_BYTES / sizeof(WCHAR) + 1];
    DWORD type, size;

    wsprintfW(valueName, NORVEL_FN_FORMAT, (int)(digit & 0xFF));
    memset(first, 0, sizeof(first));
    size = FN_VALUE_BYTES;
    if (RegQueryValueExW(dev->registryKey, valueName, NULL, &type, (LPBYTE)first, &size) ==
        ERROR_SUCCESS) {
        // The digit's value names a program whose command is a value of that name; a data file
        // has no such value and is opened as it is.
        memset(second, 0, sizeof(second));
        size = PROGRAM_VALUE_BYTES;
        if (RegQueryValueExW(dev->registryKey, first, NULL, &type, (LPBYTE)second, &size) ==
            ERROR_SUCCESS)
            StartCommand(second);
        else
            StartProgram(first, NULL);
    }
    NotifyActivity(dev);
}
