// kbloader: asks the Device Manager to load the keyboard driver, then exits.
#include <windows.h>

#include "norvel_reg.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow) {
    UNREFERENCED_PARAMETER(hInstance);
    UNREFERENCED_PARAMETER(hPrevInstance);
    UNREFERENCED_PARAMETER(lpCmdLine);
    UNREFERENCED_PARAMETER(nCmdShow);
    // The handle is not kept: nothing here deactivates the driver later.
    ActivateDevice(NORVEL_DRIVER_KEY, 0);
    return 0;
}
