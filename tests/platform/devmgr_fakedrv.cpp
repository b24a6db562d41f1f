// A stream driver for the Device Manager tests (prefix FAK). It reports what it is called with
// through OutputDebugStringW and takes its behaviour from values of its driver key:
// "FailInit" (Init returns 0), "OpenError" (Open refuses with that last error), "ReadError"
// (Read fails; with 0 it sets no error of its own).
// It also exports BAD_Init alone, so a key with the prefix BAD lacks entry points.
#include <windows.h>

typedef struct FakeDevice {
    HKEY driverKey;
    WCHAR activePath[64];
} FakeDevice;

static void Log(LPCWSTR fmt, LPCWSTR arg) {
    WCHAR line[300];
    wsprintfW(line, fmt, arg);
    OutputDebugStringW(line);
}

// A context below 0x10000 came from the key's "Context" value and has no record behind it.
static LPCWSTR NameOf(DWORD_PTR context) {
    return context < 0x10000 ? TEXT("context") : ((FakeDevice *)context)->activePath;
}

static int ReadDword(HKEY key, LPCWSTR name, DWORD *value) {
    DWORD size = sizeof(*value);
    return RegQueryValueExW(key, name, NULL, NULL, (LPBYTE)value, &size) == ERROR_SUCCESS;
}

CEEXPORT DWORD_PTR FAK_Init(DWORD_PTR context) {
    if (context < 0x10000) {
        WCHAR n[16];
        wsprintfW(n, TEXT("%u"), (unsigned)context);
        Log(TEXT("Init context %s"), n);
        return context;
    }
    LPCWSTR activePath = (LPCWSTR)context;
    HKEY active;
    WCHAR driverPath[260];
    DWORD size = sizeof(driverPath), value;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, activePath, 0, 0, &active) != ERROR_SUCCESS)
        return 0;
    int hasHnd = ReadDword(active, TEXT("Hnd"), &value);
    LONG r = RegQueryValueExW(active, TEXT("Key"), NULL, NULL, (LPBYTE)driverPath, &size);
    RegCloseKey(active);
    Log(hasHnd ? TEXT("Init %s with Hnd") : TEXT("Init %s"), activePath);
    if (r != ERROR_SUCCESS)
        return 0;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, driverPath, 0, 0, &key) != ERROR_SUCCESS)
        return 0;
    if (ReadDword(key, TEXT("FailInit"), &value) && value) {
        RegCloseKey(key);
        return 0;
    }
    FakeDevice *dev = (FakeDevice *)LocalAlloc(LPTR, sizeof(FakeDevice));
    dev->driverKey = key;
    wcsncpy(dev->activePath, activePath, 63);
    return (DWORD_PTR)dev;
}

CEEXPORT BOOL FAK_Deinit(DWORD_PTR context) {
    FakeDevice *dev = (FakeDevice *)context;
    Log(TEXT("Deinit %s"), NameOf(context));
    if (context < 0x10000)
        return TRUE;
    RegCloseKey(dev->driverKey);
    LocalFree(dev);
    return TRUE;
}

CEEXPORT DWORD_PTR FAK_Open(DWORD_PTR context, DWORD access, DWORD share) {
    FakeDevice *dev = (FakeDevice *)context;
    DWORD error;
    UNREFERENCED_PARAMETER(share);
    if (ReadDword(dev->driverKey, TEXT("OpenError"), &error)) {
        SetLastError(error);
        return 0;
    }
    Log(access & GENERIC_WRITE ? TEXT("Open %s for writing") : TEXT("Open %s"), dev->activePath);
    return context;
}

CEEXPORT BOOL FAK_Close(DWORD_PTR open) {
    Log(TEXT("Close %s"), ((FakeDevice *)open)->activePath);
    return TRUE;
}

CEEXPORT DWORD FAK_Read(DWORD_PTR open, LPVOID buffer, DWORD count) {
    FakeDevice *dev = (FakeDevice *)open;
    DWORD error;
    if (ReadDword(dev->driverKey, TEXT("ReadError"), &error)) {
        if (error)
            SetLastError(error);
        return (DWORD)-1;
    }
    DWORD n = count < 3 ? count : 3;
    memset(buffer, 'k', n);
    return n;
}

CEEXPORT DWORD FAK_Write(DWORD_PTR open, LPCVOID buffer, DWORD count) {
    UNREFERENCED_PARAMETER(open);
    UNREFERENCED_PARAMETER(buffer);
    return count;
}

CEEXPORT DWORD FAK_Seek(DWORD_PTR open, long amount, WORD type) {
    UNREFERENCED_PARAMETER(open);
    return (DWORD)(amount * 10 + type);
}

CEEXPORT BOOL FAK_IOControl(DWORD_PTR open, DWORD code, PBYTE in, DWORD inLen, PBYTE out,
                            DWORD outLen, PDWORD actual) {
    UNREFERENCED_PARAMETER(open);
    UNREFERENCED_PARAMETER(in);
    UNREFERENCED_PARAMETER(inLen);
    UNREFERENCED_PARAMETER(out);
    UNREFERENCED_PARAMETER(outLen);
    if (code != 7) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    *actual = 4;
    return TRUE;
}

CEEXPORT void FAK_PowerDown(DWORD_PTR context) {
    Log(TEXT("PowerDown %s"), NameOf(context));
}

CEEXPORT void FAK_PowerUp(DWORD_PTR context) {
    Log(TEXT("PowerUp %s"), NameOf(context));
}

CEEXPORT DWORD_PTR BAD_Init(DWORD_PTR context) {
    return context;
}

extern "C" BOOL WINAPI DllMain(HANDLE module, DWORD reason, LPVOID reserved) {
    UNREFERENCED_PARAMETER(module);
    UNREFERENCED_PARAMETER(reserved);
    if (reason == DLL_PROCESS_ATTACH)
        OutputDebugStringW(TEXT("attach"));
    else if (reason == DLL_PROCESS_DETACH)
        OutputDebugStringW(TEXT("detach"));
    return TRUE;
}
