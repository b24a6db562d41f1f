// The kernel's scheduling in device time.
#include <windows.h>

#include "emul/device.h"

#include <gtest/gtest.h>

namespace {

DWORD WINAPI Sleeper(LPVOID arg) {
    auto *log = static_cast<std::vector<DWORD> *>(arg);
    for (int i = 0; i < 3; ++i) {
        Sleep(100);
        log->push_back(GetTickCount());
    }
    return 7;
}

TEST(Kernel, SleepingThreadsAdvanceVirtualTime) {
    emul::Device device;
    std::vector<DWORD> log;
    HANDLE t = CreateThread(nullptr, 0, Sleeper, &log, 0, nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(log, (std::vector<DWORD>{100, 200, 300}));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(CloseHandle(t));
}

TEST(Kernel, TickCountWrapsFromItsStartValue) {
    emul::DeviceOptions o;
    o.tickStart = 0xFFFFFF00u;
    emul::Device device(o);
    EXPECT_EQ(GetTickCount(), 0xFFFFFF00u);
    Sleep(0x100 + 5);
    EXPECT_EQ(GetTickCount(), 5u);
}

TEST(Kernel, AutoResetEventReleasesOneWaitThenTimesOut) {
    emul::Device device;
    HANDLE e = CreateEventW(nullptr, FALSE, FALSE, u"Named");
    HANDLE same = CreateEventW(nullptr, TRUE, TRUE, u"Named");
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(WaitForSingleObject(same, 50),
              DWORD(WAIT_TIMEOUT)); // the existing event's state wins
    EXPECT_EQ(GetTickCount(), 50u);
    SetEvent(e);
    EXPECT_EQ(WaitForSingleObject(same, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), DWORD(WAIT_TIMEOUT));
    CloseHandle(e);
    CloseHandle(same);
    EXPECT_EQ(device.handles().count(), 0u);
}

} // namespace
