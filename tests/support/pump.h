// Runs the calling thread's queued messages as a program's message loop would, until none is left.
#pragma once

#include <windows.h>

namespace test_support {

inline void Pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

} // namespace test_support
