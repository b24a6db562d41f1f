// Start-up code of a CE program: the loader enters the module here, which calls its WinMain.
#include <windows.h>

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow);

CEEXPORT int WinMainCRTStartup(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine,
                               int nCmdShow) {
    return WinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
