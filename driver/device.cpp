// Driver instance and stream entry points.
#include "device.h"

#include "norvel_reg.h"
#include "wstr.h"

// How long IRK_Deinit waits for the reader thread to notice its stop request before it forces
// the thread to end (the thread can be blocked in a window message to a busy program).
#define IRK_STOP_WAIT_MS 5000

#if IRK_BUILD >= 420
#define IRK_DLLMAIN_API CEEXPORT
#else
// The older builds have DllMain as the library's entry only, not as a named export.
#define IRK_DLLMAIN_API extern "C"
#endif

static void ReadMyConfig(KeyboardDevice *dev) {
    DWORD size = sizeof(dev->myConfig);
    if (RegQueryValueExW(dev->registryKey, NORVEL_MY_CONFIG, NULL, NULL, (LPBYTE)dev->myConfig,
                         &size) != ERROR_SUCCESS)
        memset(dev->myConfig, 0, sizeof(dev->myConfig));
    // A value that fills the whole buffer has no terminator of its own.
    dev->myConfig[99] = 0;
}

static void StartInstance(KeyboardDevice *dev, HKEY key) {
    dev->registryKey = key;
    dev->capsLock = 0;
    dev->lastKey = IRK_NO_KEY;
    // Used only if the registry never yields these settings.
    dev->repeatRate = 100;
    dev->delayTime = 500;
    ReadMyConfig(dev);
    dev->backlightEvent = CreateEventW(NULL, FALSE, FALSE, TEXT("BackLightChangeEvent"));
    StartReaderThread(dev);
}

#if IRK_BUILD >= 420

CEEXPORT DWORD_PTR IRK_Init(DWORD_PTR dwContext) {
    UNREFERENCED_PARAMETER(dwContext);
    HKEY key;
    DWORD value;

    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Microsoft\\Obex"), 0, 0, &key) ==
        ERROR_SUCCESS) {
        value = 0;
        RegSetValueExW(key, TEXT("IsEnabled"), 0, REG_DWORD, (const BYTE *)&value, sizeof(value));
        RegCloseKey(key);
    }
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, NORVEL_DRIVER_KEY_DRV, 0, 0, &key) == ERROR_SUCCESS) {
        value = 1;
        RegSetValueExW(key, NORVEL_INIT, 0, REG_DWORD, (const BYTE *)&value, sizeof(value));
        RegCloseKey(key);
    }
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, NORVEL_DRIVER_KEY_DRV, 0, 0, &key) != ERROR_SUCCESS)
        return 0;

    KeyboardDevice *dev = (KeyboardDevice *)LocalAlloc(LPTR, sizeof(KeyboardDevice));
    if (!dev) {
        RegCloseKey(key);
        return 0;
    }
    StartInstance(dev, key);
    return (DWORD_PTR)dev;
}

#else

// The older builds reach the driver key through the active key that the Device Manager passes.
CEEXPORT DWORD_PTR IRK_Init(DWORD_PTR dwContext) {
    LPCWSTR activePath = (LPCWSTR)dwContext;
    HKEY active, key;
    WCHAR driverPath[260];
    DWORD size;

    if (!activePath ||
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, activePath, 0, 0, &active) != ERROR_SUCCESS)
        return 0;
    memset(driverPath, 0, sizeof(driverPath));
    size = sizeof(driverPath);
    if (RegQueryValueExW(active, DM_ACTIVE_KEY, NULL, NULL, (LPBYTE)driverPath, &size) !=
        ERROR_SUCCESS) {
        RegCloseKey(active);
        return 0;
    }
    driverPath[259] = 0;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, driverPath, 0, 0, &key) != ERROR_SUCCESS) {
        RegCloseKey(active);
        return 0;
    }
    size = (IrkStrLen(activePath) + 1) * sizeof(WCHAR);
    RegSetValueExW(key, NORVEL_ACTIVE_KEY, 0, REG_SZ, (const BYTE *)activePath, size);

    KeyboardDevice *dev = (KeyboardDevice *)LocalAlloc(LPTR, sizeof(KeyboardDevice));
    if (!dev) {
        RegCloseKey(key);
        RegCloseKey(active);
        return 0;
    }
    StartInstance(dev, key);
    RegCloseKey(active);
    return (DWORD_PTR)dev;
}

