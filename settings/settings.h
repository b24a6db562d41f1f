// kbsettings: program-wide state shared by the main window and its pages.
#ifndef KBSETTINGS_SETTINGS_H
#define KBSETTINGS_SETTINGS_H

#include <windows.h>

#include <aygshell.h>

extern HINSTANCE instance;
extern HWND mainWindow;
extern HWND menuBar;
extern HWND tabControl;
extern HWND configPage, hotKeyPage, aboutPage;
extern HKEY settingsKey;

// Filled by the Config page; the OK path reads them.
extern DWORD initialEnable;
extern DWORD currentEnable;
extern WORD repeatRate;
extern WORD delayTime;
extern DWORD restartArmed;

extern SHACTIVATEINFO activationInfo;

LRESULT CALLBACK SettingsWindow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL CALLBACK ConfigPage(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL CALLBACK HotKeyPage(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL CALLBACK AboutPage(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);

// Registry helpers over settingsKey (or another open key); failures are silent.
void WriteSettingDword(LPCWSTR name, DWORD value);
void WriteString(HKEY key, LPCWSTR name, LPCWSTR text);

#endif
