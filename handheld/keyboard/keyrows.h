// The keyboard's keys as the driver's decoder table has them, copied row by row from the
// driver's own table so that the virtual keyboard and the key map cannot drift from it.
#pragma once

#include <string>
#include <vector>

namespace handheld {

enum class KeyKind {
    None,
    Char,
    Grave,
    Shift,
    Ctrl,
    Alt,
    Fn,
    Cmd,
    Symbol,
    CapsLock,
    Tab,
    Enter,
    Up,
    Down,
    Left,
    Right,
    Space,
    Backspace,
    Delete,
    PenTap,
    App
};

enum class SymbolChoice { None, MixedCase, ByShift };

// One make code of the keyboard (its break code is make + 128). A character of 0 means none.
struct KeyRow {
    int make = 0;
    KeyKind kind = KeyKind::None;
    int vk = 0;        // virtual key when plain-ready
    int cmdDigit = -1; // Cmd + this digit starts a user program; -1: none
    char16_t cmdLower = 0, cmdUpper = 0;
    SymbolChoice symChoice = SymbolChoice::None;
    char16_t symFirst = 0, symSecond = 0; // lower / upper, or without / with Shift
    char16_t numLockChar = 0;
    int fnVk = 0; // virtual key with Fn (older builds' F7 on the equals key)
    int launchPlain = 0, launchFn = 0;
    bool ctrlReady = false; // Ctrl + this letter reaches the system
};

constexpr int kKeyTableSize = 96;

// The 96 rows (make codes 0 to 95) of a driver build: "ce420", "ce400" or "ce300"; an unknown
// build gives an empty table.
std::vector<KeyRow> driverKeyTable(const std::string &build);

// One build's rows; defined once per build from the driver's table header.
std::vector<KeyRow> driverKeyTableCe420();
std::vector<KeyRow> driverKeyTableCe400();
std::vector<KeyRow> driverKeyTableCe300();

} // namespace handheld
