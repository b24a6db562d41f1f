// The scenario language: quoting, comments, numbers, value encodings and where errors stop.
#include "handheld/scenario/scenario.h"
#include "support/installed_device.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using handheld::ScnCommand;

namespace {

std::vector<std::string> tokens(const std::string &line) {
    std::vector<std::string> t;
    std::string error;
    EXPECT_TRUE(handheld::scnTokenize(line, &t, &error)) << line << ": " << error;
    return t;
}

std::string tokenError(const std::string &line) {
    std::vector<std::string> t;
    std::string error;
    EXPECT_FALSE(handheld::scnTokenize(line, &t, &error)) << line;
    return error;
}

ScnCommand parse(const std::string &line) {
    ScnCommand c;
    bool empty = true;
    std::string error;
    EXPECT_TRUE(handheld::scnParseLine(line, 7, &c, &empty, &error)) << line << ": " << error;
    EXPECT_FALSE(empty) << line;
    return c;
}

std::string parseError(const std::string &line) {
    ScnCommand c;
    bool empty = false;
    std::string error;
    EXPECT_FALSE(handheld::scnParseLine(line, 1, &c, &empty, &error)) << line;
    return error;
}

std::u16string u16(const std::vector<uint8_t> &data) {
    std::u16string s(data.size() / 2, u'\0');
    std::memcpy(&s[0], data.data(), s.size() * 2);
    return s;
}

} // namespace

TEST(ScenarioTokens, QuotesKeepBlanksAndOnlyTwoEscapes) {
    EXPECT_EQ(tokens("set \"Drivers\\BuiltIn\\Norvel\"  \"Enable Keyboard\"\tdword 1"),
              (std::vector<std::string>{"set", "Drivers\\BuiltIn\\Norvel", "Enable Keyboard",
                                        "dword", "1"}));
    // \" and \\ are escapes; \n, \t and a lone backslash stand for themselves.
    EXPECT_EQ(tokens(R"(file "a \"b\" c\\d \n\t\x")"),
              (std::vector<std::string>{"file", R"(a "b" c\d \n\t\x)"}));
    EXPECT_EQ(tokens("file \"\" \"\""), (std::vector<std::string>{"file", "", ""}));
    EXPECT_EQ(tokens("file \"ends in \\\\\""), (std::vector<std::string>{"file", "ends in \\"}));
}

TEST(ScenarioTokens, HashStartsACommentOnlyOutsideQuotes) {
    EXPECT_TRUE(tokens("   # a comment").empty());
    EXPECT_TRUE(tokens("").empty());
    EXPECT_TRUE(tokens(" \t\r").empty());
    EXPECT_EQ(tokens("wait 40# right after"), (std::vector<std::string>{"wait", "40"}));
    EXPECT_EQ(tokens("file \"#1 # two\" # three"), (std::vector<std::string>{"file", "#1 # two"}));
    EXPECT_EQ(tokens("boot\r"), (std::vector<std::string>{"boot"})); // a file with CR LF lines
}

TEST(ScenarioTokens, QuotingFaultsAreErrors) {
    EXPECT_NE(tokenError("file \"never closed").find("unterminated"), std::string::npos);
    EXPECT_NE(tokenError("file \"escaped at the end\\\"").find("unterminated"), std::string::npos);
    tokenError("file \"a\"b");
    tokenError("file a\"b\"");
}

TEST(ScenarioParse, NumbersAreDecimalOrHex) {
    EXPECT_EQ(parse("wait 40").num, 40u);
    EXPECT_EQ(parse("wait 0x28").num, 40u);
    EXPECT_EQ(parse("osbuild 0XFFFFFFFF").num, 0xFFFFFFFFu);
    for (const char *bad : {"wait", "wait 0x", "wait 12ms", "wait -1", "wait 0x100000000",
                            "wait 1 2", "wait 4294967296", "slide 1000 x"})
        parseError(bad);
}

TEST(ScenarioParse, RxTakesTwoHexDigitsPerByte) {
    EXPECT_EQ(parse("rx 05 02 ee C0").bytes, (std::vector<uint8_t>{0x05, 0x02, 0xEE, 0xC0}));
    for (const char *bad : {"rx", "rx 5", "rx 0x05", "rx 0502", "rx GG", "rx 05 2"})
        parseError(bad);
}

TEST(ScenarioParse, SetEncodesEachType) {
    ScnCommand d = parse("set \"A\\B\" N dword 0x12345678");
    EXPECT_EQ(d.path, "A\\B");
    EXPECT_EQ(d.value.type, 4u);
    EXPECT_EQ(d.value.data, (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12}));

    ScnCommand s = parse("set K N sz \"é x\"");
    EXPECT_EQ(s.value.type, 1u);
    EXPECT_EQ(u16(s.value.data), std::u16string(u"é x\0", 4)); // with its terminating null

    ScnCommand m = parse("set K N multisz one \"two three\"");
    EXPECT_EQ(m.value.type, 7u);
    EXPECT_EQ(u16(m.value.data), std::u16string(u"one\0two three\0\0", 15));
    EXPECT_EQ(u16(parse("set K N multisz").value.data), std::u16string(u"\0", 1));

    ScnCommand b = parse("set K N binary 00 7f FF");
    EXPECT_EQ(b.value.type, 3u);
    EXPECT_EQ(b.value.data, (std::vector<uint8_t>{0x00, 0x7F, 0xFF}));

    for (const char *bad : {"set K N", "set K N qword 1", "set K N sz", "set K N sz a b",
                            "set K N dword", "set K N binary 1 2", "set K"})
        parseError(bad);
}

