// kbsettings: start-up modes (install, uninstall, interactive), the main window with its tab
// control and pages, the input-panel resize and the OK path with the device-reset question.
#include <windows.h>

#include <aygshell.h>
#include <commctrl.h>

#include "norvel_reg.h"
#include "resource.h"
#include "settings.h"

#define SETTINGS_CLASS TEXT("KB Config")
#define SETTINGS_TITLE TEXT("Keyboard Settings")
#define RESET_CAPTION TEXT("IrDA Keyboard")
#define RESET_TEXT                                                                                 \
    TEXT("If you want the keyboard driver to take effect, please reset your device. Do you want "  \
         "to reset your device now ?")
#define PAGE_COUNT 3
// The flat look of the shell's own tab controls.
#define TAB_CONTROL_VERSION 0x020C
// WS_CHILD spelled out: only as a child with id 1000 does the tab control notify the window.
#define TAB_STYLE                                                                                  \
    (WS_CHILD | WS_VISIBLE | WS_BORDER | WS_GROUP | WS_TABSTOP | TCS_BOTTOM | TCS_FLATBUTTONS)

HINSTANCE instance;
HWND mainWindow;
HWND menuBar;
HWND tabControl;
HWND configPage, hotKeyPage, aboutPage;
HKEY settingsKey;
DWORD initialEnable;
DWORD currentEnable;
WORD repeatRate;
WORD delayTime;
DWORD restartArmed;
SHACTIVATEINFO activationInfo;

void WriteSettingDword(LPCWSTR name, DWORD value) {
    if (!settingsKey)
        return;
    RegSetValueExW(settingsKey, name, 0, REG_DWORD, (const BYTE *)&value, sizeof(value));
}

void WriteString(HKEY key, LPCWSTR name, LPCWSTR text) {
    RegSetValueExW(key, name, 0, REG_SZ, (const BYTE *)text,
                   (DWORD)((wcslen(text) + 1) * sizeof(WCHAR)));
}

// Uninstall: deactivate the loaded instance found through "Active Key" and its "Hnd", remove
// the installed files and the driver key.
static void Uninstall(void) {
    HKEY driverKey;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, NORVEL_DRIVER_KEY, 0, 0, &driverKey) != ERROR_SUCCESS)
        return;

    WCHAR activePath[150];
    DWORD type = REG_NONE, size = sizeof(activePath);
    memset(activePath, 0, sizeof(activePath));
    if (RegQueryValueExW(driverKey, NORVEL_ACTIVE_KEY, NULL, &type, (LPBYTE)activePath, &size) ==
            ERROR_SUCCESS &&
        type == REG_SZ) {
        // A value written without its terminating null still ends inside the buffer.
        activePath[149] = 0;
        HKEY activeKey;
        if (activePath[0] &&
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, activePath, 0, 0, &activeKey) == ERROR_SUCCESS) {
            DWORD hnd = 0;
            type = REG_NONE;
            size = sizeof(hnd);
            // Without a readable handle nothing is deactivated; the files still go.
            if (RegQueryValueExW(activeKey, DM_ACTIVE_HND, NULL, &type, (LPBYTE)&hnd, &size) ==
                    ERROR_SUCCESS &&
                type == REG_DWORD && size == sizeof(hnd) && hnd != 0)
                DeactivateDevice((HANDLE)(ULONG_PTR)hnd);
            DeleteFileW(NORVEL_HELP_FILE);
            DeleteFileW(NORVEL_DRIVER_FILE);
            RegCloseKey(activeKey);
        }
    }
    RegCloseKey(driverKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, NORVEL_DRIVER_KEY);
}

static HWND CreatePage(int templateId, DLGPROC proc) {
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCE(templateId), RT_DIALOG);
    HGLOBAL loaded = found ? LoadResource(instance, found) : NULL;
    LPCDLGTEMPLATE dialog = loaded ? (LPCDLGTEMPLATE)LockResource(loaded) : NULL;
    if (!dialog)
        return NULL;
    return CreateDialogIndirectParamW(instance, dialog, tabControl, proc, 0);
}

