// Registry files as Windows' registry editor writes and reads them: a table of small files, each
// with the value it must give or the line it must be refused at; and the files export writes.
#include "handheld/frontends/reg_cmd.h"

#include "emul/registry.h"
#include "emul/text.h"

#include <gtest/gtest.h>

#include <optional>

using namespace std::string_literals;

namespace {

using Bytes = std::vector<uint8_t>;

// UTF-16 bytes of `s`, with its null.
Bytes sz(const std::u16string &s) {
    return emul::regSz(s).data;
}

// A file in Windows' own format: UTF-16 with its byte-order mark, lines ended by `eol`.
std::string version5(const std::string &body, const std::u16string &eol = u"\r\n") {
    std::u16string text =
        u"Windows Registry Editor Version 5.00" + eol + eol + u"[HKEY_LOCAL_MACHINE\\T]" + eol;
    for (char16_t c : emul::utf16(body))
        text += c == u'\n' ? eol : std::u16string(1, c);
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out += char(c & 0xFF);
        out += char(c >> 8);
    }
    return out;
}

std::string regedit4(const std::string &body) {
    return "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\T]\n" + body;
}

struct Case {
    const char *what;
    std::string file;
    uint32_t type = 0; // of the value "v" in HKLM\T
    Bytes data;
    int refusedAt = 0; // the line named when the file is refused
};

Case value(const char *what, std::string file, uint32_t type, Bytes data) {
    return Case{what, std::move(file), type, std::move(data), 0};
}
Case refused(const char *what, std::string file, int line) {
    return Case{what, std::move(file), 0, {}, line};
}

