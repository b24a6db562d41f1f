// Config page: the Enable Keyboard check box and the repeat-rate and delay sliders. Every change
// goes to the driver key at once; the running driver reads it on its next pass.
#include <windows.h>

#include <commctrl.h>

#include "norvel_reg.h"
#include "resource.h"
#include "settings.h"

// Slider positions run 1..10: rate = p x 30 ms, delay = p x 100 + 50 ms.
#define SLIDER_MIN 1
#define SLIDER_MAX 10
#define RATE_STEP 30
#define DELAY_STEP 100
#define DELAY_BASE 50

// What the page assumes for a value that is missing or not 4 bytes long: the timings the driver
// itself starts with, the keyboard off (as the driver treats it) and no reset offer.
#define DEFAULT_REPEAT_RATE 100
#define DEFAULT_DELAY_TIME 500
#define DEFAULT_ENABLE_KEYBOARD 0
#define DEFAULT_ENABLE_RESTART 0

// Any 4-byte value counts, whatever its type, as the driver reads it: the page must show the
// timing the driver applies and never write back another one.
static DWORD ReadSettingDword(LPCWSTR name, DWORD fallback) {
    DWORD value = 0, size = sizeof(value);
    if (settingsKey &&
        RegQueryValueExW(settingsKey, name, NULL, NULL, (LPBYTE)&value, &size) == ERROR_SUCCESS &&
        size == sizeof(value))
        return value;
    return fallback;
}

static void ShowNumber(HWND page, int id, WORD value) {
    WCHAR text[16];
    wsprintfW(text, TEXT("%d"), (int)value);
    SetDlgItemTextW(page, id, text);
}

static void InitConfigPage(HWND page) {
    ShowWindow(page, SW_SHOW);

    repeatRate = (WORD)(ReadSettingDword(NORVEL_REPEAT_RATE, DEFAULT_REPEAT_RATE) & 0xFFFF);
    delayTime = (WORD)(ReadSettingDword(NORVEL_DELAY_TIME, DEFAULT_DELAY_TIME) & 0xFFFF);
    initialEnable = ReadSettingDword(NORVEL_ENABLE_KEYBOARD, DEFAULT_ENABLE_KEYBOARD);
    currentEnable = initialEnable;
    restartArmed = ReadSettingDword(NORVEL_ENABLE_RESTART, DEFAULT_ENABLE_RESTART);

    // Stored values off the slider's scale land on its nearest end (the trackbar clamps).
    SendDlgItemMessageW(page, IDC_RATE_SLIDER, TBM_SETRANGE, FALSE,
                        MAKELONG(SLIDER_MIN, SLIDER_MAX));
    SendDlgItemMessageW(page, IDC_RATE_SLIDER, TBM_SETPOS, TRUE, repeatRate / RATE_STEP);
    SendDlgItemMessageW(page, IDC_DELAY_SLIDER, TBM_SETRANGE, FALSE,
                        MAKELONG(SLIDER_MIN, SLIDER_MAX));
    SendDlgItemMessageW(page, IDC_DELAY_SLIDER, TBM_SETPOS, TRUE,
                        ((int)delayTime - DELAY_BASE) / DELAY_STEP);

    CheckDlgButton(page, IDC_ENABLE_KEYBOARD, currentEnable ? BST_CHECKED : BST_UNCHECKED);
    ShowNumber(page, IDC_RATE_VALUE, repeatRate);
    ShowNumber(page, IDC_DELAY_VALUE, delayTime);
}

// Any scroll notification from a slider: store the value of its position if it changed.
static void SliderMoved(HWND page, HWND slider) {
    if (!slider)
        return;
    if (slider == GetDlgItem(page, IDC_RATE_SLIDER)) {
        int pos = (int)SendMessageW(slider, TBM_GETPOS, 0, 0);
        WORD value = (WORD)(pos * RATE_STEP);
        if (value == repeatRate)
            return;
        repeatRate = value;
        ShowNumber(page, IDC_RATE_VALUE, repeatRate);
        WriteSettingDword(NORVEL_REPEAT_RATE, repeatRate);
    } else if (slider == GetDlgItem(page, IDC_DELAY_SLIDER)) {
        int pos = (int)SendMessageW(slider, TBM_GETPOS, 0, 0);
        WORD value = (WORD)(pos * DELAY_STEP + DELAY_BASE);
        if (value == delayTime)
            return;
        delayTime = value;
        ShowNumber(page, IDC_DELAY_VALUE, delayTime);
        WriteSettingDword(NORVEL_DELAY_TIME, delayTime);
    }
}

BOOL CALLBACK ConfigPage(HWND page, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG:
        InitConfigPage(page);
        return TRUE;
    case WM_HSCROLL:
        SliderMoved(page, (HWND)lParam);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_ENABLE_KEYBOARD) {
            currentEnable = IsDlgButtonChecked(page, IDC_ENABLE_KEYBOARD) == BST_CHECKED ? 1 : 0;
            WriteSettingDword(NORVEL_ENABLE_KEYBOARD, currentEnable);
            return 0;
        }
        break;
    }
    return FALSE;
}
