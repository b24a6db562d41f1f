// Test bench for key translation (see support/keys_harness.h): the checks that it can fail.
#include "support/keys_harness.h"

#include <gtest/gtest-spi.h>

namespace keytest {

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
