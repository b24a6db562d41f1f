// The virtual keyboard's bytes.
#include "keyboard/virtual_keyboard.h"

#include <algorithm>

namespace handheld {

VirtualKeyboard::VirtualKeyboard(const KeyMap &map, Sink sink)
    : map_(map), sink_(std::move(sink)) {}

void VirtualKeyboard::send(int code) {
    sink_({uint8_t(wireByte(code))});
}

void VirtualKeyboard::connect() {
    order_.clear();
    down_.clear();
    held_ = Stroke();
    sink_({0x05, 0x02});
}

void VirtualKeyboard::press(int make) {
    if (make <= 0 || make >= kKeyTableSize || down_.count(make))
        return;
    down_.insert(make);
    order_.push_back(make);
    send(make);
    if (map_.row(make).kind == KeyKind::CapsLock) {
        // The decoder switches NumLock with Fn alone of the layers and modifiers held.
        auto held = [&](KeyKind k) { return down_.count(map_.makeOf(k)) != 0; };
        if (held(KeyKind::Fn) && !held(KeyKind::Ctrl) && !held(KeyKind::Alt) &&
            !held(KeyKind::Cmd) && !held(KeyKind::Symbol))
            numLock_ = !numLock_;
        else
            capsLock_ = !capsLock_;
    }
}

void VirtualKeyboard::release(int make) {
    if (!down_.erase(make))
        return;
    order_.erase(std::find(order_.begin(), order_.end(), make));
    send(make + 128);
    if (held_.make == make)
        held_ = Stroke();
}

void VirtualKeyboard::releaseAll() {
    while (!order_.empty())
        release(order_.back());
    held_ = Stroke();
}

void VirtualKeyboard::strokeDown(const Stroke &s) {
    if (s.shift)
        press(map_.makeOf(KeyKind::Shift));
    if (s.ctrl)
        press(map_.makeOf(KeyKind::Ctrl));
    if (s.alt)
        press(map_.makeOf(KeyKind::Alt));
    if (s.fn)
        press(map_.makeOf(KeyKind::Fn));
    if (s.cmd)
        press(map_.makeOf(KeyKind::Cmd));
    if (s.symbol)
        press(map_.makeOf(KeyKind::Symbol));
    press(s.make);
}

void VirtualKeyboard::strokeUp(const Stroke &s) {
    release(s.make);
    if (s.symbol)
        release(map_.makeOf(KeyKind::Symbol));
    if (s.cmd)
        release(map_.makeOf(KeyKind::Cmd));
    if (s.fn)
        release(map_.makeOf(KeyKind::Fn));
    if (s.alt)
        release(map_.makeOf(KeyKind::Alt));
    if (s.ctrl)
        release(map_.makeOf(KeyKind::Ctrl));
    if (s.shift)
        release(map_.makeOf(KeyKind::Shift));
}

void VirtualKeyboard::stroke(const Stroke &s, bool hold) {
    releaseHeld();
    strokeDown(s);
    if (hold)
        held_ = s;
    else
        strokeUp(s);
}

void VirtualKeyboard::releaseHeld() {
    if (!held_.make)
        return;
    Stroke s = held_;
    held_ = Stroke();
    strokeUp(s);
}

bool VirtualKeyboard::type(char16_t c, bool hold) {
    auto s = map_.strokeFor(c, capsLock_);
    if (!s)
        return false;
    stroke(*s, hold);
    return true;
}

std::u16string VirtualKeyboard::typeText(const std::u16string &text) {
    std::u16string missing;
    for (char16_t c : text)
        if (!type(c))
            missing += c;
    return missing;
}

} // namespace handheld
