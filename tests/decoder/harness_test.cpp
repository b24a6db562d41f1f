// Test bench for key translation (see keys_harness.h), and the checks that it can fail.
#include "decoder/builds.h"
#include "decoder/keys_harness.h"

#include <gtest/gtest-spi.h>

#include <algorithm>
#include <sstream>

namespace keytest {

namespace {

// Reads one JSON value at s[i] and returns it compactly: a string without quotes (escapes other
// than \" and \\ kept as written), anything else exactly as written.
std::string ReadValue(const std::string &s, size_t &i) {
    std::string out;
    if (s[i] == '"') {
        for (++i; i < s.size() && s[i] != '"'; ++i) {
            if (s[i] == '\\' && i + 1 < s.size()) {
                char n = s[i + 1];
                if (n == '"' || n == '\\') {
                    out += n;
                    ++i;
                    continue;
                }
            }
            out += s[i];
        }
        ++i;
        return out;
    }
    int depth = 0;
    bool inString = false;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (inString) {
            if (c == '\\')
                out += s[i++];
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            ++depth;
        } else if (c == ']' || c == '}') {
            if (depth == 0)
                break;
            --depth;
        } else if (c == ',' && depth == 0) {
            break;
        }
        out += s[i];
    }
    return out;
}

} // namespace

std::string CompactCall(const std::string &line) {
    std::string name, rest;
    size_t i = 1;
    while (i < line.size() && line[i] == '"') {
        std::string key = ReadValue(line, i);
        ++i; // ':'
        std::string value = ReadValue(line, i);
        // What a launch did on the device is the shell's business; these tests check what the
        // driver asks for.
        bool outcome = name == "ShellExecuteEx" && (key == "result" || key == "error");
        if (key == "call")
            name = value;
        else if (key != "t" && !outcome)
            rest += " " + value;
        if (i < line.size() && line[i] == ',')
            ++i;
    }
    return name.empty() ? std::string() : name + rest;
}

Calls operator+(Calls a, const Calls &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Calls Notify() {
    return {"SystemIdleTimerReset", "SetEvent BackLightChangeEvent"};
}
Calls Press(int vk) {
    return Calls{"keybd_event " + std::to_string(vk) + " 0 0 0"} + Notify();
}
Calls Release(int vk) {
    return Calls{"keybd_event " + std::to_string(vk) + " 0 2 0"} + Notify();
}

Calls Char(int ch) {
    Calls post{"PostKeybdMessage focus 0 128 [" + std::to_string(ch) + "] [0]"};
    return ByBuild(post + Notify(), post, post + Notify());
}

Calls Start(const std::string &file, const char *params) {
    return {"ShellExecuteEx 1088 open " + file + " " + (params ? params : "null") + " null 5"};
}

Calls Launch(const std::string &file, const char *params) {
    return Start(file, params) + Notify();
}

Calls None() {
    return {};
}

std::string U8(const std::u16string &s) {
    std::string out;
    for (char16_t c : s)
        out += c < 0x80 ? char(c) : '?';
    return out;
}

std::u16string U16(const std::string &s) {
    return std::u16string(s.begin(), s.end());
}

KeysTest::KeysTest() {
    memset(&kd, 0, sizeof(kd));
    device.registry().createKey(u"Drivers\\BuiltIn\\Norvel");
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, NORVEL_DRIVER_KEY, 0, 0, &kd.registryKey),
              ERROR_SUCCESS);
    kd.backlightEvent = CreateEventW(NULL, FALSE, FALSE, TEXT("BackLightChangeEvent"));
    EXPECT_NE(kd.backlightEvent, nullptr);
    device.journal().clear();
}

KeysTest::~KeysTest() {
    if (kd.registryKey)
        RegCloseKey(kd.registryKey);
    if (kd.backlightEvent)
        CloseHandle(kd.backlightEvent);
}

Calls KeysTest::Take() {
    Calls out;
    for (const std::string &l : device.journal().lines()) {
        std::string c = CompactCall(l);
        if (!c.empty())
            out.push_back(c);
    }
    device.journal().clear();
    return out;
}

void KeysTest::ExpectCalls(const char *file, int line, const Calls &expected) {
    Calls actual = Take();
    if (actual == expected)
        return;
    std::ostringstream o;
    o << "calls differ (expected | actual):\n";
    for (size_t i = 0; i < std::max(actual.size(), expected.size()); ++i) {
        std::string e = i < expected.size() ? expected[i] : "-";
        std::string a = i < actual.size() ? actual[i] : "-";
        o << (e == a ? "   " : "!! ") << e << " | " << a << "\n";
    }
    ADD_FAILURE_AT(file, line) << o.str();
}

void KeysTest::SetString(const std::u16string &name, const std::u16string &text) {
    std::vector<uint8_t> bytes;
    for (char16_t c : text) {
        bytes.push_back(uint8_t(c & 0xFF));
        bytes.push_back(uint8_t(c >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    SetRaw(name, bytes);
}

void KeysTest::SetRaw(const std::u16string &name, const std::vector<uint8_t> &bytes) {
    emul::RegValue v;
    v.type = REG_SZ;
    v.data = bytes;
    device.registry().setValue(u"Drivers\\BuiltIn\\Norvel", name, v);
}

// The bench itself must be able to fail, or every other test here proves nothing.
TEST_F(KeysTest, HarnessReportsAMismatch) {
    Make(17);
    EXPECT_NONFATAL_FAILURE(EXPECT_CALLS(Press(66)), "keybd_event 66 0 0 0 | keybd_event 65 0 0 0");
}

TEST(KeysHarness, CompactsJournalLines) {
    EXPECT_EQ(CompactCall(R"({"t":0,"call":"keybd_event","vk":65,"scan":0,"flags":2,"extra":0})"),
              "keybd_event 65 0 2 0");
    EXPECT_EQ(CompactCall(R"({"t":7,"call":"PostKeybdMessage","hwnd":"focus","vk":0,"state":128,)"
                          R"("chars":[8364],"shift":[0]})"),
              "PostKeybdMessage focus 0 128 [8364] [0]");
    EXPECT_EQ(CompactCall(R"({"t":7,"call":"ShellExecuteEx","file":"a \"b\".exe","params":null})"),
              "ShellExecuteEx a \"b\".exe null");
    EXPECT_EQ(CompactCall(R"({"t":7,"event":"exit","code":0})"), "");
}

} // namespace keytest
