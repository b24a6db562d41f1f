// About page: the program's name, icon and version, and Help, which opens the help page in the
// help viewer.
#include <windows.h>

#include <shellapi.h>

#include "norvel_reg.h"
#include "resource.h"
#include "settings.h"

#define HELP_VIEWER TEXT("\\Windows\\peghelp.exe")
#define HELP_FOLDER TEXT("\\Windows\\")

static void ShowHelp(void) {
    SHELLEXECUTEINFO execute;
    memset(&execute, 0, sizeof(execute));
    execute.cbSize = sizeof(execute);
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    execute.hwnd = NULL;
    execute.lpVerb = TEXT("open");
    execute.lpFile = HELP_VIEWER;
    execute.lpParameters = NORVEL_HELP_FILE;
    execute.lpDirectory = HELP_FOLDER;
    execute.nShow = SW_SHOW;
    execute.hInstApp = instance;
    // A viewer that cannot be started is not reported.
    if (ShellExecuteEx(&execute) && execute.hProcess)
        CloseHandle(execute.hProcess);
}

BOOL CALLBACK AboutPage(HWND page, UINT msg, WPARAM wParam, LPARAM lParam) {
    UNREFERENCED_PARAMETER(lParam);
    switch (msg) {
    case WM_INITDIALOG:
        ShowWindow(page, SW_SHOW);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_HELP_BUTTON) {
            ShowHelp();
            return 0;
        }
        break;
    }
    return FALSE;
}
