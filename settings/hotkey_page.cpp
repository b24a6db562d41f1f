// Hot-Key page: ten rows, one per Cmd + digit, each offering the Start-menu programs and a data
// file. The assignment goes to "Fn-<digit>"; every listed program gets a value mapping its
// display name to its path, which the driver's launcher resolves.
#include <windows.h>

#include <aygshell.h>
#include <commdlg.h>
#include <shlobj.h>

#include "norvel_reg.h"
#include "resource.h"
#include "settings.h"

#define CHOOSE_DATA_FILE TEXT("Choose Data File...")
// Row texts are read back into 100 bytes, so no entry is longer than 49 characters.
#define ROW_TEXT_CHARS 50
// A shortcut's target (300 bytes), the walk's search pattern and a file's full path.
#define TARGET_CHARS 150
#define PATTERN_CHARS 150
#define FULL_PATH_CHARS 152
#define FILE_TITLE_CHARS 80
#define EXTENSION_CHARS 4
// A Start menu holds a few dozen folders; entering no more than this ends a walk through a tree
// that repeats itself (a folder that reaches one of its own ancestors).
#define WALK_FOLDERS 512

static WCHAR startMenuPattern[PATTERN_CHARS];

static int DigitOfRow(int row) {
    return row == IDC_CMD_ROWS - 1 ? 0 : row + 1;
}

static WCHAR LowerAscii(WCHAR c) {
    return (c >= TEXT('A') && c <= TEXT('Z')) ? (WCHAR)(c - TEXT('A') + TEXT('a')) : c;
}

// File names on the device ignore case, so ".LNK" and "APP.EXE" count too.
static BOOL MatchesNoCase(LPCWSTR text, LPCWSTR part, size_t length) {
    for (size_t i = 0; i < length; i++)
        if (LowerAscii(text[i]) != LowerAscii(part[i]))
            return FALSE;
    return TRUE;
}

static BOOL EndsWithNoCase(LPCWSTR text, LPCWSTR tail) {
    size_t length = wcslen(text), tailLength = wcslen(tail);
    return length >= tailLength && MatchesNoCase(text + length - tailLength, tail, tailLength);
}

static BOOL ContainsNoCase(LPCWSTR text, LPCWSTR part) {
    size_t length = wcslen(text), partLength = wcslen(part);
    for (size_t i = 0; i + partLength <= length; i++)
        if (MatchesNoCase(text + i, part, partLength))
            return TRUE;
    return FALSE;
}

// Names a Start-menu entry may not take in the driver key: the driver's own values, the ten
// assignments, and whatever the key already holds with a type other than a string.
static BOOL IsReservedName(LPCWSTR name) {
    static const WCHAR *const fixedNames[] = {
        NORVEL_ENABLE_KEYBOARD, NORVEL_REPEAT_RATE, NORVEL_DELAY_TIME, NORVEL_ENABLE_RESTART,
        NORVEL_ACTIVE_KEY,      NORVEL_MY_CONFIG,   NORVEL_INIT,       NORVEL_PORT_NAME,
        NORVEL_OPEN_FILE,       NORVEL_IRDA,        TEXT("Dll"),       TEXT("Prefix"),
        TEXT("Index"),          TEXT("Order")};
    for (size_t i = 0; i < sizeof(fixedNames) / sizeof(fixedNames[0]); i++)
        if (_wcsicmp(name, fixedNames[i]) == 0)
            return TRUE;
    if (wcslen(name) == 4 && MatchesNoCase(name, TEXT("Fn-"), 3) && name[3] >= TEXT('0') &&
        name[3] <= TEXT('9'))
        return TRUE;
    DWORD type = REG_NONE, size = 0;
    return settingsKey &&
           RegQueryValueExW(settingsKey, name, NULL, &type, NULL, &size) == ERROR_SUCCESS &&
           type != REG_SZ;
}

typedef struct {
    HWND combos[IDC_CMD_ROWS];
    int comboCount;
    HKEY key; // where program values go; NULL for a walk that only lists
    int foldersLeft;
} WalkTarget;

