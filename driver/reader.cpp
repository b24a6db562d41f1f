// The reader thread: follows "Enable Keyboard", keeps the port open, frames and inverts the
// keyboard's bytes, runs the link handshake and produces auto-repeat from the tick count.
#include "device.h"

#include "norvel_reg.h"

#define IRK_FRAME_BEGIN 0xC0
#define IRK_FRAME_END 0xC1
#define IRK_SYNC_FIRST 0xFA
#define IRK_SYNC_SECOND 0xFD

// Reads one setting into a 4-byte buffer, as its writers store it. Any value of exactly 4 bytes
// counts, whatever its type; one that is missing or of another size leaves *field as it was, so
// the last good setting (or the start-up default) stays in force.
static void ReadSetting(KeyboardDevice *dev, LPCWSTR name, DWORD *field) {
    DWORD value = 0, size = sizeof(value);
    if (RegQueryValueExW(dev->registryKey, name, NULL, NULL, (LPBYTE)&value, &size) ==
            ERROR_SUCCESS &&
        size == sizeof(value))
        *field = value;
}

void ReloadSettings(KeyboardDevice *dev) {
    DWORD rate = dev->repeatRate, delay = dev->delayTime;
    ReadSetting(dev, NORVEL_ENABLE_KEYBOARD, &dev->enabled);
    ReadSetting(dev, NORVEL_REPEAT_RATE, &rate);
    ReadSetting(dev, NORVEL_DELAY_TIME, &delay);
    dev->repeatRate = (WORD)(rate & 0xFFFF);
    dev->delayTime = (WORD)(delay & 0xFFFF);
}

void StartReaderThread(KeyboardDevice *dev) {
    dev->stopEvent = CreateEventW(NULL, TRUE, FALSE, NULL);
    dev->readerThread = CreateThread(NULL, 0, ReaderThread, dev, 0, NULL);
}

// The one-second pause of a pass that could not use the port; ends early when the driver stops.
static void Pause(KeyboardDevice *dev) {
    if (dev->stopEvent)
        WaitForSingleObject(dev->stopEvent, 1000);
    else
        Sleep(1000);
}

// Link reset: the keyboard (re)connected, so no modifier it reported can still be held.
static void CompleteHandshake(KeyboardDevice *dev) {
    dev->linkUp = 1;
    dev->fnDown = 0;
    dev->cmdDown = 0;
    dev->symbolDown = 0;
    if (dev->altDown) {
        dev->altDown = 0;
        keybd_event(VK_MENU, 0, KEYEVENTF_KEYUP, 0);
    }
    if (dev->shiftDown) {
        keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
        dev->shiftDown = 0;
    }
    if (dev->ctrlDown) {
        dev->ctrlDown = 0;
        keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
    }
}

// A code while the link is down; returns 1 when it completed the handshake.
static int LinkDownCode(KeyboardDevice *dev, BYTE code) {
    if (code == IRK_SYNC_FIRST) {
        dev->syncPending = 1;
        return 0;
    }
    if (code == IRK_SYNC_SECOND && dev->syncPending == 1) {
        CompleteHandshake(dev);
        return 1;
    }
    dev->syncPending = 0;
    return 0;
}

static void DeliverCode(KeyboardDevice *dev, BYTE code) {
    dev->lastKeyTime = GetTickCount();
    dev->repeatStart = 0;
    DecodeKey(dev, code, 1);
    if (code == dev->lastKey) {
        // The same code twice in a row: the keyboard lost its link.
        dev->linkUp = 0;
        dev->lastKey = IRK_NO_KEY;
    } else {
        dev->lastKey = code;
    }
}

static void AutoRepeat(KeyboardDevice *dev) {
    DWORD now = GetTickCount();
    if (dev->repeatStart == 0) {
        if (now - dev->lastKeyTime > dev->delayTime) {
            dev->lastKeyTime = now;
            dev->repeatStart = now;
            DecodeKey(dev, dev->lastKey, 0);
        }
    } else if (now - dev->lastKeyTime > dev->repeatRate &&
               now - dev->repeatStart < 11u * dev->repeatRate) {
        dev->lastKeyTime = now;
        DecodeKey(dev, dev->lastKey, 0);
    }
}

static int OpenPort(KeyboardDevice *dev) {
    return IRK_Open((DWORD_PTR)dev, GENERIC_READ, 0) != 0;
}

static int ReadByte(KeyboardDevice *dev, BYTE *b) {
    DWORD got = 0;
    return ReadFile(dev->port, b, 1, &got, NULL) && got == 1;
}

DWORD WINAPI ReaderThread(LPVOID arg) {
    KeyboardDevice *dev = (KeyboardDevice *)arg;
    BYTE b, code;

    dev->lastKey = IRK_NO_KEY;
    while (!dev->stopReader) {
        ReloadSettings(dev);
        if (dev->enabled == 0) {
            if (dev->portOpen == 1) {
                IRK_Close((DWORD_PTR)dev);
                dev->portOpen = 0;
            }
            Pause(dev);
            continue;
        }
        if (dev->reopenPort == 1 && dev->portOpen == 1) {
            IRK_Close((DWORD_PTR)dev);
            dev->reopenPort = 0;
            dev->portOpen = 0;
            if (!OpenPort(dev)) {
                Pause(dev);
                continue;
            }
        } else if (dev->portOpen == 0) {
            if (!OpenPort(dev)) {
                Pause(dev);
                continue;
            }
        }

        int have = ReadByte(dev, &b);
        if (dev->lastKey == IRK_NO_KEY) {
            if (!have || b == IRK_FRAME_BEGIN || b == IRK_FRAME_END)
                continue;
            code = (BYTE)(b ^ 0xFF);
            if (dev->linkUp == 0) {
                LinkDownCode(dev, code);
                continue;
            }
            dev->syncPending = 0;
            DeliverCode(dev, code);
            continue;
        }

        // A key is held.
        if (!have) {
            AutoRepeat(dev);
            continue;
        }
        if (b == IRK_FRAME_BEGIN || b == IRK_FRAME_END)
            continue;
        code = (BYTE)(b ^ 0xFF);
        if (dev->linkUp == 0) {
            if (LinkDownCode(dev, code))
                dev->lastKey = IRK_NO_KEY;
            continue;
        }
        if (code != IRK_SYNC_FIRST) {
            dev->syncPending = 0;
            DeliverCode(dev, code);
            continue;
        }
        // With a key held, 0xFA starts a handshake: the very next byte must finish it.
        dev->syncPending = 1;
        if (!ReadByte(dev, &b) || b == IRK_FRAME_BEGIN || b == IRK_FRAME_END)
            continue;
        if ((BYTE)(b ^ 0xFF) == IRK_SYNC_SECOND) {
            CompleteHandshake(dev);
            dev->lastKey = IRK_NO_KEY;
            continue;
        }
        dev->syncPending = 0;
    }
    return 0;
}
