// A stream driver that faults on request (prefix FLT), for the Device Manager's exception
// handling. A read, write or seek of 13 bytes faults; I/O control 13 faults, 14 makes the next
// Close fault, 15 makes Deinit fault, 16 makes PowerDown and PowerUp fault, and 17 starts a
// thread that faults. An open for access 13 faults.
#include <windows.h>

typedef struct FaultDevice {
    int closeFaults, deinitFaults, powerFaults;
} FaultDevice;

static void Fault(void) {
    volatile int *nowhere = NULL;
    *nowhere = 1;
}

static DWORD WINAPI FaultingThread(LPVOID arg) {
    UNREFERENCED_PARAMETER(arg);
    Sleep(5);
    Fault();
    return 0;
}

CEEXPORT DWORD_PTR FLT_Init(DWORD_PTR context) {
    UNREFERENCED_PARAMETER(context);
    return (DWORD_PTR)LocalAlloc(LPTR, sizeof(FaultDevice));
}

CEEXPORT BOOL FLT_Deinit(DWORD_PTR context) {
    FaultDevice *dev = (FaultDevice *)context;
    int faults = dev->deinitFaults;
    LocalFree(dev); // freed first: the fault is the point, not a leak
    if (faults)
        Fault();
    return TRUE;
}

CEEXPORT DWORD_PTR FLT_Open(DWORD_PTR context, DWORD access, DWORD share) {
    UNREFERENCED_PARAMETER(share);
    if (access == 13)
        Fault();
    return context;
}

CEEXPORT BOOL FLT_Close(DWORD_PTR open) {
    if (((FaultDevice *)open)->closeFaults)
        Fault();
    return TRUE;
}

CEEXPORT DWORD FLT_Read(DWORD_PTR open, LPVOID buffer, DWORD count) {
    UNREFERENCED_PARAMETER(open);
    if (count == 13)
        Fault();
    memset(buffer, 'f', count);
    return count;
}

CEEXPORT DWORD FLT_Write(DWORD_PTR open, LPCVOID buffer, DWORD count) {
    UNREFERENCED_PARAMETER(open);
    UNREFERENCED_PARAMETER(buffer);
    if (count == 13)
        Fault();
    return count;
}

CEEXPORT DWORD FLT_Seek(DWORD_PTR open, long amount, WORD type) {
    UNREFERENCED_PARAMETER(open);
    UNREFERENCED_PARAMETER(type);
    if (amount == 13)
        Fault();
    return (DWORD)amount;
}

CEEXPORT BOOL FLT_IOControl(DWORD_PTR open, DWORD code, PBYTE in, DWORD inLen, PBYTE out,
                            DWORD outLen, PDWORD actual) {
    FaultDevice *dev = (FaultDevice *)open;
    UNREFERENCED_PARAMETER(in);
    UNREFERENCED_PARAMETER(inLen);
    UNREFERENCED_PARAMETER(out);
    UNREFERENCED_PARAMETER(outLen);
    UNREFERENCED_PARAMETER(actual);
    switch (code) {
    case 13:
        Fault();
        break;
    case 14:
        dev->closeFaults = 1;
        break;
    case 15:
        dev->deinitFaults = 1;
        break;
    case 16:
        dev->powerFaults = 1;
        break;
    case 17:
        CloseHandle(CreateThread(NULL, 0, FaultingThread, NULL, 0, NULL));
        break;
    default:
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    return TRUE;
}

CEEXPORT void FLT_PowerDown(DWORD_PTR context) {
    if (((FaultDevice *)context)->powerFaults)
        Fault();
}

CEEXPORT void FLT_PowerUp(DWORD_PTR context) {
    if (((FaultDevice *)context)->powerFaults)
        Fault();
}

extern "C" BOOL WINAPI DllMain(HANDLE module, DWORD reason, LPVOID reserved) {
    UNREFERENCED_PARAMETER(module);
    UNREFERENCED_PARAMETER(reason);
    UNREFERENCED_PARAMETER(reserved);
    return TRUE;
}