// One file of the Start-menu tree: list it under its display name and, for a full walk, store
// its program value.
static void AddEntry(LPCWSTR pattern, size_t folderLength, LPCWSTR name, const WalkTarget *target) {
    size_t nameLength = wcslen(name);
    // Nothing would be left of the name once its extension goes.
    if (nameLength <= EXTENSION_CHARS)
        return;
    // A path longer than the walk's buffer is beyond what the page handles: not listed.
    if (folderLength + nameLength >= FULL_PATH_CHARS)
        return;
    WCHAR fullPath[FULL_PATH_CHARS];
    memcpy(fullPath, pattern, folderLength * sizeof(WCHAR));
    memcpy(fullPath + folderLength, name, (nameLength + 1) * sizeof(WCHAR));

    WCHAR shortcutTarget[TARGET_CHARS];
    LPCWSTR programPath = name;
    if (EndsWithNoCase(name, TEXT(".lnk"))) {
        memset(shortcutTarget, 0, sizeof(shortcutTarget));
        // A shortcut that cannot be read, or that starts no program, is not offered.
        if (!SHGetShortcutTarget(fullPath, shortcutTarget, TARGET_CHARS))
            return;
        shortcutTarget[TARGET_CHARS - 1] = 0;
        if (!ContainsNoCase(shortcutTarget, TEXT(".exe")))
            return;
        programPath = shortcutTarget;
    }

    WCHAR displayName[ROW_TEXT_CHARS];
    size_t displayLength = nameLength - EXTENSION_CHARS;
    if (displayLength > ROW_TEXT_CHARS - 1)
        displayLength = ROW_TEXT_CHARS - 1;
    memcpy(displayName, name, displayLength * sizeof(WCHAR));
    displayName[displayLength] = 0;
    if (IsReservedName(displayName))
        return;

    for (int i = 0; i < target->comboCount; i++)
        SendMessageW(target->combos[i], CB_ADDSTRING, 0, (LPARAM)displayName);
    if (target->key)
        WriteString(target->key, displayName, programPath);
}

