// User programs for Cmd + digit, and the activity notifications of the output operations.
#include "decoder/builds.h"
#include "support/keys_harness.h"

namespace keytest {
namespace {

class UserProgramTest : public KeysTest {
  protected:
    // Digit 3 names a program whose command is `command`.
    Calls Run(const std::u16string &command) {
        SetString(u"Fn-3", u"My Program");
        SetString(u"My Program", command);
        LaunchUserProgram(&kd, 3);
        return Take();
    }
};

TEST_F(UserProgramTest, CommandIsSplitAtItsLastSpace) {
    const struct {
        const char *command, *file, *params;
    } cases[] = {
        {"\\Program Files\\Word\\pword.exe \\doc.psw", "\\Program Files\\Word\\pword.exe",
         "\\doc.psw"},
        {"\\Windows\\pword.exe", "\\Windows\\pword.exe", nullptr},
        {"\"\\Program Files\\My App\\app.exe\"", "\"\\Program Files\\My App\\app.exe\"", nullptr},
        {"\\Program Files\\A B\\APP.EXE", "\\Program Files\\A",
         "B\\APP.EXE"}, // ".exe" is case-sensitive
        {".exe", ".exe", nullptr},
        // No space to split at: the whole text is the program, with nothing to pass to it.
        {"\\Windows\\notes", "\\Windows\\notes", nullptr},
        {"exe", "exe", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(Run(U16(c.command)), Launch(c.file, c.params));
    }
}

TEST_F(UserProgramTest, TrailingSpacesAreRemovedOnlyInTheNewestBuild) {
    const Calls trimmed = Launch("\\Windows\\pword.exe"),
                kept = Launch("\\Windows\\pword.exe ", "");
    EXPECT_EQ(Run(u"\\Windows\\pword.exe  "), ByBuild(trimmed, kept, kept));
    const Calls withParameter = Launch("\\Windows\\pword.exe", "-n"),
                keptWhole = Launch("\\Windows\\pword.exe -n", "");
    EXPECT_EQ(Run(u"\\Windows\\pword.exe -n "), ByBuild(withParameter, keptWhole, keptWhole));
}

TEST_F(UserProgramTest, DataFileWithoutCommandValueIsOpenedWhole) {
    SetString(u"Fn-3", u"\\My Documents\\memo.txt /x");
    LaunchUserProgram(&kd, 3);
    EXPECT_CALLS(Launch("\\My Documents\\memo.txt /x"));
}

TEST_F(UserProgramTest, MissingOrOversizedValueStartsNothingButNotifies) {
    LaunchUserProgram(&kd, 4);
    EXPECT_CALLS(Notify());
    // 261 code units: longer than any path, so never started cut short.
    SetRaw(u"Fn-4", std::vector<uint8_t>(522, 'a'));
    LaunchUserProgram(&kd, 4);
    EXPECT_CALLS(Notify());
}

TEST_F(UserProgramTest, ValuesThatFillTheirBufferAreStillTerminated) {
    // 260 code units, no terminating null: exactly the 520 bytes offered.
    std::vector<uint8_t> name;
    for (int i = 0; i < 260; ++i)
        name.insert(name.end(), {'a', 0});
    SetRaw(u"Fn-5", name);
    LaunchUserProgram(&kd, 5);
    EXPECT_CALLS(Launch(std::string(260, 'a')));

    // 150 code units, no terminating null: exactly the 300 bytes offered.
    std::string command = "\\" + std::string(145, 'b') + ".exe";
    std::vector<uint8_t> bytes;
    for (char c : command)
        bytes.insert(bytes.end(), {uint8_t(c), 0});
    ASSERT_EQ(bytes.size(), 300u);
    SetString(u"Fn-6", u"Long");
    SetRaw(u"Long", bytes);
    LaunchUserProgram(&kd, 6);
    EXPECT_CALLS(Launch(command));
}

TEST_F(UserProgramTest, DigitUsesItsLowEightBits) {
    SetString(u"Fn-7", u"\\seven.txt");
    LaunchUserProgram(&kd, 0x107);
    EXPECT_CALLS(Launch("\\seven.txt"));
}

using NotificationTest = KeysTest;

TEST_F(NotificationTest, WithoutBacklightEventKeysStillGoOut) {
    CloseHandle(kd.backlightEvent);
    kd.backlightEvent = NULL;
    Make(17);
    Make(79); // Symbol
    Make(11);
    LaunchHotKey(&kd, 2);
    LaunchUserProgram(&kd, 1);
    Calls expected{"keybd_event 65 0 0 0", "SystemIdleTimerReset",
                   "PostKeybdMessage focus 0 128 [8364] [0]"};
    if (ByBuild(true, false, true)) // the CE 4.00 build posts characters silently
        expected.push_back("SystemIdleTimerReset");
    expected =
        expected + Start("Notes.exe") + Calls{"SystemIdleTimerReset", "SystemIdleTimerReset"};
    EXPECT_CALLS(expected);
}

TEST_F(NotificationTest, BacklightEventIsSetByKeyEventsButNotByDirectCalls) {
    Make(55); // pen tap: a direct platform call
    EXPECT_EQ(WaitForSingleObject(kd.backlightEvent, 0), DWORD(WAIT_TIMEOUT));
    Make(17);
    EXPECT_EQ(WaitForSingleObject(kd.backlightEvent, 0), WAIT_OBJECT_0);
    Make(8); // Cmd
    Make(17);
    // The CE 4.00 build's characters stay silent.
    EXPECT_EQ(WaitForSingleObject(kd.backlightEvent, 0),
              ByBuild(DWORD(WAIT_OBJECT_0), DWORD(WAIT_TIMEOUT), DWORD(WAIT_OBJECT_0)));
}

} // namespace
} // namespace keytest
