// The registry tool's REGEDIT4 text: what export writes, import reads back, and the faults of
// hand-written files that it names.
#include "handheld/frontends/reg_cmd.h"
#include "handheld/image/install.h"

#include "handheld/scenario/scenario.h"

#include "emul/device.h"
#include "emul/registry.h"
#include "emul/text.h"

#include <gtest/gtest.h>

namespace {

std::string run(emul::Registry &reg, handheld::RegOptions o, int want = 0) {
    std::string out, err;
    EXPECT_EQ(handheld::runReg(reg, o, out, err), want) << err;
    return want ? err : out;
}

handheld::RegOptions set(const std::string &key, const std::string &name, const std::string &type,
                         std::vector<std::string> data) {
    handheld::RegOptions o;
    o.action = "set";
    o.key = key;
    o.name = name;
    o.hasName = true;
    o.type = type;
    o.data = std::move(data);
    return o;
}

std::string exported(emul::Registry &reg, const std::u16string &key,
                     handheld::RegFileFormat format = handheld::RegFileFormat::regedit4) {
    std::string out, error;
    EXPECT_TRUE(handheld::regExport(reg, key, format, &out, &error)) << error;
    return out;
}

// The text of a version 5 file (UTF-16 with its byte-order mark).
std::string asUtf8(const std::string &file) {
    EXPECT_EQ(file.substr(0, 2), "\xFF\xFE");
    std::u16string units((file.size() - 2) / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(uint8_t(file[2 + 2 * i]) | uint8_t(file[3 + 2 * i]) << 8);
    return emul::utf8(units);
}

} // namespace

TEST(RegTool, ExportedTextImportsToTheSameHive) {
    auto a = emul::Registry::open("");
    run(*a, set("HKEY_LOCAL_MACHINE\\Software\\T", "D", "dword", {"0x10"}));
    run(*a, set("HKLM\\Software\\T", "S", "REG_SZ", {"say \"hi\" C:\\x"}));
    run(*a, set("Software\\T\\Sub", "", "sz", {"default"}));
    run(*a, set("Software\\T", "M", "multisz", {"one", "two words"}));
    run(*a, set("Software\\T", "B", "binary", {"00ff10"}));
    std::string text = exported(*a, u"Software");
    EXPECT_NE(text.find("\"S\"=\"say \\\"hi\\\" C:\\\\x\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"D\"=dword:00000010\n"), std::string::npos);
    EXPECT_NE(text.find("@=\"default\"\n"), std::string::npos);

    auto b = emul::Registry::open("");
    std::string error;
    ASSERT_TRUE(handheld::regImport(*b, text, &error)) << error;
    EXPECT_EQ(exported(*b, u""), exported(*a, u""));

    // Deletions in the same language, and a hex value continued over lines.
    ASSERT_TRUE(handheld::regImport(
        *b,
        "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software\\T]\r\n\"D\"=-\r\n"
        "\"H\"=hex:01,\\\r\n  02\r\n[-HKEY_LOCAL_MACHINE\\Software\\T\\Sub]\r\n",
        &error))
        << error;
    EXPECT_FALSE(b->getValue(u"Software\\T", u"D"));
    EXPECT_EQ(b->getValue(u"Software\\T", u"H")->data, (std::vector<uint8_t>{1, 2}));
    EXPECT_FALSE(b->keyExists(u"Software\\T\\Sub"));
}

TEST(RegTool, FaultsAreNamed) {
    auto reg = emul::Registry::open("");
    std::string error;
    EXPECT_FALSE(handheld::regImport(*reg, "[HKEY_LOCAL_MACHINE\\A]\n", &error));
    EXPECT_NE(error.find("REGEDIT4"), std::string::npos);
    EXPECT_FALSE(
        handheld::regImport(*reg, "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"open\n", &error));
    EXPECT_EQ(error, "line 4: an unterminated string");
    EXPECT_FALSE(handheld::regImport(*reg, "REGEDIT4\n\"x\"=dword:1\n", &error));
    EXPECT_EQ(error, "line 2: a value outside any key");
    EXPECT_FALSE(handheld::regImport(*reg, "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n", &error));
    EXPECT_FALSE(handheld::regImport(*reg, "REGEDIT4\n[HKLM\\A]\n\"x\"=dword:123456789\n", &error));
    EXPECT_EQ(error, "line 3: not a dword: dword:123456789");
    // A file with a bad line anywhere changes nothing, not even the lines before it.
    handheld::regImport(*reg, "REGEDIT4\n[HKLM\\Keep]\n\"v\"=dword:1\n", &error);
    EXPECT_FALSE(handheld::regImport(*reg,
                                     "REGEDIT4\n[HKLM\\New]\n\"a\"=\"x\"\n[-HKLM\\Keep]\n"
                                     "[HKLM\\Keep]\n\"v\"=dword:2\n\"w\"=hex:0g\n",
                                     &error));
    EXPECT_EQ(error, "line 7: not hexadecimal byte pairs: 0g");
    EXPECT_FALSE(reg->keyExists(u"New"));
    EXPECT_EQ(reg->getValue(u"Keep", u"v")->data, (std::vector<uint8_t>{1, 0, 0, 0}));

    EXPECT_NE(run(*reg, set("A", "x", "dword", {"4294967296"}), 2).find("not a 32-bit number"),
              std::string::npos);
    EXPECT_NE(run(*reg, set("A", "x", "float", {"1"}), 2).find("unknown type float"),
              std::string::npos);
    EXPECT_NE(run(*reg, set("A", "x", "binary", {"0g"}), 2).find("hexadecimal"), std::string::npos);
    handheld::RegOptions q;
    q.action = "query";
    q.key = "Keep";
    q.name = "nothing";
    q.hasName = true;
    EXPECT_EQ(run(*reg, q, 1), "no value \"nothing\" in HKEY_LOCAL_MACHINE\\Keep\n");

    // What the device's own calls could not open or read is refused: empty text, a name
    // longer than 255 characters, keys deeper than 16 levels.
    EXPECT_FALSE(handheld::regImport(*reg, "\n; only a comment\n", &error));
    EXPECT_EQ(error, "empty: not REGEDIT4 text");
    std::string longName(256, 'n');
    EXPECT_FALSE(
        handheld::regImport(*reg, "REGEDIT4\n[HKLM\\A]\n\"" + longName + "\"=\"x\"\n", &error));
    EXPECT_EQ(error.find("line 3: a value name longer than 255"), 0u) << error;
    EXPECT_NE(run(*reg, set("A\\" + longName, "x", "dword", {"1"}), 2).find("longer than 255"),
              std::string::npos);
    EXPECT_NE(run(*reg, set("A", longName, "dword", {"1"}), 2).find("longer than 255"),
              std::string::npos);
    std::string deep = "HKLM";
    for (int i = 0; i < 17; ++i)
        deep += "\\L";
    EXPECT_NE(run(*reg, set(deep, "x", "dword", {"1"}), 2).find("16 levels"), std::string::npos);
    run(*reg, set(deep.substr(0, deep.size() - 2), std::string(255, 'n'), "dword", {"1"}));
    EXPECT_FALSE(reg->keyExists(u"A"));
}

// What the tool changes on a running device is recorded as scenario commands; played, each gives
// back the value exactly, whatever its type.
TEST(RegTool, ChangesBecomeScenarioCommandsThatGiveTheSameValues) {
    auto reg = emul::Registry::open("");
    std::vector<std::string> changes;
    std::string error, out, err;
    ASSERT_TRUE(handheld::regImport(
        *reg,
        "Windows Registry Editor Version 5.00\n[HKLM\\K \"q\"]\n\"n\"=dword:0000012c\n"
        "\"s\"=\"a \\\"b\\\" c\\\\d\"\n\"x\"=hex(2):41,00\n"
        "\"u\"=hex(1):41,00\n\"e\"=hex:\n",
        &error, &changes))
        << error;
    ASSERT_EQ(changes.size(), 6u);
    EXPECT_EQ(changes[0], "key \"K \\\"q\\\"\""); // made before its values
    changes.erase(changes.begin());
    EXPECT_EQ(changes[0], "set \"K \\\"q\\\"\" \"n\" dword 300");
    EXPECT_EQ(changes[1], "set \"K \\\"q\\\"\" \"s\" sz \"a \\\"b\\\" c\\\\d\"");
    EXPECT_EQ(changes[2], "set \"K \\\"q\\\"\" \"x\" raw 2 41 00");
    EXPECT_EQ(changes[3], "set \"K \\\"q\\\"\" \"u\" raw 1 41 00"); // an sz without its null
    EXPECT_EQ(changes[4], "set \"K \\\"q\\\"\" \"e\" raw 3");
    for (const std::string &line : changes) {
        handheld::ScnCommand c;
        bool empty = true;
        ASSERT_TRUE(handheld::scnParseLine(line, 1, &c, &empty, &error)) << line << ": " << error;
        auto v = reg->getValue(emul::utf16(c.path), emul::utf16(*c.valueName));
        ASSERT_TRUE(v) << line;
        EXPECT_EQ(c.value.type, v->type) << line;
        EXPECT_EQ(c.value.data, v->data) << line;
    }
    handheld::RegOptions d;
    d.action = "delete";
    d.key = "K \"q\"";
    d.name = "n";
    d.hasName = true;
    changes.clear();
    EXPECT_EQ(handheld::runReg(*reg, d, out, err, &changes), 0);
    d.hasName = false;
    EXPECT_EQ(handheld::runReg(*reg, d, out, err, &changes), 0);
    EXPECT_EQ(changes,
              (std::vector<std::string>{"delete \"K \\\"q\\\"\" \"n\"", "delete \"K \\\"q\\\"\""}));
}

namespace {

// Every key and value below `key`, compared byte for byte, in order.
void expectSameTree(emul::Registry &a, emul::Registry &b, const std::u16string &key) {
    auto va = a.values(key), vb = b.values(key);
    ASSERT_EQ(va.size(), vb.size()) << emul::utf8(key);
    for (size_t i = 0; i < va.size(); ++i) {
        EXPECT_EQ(va[i].first, vb[i].first) << emul::utf8(key);
        EXPECT_EQ(va[i].second.type, vb[i].second.type) << emul::utf8(va[i].first);
        EXPECT_EQ(va[i].second.data, vb[i].second.data) << emul::utf8(va[i].first);
    }
    auto sa = a.subkeys(key), sb = b.subkeys(key);
    ASSERT_EQ(sa, sb) << emul::utf8(key);
    for (auto &sub : sa)
        expectSameTree(a, b, key.empty() ? sub : key + u"\\" + sub);
}

} // namespace

// What export writes, import gives back exactly, whatever the names and data: quotes,
// backslashes, brackets, text that looks like syntax, long and empty values, strings that a
// quoted string cannot hold (line breaks, a lone surrogate, no terminator), odd sizes.
TEST(RegTool, OddNamesAndValuesSurviveTheRoundTrip) {
    auto a = emul::Registry::open("");
    const std::u16string k = u"Software\\Odd \"key\" [x]\\C:\\\\";
    std::vector<uint8_t> bytes(700);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 7);
    a->setValue(k, u"", emul::regSz(u"default"));
    a->setValue(k, u"q\"uo\\te", emul::regSz(u"ends in a backslash\\"));
    a->setValue(k, u"x\"=hex:01,\\", emul::regSz(u"=hex:02\\"));
    a->setValue(k, u"@", emul::regSz(std::u16string(5000, u'L')));
    a->setValue(k, u"empty sz", emul::regSz(u""));
    a->setValue(k, u"lines", emul::regSz(u"one\ntwo\r\n\tthree"));
    a->setValue(k, u"surrogate", emul::regSz(std::u16string(1, char16_t(0xD800))));
    a->setValue(k, u"unterminated", emul::regSz(u"abc", false));
    a->setValue(k, u"unicode", emul::regSz(u"Grüße \u20AC \U0001F600"));
    a->setValue(k, u"multi", emul::regRaw(7, {'a', 0, 0, 0, 0, 0, 'b', 0, 0, 0, 0, 0}));
    a->setValue(k, u"empty multi", emul::regRaw(7, {0, 0}));
    a->setValue(k, u"binary", emul::regRaw(3, bytes));
    a->setValue(k, u"empty binary", emul::regRaw(3, {}));
    a->setValue(k, u"short dword", emul::regRaw(4, {1, 2}));
    a->setValue(k, u"type 99", emul::regRaw(99, {9}));
    a->createKey(u"Software\\Empty");
    std::string text = exported(*a, u"", handheld::RegFileFormat::v5);

    auto b = emul::Registry::open("");
    std::string error;
    ASSERT_TRUE(handheld::regImport(*b, text, &error)) << error;
    expectSameTree(*a, *b, u"");
    EXPECT_TRUE(exported(*b, u"", handheld::RegFileFormat::v5) == text);
    EXPECT_NE(asUtf8(text).find("\"type 99\"=hex(63):09\r\n"), std::string::npos);

    // Long hex values as other tools wrap them, over several lines.
    ASSERT_TRUE(handheld::regImport(
        *b,
        "Windows Registry Editor Version 5.00\n[HKLM\\W]\n\"h\"=hex(7):61,00,\\\n  00,00,\\\n"
        "  62,00,00,00,\\\n  00,00\n\"s\"=\"C:\\\\\"\n",
        &error))
        << error;
    EXPECT_EQ(b->getValue(u"W", u"h")->data,
              (std::vector<uint8_t>{'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}));
    EXPECT_EQ(emul::regStringOf(b->getValue(u"W", u"s")), u"C:\\");
}

// A recording starts with the commands that turn a new installation's registry into the
// device's: played on a new device, they give the same registry, keys without values included.
TEST(RegTool, ARecordingsStartGivesTheDevicesRegistry) {
    auto fresh = emul::Registry::open("");
    handheld::installRegistry(*fresh);
    auto device = emul::Registry::open("");
    handheld::installRegistry(*device);
    const std::u16string drv = u"Drivers\\BuiltIn\\Norvel";
    device->deleteValue(drv, u"Order");
    device->setValue(drv, u"Delay Time", emul::regDword(750));
    device->setValue(drv, u"My Config", emul::regSz(u"\\Windows\\calc.lnk"));
    device->createKey(drv + u"\\Empty");
    device->createKey(u"Software\\A\\B\\C");
    device->setValue(u"Software\\A", u"odd", emul::regRaw(2, {'x', 0}));
    device->createKey(u"Software\\Last");

    auto lines = handheld::regScenarioDiff(*fresh, *device);
    std::string scenario;
    for (auto &l : lines)
        scenario += l + "\n";
    EXPECT_NE(scenario.find(R"(delete "Drivers\\BuiltIn\\Norvel" "Order")"), std::string::npos)
        << scenario;
    EXPECT_NE(scenario.find(R"(key "Software\\A\\B\\C")"), std::string::npos) << scenario;
    EXPECT_EQ(scenario.find("\"Dll\""), std::string::npos) << "unchanged values are left out";

    emul::Device replay;
    handheld::InstallOptions io;
    io.withPort = false;
    handheld::install(replay, io);
    handheld::ScenarioRunner runner(replay);
    handheld::ScnError err;
    ASSERT_TRUE(runner.playText(scenario, &err)) << err.line << ": " << err.message;
    expectSameTree(*device, replay.registry(), u"");

    // A device whose driver key has gone: the replay deletes it too.
    device->deleteKey(drv);
    EXPECT_EQ(handheld::regScenarioDiff(*fresh, *device).front(),
              R"(delete "Drivers\\BuiltIn\\Norvel")");
}
