// The virtual keyboard: what it sends for what a person types, checked against the driver
// itself: its bytes go through the device's infrared line into Notes.
#include "handheld/image/install.h"
#include "handheld/keyboard/host_keys.h"
#include "handheld/scenario/scenario.h"

#include "emul/harness.h"
#include "emul/text.h"
#include "emul/windows_sys.h"

#include <gtest/gtest.h>

#include <cstdio>

using handheld::HostInput;
using handheld::HostKey;
using handheld::HostKeyMapper;
using handheld::KeyMap;
using handheld::VirtualKeyboard;

namespace {

std::string hex(const std::vector<uint8_t> &bytes) {
    std::string s;
    char b[4];
    for (uint8_t v : bytes) {
        std::snprintf(b, sizeof b, "%s%02X", s.empty() ? "" : " ", v);
        s += b;
    }
    return s;
}

// The text Notes holds after the bytes arrive on the line of a device with the given build,
// all of them at once as a burst from the keyboard would.
std::string notesAfter(const std::vector<uint8_t> &bytes, const std::string &build = "ce420") {
    emul::Device device;
    handheld::InstallOptions options;
    options.withPort = false;
    options.driverBuild = build;
    handheld::install(device, options);
    handheld::ScenarioRunner runner(device);
    handheld::ScnError err;
    std::string scn = "boot\nwait 100\nrun notes\nrx " + hex(bytes) + "\nwait 2000\n";
    EXPECT_TRUE(runner.playText(scn, &err)) << err.line << ": " << err.message;
    uintptr_t edit = emul::harness::findControl(100);
    return edit ? emul::utf8(device.windows().text(edit)) : "(no edit box)";
}

struct Recorder {
    std::vector<uint8_t> bytes;
    VirtualKeyboard::Sink sink() {
        return [this](const std::vector<uint8_t> &b) {
            bytes.insert(bytes.end(), b.begin(), b.end());
        };
    }
};

std::vector<HostKey> feed(HostInput &in, const std::string &s) {
    return in.feed(reinterpret_cast<const uint8_t *>(s.data()), s.size());
}

} // namespace

TEST(VirtualKeyboard, HelloIsTheBytesTheDecoderTurnsIntoHello) {
    KeyMap map;
    Recorder rec;
    VirtualKeyboard kb(map, rec.sink());
    kb.connect();
    EXPECT_TRUE(kb.typeText(u"Hello").empty());
    // Handshake, Shift down, H down and up, Shift up, then e, l, l, o down and up.
    EXPECT_EQ(hex(rec.bytes), "05 02 A7 E9 69 27 F4 74 B9 39 B9 39 A1 21");
    EXPECT_EQ(notesAfter(rec.bytes), "Hello");
}

TEST(VirtualKeyboard, PunctuationLayersAndCapsLockReachNotesAsTyped) {
    const std::u16string text = u"Ça va? 100% été, ¿sí? [x] «€»";
    for (const std::string &build : handheld::driverBuildNames()) {
        KeyMap map(build);
        Recorder rec;
        VirtualKeyboard kb(map, rec.sink());
        kb.connect();
        // Caps Lock on halfway: the keyboard turns the case back with Shift.
        std::u16string missing = kb.typeText(text.substr(0, 10));
        kb.stroke({map.makeOf(handheld::KeyKind::CapsLock)});
        EXPECT_TRUE(kb.capsLock());
        missing += kb.typeText(text.substr(10));
        std::u16string want = text;
        for (char16_t c : missing)
            want.erase(want.find(c), 1);
        if (std::string(build) == "ce420") {
            EXPECT_TRUE(missing.empty()) << emul::utf8(missing);
        }
        EXPECT_EQ(notesAfter(rec.bytes, build), emul::utf8(want)) << build;
    }
}

