// Test build of the decoder entry: reports each call as "DecodeKey <code> <fresh>".
#include "device.h"

void DecodeKey(KeyboardDevice *dev, DWORD code, DWORD fresh) {
    UNREFERENCED_PARAMETER(dev);
    WCHAR line[40];
    wsprintfW(line, TEXT("DecodeKey %u %u"), code, fresh);
    OutputDebugStringW(line);
}
