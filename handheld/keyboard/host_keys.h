// The host's keys: what a terminal sends for them, decoded, and what each does to the virtual
// keyboard. Used by the keyboard command and by the interactive device's screen.
#pragma once

#include "keyboard/virtual_keyboard.h"

#include <cstdint>
#include <string>
#include <vector>

namespace handheld {

struct HostKey {
    enum Type {
        Char,
        Up,
        Down,
        Left,
        Right,
        Home,
        End,
        PageUp,
        PageDown,
        Delete,
        Escape,
        Function
    };
    Type type = Char;
    char16_t ch = 0;  // Char: the character (Enter, Tab and Backspace as 13, 9 and 8)
    int function = 0; // Function: 1 to 12
    bool shift = false, ctrl = false, alt = false;
};

// Terminal input to keys: UTF-8 text, control characters, and the escape sequences of xterm
// and its kin. A lone Escape at the end of a read is taken as the Escape key.
class HostInput {
  public:
    std::vector<HostKey> feed(const uint8_t *data, size_t n);

  private:
    std::string pending_;
};

// The host keys that stand for keys a terminal does not have. Each F-key acts on the virtual
// keyboard; the help line lists them.
constexpr int kFnHold = 2;     // the next key stays down (auto-repeat) until F2 again
constexpr int kFnFn = 3;       // Fn layer for the next key
constexpr int kFnCmd = 4;      // Cmd layer for the next key
constexpr int kFnSymbol = 5;   // Symbol layer for the next key
constexpr int kFnCaps = 6;     // Caps Lock
constexpr int kFnPen = 7;      // pen-tap key
constexpr int kFnApp1 = 8;     // F8 to F11: the four application keys
constexpr int kFnConnect = 12; // the handshake again

// Maps host keys onto one virtual keyboard: modifiers, latched layers and the hold key.
class HostKeyMapper {
  public:
    explicit HostKeyMapper(VirtualKeyboard &keyboard) : kb_(keyboard) {}

    // Acts on one host key; false when it means nothing to the keyboard.
    bool handle(const HostKey &key);

    // Status for people: link, held key, latched layers and the locks.
    std::string status() const;
    static const char *helpLine();

    bool holdArmed() const { return hold_; }
    // Whether the F-key `function` (kFnFn, kFnCmd, kFnSymbol) waits for the next key.
    bool latched(int function) const {
        return function == kFnFn    ? fn_
               : function == kFnCmd ? cmd_
                                    : function == kFnSymbol && symbol_;
    }

  private:
    void strokeWithLatches(Stroke s);

    VirtualKeyboard &kb_;
    bool hold_ = false, fn_ = false, cmd_ = false, symbol_ = false;
};

} // namespace handheld
