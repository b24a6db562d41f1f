// Finding the raw infrared COM port from the system's IrDA configuration and setting it up
// for one-byte polling reads.
#include "device.h"

#include "norvel_reg.h"
#include "wstr.h"

#if IRK_BUILD >= 420
#define IRK_BIND_BYTES 100
#else
#define IRK_BIND_BYTES 200
#endif

static void WriteDword(KeyboardDevice *dev, LPCWSTR name, DWORD value) {
    RegSetValueExW(dev->registryKey, name, 0, REG_DWORD, (const BYTE *)&value, sizeof(value));
}

// Reads a REG_DWORD-sized value; returns the registry result and the size the value reported.
static LONG ReadDword(HKEY key, LPCWSTR name, DWORD *value, DWORD *size) {
    *size = sizeof(DWORD);
    return RegQueryValueExW(key, name, NULL, NULL, (LPBYTE)value, size);
}

// The port every dead end of the search falls back to.
#define IRK_DEFAULT_PORT 2

// The number of the raw infrared COM port, from the first of the system's IrDA settings that
// names one.
static DWORD IrPortNumber(KeyboardDevice *dev) {
    HKEY key, linkage, parms;
    DWORD port = IRK_DEFAULT_PORT, size;

    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("Drivers\\BuiltIn\\IrDA"), 0, 0, &key) ==
        ERROR_SUCCESS) {
        WriteDword(dev, NORVEL_IRDA, 1);
        if (ReadDword(key, TEXT("Index"), &port, &size) != ERROR_SUCCESS)
            port = IRK_DEFAULT_PORT;
        RegCloseKey(key);
        return port;
    }
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("Comm\\IrDA"), 0, 0, &key) != ERROR_SUCCESS)
        return IRK_DEFAULT_PORT;
    WriteDword(dev, NORVEL_IRDA, 1);
    // A "Port" that reads as empty leaves the default in place: an empty value names no port.
    // The older builds go on to the linkage instead.
#if IRK_BUILD >= 420
    if (ReadDword(key, TEXT("Port"), &port, &size) == ERROR_SUCCESS) {
#else
    if (ReadDword(key, TEXT("Port"), &port, &size) == ERROR_SUCCESS && size != 0) {
#endif
        RegCloseKey(key);
        return port;
    }
    RegCloseKey(key);
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("Comm\\IrDA\\Linkage"), 0, 0, &linkage) !=
        ERROR_SUCCESS)
        return IRK_DEFAULT_PORT;
    // One unit more than the read may fill, so a "Bind" that fills the buffer stays terminated.
    WCHAR bind[IRK_BIND_BYTES / sizeof(WCHAR) + 1];
    WCHAR parmsPath[IRK_BIND_BYTES / sizeof(WCHAR) + 16];
    memset(bind, 0, sizeof(bind));
    size = IRK_BIND_BYTES;
    port = IRK_DEFAULT_PORT;
    if (RegQueryValueExW(linkage, TEXT("Bind"), NULL, NULL, (LPBYTE)bind, &size) == ERROR_SUCCESS) {
        wsprintfW(parmsPath, TEXT("Comm\\%s\\Parms"), bind);
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, parmsPath, 0, 0, &parms) == ERROR_SUCCESS) {
            if (ReadDword(parms, TEXT("Port"), &port, &size) != ERROR_SUCCESS)
                port = IRK_DEFAULT_PORT;
            RegCloseKey(parms);
        }
    }
    RegCloseKey(linkage);
    return port;
}

void FindIrPort(KeyboardDevice *dev, WCHAR name[60]) {
    wsprintfW(name, TEXT("COM%d:"), IrPortNumber(dev));
}

DWORD_PTR ReleasePort(KeyboardDevice *dev) {
    CloseHandle(dev->port);
    dev->port = NULL;
    dev->portOpen = 0;
    return 0;
}

CEEXPORT DWORD_PTR IRK_Open(DWORD_PTR hDeviceContext, DWORD AccessCode, DWORD ShareMode) {
    KeyboardDevice *dev = (KeyboardDevice *)hDeviceContext;
    WCHAR name[60];
    UNREFERENCED_PARAMETER(ShareMode);

    if (!dev)
        return 0;
    if (dev->portOpen == 1) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return 0;
    }
    if (AccessCode & GENERIC_WRITE)
        return 0;
    if (!(AccessCode & GENERIC_READ))
        return 0;

    FindIrPort(dev, name);
    RegSetValueExW(dev->registryKey, NORVEL_PORT_NAME, 0, REG_SZ, (const BYTE *)name,
                   (IrkStrLen(name) + 1) * sizeof(WCHAR));

    HANDLE port = CreateFileW(name, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (port == INVALID_HANDLE_VALUE) {
        // The handle stays as it is: it is null whenever the port is not open, and a caller that
        // lost a race with another opener must not take the winner's port away.
        WriteDword(dev, NORVEL_OPEN_FILE, GetLastError());
        return 0;
    }
    dev->port = port;
    dev->portOpen = 1;

    EscapeCommFunction(port, SETIR);

    COMMPROP props;
    memset(&props, 0, sizeof(props));
    if (!GetCommProperties(port, &props))
        return ReleasePort(dev);

    COMMTIMEOUTS timeouts;
    timeouts.ReadIntervalTimeout = 10;
    timeouts.ReadTotalTimeoutMultiplier = 10;
    timeouts.ReadTotalTimeoutConstant = 10;
    timeouts.WriteTotalTimeoutMultiplier = 10;
    timeouts.WriteTotalTimeoutConstant = 1000;
    if (!SetCommTimeouts(port, &timeouts))
        return ReleasePort(dev);

    DWORD errors = 0;
    COMSTAT stat;
    if (!ClearCommError(port, &errors, &stat))
        return ReleasePort(dev);

    if (!SetCommMask(port, EV_RXCHAR | EV_RXFLAG | EV_RLSD))
        return ReleasePort(dev);

    DCB dcb;
    memset(&dcb, 0, sizeof(dcb));
    dcb.DCBlength = sizeof(DCB);
    if (props.dwSettableBaud & BAUD_9600)
        dcb.BaudRate = CBR_9600;
    dcb.fBinary = 1;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.XonLim = 512;
    dcb.XoffLim = 128;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.ErrorChar = 0x0D;
    dcb.EofChar = 0x0D;
    dcb.EvtChar = 0x0D;
    if (!SetCommState(port, &dcb))
        return ReleasePort(dev);

    WriteDword(dev, NORVEL_OPEN_FILE, 1);
    PurgeComm(port, PURGE_RXCLEAR);
    return (DWORD_PTR)dev;
}
