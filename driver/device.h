// The keyboard driver's instance record and its stream-interface entry points.
#ifndef IRK_DEVICE_H
#define IRK_DEVICE_H

#include <windows.h>

#ifndef IRK_BUILD
#define IRK_BUILD 420
#endif

// One record per activation; its address is the device handle and the open handle.
typedef struct KeyboardDevice {
    HKEY registryKey;    // the driver key, open from IRK_Init to IRK_Deinit
    HANDLE readerThread; // null if the thread could not be created
    HANDLE port;         // the infrared COM port; null while closed
    LONG portOpen;       // 1 while port holds a port that IRK_Open opened
    DWORD enabled;       // last "Enable Keyboard"
    WORD repeatRate;     // low 16 bits of "Repeat Rate", ms
    WORD delayTime;      // low 16 bits of "Delay Time", ms
    BYTE lastKey;        // held key code; 255: none
    WCHAR myConfig[100]; // "My Config", read once at IRK_Init
    // Key-translation state (see keys.h).
    DWORD capsLock;
    DWORD shiftDown;
    DWORD altDown;
    DWORD ctrlDown;
    DWORD fnDown;
    DWORD cmdDown;
    DWORD symbolDown;
    DWORD numLock;
    DWORD keysDown;
    DWORD lettersDown;
    DWORD richInkFound;
    HWND richInkWindow;    // a window handle is pointer-sized on this host
    DWORD lastKeyTime;     // tick of the last delivery or repeat
    DWORD repeatStart;     // tick of the first repeat; 0: none yet
    HANDLE backlightEvent; // "BackLightChangeEvent"; null if creation failed
    LONG reopenPort;       // set by IRK_PowerUp
    LONG linkUp;           // handshake completed
    LONG syncPending;      // first handshake byte seen
    LONG stopReader;       // IRK_Deinit asks the reader thread to end
    HANDLE stopEvent;      // cuts the reader's one-second pauses short when it must end
    DWORD penDown;         // the pen-tap key's pen-down is outstanding
    DWORD powerKeyHeld;    // the held Backspace pressed the power key; its break ends that
} KeyboardDevice;

#define IRK_NO_KEY 255

// The stream entry points, exported by name for the Device Manager.
CEEXPORT DWORD_PTR IRK_Init(DWORD_PTR dwContext);
CEEXPORT BOOL IRK_Deinit(DWORD_PTR hDeviceContext);
CEEXPORT DWORD_PTR IRK_Open(DWORD_PTR hDeviceContext, DWORD AccessCode, DWORD ShareMode);
CEEXPORT BOOL IRK_Close(DWORD_PTR hOpenContext);
CEEXPORT DWORD IRK_Read(DWORD_PTR hOpenContext, LPVOID pBuffer, DWORD Count);
CEEXPORT DWORD IRK_Write(DWORD_PTR hOpenContext, LPCVOID pBuffer, DWORD Count);
CEEXPORT DWORD IRK_Seek(DWORD_PTR hOpenContext, long Amount, WORD Type);
CEEXPORT BOOL IRK_IOControl(DWORD_PTR hOpenContext, DWORD dwCode, PBYTE pBufIn, DWORD dwLenIn,
                            PBYTE pBufOut, DWORD dwLenOut, PDWORD pdwActualOut);
CEEXPORT void IRK_PowerUp(DWORD_PTR hDeviceContext);
CEEXPORT void IRK_PowerDown(DWORD_PTR hDeviceContext);

// Port (port.cpp)
void FindIrPort(KeyboardDevice *dev, WCHAR name[60]);
DWORD_PTR ReleasePort(KeyboardDevice *dev);

// Reader thread (reader.cpp)
DWORD WINAPI ReaderThread(LPVOID arg);
void ReloadSettings(KeyboardDevice *dev);
void StartReaderThread(KeyboardDevice *dev);

// Key translation entry used by the reader thread (decoder.cpp).
void DecodeKey(KeyboardDevice *dev, DWORD code, DWORD fresh);

#endif
