// Test bench for key translation (see support/keys_harness.h): the checks that it can fail.
#include "support/keys_harness.h"

#include <gtest/gtest-spi.h>

namespace keytest {

// The bench itself must be able to fail, or every other test here proves nothing.
TEST_F(KeysTest, HarnessReportsAMismatch) {
    Make(17);
    EXPECT_NONFATAL_FAILURE(EXPECT_CALLS(Press(66)), "keybd_event 66 0 0 0 | keybd_event 65 0 0 0");
}

// Values compactly: numbers, texts unquoted and unescaped, windows by name, arrays, null.
TEST(KeysHarness, CompactsCallRecords) {
    emul::Device device;
    CompactCalls c;
    emul::Subscription s(device.journal(), c);
    emul::Journal &j = device.journal();
    j.call("keybd_event",
           emul::Fields().num("vk", 65).num("scan", 0).num("flags", 2).num("extra", 0));
    uint32_t chars[] = {8364}, shift[] = {0};
    j.call("PostKeybdMessage", emul::Fields()
                                   .hwnd("hwnd", uintptr_t(-1))
                                   .num("vk", 0)
                                   .num("state", 128)
                                   .nums("chars", chars, 1)
                                   .nums("shift", shift, 1));
    j.call("ShellExecuteEx", emul::Fields().str("file", "a \"b\".exe").null("params"));
    j.event("exit", emul::Fields().num("code", 0));
    EXPECT_EQ(c.calls, (Calls{"keybd_event 65 0 2 0", "PostKeybdMessage focus 0 128 [8364] [0]",
                              "ShellExecuteEx a \"b\".exe null"}));
}

} // namespace keytest
