// The OEM adaptation layer's one call the device's code makes: a reboot request.
#include <windows.h>

#include "emul/device.h"

using namespace emul;

CEAPI BOOL KernelIoControl(DWORD code, LPVOID, DWORD, LPVOID, DWORD, LPDWORD returned) {
    Device &d = dev();
    d.journal().call("KernelIoControl", Fields().num("code", code));
    if (code == IOCTL_HAL_REBOOT) {
        // Whoever runs the device restarts it (Device::restart); the caller waits here for it.
        if (returned)
            *returned = 0;
        d.noteRebootRequest();
        return TRUE;
    }
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}
