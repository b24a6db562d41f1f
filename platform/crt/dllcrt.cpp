// Start-up code of a CE library: the loader enters the module here, which calls its DllMain.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HANDLE hinstDLL, DWORD dwReason, LPVOID lpvReserved);

CEEXPORT BOOL _DllMainCRTStartup(HANDLE hinstDLL, DWORD dwReason, LPVOID lpvReserved) {
    return DllMain(hinstDLL, dwReason, lpvReserved);
}
