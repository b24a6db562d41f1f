// Test bench for key translation: the expectations and the fixture of support/keys_harness.h.
#include "support/keys_harness.h"

#include "decoder/builds.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace keytest {

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
    device.registry().createKey(NORVEL_DRIVER_KEY);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, NORVEL_DRIVER_KEY, 0, 0, &kd.registryKey),
              ERROR_SUCCESS);
    kd.backlightEvent = CreateEventW(NULL, FALSE, FALSE, TEXT("BackLightChangeEvent"));
    EXPECT_NE(kd.backlightEvent, nullptr);
    device.journal().clear();
    compact.calls.clear();
}

KeysTest::~KeysTest() {
    if (kd.registryKey)
        RegCloseKey(kd.registryKey);
    if (kd.backlightEvent)
        CloseHandle(kd.backlightEvent);
}

Calls KeysTest::Take() {
    Calls out;
    out.swap(compact.calls);
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
    device.registry().setValue(NORVEL_DRIVER_KEY, name, v);
}

} // namespace keytest
