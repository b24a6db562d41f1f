// A program that faults: with "null" on its command line it writes through a null pointer,
// with "div" it divides by zero; otherwise it exits with 7.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR cmdLine, int) {
    volatile int *nowhere = NULL;
    volatile int zero = 0;
    if (cmdLine && cmdLine[0] == 'n')
        *nowhere = 1;
    if (cmdLine && cmdLine[0] == 'd')
        return 7 / zero;
    return 7;
}
