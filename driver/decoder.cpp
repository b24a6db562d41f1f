// PLACEHOLDER: the scan-code decoder arrives with key translation.
#include "device.h"
void DecodeKey(KeyboardDevice *dev, DWORD code, DWORD fresh) {
    UNREFERENCED_PARAMETER(dev);
    UNREFERENCED_PARAMETER(code);
    UNREFERENCED_PARAMETER(fresh);
}
