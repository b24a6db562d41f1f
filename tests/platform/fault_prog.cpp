// A program that faults: with "null" on its command line it writes through a null pointer,
// with "div" it divides by zero, with "thread" a thread it starts writes through a null
// pointer while the program waits for it; with "wait" it ends after a second of device time,
// with "lib" it loads "fakedrv.dll" and ends without freeing it; with "reg" it asks the registry
// to copy a value to an address that is not there; with "spin" it calls the platform for ever
// without blocking; with "busy" it does the same with work between the calls, counting its rounds
// in "Software\Fault" "n"; with "keep" it loads "fakedrv.dll" and ends while a thread of its own
// still waits, which says when it has been unwound; with "memory" it asks for more memory than
// any host has; otherwise it exits with 7.
#include <windows.h>

static DWORD WINAPI FaultingThread(LPVOID arg) {
    volatile int *nowhere = (volatile int *)arg;
    *nowhere = 1;
    return 0;
}

struct SaysWhenUnwound {
    ~SaysWhenUnwound() { OutputDebugStringW(TEXT("worker unwound")); }
};

static DWORD WINAPI WaitingThread(LPVOID event) {
    SaysWhenUnwound says;
    WaitForSingleObject((HANDLE)event, INFINITE);
    return 0;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR cmdLine, int) {
    volatile int *nowhere = NULL;
    volatile int zero = 0;
    if (cmdLine && cmdLine[0] == 'n')
        *nowhere = 1;
    if (cmdLine && cmdLine[0] == 'd')
        return 7 / zero;
    if (cmdLine && cmdLine[0] == 'w') {
        Sleep(1000);
        return 9;
    }
    if (cmdLine && cmdLine[0] == 'l')
        return LoadLibraryW(TEXT("fakedrv.dll")) ? 10 : 11;
    if (cmdLine && cmdLine[0] == 'r') {
        HKEY key = NULL;
        DWORD value = 1, size = sizeof value;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, TEXT("Software\\Fault"), 0, NULL, 0, 0, NULL, &key,
                        NULL);
        RegSetValueExW(key, TEXT("v"), 0, REG_DWORD, (const BYTE *)&value, sizeof value);
        // The first address above the reserved low region: a pointer the call cannot refuse,
        // with nothing behind it.
        RegQueryValueExW(key, TEXT("v"), NULL, NULL, (LPBYTE)0x10000, &size);
        return 12;
    }
    if (cmdLine && cmdLine[0] == 't') {
        HANDLE thread = CreateThread(NULL, 0, FaultingThread, NULL, 0, NULL);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        return 8;
    }
    if (cmdLine && cmdLine[0] == 'k') {
        if (!LoadLibraryW(TEXT("fakedrv.dll")))
            return 11;
        HANDLE never = CreateEventW(NULL, TRUE, FALSE, NULL);
        CloseHandle(CreateThread(NULL, 0, WaitingThread, never, 0, NULL));
        Sleep(1); // the thread waits by now
        return 13;
    }
    if (cmdLine && cmdLine[0] == 'b') {
        HKEY key = NULL;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, TEXT("Software\\Fault"), 0, NULL, 0, 0, NULL, &key,
                        NULL);
        for (DWORD n = 1;; ++n) {
            volatile DWORD work = 0;
            for (DWORD i = 0; i < 100000; ++i)
                work = work + i;
            RegSetValueExW(key, TEXT("n"), 0, REG_DWORD, (const BYTE *)&n, sizeof n);
        }
    }
    if (cmdLine && cmdLine[0] == 'm') {
        volatile char *p = new char[(size_t)1 << 46];
        p[0] = 1;
        return 15;
    }
    if (cmdLine && cmdLine[0] == 's') {
        for (;;)
            GetTickCount();
    }
    return 7;
}