#endif

CEEXPORT BOOL IRK_Deinit(DWORD_PTR hDeviceContext) {
    KeyboardDevice *dev = (KeyboardDevice *)hDeviceContext;
    if (!dev)
        return TRUE;
    if (dev->readerThread) {
        // Cooperative stop: the thread ends at its next pass, before the record goes away.
        dev->stopReader = 1;
        if (dev->stopEvent)
            SetEvent(dev->stopEvent);
        if (WaitForSingleObject(dev->readerThread, IRK_STOP_WAIT_MS) != WAIT_OBJECT_0) {
            TerminateThread(dev->readerThread, 0);
            WaitForSingleObject(dev->readerThread, INFINITE);
        }
        CloseHandle(dev->readerThread);
        dev->readerThread = NULL;
    }
    if (dev->stopEvent)
        CloseHandle(dev->stopEvent);
    if (dev->portOpen == 1)
        IRK_Close((DWORD_PTR)dev);
    if (dev->registryKey)
        RegCloseKey(dev->registryKey);
    if (dev->backlightEvent)
        CloseHandle(dev->backlightEvent);
    LocalFree(dev);
    return TRUE;
}

CEEXPORT BOOL IRK_Close(DWORD_PTR hOpenContext) {
    KeyboardDevice *dev = (KeyboardDevice *)hOpenContext;
    if (!dev || dev->portOpen != 1)
        return FALSE;
    CloseHandle(dev->port);
    dev->port = NULL;
    dev->portOpen = 0;
    return TRUE;
}

CEEXPORT DWORD IRK_Read(DWORD_PTR hOpenContext, LPVOID pBuffer, DWORD Count) {
    KeyboardDevice *dev = (KeyboardDevice *)hOpenContext;
    DWORD got = 0;
    if (!dev || dev->portOpen != 1)
        return (DWORD)-1;
    if (!ReadFile(dev->port, pBuffer, Count, &got, NULL))
        return (DWORD)-1;
    return got;
}

CEEXPORT DWORD IRK_Write(DWORD_PTR hOpenContext, LPCVOID pBuffer, DWORD Count) {
    UNREFERENCED_PARAMETER(hOpenContext);
    UNREFERENCED_PARAMETER(pBuffer);
    UNREFERENCED_PARAMETER(Count);
    return (DWORD)-1;
}

CEEXPORT DWORD IRK_Seek(DWORD_PTR hOpenContext, long Amount, WORD Type) {
    UNREFERENCED_PARAMETER(hOpenContext);
    UNREFERENCED_PARAMETER(Amount);
    UNREFERENCED_PARAMETER(Type);
    return (DWORD)-1;
}

CEEXPORT BOOL IRK_IOControl(DWORD_PTR hOpenContext, DWORD dwCode, PBYTE pBufIn, DWORD dwLenIn,
                            PBYTE pBufOut, DWORD dwLenOut, PDWORD pdwActualOut) {
    UNREFERENCED_PARAMETER(hOpenContext);
    UNREFERENCED_PARAMETER(dwCode);
    UNREFERENCED_PARAMETER(pBufIn);
    UNREFERENCED_PARAMETER(dwLenIn);
    UNREFERENCED_PARAMETER(pBufOut);
    UNREFERENCED_PARAMETER(dwLenOut);
    UNREFERENCED_PARAMETER(pdwActualOut);
    return FALSE;
}

CEEXPORT void IRK_PowerDown(DWORD_PTR hDeviceContext) {
    UNREFERENCED_PARAMETER(hDeviceContext);
}

CEEXPORT void IRK_PowerUp(DWORD_PTR hDeviceContext) {
    KeyboardDevice *dev = (KeyboardDevice *)hDeviceContext;
    if (dev)
        dev->reopenPort = 1;
}

IRK_DLLMAIN_API BOOL WINAPI DllMain(HANDLE hinstDLL, DWORD dwReason, LPVOID lpvReserved) {
    UNREFERENCED_PARAMETER(lpvReserved);
#if IRK_BUILD >= 400
    if (dwReason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls((HMODULE)hinstDLL);
#else
    UNREFERENCED_PARAMETER(hinstDLL);
    UNREFERENCED_PARAMETER(dwReason);
#endif
    return TRUE;
}
