// What every platform program shares: a window that ends its program when closed, and the loop.
#pragma once
#include <windows.h>

namespace emul {

LRESULT CALLBACK ProgramWindow(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
int programMessageLoop();

} // namespace emul
