// A library that only carries resources, for the resource and dialog tests.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HANDLE, DWORD, LPVOID) {
    return TRUE;
}
