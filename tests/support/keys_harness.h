// Test bench for key translation: a device, a KeyboardDevice wired to its registry key and
// backlight event, and the journal's calls in a compact form that reads like the expectation.
#pragma once

#include <windows.h>

#include "keys.h"
#include "norvel_reg.h"

#include "emul/device.h"
#include "emul/files.h"
#include "emul/harness.h"
#include "emul/registry.h"
#include "emul/windows_sys.h"
#include "support/compact_journal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace keytest {

using Calls = std::vector<std::string>;

using testing_support::CompactCall;
using testing_support::CompactCalls;

Calls operator+(Calls a, const Calls &b);

// Expectations.
Calls Notify();        // idle-timer reset, then the backlight event
Calls Press(int vk);   // SendVirtualKey press
Calls Release(int vk); // SendVirtualKey release
Calls Char(int ch);    // PostCharacter (no notifications in the CE 4.00 build)
Calls Start(const std::string &file, const char *params = nullptr);  // one ShellExecuteEx line
Calls Launch(const std::string &file, const char *params = nullptr); // a hot-key launch
Calls None();

std::string U8(const std::u16string &s);
std::u16string U16(const std::string &s);

class KeysTest : public ::testing::Test {
  protected:
    KeysTest();
    ~KeysTest() override;

    void Key(DWORD code, DWORD fresh = 1) { DecodeKey(&kd, code, fresh); }
    void Make(DWORD code) { Key(code, 1); }
    void Break(DWORD make) { Key(make + 128, 1); }
    void Repeat(DWORD code) { Key(code, 0); }

    // The calls journaled since the last Take(), compactly; clears the journal.
    Calls Take();
    void ExpectCalls(const char *file, int line, const Calls &expected);

    void SetString(const std::u16string &name, const std::u16string &text);
    void SetRaw(const std::u16string &name, const std::vector<uint8_t> &bytes); // REG_SZ, as given
    uintptr_t Window(const std::string &name, const std::u16string &cls, uintptr_t parent = 0,
                     int l = 0, int t = 0, int r = 240, int b = 320) {
        return emul::harness::createSceneWindow(name, cls, parent, l, t, r, b);
    }
    void Foreground(uintptr_t h) { device.windows().setForeground(h); }

    emul::Device device;
    KeyboardDevice kd;
    testing_support::CompactCalls compact;
    emul::Subscription compactSubscription{device.journal(), compact};
};

#define EXPECT_CALLS(...) ExpectCalls(__FILE__, __LINE__, __VA_ARGS__)

} // namespace keytest