// The pages fill the tab control above its row of tabs.
static void SizePages(void) {
    RECT client, tab;
    memset(&client, 0, sizeof(client));
    memset(&tab, 0, sizeof(tab));
    GetClientRect(tabControl, &client);
    SendMessageW(tabControl, TCM_GETITEMRECT, 0, (LPARAM)&tab);
    int width = client.right - client.left;
    int height = client.bottom - client.top - (tab.bottom - tab.top) - 2;
    if (height < 0)
        height = 0;
    HWND pages[PAGE_COUNT] = {configPage, hotKeyPage, aboutPage};
    for (int i = 0; i < PAGE_COUNT; i++)
        if (pages[i])
            SetWindowPos(pages[i], NULL, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

static void ShowPage(int index) {
    HWND pages[PAGE_COUNT] = {configPage, hotKeyPage, aboutPage};
    for (int i = 0; i < PAGE_COUNT; i++)
        if (pages[i])
            ShowWindow(pages[i], i == index ? SW_SHOW : SW_HIDE);
}

static void CreateMainWindowContents(HWND hwnd) {
    SHMENUBARINFO bar;
    memset(&bar, 0, sizeof(bar));
    bar.cbSize = sizeof(bar);
    bar.hwndParent = hwnd;
    bar.dwFlags = SHCMBF_EMPTYBAR;
    bar.hInstRes = instance;
    menuBar = SHCreateMenuBar(&bar) ? bar.hwndMB : NULL;

    RECT barRect, client;
    memset(&barRect, 0, sizeof(barRect));
    memset(&client, 0, sizeof(client));
    if (menuBar)
        GetWindowRect(menuBar, &barRect);
    GetClientRect(hwnd, &client);

    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, NORVEL_DRIVER_KEY, 0, 0, &settingsKey) != ERROR_SUCCESS)
        settingsKey = NULL;

    tabControl = CreateWindowExW(0, WC_TABCONTROL, TEXT(""), TAB_STYLE, -3, 0, client.right + 3,
                                 client.bottom - (barRect.bottom - barRect.top) + 1, hwnd,
                                 (HMENU)IDC_TABS, instance, NULL);
    if (!tabControl)
        return;
    SendMessageW(tabControl, CCM_SETVERSION, TAB_CONTROL_VERSION, 0);
    SendMessageW(tabControl, TCM_SETEXTENDEDSTYLE, 0, TCS_EX_FLATSEPARATORS);

    static const WCHAR *const names[PAGE_COUNT] = {TEXT("Config"), TEXT("Hot-Key"), TEXT("About")};
    for (int i = 0; i < PAGE_COUNT; i++) {
        TCITEMW item;
        memset(&item, 0, sizeof(item));
        item.mask = TCIF_TEXT;
        item.pszText = (LPWSTR)names[i];
        item.iImage = -1;
        SendMessageW(tabControl, TCM_INSERTITEM, i, (LPARAM)&item);
    }

    configPage = CreatePage(IDD_CONFIG, ConfigPage);
    hotKeyPage = CreatePage(IDD_HOTKEY, HotKeyPage);
    aboutPage = CreatePage(IDD_ABOUT, AboutPage);
    SizePages();
    // Every page shows itself while it starts; only the selected first tab's page stays.
    ShowPage(0);
}

// The input panel came or went: follow the visible desktop and give the tab control the
// panel's height back or take it away.
static void FollowInputPanel(HWND hwnd, const RECT *oldTabRect) {
    SIPINFO sip;
    memset(&sip, 0, sizeof(sip));
    sip.cbSize = sizeof(sip);
    if (!SHSipInfo(SPI_GETSIPINFO, 0, &sip, 0))
        return;
    MoveWindow(hwnd, sip.rcVisibleDesktop.left, sip.rcVisibleDesktop.top,
               sip.rcVisibleDesktop.right - sip.rcVisibleDesktop.left,
               sip.rcVisibleDesktop.bottom - sip.rcVisibleDesktop.top, TRUE);
    if (!tabControl)
        return;
    int panelHeight = sip.rcSipRect.bottom - sip.rcSipRect.top;
    int height = oldTabRect->bottom - oldTabRect->top;
    height = (sip.fdwFlags & SIPF_ON) ? height - panelHeight : height + panelHeight;
    if (height < 0)
        height = 0;
    SetWindowPos(tabControl, NULL, 0, 0, oldTabRect->right - oldTabRect->left, height,
                 SWP_NOMOVE | SWP_NOZORDER);
    SizePages();
}

