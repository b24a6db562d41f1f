// Key translation: the decoder's key table, the output of key events and characters, the rich-ink
// window search and the two program launchers. Everything here runs on the reader thread.
#ifndef IRK_KEYS_H
#define IRK_KEYS_H

#include "device.h"

// What a make code (and its break code, make + 128) stands for.
enum KeyKind {
    KEY_NONE = 0, // not a key of this keyboard: the code has no effect
    KEY_CHAR,     // character key: virtual key, Cmd, Symbol and NumLock characters
    KEY_GRAVE,    // grave accent: its virtual key whatever is held
    KEY_SHIFT,
    KEY_CTRL,
    KEY_ALT,
    KEY_FN,
    KEY_CMD,
    KEY_SYMBOL,
    KEY_CAPS,
    KEY_TAB,
    KEY_ENTER,
    KEY_UP,
    KEY_DOWN,
    KEY_LEFT,
    KEY_RIGHT,
    KEY_SPACE,
    KEY_BACKSPACE,
    KEY_DELETE,
    KEY_PEN, // taps the top-left corner of the screen
    KEY_APP  // application key: launch codes, fresh presses only, no break
};

// Which bit set holds a key's outstanding release.
enum KeyBitSet { BITS_NONE = 0, BITS_KEYS, BITS_LETTERS };

// How the Symbol layer picks between its two characters.
enum SymbolChoice {
    SYM_NONE = 0, // no Symbol character
    SYM_MIXED,    // first when shiftDown equals capsLock, second otherwise
    SYM_BY_SHIFT  // first without Shift, second with Shift; Caps Lock plays no part
};

// Key flags.
#define KF_CTRL_READY 0x01     // Ctrl may be held (Ctrl+A, C, Q, V, X reach the system)
#define KF_NUMLOCK_HOLDS 0x02  // no release while numLock is on
#define KF_NUMLOCK_NO_BIT 0x04 // an overlay character sets no bit (CE 3.00 minus)

#define NO_DIGIT 0xFF

// Launch codes: the application keys, the power key and the rest of the platform's programs.
#define LAUNCH_MAIL 1
#define LAUNCH_NOTES 2
#define LAUNCH_CONTACTS 3
#define LAUNCH_WORD 4
#define LAUNCH_CALENDAR 5
#define LAUNCH_EXCEL 6
#define LAUNCH_TASKS 7
#define LAUNCH_MONEY 8
#define LAUNCH_DESKTOP 9
#define LAUNCH_MY_CONFIG 10
#define LAUNCH_QSTART 11
#define LAUNCH_POWER_DOWN 12
#define LAUNCH_POWER_UP 13
#define LAUNCH_CALC 14
#define LAUNCH_CLOCK 15
#define LAUNCH_READER 16
#define LAUNCH_FEXPLORE 17
#define LAUNCH_IEXPLORE 18
#define LAUNCH_WORKER 19
#define LAUNCH_PLAYER 20
#define LAUNCH_EXPLORE 21

// One row of the decoder's table, indexed by make code. A character of 0 means nothing.
typedef struct KeyEntry {
    BYTE kind;      // KeyKind
    BYTE vk;        // virtual key when plain-ready (KEY_CHAR, KEY_GRAVE)
    BYTE bitSet;    // KeyBitSet
    BYTE bit;       // bit in that set
    BYTE flags;     // KF_*
    BYTE cmdDigit;  // Cmd starts the user program of this digit; NO_DIGIT: none
    WCHAR cmdLower; // Cmd characters in mixed case
    WCHAR cmdUpper;
    BYTE symChoice;  // SymbolChoice
    WCHAR symFirst;  // lower case, or without Shift
    WCHAR symSecond; // upper case, or with Shift
    WCHAR numLockChar;
    BYTE fnVk;        // virtual key pressed when Fn-ready, never released (older builds' F7)
    BYTE launchPlain; // launch codes of an application key
    BYTE launchFn;
} KeyEntry;

#define KEY_TABLE_SIZE 96 // make codes 0 to 95

// The decoder's table (decoder.cpp).
const KeyEntry *KeyTableEntry(DWORD make);

// Output (output.cpp).
// The user did something: holds off suspend and the backlight time-out.
void NotifyActivity(KeyboardDevice *dev);
void SendVirtualKey(KeyboardDevice *dev, DWORD vk, DWORD flags);
void PostCharacter(KeyboardDevice *dev, WCHAR ch, DWORD down);
DWORD ForegroundHasRichInk(KeyboardDevice *dev);
DWORD FindRichInkChild(KeyboardDevice *dev, HWND window);
void LaunchUserProgram(KeyboardDevice *dev, DWORD digit);
// Starts a program through the shell with the launch request both launchers use.
void StartProgram(LPCWSTR file, LPCWSTR parameters);

// Hot-key launcher (launcher.cpp).
void LaunchHotKey(KeyboardDevice *dev, DWORD launchCode);

#endif
