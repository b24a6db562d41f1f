// The kernel's scheduling in device time.
#include <windows.h>

#include "emul/device.h"
#include "emul/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sched.h>
#include <string>
#include <unistd.h>
#include <vector>

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

// A program that waits for a registry value by reading it again and again, as a client may
// wait for the driver's "OpenFile", lets the writer run.
DWORD WINAPI RegistryPoller(LPVOID) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Poll", 0, 0, &key) != ERROR_SUCCESS)
        return 0;
    DWORD seenAt = 0;
    for (DWORD polls = 0; polls < 10000000 && !seenAt; ++polls) {
        DWORD value = 0, size = sizeof(value);
        if (RegQueryValueExW(key, u"Ready", nullptr, nullptr, reinterpret_cast<BYTE *>(&value),
                             &size) == ERROR_SUCCESS)
            seenAt = GetTickCount();
    }
    RegCloseKey(key);
    return seenAt;
}

TEST(Kernel, AThreadThatPollsTheRegistryIsPreempted) {
    emul::Device device;
    device.registry().createKey(u"Poll");
    HANDLE poller = CreateThread(nullptr, 0, RegistryPoller, nullptr, 0, nullptr);
    Sleep(20);
    device.registry().setValue(u"Poll", u"Ready", emul::regDword(1));
    EXPECT_EQ(WaitForSingleObject(poller, INFINITE), WAIT_OBJECT_0);
    DWORD seenAt = 0;
    GetExitCodeThread(poller, &seenAt);
    EXPECT_EQ(seenAt, 20u);
    CloseHandle(poller);
}

// Who runs first when several threads can run again at once: the scheduler takes them in its
// fixed round-robin order (the order they were created), starting after the thread that let them
// go, so a run always gives the same interleaving.
struct Waiter {
    char name;
    HANDLE event; // waited on; null: sleep until device time 100 instead
    std::string *order;
};

DWORD WINAPI WaitAndLog(LPVOID arg) {
    auto *w = static_cast<Waiter *>(arg);
    if (w->event)
        WaitForSingleObject(w->event, INFINITE);
    else
        Sleep(100 - GetTickCount());
    *w->order += w->name;
    return 0;
}

struct Releaser {
    HANDLE event;
    std::string *order;
};

DWORD WINAPI SetAndSleep(LPVOID arg) {
    auto *r = static_cast<Releaser *>(arg);
    Sleep(5);
    SetEvent(r->event);
    *r->order += 'r';
    Sleep(5);
    return 0;
}

std::string RunWaiters(const char *names, HANDLE event, bool releaserInTheMiddle) {
    std::string order;
    std::vector<Waiter> waiters;
    for (const char *n = names; *n; ++n)
        waiters.push_back(Waiter{*n, event, &order});
    std::vector<HANDLE> threads;
    Releaser releaser{event, &order};
    for (size_t i = 0; i < waiters.size(); ++i) {
        if (releaserInTheMiddle && i == waiters.size() / 2)
            threads.push_back(CreateThread(nullptr, 0, SetAndSleep, &releaser, 0, nullptr));
        threads.push_back(CreateThread(nullptr, 0, WaitAndLog, &waiters[i], 0, nullptr));
    }
    Sleep(1); // every thread is waiting now
    if (event && !releaserInTheMiddle)
        SetEvent(event);
    for (HANDLE h : threads) {
        WaitForSingleObject(h, INFINITE);
        CloseHandle(h);
    }
    return order;
}

TEST(Kernel, ThreadsWokenTogetherRunInRoundRobinOrderAfterTheirWaker) {
    emul::Device device;
    // One deadline, and one event set by the device's first thread: in creation order.
    EXPECT_EQ(RunWaiters("abcd", nullptr, false), "abcd");
    HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(RunWaiters("abcd", manual, false), "abcd");
    // Set by a thread created between b and c: the threads after it run first, then the others.
    ResetEvent(manual);
    EXPECT_EQ(RunWaiters("abcd", manual, true), "rcdab");
    CloseHandle(manual);
}

TEST(Kernel, AnAutoResetEventReleasesTheNextWaiterInRoundRobinOrder) {
    emul::Device device;
    HANDLE e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::string order;
    Waiter waiters[] = {{'a', e, &order}, {'b', e, &order}, {'c', e, &order}};
    HANDLE threads[3];
    for (int i = 0; i < 3; ++i)
        threads[i] = CreateThread(nullptr, 0, WaitAndLog, &waiters[i], 0, nullptr);
    Sleep(1);
    for (const char *expected : {"a", "ab", "abc"}) {
        SetEvent(e);
        Sleep(1);
        EXPECT_EQ(order, expected);
    }
    for (HANDLE h : threads) {
        EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0);
        CloseHandle(h);
    }
    CloseHandle(e);
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

// State that wake conditions look at, with the count its changes bump.
struct Board {
    emul::OwnedChangeCount<Board> changes;
    bool go = false;
    void set(bool bump) {
        go = true;
        if (bump)
            changes.bump();
    }
};