TEST(ScenarioParse, CommandShapes) {
    EXPECT_EQ(parse("client open").num, 0x80000000u);
    EXPECT_EQ(parse("client open GENERIC_READ|GENERIC_WRITE").num, 0xC0000000u);
    EXPECT_EQ(parse("client open 0").num, 0u);
    EXPECT_EQ(parse("client read 4").word, "client read");
    EXPECT_EQ(parse("client close").word, "client close");

    ScnCommand w = parse("window ink richink rect 0 -26 240 294 parent notes");
    EXPECT_EQ(w.path, "ink");
    EXPECT_EQ(w.name, "richink");
    EXPECT_EQ(w.parent, "notes");
    EXPECT_TRUE(w.hasRect);
    EXPECT_EQ(w.rect[1], -26);
    EXPECT_FALSE(parse("window top Notes").parent);

    ScnCommand r = parse("run kbsettings I \"two words\"");
    EXPECT_EQ(r.path, "kbsettings");
    EXPECT_EQ(r.args, (std::vector<std::string>{"I", "two words"}));
    EXPECT_FALSE(parse("port com3: nobaud9600").baud9600);
    EXPECT_TRUE(parse("choose cancel").cancel);
    EXPECT_FALSE(parse("choose \"\\My Documents\\a.txt\"").cancel);
    EXPECT_FALSE(parse("delete K").valueName);
    EXPECT_EQ(parse("delete K N").valueName, "N");

    ScnCommand d = parse("drag 0 319 239 0");
    EXPECT_EQ(d.rect[1], 319);
    EXPECT_EQ(d.rect[2], 239);
    EXPECT_EQ(parse("tap 0x10 20").rect[0], 16);
    EXPECT_EQ(parseError("tap 240 10"), "the point 240 10 is off the 240 x 320 screen");
    EXPECT_NE(parseError("drag 1 2 3 -1").find("the point 3 -1 is off"), std::string::npos);
    for (const char *bad :
         {"tap 1", "tap 1 2 3", "drag 1 2 3", "boot now", "driver ce500", "port COM3",
          "port LPT1:", "port COM3: fast", "sip maybe", "answer perhaps", "client",
          "client open GENERIC_READ|BOGUS", "client peek 1", "window w c parent",
          "window w c rect 1 2 3", "select 5", "show", "run"})
        parseError(bad);
    EXPECT_EQ(parseError("jump 3"), "unknown command \"jump\"");
    EXPECT_EQ(parseError("Boot"), "unknown command \"Boot\"");
}

// Scenario text whose errors are the point: played without failing the test.
class ScenarioRunner : public ::testing::Test, protected test_support::InstalledDevice {
  protected:
    bool Play(const std::string &text) { return runner->playText(text, &err); }

    handheld::ScnError err;
};

// Errors stop the scenario at their line (blank and comment lines count); what ran before stays.
TEST_F(ScenarioRunner, StopsAtTheFirstErrorWithItsLine) {
    EXPECT_FALSE(Play("dump \"Drivers\\BuiltIn\\Norvel\"\n\n  # note\n"
                      "set A B dword 1 junk\ndump A\n"));
    EXPECT_EQ(err.line, 4);
    EXPECT_EQ(device.journal().lines().size(), 1u);
    EXPECT_FALSE(Play("boot\ndriver ce300\n"));
    EXPECT_EQ(err.line, 2);
    EXPECT_NE(err.message.find("driver"), std::string::npos);
    // A user-interface command needs a program in the foreground with that control.
    EXPECT_FALSE(Play("click 1001\n"));
    EXPECT_EQ(err.message, "click: the foreground program has no control 1001");
}

// Without a `port` command the line is on COM2:; a `port` command before the driver starts
// replaces it, so COM2: cannot be opened any more.
TEST_F(ScenarioRunner, PortCommandReplacesTheDefaultLine) {
    ASSERT_TRUE(Play("wait 1\nport \"COM3:\"\nboot\nwait 40\n")) << err.message;
    EXPECT_EQ(device.journal()
                  .grep("\"CreateFileW\",\"name\":\"COM2:\",\"access\":2147483648,"
                        "\"result\":false,\"error\":2")
                  .size(),
              1u);
}

TEST_F(ScenarioRunner, PortCommandCannotMoveALineInUse) {
    EXPECT_FALSE(Play("boot\nwait 40\nport \"COM3:\"\n"));
    EXPECT_EQ(err.line, 3);
}