// OK on the first switch-on offers the device reset; Cancel and every other OK just close.
static void CloseSettings(HWND hwnd, int command) {
    if (command == IDOK && initialEnable == 0 && currentEnable != 0 && restartArmed != 0) {
        WriteSettingDword(NORVEL_REPEAT_RATE, repeatRate);
        WriteSettingDword(NORVEL_DELAY_TIME, delayTime);
        WriteSettingDword(NORVEL_ENABLE_KEYBOARD, currentEnable);
        if (MessageBoxW(hwnd, RESET_TEXT, RESET_CAPTION, MB_YESNO) == IDYES) {
            WriteSettingDword(NORVEL_ENABLE_RESTART, 0);
            RegCloseKey(settingsKey);
            settingsKey = NULL;
            DWORD in = 0;
            BYTE out[1024];
            DWORD returned = 0;
            KernelIoControl(IOCTL_HAL_REBOOT, &in, sizeof(in), out, sizeof(out), &returned);
        } else {
            RegCloseKey(settingsKey);
            settingsKey = NULL;
        }
    }
    DestroyWindow(hwnd);
}

LRESULT CALLBACK SettingsWindow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        mainWindow = hwnd;
        CreateMainWindowContents(hwnd);
        return 0;
    case WM_NOTIFY: {
        const NMHDR *header = (const NMHDR *)lParam;
        if (header && header->idFrom == IDC_TABS && header->code == TCN_SELCHANGE)
            ShowPage(TabCtrl_GetCurSel(tabControl));
        return 0;
    }
    case WM_SETTINGCHANGE: {
        RECT tabRect;
        memset(&tabRect, 0, sizeof(tabRect));
        GetWindowRect(tabControl, &tabRect);
        SHHandleWMSettingChange(hwnd, wParam, lParam, &activationInfo);
        if (wParam == SPI_SETSIPINFO)
            FollowInputPanel(hwnd, &tabRect);
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            CloseSettings(hwnd, LOWORD(wParam));
            return 0;
        }
        break;
    case WM_DESTROY:
        if (settingsKey) {
            RegCloseKey(settingsKey);
            settingsKey = NULL;
        }
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A second start brings the running window forward instead of opening another.
static BOOL ActivateRunningCopy(void) {
    HWND running = FindWindowW(SETTINGS_CLASS, NULL);
    if (!running)
        return FALSE;
    if (running != GetForegroundWindow())
        SetForegroundWindow(running);
    return TRUE;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow) {
    UNREFERENCED_PARAMETER(hPrevInstance);
    instance = hInstance;

    if (lpCmdLine && lpCmdLine[0]) {
        if (lpCmdLine[0] == TEXT('I'))
            ActivateDevice(NORVEL_DRIVER_KEY, 0);
        else
            Uninstall();
        return 0;
    }

    if (ActivateRunningCopy())
        return 0;

    InitCommonControls();
    SipShowIM(SIPF_OFF);
    Sleep(50);

    WNDCLASSW wc;
    memset(&wc, 0, sizeof(wc));
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = SettingsWindow;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconW(hInstance, MAKEINTRESOURCE(IDI_KBSETTINGS));
    wc.hbrBackground = (HBRUSH)GetStockObject(LTGRAY_BRUSH);
    wc.lpszClassName = SETTINGS_CLASS;
    if (!RegisterClassW(&wc))
        return 0;

    HWND hwnd = CreateWindowExW(WS_EX_CAPTIONOKBTN, SETTINGS_CLASS, SETTINGS_TITLE, WS_VISIBLE,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, NULL,
                                NULL, hInstance, NULL);
    if (!hwnd) {
        UnregisterClassW(SETTINGS_CLASS, hInstance);
        return 0;
    }
    ShowWindow(hwnd, nCmdShow);
    UpdateWindow(hwnd);

    MSG msg;
    memset(&msg, 0, sizeof(msg));
    while (GetMessageW(&msg, NULL, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    UnregisterClassW(SETTINGS_CLASS, hInstance);
    return (int)msg.wParam;
}
