// The hot-key launcher: choices by build number, the power key, the file test, the task-bar
// sequences and one activity notification per launch.
#include "decoder/builds.h"
#include "support/keys_harness.h"

namespace keytest {
namespace {

using LauncherTest = KeysTest;

// A code that only the baseline build knows: its calls there, the notification alone elsewhere.
Calls BaselineOnly(const Calls &baseline) {
    return ByBuild(baseline, Notify(), Notify());
}

// What codes 1, 5, 8 and 11 start on devices with build numbers 9999, 10000 and 10001.
TEST_F(LauncherTest, ProgramChoicesAroundBuildNumber10000) {
    const Calls tmail = Launch("tmail.exe"), pmail = Launch("pmail.exe"),
                outlook = Launch("poutlook.exe", " calendar"), calendar = Launch("calendar.exe"),
                itask = Launch("iTask.exe"), money = Launch("moneyce.exe"),
                qstart = Launch("Qstart.exe");
    const struct {
        int code;
        DWORD build;
        Calls expected;
    } cases[] = {
        {1, 9999, ByBuild(tmail, tmail, pmail)},
        {1, 10000, ByBuild(tmail, tmail, pmail)},
        {1, 10001, tmail},
        {5, 9999, ByBuild(outlook, outlook, calendar)},
        {5, 10000, ByBuild(outlook, outlook, calendar)},
        {5, 10001, outlook},
        {8, 9999, ByBuild(money, itask, money)},
        {8, 10000, ByBuild(money, itask, money)},
        {8, 10001, itask},
        {11, 9999, ByBuild(qstart, itask, qstart)},
        {11, 10000, ByBuild(qstart, itask, qstart)},
        {11, 10001, itask},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.build) + " code " + std::to_string(c.code));
        device.setBuildNumber(c.build); // queried afresh on every call
        LaunchHotKey(&kd, c.code);
        EXPECT_CALLS(c.expected);
    }
}

TEST_F(LauncherTest, PowerKeyAroundBuildNumber10000) {
    const struct {
        DWORD build;
        bool presses, releases;
    } cases[] = {
        {9999, true, true},
        {10000, ByBuild(true, true, false), ByBuild(false, true, false)},
        {10001, ByBuild(true, true, false), ByBuild(false, true, false)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.build);
        device.setBuildNumber(c.build);
        kd.capsLock = kd.shiftDown = kd.altDown = kd.ctrlDown = kd.fnDown = kd.cmdDown =
            kd.symbolDown = kd.numLock = 1;
        kd.keysDown = 0x00F0000Fu;
        kd.lettersDown = 0x0300000Fu;
        LaunchHotKey(&kd, 12);
        if (c.presses) {
            // Held modifiers are forgotten without key-ups; the key event notifies, then the
            // launch.
            EXPECT_CALLS(Press(223) + Notify());
            EXPECT_EQ(kd.shiftDown | kd.altDown | kd.ctrlDown | kd.fnDown | kd.numLock, 0u);
            EXPECT_EQ(kd.keysDown | kd.lettersDown, 0u);
        } else {
            EXPECT_CALLS(Notify());
            EXPECT_EQ(kd.shiftDown & kd.altDown & kd.ctrlDown & kd.fnDown & kd.numLock, 1u);
            EXPECT_EQ(kd.keysDown, 0x00F0000Fu);
        }
        EXPECT_EQ(kd.capsLock & kd.cmdDown & kd.symbolDown, 1u);

        LaunchHotKey(&kd, 13);
        EXPECT_CALLS(c.releases ? Release(223) + Notify() : Notify());
    }
}

TEST_F(LauncherTest, LaterCodesExistOnlyInTheNewestBuild) {
    const struct {
        int code;
        const char *file;
    } programs[] = {{14, "calc.exe"},
                    {15, "clock.exe"},
                    {17, "fexplore.exe"},
                    {18, "iexplore.exe"},
                    {20, "player.exe"}};
    for (const auto &p : programs) {
        SCOPED_TRACE(p.code);
        LaunchHotKey(&kd, p.code);
        EXPECT_CALLS(BaselineOnly(Launch(p.file)));
    }
}

TEST_F(LauncherTest, ReaderProgramDependsOnAnOpenableEbookFile) {
    LaunchHotKey(&kd, 16);
    EXPECT_CALLS(
        BaselineOnly(Calls{"CreateFileW ebook.exe 2147483648 false 2"} + Launch("msreader.exe")));
    device.files().writeFile(u"\\ebook.exe", "");
    LaunchHotKey(&kd, 16);
    EXPECT_CALLS(
        BaselineOnly(Calls{"CreateFileW ebook.exe 2147483648 true 0", "CloseHandle ebook.exe"} +
                     Launch("ebook.exe")));
}

TEST_F(LauncherTest, TaskBarSequences) {
    Window("taskbar", u"HHTaskBar");
    Window("worker", u"Worker");
    Window("explore", u"Explore");
    LaunchHotKey(&kd, 19);
    EXPECT_CALLS(BaselineOnly(Calls{"PostMessageW taskbar 1024 4 worker",
                                    "SetWindowPos worker -1 0 0 0 0 67",
                                    "SetWindowPos worker 0 0 0 0 0 67"} +
                              Notify()));
    LaunchHotKey(&kd, 21);
    EXPECT_CALLS(BaselineOnly(
        Calls{"SendMessageW taskbar 1024 4 explore", "SendMessageW taskbar 1027 0 0",
              "SendMessageW taskbar 1124 explore 0", "SendMessageW taskbar 1024 6 explore",
              "SetWindowPos explore -1 0 0 0 0 67", "SetWindowPos explore 0 0 0 0 0 67"} +
        Notify()));
}

TEST_F(LauncherTest, MissingTaskBarWindowsGoOutAsNullHandles) {
    LaunchHotKey(&kd, 19);
    EXPECT_CALLS(BaselineOnly(Calls{"PostMessageW null 1024 4 0", "SetWindowPos null -1 0 0 0 0 67",
                                    "SetWindowPos null 0 0 0 0 0 67"} +
                              Notify()));
}

TEST_F(LauncherTest, MyConfigProgramAndCodesWithoutAction) {
    const char16_t path[] = u"\\Program Files\\Tools\\mine.exe";
    memcpy(kd.myConfig, path, sizeof(path));
    LaunchHotKey(&kd, 10);
    EXPECT_CALLS(Launch("\\Program Files\\Tools\\mine.exe"));
    for (DWORD code : {0u, 22u, 255u, 0x10000u}) {
        SCOPED_TRACE(code);
        LaunchHotKey(&kd, code);
        EXPECT_CALLS(Notify());
    }
    LaunchHotKey(&kd, 0x10002u); // taken as 16 bits: code 2
    EXPECT_CALLS(Launch("Notes.exe"));
}

TEST_F(LauncherTest, EmptyMyConfigStartsNothing) {
    LaunchHotKey(&kd, 10); // the record as IRK_Init leaves it without a "My Config" value
    EXPECT_CALLS(Notify());
}

TEST_F(LauncherTest, ProcessHandlesAreClosed) {
    size_t before = device.handles().count();
    LaunchHotKey(&kd, 2);
    LaunchHotKey(&kd, 3);
    EXPECT_EQ(device.handles().count(), before);
    EXPECT_CALLS(Launch("Notes.exe") + Launch("poutlook.exe", " contacts"));
}

} // namespace
} // namespace keytest