// Depth first through one folder; the pattern is the folder followed by "\*.*".
static void WalkFolder(LPCWSTR pattern, WalkTarget *target) {
    if (target->foldersLeft <= 0)
        return;
    target->foldersLeft--;
    WIN32_FIND_DATAW found;
    memset(&found, 0, sizeof(found));
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    size_t folderLength = wcslen(pattern) - 3;
    do {
        found.cFileName[MAX_PATH - 1] = 0;
        LPCWSTR name = found.cFileName;
        if (!name[0] || wcscmp(name, TEXT(".")) == 0 || wcscmp(name, TEXT("..")) == 0)
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            size_t nameLength = wcslen(name);
            // Folders nested deeper than the pattern buffer holds are left out.
            if (folderLength + nameLength + 4 >= PATTERN_CHARS)
                continue;
            WCHAR subPattern[PATTERN_CHARS];
            memcpy(subPattern, pattern, folderLength * sizeof(WCHAR));
            memcpy(subPattern + folderLength, name, nameLength * sizeof(WCHAR));
            wcscpy(subPattern + folderLength + nameLength, TEXT("\\*.*"));
            WalkFolder(subPattern, target);
        } else {
            AddEntry(pattern, folderLength, name, target);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Lists every Start-menu program in all rows and writes its program value.
static void FillAllRows(HKEY key, HWND page, int firstId, LPCWSTR pattern) {
    WalkTarget target;
    memset(&target, 0, sizeof(target));
    for (int i = 0; i < IDC_CMD_ROWS; i++)
        target.combos[i] = GetDlgItem(page, firstId + i);
    target.comboCount = IDC_CMD_ROWS;
    target.key = key;
    target.foldersLeft = WALK_FOLDERS;
    if (pattern[0])
        WalkFolder(pattern, &target);
}

// Lists every Start-menu program in one row; writes nothing.
static void FillOneRow(HWND combo, LPCWSTR pattern) {
    WalkTarget target;
    memset(&target, 0, sizeof(target));
    target.combos[0] = combo;
    target.comboCount = 1;
    target.foldersLeft = WALK_FOLDERS;
    if (pattern[0])
        WalkFolder(pattern, &target);
}

static void FormStartMenuPattern(HWND page) {
    startMenuPattern[0] = 0;
    LPITEMIDLIST folderList = NULL;
    WCHAR folder[MAX_PATH];
    memset(folder, 0, sizeof(folder));
    if (FAILED(SHGetSpecialFolderLocation(page, CSIDL_STARTMENU, &folderList)) || !folderList)
        return;
    BOOL found = SHGetPathFromIDList(folderList, folder);
    // The shell hands out item lists from the local heap.
    LocalFree(folderList);
    if (!found)
        return;
    folder[MAX_PATH - 1] = 0;
    size_t length = wcslen(folder);
    LPCWSTR tail = (length && folder[length - 1] == TEXT('\\')) ? TEXT("*.*") : TEXT("\\*.*");
    // A Start menu whose pattern does not fit the walk's buffer is not walked.
    if (length + wcslen(tail) >= PATTERN_CHARS)
        return;
    wcscpy(startMenuPattern, folder);
    wcscat(startMenuPattern, tail);
}

// The row's stored assignment, whole whatever its length (a data file's path can be much
// longer than a row shows); NULL when missing or not a string. Free with LocalFree.
static LPWSTR ReadAssignment(int digit) {
    WCHAR name[16];
    wsprintfW(name, NORVEL_FN_FORMAT, digit);
    DWORD type = REG_NONE, size = 0;
    if (!settingsKey ||
        RegQueryValueExW(settingsKey, name, NULL, &type, NULL, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return NULL;
    // The spare zeroed characters terminate a value stored without its null.
    LPWSTR text = (LPWSTR)LocalAlloc(LPTR, size + 2 * sizeof(WCHAR));
    if (!text)
        return NULL;
    DWORD room = size;
    if (RegQueryValueExW(settingsKey, name, NULL, &type, (LPBYTE)text, &room) != ERROR_SUCCESS) {
        LocalFree(text);
        return NULL;
    }
    return text;
}

static void WriteAssignment(int digit, LPCWSTR text) {
    if (!settingsKey)
        return;
    WCHAR name[16];
    wsprintfW(name, NORVEL_FN_FORMAT, digit);
    WriteString(settingsKey, name, text);
}

// What a row shows for a stored text that is no listed program: the part after the last
// backslash (a data file's name), cut to what a row holds.
static void RowTextOf(LPCWSTR stored, WCHAR *shown, size_t room) {
    LPCWSTR slash = wcsrchr(stored, TEXT('\\'));
    LPCWSTR start = slash ? slash + 1 : stored;
    size_t length = wcslen(start);
    if (length > room - 1)
        length = room - 1;
    memcpy(shown, start, length * sizeof(WCHAR));
    shown[length] = 0;
}

static int FindExact(HWND combo, LPCWSTR text) {
    if (wcslen(text) >= ROW_TEXT_CHARS)
        return CB_ERR;
    return (int)SendMessageW(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)text);
}

// The entry that stands for the row's stored assignment, added if the list lacks it. With
// reuseShown an entry already showing the data file's name is taken instead of a second one.
static int FindOrAddStored(HWND combo, int digit, BOOL reuseShown) {
    LPWSTR stored = ReadAssignment(digit);
    LPCWSTR text = stored ? stored : TEXT("");
    int index = FindExact(combo, text);
    if (index == CB_ERR) {
        WCHAR shown[ROW_TEXT_CHARS];
        RowTextOf(text, shown, ROW_TEXT_CHARS);
        if (reuseShown)
            index = FindExact(combo, shown);
        if (index == CB_ERR)
            index = (int)SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)shown);
    }
    if (stored)
        LocalFree(stored);
    return index;
}

// "Choose Data File..." goes first, outside the sort order; the selection stays on its entry.
static void FinishRow(HWND combo, int index) {
    SendMessageW(combo, CB_INSERTSTRING, 0, (LPARAM)CHOOSE_DATA_FILE);
    SendMessageW(combo, CB_SETCURSEL, index >= 0 ? (WPARAM)(index + 1) : (WPARAM)-1, 0);
}

static void InitHotKeyPage(HWND page) {
    ShowWindow(page, SW_SHOW);
    FormStartMenuPattern(page);
    FillAllRows(settingsKey, page, IDC_CMD_FIRST, startMenuPattern);
    for (int row = 0; row < IDC_CMD_ROWS; row++) {
        HWND combo = GetDlgItem(page, IDC_CMD_FIRST + row);
        if (combo)
            FinishRow(combo, FindOrAddStored(combo, DigitOfRow(row), FALSE));
    }
}

static void ChooseDataFile(HWND combo, int digit) {
    WCHAR file[MAX_PATH];
    WCHAR title[FILE_TITLE_CHARS];
    memset(file, 0, sizeof(file));
    memset(title, 0, sizeof(title));
    OPENFILENAMEW dialog;
    memset(&dialog, 0, sizeof(dialog));
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = NULL;
    dialog.hInstance = instance;
    dialog.lpstrFilter = TEXT("All Files (*.*)\0*.*\0");
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrFileTitle = title;
    dialog.nMaxFileTitle = FILE_TITLE_CHARS;
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;

    BOOL chosen = GetOpenFileNameW(&dialog);
    file[MAX_PATH - 1] = 0;
    title[FILE_TITLE_CHARS - 1] = 0;
    if (chosen && file[0]) {
        WCHAR shown[ROW_TEXT_CHARS];
        RowTextOf(title[0] ? title : file, shown, ROW_TEXT_CHARS);
        SendMessageW(combo, CB_RESETCONTENT, 0, 0);
        FillOneRow(combo, startMenuPattern);
        FinishRow(combo, (int)SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)shown));
        WriteAssignment(digit, file);
        return;
    }
    // Cancelled: back to the stored assignment, nothing written.
    SendMessageW(combo, CB_DELETESTRING, 0, 0);
    FinishRow(combo, FindOrAddStored(combo, digit, TRUE));
}

