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

// A thread that retries a call that fails at once, as a reader does on a closed port, and one
// that waits by watching the clock: neither stops the others or device time.
struct Spin {
    bool stop = false;
    DWORD failures = 0;
};

DWORD WINAPI Retrier(LPVOID arg) {
    auto *spin = static_cast<Spin *>(arg);
    while (!spin->stop) {
        BYTE b;
        DWORD n = 0;
        if (!ReadFile(reinterpret_cast<HANDLE>(0x5554), &b, 1, &n, nullptr))
            ++spin->failures;
    }
    return 0;
}

DWORD WINAPI ClockWatcher(LPVOID) {
    DWORD until = GetTickCount() + 50;
    while (GetTickCount() < until) {
    }
    return GetTickCount();
}

TEST(Kernel, AThreadThatNeverBlocksIsPreempted) {
    emul::Device device;
    Spin spin;
    HANDLE retrier = CreateThread(nullptr, 0, Retrier, &spin, 0, nullptr);
    HANDLE watcher = CreateThread(nullptr, 0, ClockWatcher, nullptr, 0, nullptr);
    std::vector<DWORD> log;
    HANDLE sleeper = CreateThread(nullptr, 0, Sleeper, &log, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(sleeper, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(log, (std::vector<DWORD>{100, 200, 300}));
    DWORD code = 0;
    EXPECT_EQ(WaitForSingleObject(watcher, INFINITE), WAIT_OBJECT_0);
    GetExitCodeThread(watcher, &code);
    EXPECT_EQ(code, 50u);
    spin.stop = true;
    EXPECT_EQ(WaitForSingleObject(retrier, INFINITE), WAIT_OBJECT_0);
    // The budget is counted in calls, so the same run gives the same figures.
    EXPECT_EQ(spin.failures, 300 * emul::Kernel::kCallBudget);
    for (HANDLE h : {retrier, watcher, sleeper})
        CloseHandle(h);
}

DWORD WINAPI Quick(LPVOID arg) {
    return DWORD(reinterpret_cast<uintptr_t>(arg));
}

TEST(Kernel, EndedThreadsAreJoinedAndLeaveTheScheduler) {
    emul::Device device;
    emul::Kernel &k = device.kernel();
    HANDLE kept = CreateThread(nullptr, 0, Quick, reinterpret_cast<LPVOID>(42), 0, nullptr);
    for (int i = 0; i < 2000; ++i) {
        HANDLE h = CreateThread(nullptr, 0, Quick, nullptr, 0, nullptr);
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(WaitForSingleObject(h, INFINITE), WAIT_OBJECT_0);
        CloseHandle(h);
        ASSERT_LE(k.hostThreads(), 2u);
    }
    EXPECT_EQ(k.threads().size(), 1u);
    Sleep(1);
    EXPECT_EQ(k.hostThreads(), 0u);
    // A handle keeps what the thread left: its state and exit code.
    EXPECT_EQ(WaitForSingleObject(kept, 0), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(kept, &code));
    EXPECT_EQ(code, 42u);
    CloseHandle(kept);
}

} // namespace