std::vector<Case> cases() {
    const Bytes one{1, 0, 0, 0}, x = sz(u"x");
    return {
        // Text in hex form: ANSI in REGEDIT4, with the terminating null it may leave out.
        value("expand sz", regedit4("\"v\"=hex(2):25,50,41,54,48,25,00\n"), 2, sz(u"%PATH%")),
        value("no null", regedit4("\"v\"=hex(2):25,50,41,54,48,25\n"), 2, sz(u"%PATH%")),
        value("multi sz", regedit4("\"v\"=hex(7):61,00,62,63,00,00\n"), 7,
              sz(std::u16string(u"a\0bc\0", 5))),
        value("sz in hex", regedit4("\"v\"=hex(1):41,42\n"), 1, sz(u"AB")),
        value("ANSI", regedit4("\"v\"=hex(2):80,e9,00\n"), 2, sz(u"\u20AC\u00E9")),
        value("empty text", regedit4("\"v\"=hex(2):\n"), 2, {}),
        value("binary", regedit4("\"v\"=hex:01,ff\n"), 3, {1, 0xFF}),
        value("other type", regedit4("\"v\"=hex(4):01,00,00,00\n"), 4, one),
        value("single digits", regedit4("\"v\"=hex:1,2\n"), 3, {1, 2}),
        value("trailing comma", regedit4("\"v\"=hex:01,\n"), 3, {1}),
        // Blanks and comments where the editor takes them.
        value("blanks at =", regedit4("\"v\" =\t\"x\"\n"), 1, x),
        value("at = of @", regedit4("@ = \"x\"\n\"v\"=\"x\"\n"), 1, x),
        value("after dword:", regedit4("\"v\"=dword: \t00000001\n"), 4, one),
        value("after the quote", regedit4("\"v\"=\"x\" \t\n"), 1, x),
        value("comment after", regedit4("\"v\"=\"x\" ; it is x\n"), 1, x),
        value("comment after dword", regedit4("\"v\"=dword:1 ;one\n"), 4, one),
        value("comment after hex", regedit4("\"v\"=hex:01 ; one\n"), 3, {1}),
        // Only \\ and \" are escapes.
        value("backslash zero", regedit4("\"v\"=\"a\\0b\"\n"), 1, sz(u"a\\0b")),
        value("escapes", regedit4("\"v\"=\"\\\"C:\\\\d\\n\\\"\"\n"), 1, sz(u"\"C:\\d\\n\"")),
        // Hex lists over lines.
        value("continued", regedit4("\"v\"=hex:01,\\\n  02,\\\n  03\n"), 3, {1, 2, 3}),
        value("comment between", regedit4("\"v\"=hex:01,\\\n; c\n\n  02\n"), 3, {1, 2}),
        value("ends continuing", regedit4("\"v\"=hex:01,02,\\\n"), 3, {1, 2}),
        value("text over lines", regedit4("\"v\"=hex(2):25,50,\\\n  25,00\n"), 2, sz(u"%P%")),
        // Lines the editor ignores: a blank after the bracket, and the values under it.
        value("ignored key", regedit4("\"v\"=\"x\"\n[ HKEY_LOCAL_MACHINE\\T]\n\"v\"=\"y\"\n"), 1,
              x),
        value("ignored deletion", regedit4("\"v\"=\"x\"\n[ -HKEY_LOCAL_MACHINE\\T]\n"), 1, x),
        value("values of a deleted key",
              regedit4("\"v\"=\"x\"\n[-HKEY_LOCAL_MACHINE\\U]\n\"v\"=\"y\"\n"), 1, x),
        // Windows' own format: UTF-16, text in hex form as UTF-16, any line ends.
        value("version 5", version5("\"v\"=hex(2):25,00,50,00,00,00\n"), 2, sz(u"%P")),
        value("version 5 unicode", version5("\"v\"=\"Grüße \u20AC\"\n"), 1, sz(u"Grüße \u20AC")),
        value("version 5 no null", version5("\"v\"=hex(1):41,00\n"), 1, {0x41, 0}),
        value("CR only", version5("\"v\"=hex:01,\\\n  02\n", u"\r"), 3, {1, 2}),
        value("LF only", version5("\"v\"=dword:00000001\n", u"\n"), 4, one),
        value("UTF-8 mark", "\xEF\xBB\xBF" + regedit4("\"v\"=\"x\"\n"), 1, x),
        value("ANSI file",
              regedit4("\"v\"=\"Gr\xFC\xDF"
                       "e\"\n"),
              1, sz(u"Grüße")),
        // Hex lists that are not valid.
        refused("double comma", regedit4("\"v\"=hex:01,,02\n"), 4),
        refused("leading comma", regedit4("\"v\"=hex:,01\n"), 4),
        refused("three digits", regedit4("\"v\"=hex:012\n"), 4),
        refused("no comma", regedit4("\"v\"=hex:01 02\n"), 4),
        refused("backslash after a byte", regedit4("\"v\"=hex:44\\\n  ,55\n"), 4),
        refused("split byte", regedit4("\"v\"=hex:01,0\\\n  2\n"), 4),
        refused("lone backslash", regedit4("\"v\"=hex:01,\\\n\\\n  02\n"), 5),
        refused("comma after the break", regedit4("\"v\"=hex:01,\\\n  ,02\n"), 5),
        refused("text after a string", regedit4("\"v\"=\"x\" y\n"), 4),
        refused("long dword", regedit4("\"v\"=dword:123456789\n"), 4),
        refused("no header", "[HKEY_LOCAL_MACHINE\\T]\n", 1),
    };
}

} // namespace

TEST(RegeditFiles, EachFileGivesTheValueWindowsGives) {
    for (const Case &c : cases()) {
        auto reg = emul::Registry::open("");
        std::string error;
        bool ok = handheld::regImport(*reg, c.file, &error);
        if (c.refusedAt) {
            EXPECT_FALSE(ok) << c.what;
            EXPECT_EQ(error.rfind("line " + std::to_string(c.refusedAt) + ": ", 0), 0u)
                << c.what << ": " << error;
            EXPECT_FALSE(reg->keyExists(u"T")) << c.what << ": nothing of it is kept";
            continue;
        }
        ASSERT_TRUE(ok) << c.what << ": " << error;
        auto v = reg->getValue(u"T", u"v");
        ASSERT_TRUE(v) << c.what;
        EXPECT_EQ(v->type, c.type) << c.what;
        EXPECT_EQ(v->data, c.data) << c.what;
        EXPECT_FALSE(reg->keyExists(u" HKEY_LOCAL_MACHINE")) << c.what;
    }
}