TEST(VirtualKeyboard, NoCodeTwiceInARowAndEveryKeyComesUp) {
    // The same code twice in a row ends the link; a held key must come up before it is struck
    // again.
    KeyMap map;
    Recorder rec;
    VirtualKeyboard kb(map, rec.sink());
    kb.connect();
    kb.typeText(u"aaAA  ll\r\r");
    kb.type(u'x', true);
    EXPECT_EQ(map.name(kb.heldKey()), "X");
    kb.type(u'x', true);
    kb.releaseHeld();
    for (size_t i = 3; i < rec.bytes.size(); ++i)
        EXPECT_NE(rec.bytes[i], rec.bytes[i - 1]) << "at byte " << i;
    EXPECT_EQ(notesAfter(rec.bytes), "aaAA  ll\r\n\r\nxx");
}

TEST(VirtualKeyboard, HeldKeyAutoRepeatsUntilReleased) {
    KeyMap map;
    Recorder rec;
    VirtualKeyboard kb(map, rec.sink());
    HostKeyMapper driver(kb);
    kb.connect();
    HostKey f2;
    f2.type = HostKey::Function;
    f2.function = handheld::kFnHold;
    HostKey z;
    z.ch = u'z';
    driver.handle(f2);
    driver.handle(z);
    EXPECT_NE(driver.status().find("held: Z"), std::string::npos) << driver.status();
    EXPECT_EQ(hex(rec.bytes), "05 02 FC");
    // Delay 500, then a repeat on the first pass more than 100 ms after the last, until 1100 ms
    // after the first: the press and ten repeats.
    EXPECT_EQ(notesAfter(rec.bytes), std::string(11, 'z'));
    driver.handle(f2);
    EXPECT_EQ(hex(rec.bytes), "05 02 FC 7C");
}

TEST(VirtualKeyboard, HostKeysMapToTheKeyboardsKeysAndLayers) {
    KeyMap map;
    Recorder rec;
    VirtualKeyboard kb(map, rec.sink());
    HostKeyMapper driver(kb);
    HostInput in;
    // Escape is Fn + Tab, Home is Fn + Left, Ctrl+Right keeps Ctrl, Alt+x comes as ESC x.
    for (const HostKey &k : feed(in, "\x1b[H\x1b[1;5C\x1bx"))
        EXPECT_TRUE(driver.handle(k));
    EXPECT_EQ(hex(rec.bytes), "DD AE 2E 5D "  // Fn, Left, Left up, Fn up
                              "E5 AC 2C 65 "  // Ctrl, Right, Right up, Ctrl up
                              "DC EF 6F 5C"); // Alt, X, X up, Alt up
    rec.bytes.clear();
    auto keys = feed(in, "\x1b");
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].type, HostKey::Escape);
    // A sequence split over two reads, and a character split inside its UTF-8 bytes.
    EXPECT_TRUE(feed(in, "\x1b[1").empty());
    keys = feed(in, "5~\xc2");
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].function, handheld::kFnSymbol);
    keys = feed(in, "\xa9\x7f\x01\r");
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[0].ch, u'©');
    EXPECT_EQ(keys[1].ch, 8);
    EXPECT_TRUE(keys[2].ctrl && keys[2].ch == u'a');
    EXPECT_EQ(keys[3].ch, 13);
    // F8 to F11 are the application keys, F7 the pen tap.
    HostKey f;
    f.type = HostKey::Function;
    for (int n : {8, 9, 10, 11, 7}) {
        f.function = n;
        driver.handle(f);
    }
    EXPECT_EQ(hex(rec.bytes), "CC 4C C4 44 BD 3D B5 35 C8 48");
}

TEST(KeyMap, EveryKeyOfTheDriversTableAndNoWireByteThatIsDropped) {
    for (const std::string &build : handheld::driverBuildNames()) {
        KeyMap map(build);
        EXPECT_EQ(map.keys().size(), 68u) << build;
        for (int make : map.keys()) {
            EXPECT_FALSE(map.name(make).empty()) << make;
            for (int code : {make, make + 128}) {
                int wire = handheld::wireByte(code);
                EXPECT_TRUE(wire != 0xC0 && wire != 0xC1 && wire != 0x05 && wire != 0x02) << code;
            }
        }
    }
    std::string text = KeyMap().describe(true);
    EXPECT_NE(text.find("A            17   145   EE   6E  a           A           Ctrl+A"),
              std::string::npos);
}
