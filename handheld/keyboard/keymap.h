// The key map: every key of the keyboard with its codes and what each layer gives, and the
// reverse look-up from a character to the keys that type it.
#pragma once

#include "image/driver_builds.h"
#include "keyboard/keyrows.h"

#include <optional>
#include <string>
#include <vector>

namespace handheld {

// Keys pressed together to type one character: the modifiers and layer keys go down first, in
// this order, and come up after the key, in reverse order.
struct Stroke {
    int make = 0;
    bool shift = false, ctrl = false, alt = false, fn = false, cmd = false, symbol = false;
};

class KeyMap {
  public:
    explicit KeyMap(const std::string &build = kBaselineBuild.name);

    const std::string &build() const { return build_; }
    const KeyRow &row(int make) const { return rows_[size_t(make)]; }
    // The make codes that are keys of the keyboard, ascending.
    const std::vector<int> &keys() const { return keys_; }
    // The make code of the first key of this kind (App keys: the n-th, from 0); 0 if none.
    int makeOf(KeyKind kind, int nth = 0) const;

    // The key's name on the key cap ("A", "Shift", "App 2").
    std::string name(int make) const;
    // What the key gives plain, with Shift, Ctrl, Fn, Cmd, Symbol and NumLock ("" for nothing).
    struct Layers {
        std::string plain, shift, ctrl, fn, cmd, symbol, numLock;
    };
    Layers layers(int make) const;

    // The keys that type `c` with Caps Lock as given; nothing when no key gives it. Enter,
    // Tab and Backspace are typed by '\r' or '\n', '\t' and '\b' or 0x7F.
    std::optional<Stroke> strokeFor(char16_t c, bool capsLock) const;

    // The whole map as text, one key per line, with a heading.
    std::string describe(bool wide = false) const; // wide: with the break codes and wire bytes

  private:
    std::string build_;
    std::vector<KeyRow> rows_;
    std::vector<int> keys_;
};

// Key code on the wire: the keyboard inverts every bit.
inline int wireByte(int code) {
    return ~code & 0xFF;
}

// What a launch code of the application keys starts or does, for people.
std::string launchName(int code);

} // namespace handheld