// A condition that names what it looks at is not asked at every switch: only when that count
// moves, or when the kernel sees something itself (here a thread that starts and ends).
TEST(Kernel, AConditionOnAChangeCountIsAskedWhenTheCountMoves) {
    emul::Device device;
    emul::Kernel &k = device.kernel();
    k.checkWakes(false); // the missed bump below is on purpose
    Board board;
    int asks = 0;
    bool woke = false;
    auto waiter = k.spawn("waiter", [&]() -> uint32_t {
        woke = k.block(
            [&] {
                ++asks;
                return board.go;
            },
            emul::kNever, board.changes);
        return 0;
    });
    Sleep(1);
    EXPECT_EQ(asks, 1); // when it blocked
    for (int i = 0; i < 5; ++i)
        Sleep(1);
    EXPECT_EQ(asks, 1);
    HANDLE quick = CreateThread(nullptr, 0, Quick, nullptr, 0, nullptr);
    WaitForSingleObject(quick, INFINITE);
    CloseHandle(quick);
    Sleep(1);
    EXPECT_GT(asks, 1); // a thread started and ended
    board.set(false);
    Sleep(1);
    EXPECT_FALSE(woke); // the count has not moved
    board.set(true);
    Sleep(1);
    EXPECT_TRUE(woke);
}

// A condition that looks at state of several owners names each one's count: a bump of any of
// them wakes it, the last as much as the first.
TEST(Kernel, AConditionOnSeveralCountsWakesWhenAnyOfThemMoves) {
    emul::Device device;
    emul::Kernel &k = device.kernel();
    k.checkWakes(false);
    Board first, second, third;
    int asks = 0;
    bool woke = false;
    k.spawn("waiter", [&]() -> uint32_t {
        woke = k.block(
            [&] {
                ++asks;
                return first.go || second.go || third.go;
            },
            emul::kNever, emul::ChangeCounts(first.changes, second.changes, third.changes));
        return 0;
    });
    Sleep(1);
    for (int i = 0; i < 3; ++i)
        Sleep(1);
    EXPECT_EQ(asks, 1);
    third.set(false);
    Sleep(1);
    EXPECT_FALSE(woke);
    EXPECT_EQ(asks, 1);
    third.set(true);
    Sleep(1);
    EXPECT_TRUE(woke);
}

// A change that can wake a thread but does not bump its count leaves the thread asleep for
// good; a checking kernel stops at the next switch and names the thread. With the bump, it
// wakes and nothing stops.
TEST(KernelDeathTest, ACheckingKernelStopsAtAMissedBump) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto run = [](bool bump) {
        emul::Device device;
        emul::Kernel &k = device.kernel();
        k.checkWakes(true);
        Board board;
        bool woke = false;
        k.spawn("listener", [&]() -> uint32_t {
            woke = k.block([&] { return board.go; }, emul::kNever, board.changes);
            return 0;
        });
        Sleep(1);
        board.set(bump);
        Sleep(1);
        return woke;
    };
    EXPECT_TRUE(run(true));
    EXPECT_DEATH(run(false), "wake check: thread [0-9]+ \"listener\" was not woken");
}

} // namespace

namespace {

// In real time the device's one host wait covers what is watched: a pipe or terminal, and
// standard input redirected from a plain file, which counts as readable at once.
TEST(Kernel, TheRealTimeWaitHearsWatchedPipesAndPlainFiles) {
    emul::DeviceOptions o;
    o.realTime = true;
    emul::Device device(o);
    emul::Kernel &k = device.kernel();
    int p[2];
    ASSERT_EQ(pipe(p), 0);
    char path[] = "/tmp/kernel-watch-XXXXXX";
    int file = mkstemp(path);
    ASSERT_GE(file, 0);
    int heard = 0;
    short fileEvents = 0;
    k.watch(p[0], [&](short) {
        char c;
        if (read(p[0], &c, 1) == 1)
            ++heard;
    });
    k.watch(file, [&](short events) {
        fileEvents = events;
        k.unwatch(file);
    });
    EXPECT_TRUE(k.block([&] { return fileEvents != 0; }, emul::kNever));
    ASSERT_EQ(write(p[1], "x", 1), 1);
    EXPECT_TRUE(k.block([&] { return heard == 1; }, emul::kNever));
    k.unwatch(p[0]);
    close(p[0]);
    close(p[1]);
    close(file);
    unlink(path);
}

} // namespace

// A device kept to one core: its threads, made later, are there too; the host thread that
// made it gets its cores back when it ends.
DWORD WINAPI CoresOfThread(LPVOID arg) {
    cpu_set_t s;
    sched_getaffinity(0, sizeof s, &s);
    *static_cast<int *>(arg) = CPU_COUNT(&s);
    return 0;
}

TEST(Kernel, OneCoreDeviceKeepsItsThreadsTogetherAndGivesTheCoresBack) {
    cpu_set_t before;
    ASSERT_EQ(sched_getaffinity(0, sizeof before, &before), 0);
    if (CPU_COUNT(&before) < 2)
        GTEST_SKIP() << "one core only";
    {
        emul::DeviceOptions o;
        o.oneCore = true;
        emul::Device device(o);
        int cores = 0;
        HANDLE t = CreateThread(nullptr, 0, CoresOfThread, &cores, 0, nullptr);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
        CloseHandle(t);
        EXPECT_EQ(cores, 1);
    }
    cpu_set_t after;
    ASSERT_EQ(sched_getaffinity(0, sizeof after, &after), 0);
    EXPECT_TRUE(CPU_EQUAL(&before, &after));
}
