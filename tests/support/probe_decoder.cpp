// Test build of the decoder entry: reports each call as "DecodeKey <code> <fresh> <tick>".
#include "device.h"

void DecodeKey(KeyboardDevice *dev, DWORD code, DWORD fresh) {
    UNREFERENCED_PARAMETER(dev);
    WCHAR line[60];
    wsprintfW(line, TEXT("DecodeKey %u %u %u"), code, fresh, GetTickCount());
    OutputDebugStringW(line);
}
