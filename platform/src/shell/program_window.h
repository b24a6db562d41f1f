// What every platform program shares: a window that ends its program when closed, the loop, and
// the document a text program keeps.
#pragma once
#include <windows.h>

namespace emul {

// What the shell tells every program before the device suspends (WM_POWERBROADCAST with
// PBT_APMSUSPEND): the text programs save their document then.
constexpr UINT kPowerBroadcast = 0x0218;
constexpr WPARAM kPowerSuspend = 4;

LRESULT CALLBACK ProgramWindow(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
// The shell's own windows (the desktop, the task bar): a program window that stays where it is.
LRESULT CALLBACK ShellWindow(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
int programMessageLoop();
// The shell's task bar: a tap on its Start button opens the Start menu.
LRESULT CALLBACK TaskBarWindow(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
// A text program's document (its child 100) from and to "\My Documents\TITLE.txt", TITLE
// being the main window's; the window procedure saves it on WM_CLOSE.
void loadDocument(HWND main);
void saveDocument(HWND main);
// A program's window as the handheld shows it: its menu bar along the bottom, with the input
// panel's button, and the window on what the bar and the panel leave of the screen.
void showProgramWindow(HWND main);
void fitToDesktop(HWND main);

} // namespace emul
