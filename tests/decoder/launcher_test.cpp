// The hot-key launcher: choices by build number, the power key, the file test, the task-bar
// sequences and one activity notification per launch.
#include "decoder/keys_harness.h"

namespace keytest {
namespace {

using LauncherTest = KeysTest;

// What codes 1, 5, 8 and 11 start on a device with this build number.
Calls ChoiceByBuild(int code, DWORD build) {
    bool newer = build > 10000;
    (void)newer; // the CE 4.00 build makes no choice by it
    switch (code) {
    case 1:
#if IRK_BUILD == 300
        return Launch(newer ? "tmail.exe" : "pmail.exe");
#else
        return Launch("tmail.exe");
#endif
    case 5:
#if IRK_BUILD == 300
        return newer ? Launch("poutlook.exe", " calendar") : Launch("calendar.exe");
#else
        return Launch("poutlook.exe", " calendar");
#endif
    case 8:
#if IRK_BUILD == 400
        return Launch("iTask.exe");
#else
        return Launch(newer ? "iTask.exe" : "moneyce.exe");
#endif
    default: // 11
#if IRK_BUILD == 400
        return Launch("iTask.exe");
#else
        return Launch(newer ? "iTask.exe" : "Qstart.exe");
#endif
    }
}

TEST_F(LauncherTest, ProgramChoicesAroundBuildNumber10000) {
    for (DWORD build : {9999u, 10000u, 10001u}) {
        device.setBuildNumber(build); // queried afresh on every call
        for (int code : {1, 5, 8, 11}) {
            SCOPED_TRACE(std::to_string(build) + " code " + std::to_string(code));
            LaunchHotKey(&kd, code);
            EXPECT_CALLS(ChoiceByBuild(code, build));
        }
    }
}

TEST_F(LauncherTest, PowerKeyAroundBuildNumber10000) {
    for (DWORD build : {9999u, 10000u, 10001u}) {
        SCOPED_TRACE(build);
        device.setBuildNumber(build);
        kd.capsLock = kd.shiftDown = kd.altDown = kd.ctrlDown = kd.fnDown = kd.cmdDown =
            kd.symbolDown = kd.numLock = 1;
        kd.keysDown = 0x00F0000Fu;
        kd.lettersDown = 0x0300000Fu;
        LaunchHotKey(&kd, 12);
#if IRK_BUILD == 300
        bool presses = build < 10000;
#else
        bool presses = true;
#endif
        if (presses) {
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
#if IRK_BUILD == 400
        bool releases = true;
#else
        bool releases = build < 10000;
#endif
        EXPECT_CALLS(releases ? Release(223) + Notify() : Notify());
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
#if IRK_BUILD == 420
        EXPECT_CALLS(Launch(p.file));
#else
        EXPECT_CALLS(Notify());
#endif
    }
}

TEST_F(LauncherTest, ReaderProgramDependsOnAnOpenableEbookFile) {
    LaunchHotKey(&kd, 16);
#if IRK_BUILD == 420
    EXPECT_CALLS(Calls{"CreateFileW ebook.exe 2147483648 false 2"} + Launch("msreader.exe"));
#else
    EXPECT_CALLS(Notify());
#endif
    device.files().writeFile(u"\\ebook.exe", "");
    LaunchHotKey(&kd, 16);
#if IRK_BUILD == 420
    EXPECT_CALLS(Calls{"CreateFileW ebook.exe 2147483648 true 0", "CloseHandle ebook.exe"} +
                 Launch("ebook.exe"));
#else
    EXPECT_CALLS(Notify());
#endif
}

TEST_F(LauncherTest, TaskBarSequences) {
    Window("taskbar", u"HHTaskBar");
    Window("worker", u"Worker");
    Window("explore", u"Explore");
    LaunchHotKey(&kd, 19);
#if IRK_BUILD == 420
    EXPECT_CALLS(Calls{"PostMessageW taskbar 1024 4 worker", "SetWindowPos worker -1 0 0 0 0 67",
                       "SetWindowPos worker 0 0 0 0 0 67"} +
                 Notify());
#else
    EXPECT_CALLS(Notify());
#endif
    LaunchHotKey(&kd, 21);
#if IRK_BUILD == 420
    EXPECT_CALLS(Calls{"SendMessageW taskbar 1024 4 explore", "SendMessageW taskbar 1027 0 0",
                       "SendMessageW taskbar 1124 explore 0", "SendMessageW taskbar 1024 6 explore",
                       "SetWindowPos explore -1 0 0 0 0 67", "SetWindowPos explore 0 0 0 0 0 67"} +
                 Notify());
#else
    EXPECT_CALLS(Notify());
#endif
}

TEST_F(LauncherTest, MissingTaskBarWindowsGoOutAsNullHandles) {
    LaunchHotKey(&kd, 19);
#if IRK_BUILD == 420
    EXPECT_CALLS(Calls{"PostMessageW null 1024 4 0", "SetWindowPos null -1 0 0 0 0 67",
                       "SetWindowPos null 0 0 0 0 0 67"} +
                 Notify());
#else
    EXPECT_CALLS(Notify());
#endif
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
