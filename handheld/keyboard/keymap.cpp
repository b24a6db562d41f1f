// The key map, built from the driver's table and the device's keyboard layout.
#include "keyboard/keymap.h"

#include "keyboard/vk_names.h"

#include "emul/text.h"
#include "emul/windows_sys.h"
#include "image/driver_builds.h"

#include <cstdio>

namespace handheld {

namespace {

constexpr uint32_t kLayoutShift = 1; // modifier bits of the layout's translation

std::string charText(char16_t c) {
    switch (c) {
    case 0:
        return "";
    case 8:
        return "Backspace";
    case 9:
        return "Tab";
    case 13:
        return "Enter";
    case 27:
        return "Escape";
    case ' ':
        return "Space";
    }
    return emul::utf8(std::u16string(1, c));
}

std::string pair(char16_t a, char16_t b) {
    if (!a && !b)
        return "";
    if (a == b || !b)
        return charText(a);
    if (!a)
        return charText(b);
    return charText(a) + "/" + charText(b);
}

} // namespace

std::string launchName(int code) {
    switch (code) {
    case 1:
        return "Mail";
    case 2:
        return "Notes";
    case 3:
        return "Contacts";
    case 4:
        return "Word";
    case 5:
        return "Calendar";
    case 6:
        return "Spreadsheet";
    case 7:
        return "Tasks";
    case 9:
        return "Desktop";
    case 12:
        return "Power";
    }
    return "launch " + std::to_string(code);
}

KeyMap::KeyMap(const std::string &build) : build_(build), rows_(driverKeyTable(build)) {
    if (rows_.empty()) {
        build_ = kBaselineBuild.name;
        rows_ = driverKeyTable(build_);
    }
    for (const KeyRow &r : rows_)
        if (r.kind != KeyKind::None)
            keys_.push_back(r.make);
}

int KeyMap::makeOf(KeyKind kind, int nth) const {
    for (int make : keys_)
        if (rows_[size_t(make)].kind == kind && nth-- == 0)
            return make;
    return 0;
}

std::string KeyMap::name(int make) const {
    const KeyRow &r = row(make);
    switch (r.kind) {
    case KeyKind::None:
        return "";
    case KeyKind::Char:
    case KeyKind::Grave:
        if ((r.vk >= 'A' && r.vk <= 'Z') || (r.vk >= '0' && r.vk <= '9'))
            return std::string(1, char(r.vk));
        return charText(emul::translateKey(uint8_t(r.vk), 0));
    case KeyKind::Shift:
        return "Shift";
    case KeyKind::Ctrl:
        return "Ctrl";
    case KeyKind::Alt:
        return "Alt";
    case KeyKind::Fn:
        return "Fn";
    case KeyKind::Cmd:
        return "Cmd";
    case KeyKind::Symbol:
        return "Symbol";
    case KeyKind::CapsLock:
        return "Caps Lock";
    case KeyKind::Tab:
        return "Tab";
    case KeyKind::Enter:
        return "Enter";
    case KeyKind::Up:
        return "Up";
    case KeyKind::Down:
        return "Down";
    case KeyKind::Left:
        return "Left";
    case KeyKind::Right:
        return "Right";
    case KeyKind::Space:
        return "Space";
    case KeyKind::Backspace:
        return "Backspace";
    case KeyKind::Delete:
        return "Delete";
    case KeyKind::PenTap:
        return "Pen tap";
    case KeyKind::App: {
        int n = 1;
        for (int k : keys_) {
            if (k == make)
                break;
            if (rows_[size_t(k)].kind == KeyKind::App)
                ++n;
        }
        return "App " + std::to_string(n);
    }
    }
    return "";
}

KeyMap::Layers KeyMap::layers(int make) const {
    const KeyRow &r = row(make);
    Layers l;
    switch (r.kind) {
    case KeyKind::Char:
    case KeyKind::Grave:
        l.plain = charText(emul::translateKey(uint8_t(r.vk), 0));
        l.shift = charText(emul::translateKey(uint8_t(r.vk), kLayoutShift));
        if (r.ctrlReady)
            l.ctrl = "Ctrl+" + std::string(1, char(r.vk));
        if (r.fnVk)
            l.fn = vkConstant(r.fnVk);
        if (r.kind == KeyKind::Grave) {
            l.fn = l.cmd = l.symbol = l.plain;
            break;
        }
        if (r.cmdDigit >= 0)
            l.cmd = "program " + std::to_string(r.cmdDigit);
        else
            l.cmd = pair(r.cmdLower, r.cmdUpper);
        if (r.symChoice == SymbolChoice::ByShift && r.symFirst && r.symSecond)
            l.symbol = charText(r.symFirst) + ", Shift " + charText(r.symSecond);
        else if (r.symChoice == SymbolChoice::ByShift && r.symSecond)
            l.symbol = "Shift " + charText(r.symSecond);
        else
            l.symbol = pair(r.symFirst, r.symSecond);
        l.numLock = charText(r.numLockChar);
        break;
    case KeyKind::Shift:
    case KeyKind::Ctrl:
    case KeyKind::Alt:
        l.plain = "modifier";
        break;
    case KeyKind::Fn:
    case KeyKind::Cmd:
    case KeyKind::Symbol:
        l.plain = "layer";
        break;
    case KeyKind::CapsLock:
        l.plain = "Caps Lock";
        l.fn = "NumLock";
        break;
    case KeyKind::Tab:
        l.plain = "Tab";
        l.fn = "Escape";
        break;
    case KeyKind::Enter:
        l.plain = "Enter";
        l.fn = "OK";
        break;
    case KeyKind::Up:
        l.plain = "Up";
        l.fn = "Page Up";
        break;
    case KeyKind::Down:
        l.plain = "Down";
        l.fn = "Page Down";
        break;
    case KeyKind::Left:
        l.plain = "Left";
        l.fn = "Home";
        break;
    case KeyKind::Right:
        l.plain = "Right";
        l.fn = "End";
        break;
    case KeyKind::Space:
        l.plain = "Space";
        l.fn = "input panel";
        break;
    case KeyKind::Backspace:
        l.plain = "Backspace";
        l.fn = "Power";
        break;
    case KeyKind::Delete:
        l.plain = "Delete";
        break;
    case KeyKind::PenTap:
        l.plain = "pen tap";
        break;
    case KeyKind::App:
        l.plain = launchName(r.launchPlain);
        l.fn = launchName(r.launchFn);
        break;
    case KeyKind::None:
        break;
    }
    if (r.kind != KeyKind::Char && r.kind != KeyKind::Grave && r.kind != KeyKind::None)
        l.shift = r.kind == KeyKind::App || r.kind == KeyKind::PenTap ? l.plain : "";
    return l;
}

std::optional<Stroke> KeyMap::strokeFor(char16_t c, bool capsLock) const {
    auto special = [&](KeyKind kind) -> std::optional<Stroke> {
        Stroke s;
        s.make = makeOf(kind);
        return s.make ? std::optional<Stroke>(s) : std::nullopt;
    };
    switch (c) {
    case '\r':
    case '\n':
        return special(KeyKind::Enter);
    case '\t':
        return special(KeyKind::Tab);
    case '\b':
    case 0x7F:
        return special(KeyKind::Backspace);
    case ' ':
        return special(KeyKind::Space);
    case 0:
        return std::nullopt;
    }
    // The plain layer and Shift, as the device's layout turns the virtual keys into characters.
    for (int make : keys_) {
        const KeyRow &r = rows_[size_t(make)];
        if (r.kind != KeyKind::Char && r.kind != KeyKind::Grave)
            continue;
        bool letter = r.vk >= 'A' && r.vk <= 'Z';
        for (bool shift : {false, true}) {
            if (emul::translateKey(uint8_t(r.vk), shift ? kLayoutShift : 0) != c)
                continue;
            Stroke s;
            s.make = make;
            // Caps Lock turns the case of letters; Shift turns it back.
            s.shift = letter ? shift != capsLock : shift;
            return s;
        }
    }
    // Then the Cmd layer's letters and the Symbol layer, whose case is mixed with Caps Lock.
    for (int make : keys_) {
        const KeyRow &r = rows_[size_t(make)];
        if (r.kind != KeyKind::Char || r.cmdDigit >= 0)
            continue;
        if (r.cmdLower == c || r.cmdUpper == c) {
            Stroke s;
            s.make = make;
            s.cmd = true;
            s.shift = (r.cmdUpper == c && r.cmdLower != c) != capsLock;
            return s;
        }
    }
    for (int make : keys_) {
        const KeyRow &r = rows_[size_t(make)];
        if (r.kind != KeyKind::Char || r.symChoice == SymbolChoice::None)
            continue;
        if (r.symFirst != c && r.symSecond != c)
            continue;
        Stroke s;
        s.make = make;
        s.symbol = true;
        bool second = r.symFirst != c;
        s.shift = r.symChoice == SymbolChoice::ByShift ? second : second != capsLock;
        return s;
    }
    return std::nullopt;
}

std::string KeyMap::describe(bool wide) const {
    // Pad by characters, not bytes: the layers hold accented letters.
    auto chars = [](const std::string &s) { return emul::utf16(s).size(); };
    auto pad = [&chars](const std::string &s, size_t width) {
        size_t n = chars(s);
        return s + std::string(n < width ? width - n : 0, ' ');
    };
    std::vector<std::string> head = {"key", "plain", "Shift",  "Ctrl",
                                     "Fn",  "Cmd",   "Symbol", wide ? "NumLock" : "Num"};
    std::vector<std::vector<std::string>> rows;
    for (int make : keys_) {
        Layers l = layers(make);
        rows.push_back({name(make), l.plain, l.shift, l.ctrl, l.fn, l.cmd, l.symbol, l.numLock});
        for (std::string &c : rows.back())
            if (c.empty())
                c = "-";
    }
    // Each column as wide as its widest cell, so the narrow table fits 80 columns; the wide
    // table keeps its fixed columns.
    std::vector<size_t> width = {10, 11, 11, 8, 12, 11, 12, 7};
    if (!wide)
        for (size_t i = 0; i < head.size(); ++i) {
            width[i] = chars(head[i]);
            for (auto &r : rows)
                width[i] = std::max(width[i], chars(r[i]));
        }
    auto cells = [&](const std::vector<std::string> &r, const std::string &codes) {
        std::string line = pad(r[0], width[0]) + codes;
        for (size_t i = 1; i < r.size(); ++i)
            line += pad(r[i], width[i]) + (i + 1 < r.size() ? " " : "");
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        return line + "\n";
    };
    char buf[64];
    std::string out = "Key map of the infrared keyboard (driver build " + build_ + ").";
    if (wide) {
        out += " Codes are decimal; the wire bytes are hexadecimal,\nthe codes with every bit "
               "inverted.\n\n";
        out += cells(head, " make break wire wire  ");
        out += pad("", width[0]) + "            down   up\n";
    } else {
        out +=
            "\nMake codes are decimal; a key's break code is its make code + 128, and on the\n"
            "wire every bit is inverted. `handheld keys --wide` shows the bytes on the wire.\n\n";
        out += cells(head, " make ");
    }
    for (size_t k = 0; k < keys_.size(); ++k) {
        int make = keys_[k];
        if (wide)
            std::snprintf(buf, sizeof buf, " %4d %5d   %02X   %02X  ", make, make + 128,
                          wireByte(make), wireByte(make + 128));
        else
            std::snprintf(buf, sizeof buf, " %4d ", make);
        out += cells(rows[k], buf);
    }
    out += "\nThe keyboard connects with the handshake 05 02 on the wire. Fn + Caps Lock\n"
           "switches NumLock; Cmd + a digit starts the program assigned to it in the\n"
           "settings program.\n";
    return out;
}

std::vector<KeyRow> driverKeyTable(const std::string &build) {
    if (build == "ce420")
        return driverKeyTableCe420();
    if (build == "ce400")
        return driverKeyTableCe400();
    if (build == "ce300")
        return driverKeyTableCe300();
    return {};
}

} // namespace handheld
