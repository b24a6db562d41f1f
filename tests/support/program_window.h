// A program's window for controls to live in, and the pen on the glass, as the control tests
// use them.
#pragma once

#include "support/pump.h"

#include <windows.h>

#include "emul/device.h"
#include "emul/windows_sys.h"

namespace test_support {

// A shown top-level window of a class of its own (`proc` its window procedure) over the screen
// between the task bar and the menu bar: a program's main window.
inline HWND ProgramWindow(WNDPROC proc, const char16_t *className = u"Parent") {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    return CreateWindowExW(0, className, u"", WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr,
                           nullptr, nullptr);
}

// A tap at screen pixel X, Y; the program handles the pen-down before the pen lifts.
inline void Tap(int x, int y) {
    emul::WindowSystem &windows = emul::Device::current().windows();
    windows.pen(emul::WindowSystem::Pen::Down, x, y);
    Pump();
    windows.pen(emul::WindowSystem::Pen::Up, x, y);
    Pump();
}

} // namespace test_support