static void RowChanged(HWND combo, int digit) {
    int position = (int)SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (position == CB_ERR)
        return;
    if (position == 0) {
        ChooseDataFile(combo, digit);
        return;
    }
    int length = (int)SendMessageW(combo, CB_GETLBTEXTLEN, position, 0);
    if (length < 0 || length >= ROW_TEXT_CHARS)
        return;
    WCHAR text[ROW_TEXT_CHARS];
    memset(text, 0, sizeof(text));
    SendMessageW(combo, CB_GETLBTEXT, position, (LPARAM)text);

    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    FillOneRow(combo, startMenuPattern);
    int index = FindExact(combo, text);
    if (index != CB_ERR) {
        FinishRow(combo, index);
        WriteAssignment(digit, text);
        return;
    }
    // Not a program: the row's own entry, which shows the stored assignment (a data file by its
    // name). Picking it keeps the stored path rather than replacing it with the bare name.
    FinishRow(combo, FindOrAddStored(combo, digit, FALSE));
}

BOOL CALLBACK HotKeyPage(HWND page, UINT msg, WPARAM wParam, LPARAM lParam) {
    UNREFERENCED_PARAMETER(lParam);
    switch (msg) {
    case WM_INITDIALOG:
        InitHotKeyPage(page);
        return TRUE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (id >= IDC_CMD_FIRST && id <= IDC_CMD_LAST && HIWORD(wParam) == CBN_SELCHANGE) {
            HWND combo = GetDlgItem(page, id);
            if (combo)
                RowChanged(combo, DigitOfRow(id - IDC_CMD_FIRST));
            return 0;
        }
        break;
    }
    }
    return FALSE;
}
