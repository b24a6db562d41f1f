// Terminal input decoding and the host keys' actions.
#include "keyboard/host_keys.h"

#include "emul/text.h"

namespace handheld {

namespace {

// xterm's modifier parameter: 1 + (1 Shift, 2 Alt, 4 Ctrl).
void applyModifiers(HostKey &k, int param) {
    if (param < 2)
        return;
    int m = param - 1;
    k.shift = (m & 1) != 0;
    k.alt = (m & 2) != 0;
    k.ctrl = (m & 4) != 0;
}

HostKey special(HostKey::Type t) {
    HostKey k;
    k.type = t;
    return k;
}

HostKey function(int n) {
    HostKey k;
    k.type = HostKey::Function;
    k.function = n;
    return k;
}

// Length of the UTF-8 sequence that starts with `b`; 1 for a stray byte.
size_t utf8Length(uint8_t b) {
    if (b >= 0xF0)
        return 4;
    if (b >= 0xE0)
        return 3;
    if (b >= 0xC0)
        return 2;
    return 1;
}

// The key of ESC [ n ~ (a key with ch 0 for an unknown n).
HostKey tildeKey(int n) {
    switch (n) {
    case 1:
    case 7:
        return special(HostKey::Home);
    case 4:
    case 8:
        return special(HostKey::End);
    case 3:
        return special(HostKey::Delete);
    case 5:
        return special(HostKey::PageUp);
    case 6:
        return special(HostKey::PageDown);
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
        return function(n == 15 ? 5 : n - 10);
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
        return function(n - 11);
    case 23:
    case 24:
        return function(n - 12);
    }
    return HostKey();
}

// Parses the escape sequence at the start of `s` (after the ESC). Returns the bytes used, 0 if
// the sequence is incomplete, and sets `out` (type Char with ch 0 for an unknown sequence).
size_t parseEscape(const std::string &s, HostKey &out) {
    if (s.empty())
        return 0;
    char intro = s[0];
    if (intro != '[' && intro != 'O') {
        // Alt + key: the terminal sends ESC before it.
        size_t len = utf8Length(uint8_t(s[0]));
        if (s.size() < len)
            return 0;
        std::u16string c = emul::utf16(s.substr(0, len));
        out = HostKey();
        out.ch = c.empty() ? 0 : c[0];
        out.alt = true;
        return len;
    }
    size_t i = 1;
    std::vector<int> params{0};
    while (i < s.size() && ((s[i] >= '0' && s[i] <= '9') || s[i] == ';')) {
        if (s[i] == ';')
            params.push_back(0);
        else
            params.back() = params.back() * 10 + (s[i] - '0');
        ++i;
    }
    if (i >= s.size())
        return 0;
    char final = s[i];
    int mods = params.size() > 1 ? params[1] : 0;
    out = HostKey();
    switch (final) {
    case 'A':
        out = special(HostKey::Up);
        break;
    case 'B':
        out = special(HostKey::Down);
        break;
    case 'C':
        out = special(HostKey::Right);
        break;
    case 'D':
        out = special(HostKey::Left);
        break;
    case 'H':
        out = special(HostKey::Home);
        break;
    case 'F':
        out = special(HostKey::End);
        break;
    case 'P':
    case 'Q':
    case 'R':
    case 'S':
        out = function(1 + (final - 'P'));
        break;
    case 'Z': // Shift+Tab
        out.ch = 9;
        out.shift = true;
        return i + 1;
    case '~':
        out = tildeKey(params[0]);
        break;
    }
    applyModifiers(out, mods);
    return i + 1;
}

// The keyboard's stroke for a typed character; nothing when no key gives it.
std::optional<Stroke> charStroke(const KeyMap &map, const HostKey &key, bool capsLock) {
    std::optional<Stroke> s;
    if (key.ctrl || key.alt) {
        // Ctrl and Alt go with the key that has the character plainly.
        char16_t c = key.ch >= 'A' && key.ch <= 'Z' ? char16_t(key.ch + 32) : key.ch;
        s = map.strokeFor(c, false);
        if (s && !s->cmd && !s->symbol) {
            s->ctrl = key.ctrl;
            s->alt = key.alt;
            s->shift = s->shift || key.shift || (key.ch >= 'A' && key.ch <= 'Z');
        } else {
            s.reset();
        }
    } else {
        s = map.strokeFor(key.ch, capsLock);
        if (s && key.shift)
            s->shift = true;
    }
    return s;
}

} // namespace

std::vector<HostKey> HostInput::feed(const uint8_t *data, size_t n) {
    pending_.append(reinterpret_cast<const char *>(data), n);
    std::vector<HostKey> keys;
    size_t i = 0;
    while (i < pending_.size()) {
        uint8_t b = uint8_t(pending_[i]);
        if (b == 0x1B) {
            if (i + 1 == pending_.size()) {
                keys.push_back(special(HostKey::Escape));
                ++i;
                continue;
            }
            HostKey k;
            size_t used = parseEscape(pending_.substr(i + 1), k);
            if (!used)
                break; // the rest comes with the next read
            if (k.type != HostKey::Char || k.ch)
                keys.push_back(k);
            i += 1 + used;
            continue;
        }
        size_t len = utf8Length(b);
        if (pending_.size() - i < len)
            break;
        HostKey k;
        if (b < 0x20 && b != 8 && b != 9 && b != 13) {
            // Ctrl + letter; a line feed counts as Enter.
            if (b == 10)
                k.ch = 13;
            else if (b >= 1 && b <= 26) {
                k.ch = char16_t('a' + b - 1);
                k.ctrl = true;
            } else {
                k.ch = char16_t(b); // ^] and its kin: the front end decides
                k.ctrl = true;
            }
        } else if (b == 0x7F) {
            k.ch = 8;
        } else {
            std::u16string c = emul::utf16(pending_.substr(i, len));
            k.ch = c.empty() ? 0 : c[0];
        }
        if (k.ch)
            keys.push_back(k);
        i += len;
    }
    pending_.erase(0, i);
    return keys;
}

void HostKeyMapper::strokeWithLatches(Stroke s) {
    s.fn = s.fn || fn_;
    s.cmd = s.cmd || cmd_;
    s.symbol = s.symbol || symbol_;
    bool hold = hold_;
    fn_ = cmd_ = symbol_ = false;
    hold_ = false;
    kb_.stroke(s, hold);
}

bool HostKeyMapper::handle(const HostKey &key) {
    const KeyMap &map = kb_.map();
    auto strokeOf = [&](KeyKind kind, int nth = 0) {
        Stroke s;
        s.make = map.makeOf(kind, nth);
        s.shift = key.shift;
        s.ctrl = key.ctrl;
        s.alt = key.alt;
        return s;
    };
    switch (key.type) {
    case HostKey::Function:
        switch (key.function) {
        case kFnHold:
            if (kb_.heldKey() || hold_) {
                kb_.releaseHeld();
                hold_ = false;
            } else {
                hold_ = true;
            }
            return true;
        case kFnFn:
            fn_ = !fn_;
            return true;
        case kFnCmd:
            cmd_ = !cmd_;
            return true;
        case kFnSymbol:
            symbol_ = !symbol_;
            return true;
        case kFnCaps:
            strokeWithLatches(strokeOf(KeyKind::CapsLock));
            return true;
        case kFnPen:
            strokeWithLatches(strokeOf(KeyKind::PenTap));
            return true;
        case kFnApp1:
        case kFnApp1 + 1:
        case kFnApp1 + 2:
        case kFnApp1 + 3:
            strokeWithLatches(strokeOf(KeyKind::App, key.function - kFnApp1));
            return true;
        case kFnConnect:
            kb_.connect();
            fn_ = cmd_ = symbol_ = hold_ = false;
            return true;
        }
        return false;
    case HostKey::Up:
    case HostKey::Down:
    case HostKey::Left:
    case HostKey::Right: {
        KeyKind k = key.type == HostKey::Up     ? KeyKind::Up
                    : key.type == HostKey::Down ? KeyKind::Down
                    : key.type == HostKey::Left ? KeyKind::Left
                                                : KeyKind::Right;
        strokeWithLatches(strokeOf(k));
        return true;
    }
    case HostKey::Home:
    case HostKey::End:
    case HostKey::PageUp:
    case HostKey::PageDown: {
        // The keyboard has these on the Fn layer of the arrows.
        KeyKind k = key.type == HostKey::Home     ? KeyKind::Left
                    : key.type == HostKey::End    ? KeyKind::Right
                    : key.type == HostKey::PageUp ? KeyKind::Up
                                                  : KeyKind::Down;
        Stroke s = strokeOf(k);
        s.fn = true;
        strokeWithLatches(s);
        return true;
    }
    case HostKey::Delete:
        strokeWithLatches(strokeOf(KeyKind::Delete));
        return true;
    case HostKey::Escape: {
        Stroke s = strokeOf(KeyKind::Tab); // Fn + Tab is the keyboard's Escape
        s.fn = true;
        strokeWithLatches(s);
        return true;
    }
    case HostKey::Char:
        break;
    }
    std::optional<Stroke> s = charStroke(map, key, kb_.capsLock());
    if (!s)
        return false;
    strokeWithLatches(*s);
    return true;
}

std::string HostKeyMapper::status() const {
    std::string s;
    const KeyMap &map = kb_.map();
    if (kb_.heldKey())
        s += "held: " + map.name(kb_.heldKey()) + "  ";
    else if (hold_)
        s += "hold: next key  ";
    std::string latched;
    if (fn_)
        latched += " Fn";
    if (cmd_)
        latched += " Cmd";
    if (symbol_)
        latched += " Symbol";
    if (!latched.empty())
        s += "next key with" + latched + "  ";
    if (kb_.capsLock())
        s += "CAPS  ";
    if (kb_.numLock())
        s += "NUM  ";
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

const char *HostKeyMapper::helpLine() {
    return "F2 hold  F3 Fn  F4 Cmd  F5 Symbol  F6 Caps  F7 pen  F8-F11 apps  F12 reconnect";
}

} // namespace handheld
