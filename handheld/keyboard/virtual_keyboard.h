// The virtual keyboard: keys in, the keyboard's bytes out, as the real keyboard sends them
// (each code bit-inverted, a make when a key goes down, its break, make + 128, when it comes
// up, and the link handshake when it connects).
#pragma once

#include "keyboard/keymap.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace handheld {

class VirtualKeyboard {
  public:
    using Sink = std::function<void(const std::vector<uint8_t> &bytes)>;
    VirtualKeyboard(const KeyMap &map, Sink sink);

    const KeyMap &map() const { return map_; }

    // The link handshake; a new connection also forgets which keys were down.
    void connect();
    // One key down / up. A key that is down already is not sent again (the same code twice in a
    // row would end the link), nor is a key that is up released.
    void press(int make);
    void release(int make);
    // Every key that is down comes up, last pressed first.
    void releaseAll();

    // Press and release a key with its modifiers and layers around it. With `hold`, the key
    // (and what goes with it) stays down until `releaseHeld`, so the device auto-repeats it.
    void stroke(const Stroke &s, bool hold = false);
    void releaseHeld();
    int heldKey() const { return held_.make; } // 0: none

    // Types one character; false when no key of the keyboard gives it.
    bool type(char16_t c, bool hold = false);
    // Types a whole text; returns the characters that no key gives.
    std::u16string typeText(const std::u16string &text);

    // The locks as the device sees them after the keys sent so far: Caps Lock toggles, and
    // NumLock with Fn held.
    bool capsLock() const { return capsLock_; }
    bool numLock() const { return numLock_; }

  private:
    void send(int code);
    void strokeDown(const Stroke &s);
    void strokeUp(const Stroke &s);

    const KeyMap &map_;
    Sink sink_;
    std::vector<int> order_; // keys down, in the order they went down
    std::set<int> down_;
    Stroke held_;
    bool capsLock_ = false, numLock_ = false;
};

} // namespace handheld