// "name"=- deletes that value alone: the key's other value and its sub-key stay.
TEST(RegeditFiles, ADeletedValueTakesNothingElseWithIt) {
    auto reg = emul::Registry::open("");
    reg->setValue(u"T", u"v", emul::regDword(1));
    reg->setValue(u"T", u"w", emul::regSz(u"kept"));
    reg->setValue(u"T\\Sub", u"s", emul::regDword(2));
    std::string error;
    ASSERT_TRUE(handheld::regImport(*reg, regedit4("\"v\"=-\n"), &error)) << error;
    EXPECT_FALSE(reg->getValue(u"T", u"v"));
    EXPECT_EQ(emul::regStringOf(reg->getValue(u"T", u"w")), u"kept");
    EXPECT_EQ(emul::regDwordOf(reg->getValue(u"T\\Sub", u"s")), 2u);
}

namespace {

std::string exportOf(emul::Registry &reg, handheld::RegFileFormat format, std::string *error) {
    std::string out;
    return handheld::regExport(reg, u"T", format, &out, error) ? out : "";
}

} // namespace

// Export writes text in the form its header promises: ANSI bytes under REGEDIT4, UTF-16 under
// version 5.00; a value REGEDIT4 cannot carry is named, and version 5.00 carries it.
TEST(RegeditFiles, ExportWritesTextAsItsHeaderPromises) {
    auto reg = emul::Registry::open("");
    reg->setValue(u"T", u"path", emul::regRaw(2, sz(u"%PATH%\u00E9")));
    reg->setValue(u"T", u"list", emul::regMultiSz({u"a", u"\u20AC"}));
    reg->setValue(u"T", u"long", emul::regRaw(3, Bytes(40, 0xAB)));
    std::string error;
    std::string text = exportOf(*reg, handheld::RegFileFormat::regedit4, &error);
    // Long lists wrap as Windows' editor wraps them: 77 columns and the backslash.
    std::string ab;
    for (int i = 0; i < 40; ++i)
        ab += i == 22 ? "\\\n  ab," : i == 39 ? "ab" : "ab,";
    EXPECT_EQ(text, "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\T]\n"
                    "\"path\"=hex(2):25,50,41,54,48,25,e9,00\n"
                    "\"list\"=hex(7):61,00,80,00,00\n"
                    "\"long\"=hex:" +
                        ab + "\n\n");
    auto back = emul::Registry::open("");
    ASSERT_TRUE(handheld::regImport(*back, text, &error)) << error;
    for (const char16_t *name : {u"path", u"list", u"long"})
        EXPECT_EQ(back->getValue(u"T", name)->data, reg->getValue(u"T", name)->data);

    for (auto v : {emul::regRaw(2, sz(u"\u4E2D")), emul::regSz(u"no null", false),
                   emul::regRaw(7, {'a', 0, 0})}) {
        reg->setValue(u"T", u"odd", v);
        EXPECT_EQ(exportOf(*reg, handheld::RegFileFormat::regedit4, &error), "");
        EXPECT_EQ(error.rfind("HKEY_LOCAL_MACHINE\\T: the value \"odd\" holds text that REGEDIT4 "
                              "cannot carry exactly",
                              0),
                  0u)
            << error;
        std::string v5 = exportOf(*reg, handheld::RegFileFormat::v5, &error);
        ASSERT_EQ(v5.rfind("\xFF\xFEW\0i\0n\0"s, 0), 0u);
        EXPECT_NE(v5.find("0\0\r\0\n\0"s), std::string::npos) << "CR LF line ends";
        auto again = emul::Registry::open("");
        ASSERT_TRUE(handheld::regImport(*again, v5, &error)) << error;
        EXPECT_EQ(again->getValue(u"T", u"odd")->data, v.data);
    }
}
