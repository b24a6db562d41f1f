// Long runs: a program that has ended and whose handles are closed leaves nothing behind (its
// record, its thread's record, its windows, its message queue, its window classes and its
// modules), however often it starts.
#include <shellapi.h>
#include <windows.h>

#include "emul/device.h"
#include "emul/devmgr.h"
#include "emul/files.h"
#include "emul/kernel.h"
#include "emul/process.h"
#include "emul/registry.h"
#include "emul/windows_sys.h"
#include "handheld/image/install.h"
#include "handheld/scenario/scenario.h"

#include <gtest/gtest.h>

#include <fstream>
#include <malloc.h>
#include <memory>
#include <string>
#include <vector>

namespace {

using emul::kern;

// Starts a program through the shell, as the driver's hot keys do, and closes the handle.
void Launch(const char16_t *file) {
    SHELLEXECUTEINFO sei{};
    sei.cbSize = 60;
    sei.fMask = SEE_MASK_NOCLOSEPROCESS;
    sei.lpFile = file;
    ASSERT_TRUE(ShellExecuteEx(&sei));
    ASSERT_NE(sei.hProcess, nullptr);
    CloseHandle(sei.hProcess);
}

TEST(Lifetimes, EndedProgramsWindowsAndThreadsAreLetGo) {
    emul::Device d;
    std::vector<std::weak_ptr<emul::Program>> programs;
    std::vector<std::weak_ptr<emul::Thread>> threads;
    for (int round = 0; round < 200; ++round) {
        // Mail opens its window; a second start brings it forward and ends at once.
        Launch(u"tmail.exe");
        Launch(u"tmail.exe");
        for (auto &p : d.processes().programs()) {
            programs.push_back(p);
            threads.push_back(p->thread);
        }
        Sleep(10);
        HWND mail = FindWindowW(u"Inbox", nullptr);
        ASSERT_NE(mail, nullptr);
        SendMessageW(mail, WM_CLOSE, 0, 0);
        Sleep(10);
        ASSERT_EQ(FindWindowW(u"Inbox", nullptr), nullptr);
    }
    Launch(u"tmail.exe"); // the last ones are let go at the next start (not watched)
    Sleep(10);
    EXPECT_LE(d.processes().programs().size(), 1u);
    size_t programsLeft = 0, threadsLeft = 0;
    for (auto &p : programs)
        programsLeft += !p.expired();
    for (auto &t : threads)
        threadsLeft += !t.expired();
    EXPECT_EQ(programsLeft, 0u);
    // Every ended thread goes, also the ones that made windows and had a message queue.
    EXPECT_EQ(threadsLeft, 0u);
    EXPECT_EQ(kern().threads().size(), 2u); // this one and the running Mail
}

TEST(Lifetimes, AProcessHandleKeepsWhatTheProgramLeft) {
    emul::Device d;
    uint32_t error = 0;
    std::weak_ptr<emul::Program> gone;
    HANDLE process = nullptr;
    {
        auto p = d.processes().start(u"tmail.exe", u"", &error);
        ASSERT_NE(p, nullptr);
        gone = p;
        process = emul::newProcessHandle(p);
    }
    Sleep(10);
    HWND mail = FindWindowW(u"Inbox", nullptr);
    ASSERT_NE(mail, nullptr);
    PostMessageW(mail, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(process, INFINITE), WAIT_OBJECT_0);
    ASSERT_NE(d.processes().start(u"calc.exe", u"", &error), nullptr); // lets ended ones go
    EXPECT_TRUE(d.processes().find(gone.lock().get()) == nullptr);
    EXPECT_FALSE(gone.expired()); // the handle holds it
    DWORD code = 99;
    EXPECT_TRUE(GetExitCodeProcess(process, &code));
    EXPECT_EQ(code, 0u);
    CloseHandle(process);
    EXPECT_TRUE(gone.expired());
}

// A thread blocked in a send to a window whose thread ends meanwhile returns 0, and the
// windows of the ended thread are gone for everyone.
DWORD WINAPI WindowThenEnd(LPVOID arg) {
    HWND *out = static_cast<HWND *>(arg);
    *out = CreateWindowExW(0, u"Static", u"short", WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr,
                           nullptr, nullptr);
    Sleep(5); // ends without reading its queue
    return 0;
}

TEST(Lifetimes, ASendToAThreadThatEndsReturnsZero) {
    emul::Device d;
    HWND w = nullptr;
    HANDLE t = CreateThread(nullptr, 0, WindowThenEnd, &w, 0, nullptr);
    Sleep(1);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(SendMessageW(w, WM_GETTEXTLENGTH, 0, 0), 0);
    EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_OBJECT_0);
    CloseHandle(t);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(FindWindowW(u"Static", u"short"), nullptr);
}

// A thread that runs for ever (the driver's reader, a program's main loop) makes and destroys
// windows: their records go when they are destroyed, not when the thread ends, also while a
// parent's WM_DESTROY still runs.
LRESULT CALLBACK DestroysItsChildFirst(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY)
        if (HWND child = GetWindow(h, GW_CHILD))
            DestroyWindow(child);
    return DefWindowProcW(h, msg, wp, lp);
}

TEST(Lifetimes, DestroyedWindowsOfARunningThreadAreLetGo) {
    emul::Device d;
    WNDCLASSW wc{};
    wc.lpfnWndProc = DestroysItsChildFirst;
    wc.lpszClassName = u"Parent";
    ASSERT_NE(RegisterClassW(&wc), 0);
    size_t heapAt1000 = 0;
    for (int round = 0; round < 5000; ++round) {
        if (round == 1000)
            heapAt1000 = mallinfo2().uordblks;
        HWND parent = CreateWindowExW(0, u"Parent", u"p", WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                      nullptr, nullptr, nullptr);
        HWND kids[3];
        for (HWND &k : kids)
            k = CreateWindowExW(0, u"Static", u"k", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent,
                                nullptr, nullptr, nullptr);
        HWND popup = CreateWindowExW(0, u"Static", u"owned", WS_POPUP, 0, 0, 10, 10, parent,
                                     nullptr, nullptr, nullptr);
        ASSERT_TRUE(parent && kids[2] && popup);
        if (round % 2)
            DestroyWindow(kids[1]); // one child first, on its own
        ASSERT_TRUE(DestroyWindow(parent));
        ASSERT_FALSE(IsWindow(parent) || IsWindow(kids[0]) || IsWindow(kids[2]) || IsWindow(popup));
    }
    EXPECT_EQ(FindWindowW(u"Parent", nullptr), nullptr);
    // Flat: 4,000 more rounds kept would be 20,000 window records, megabytes.
    EXPECT_LT(mallinfo2().uordblks, heapAt1000 + 200 * 1024);
}

// How many mappings of the host file behind a device path this process has.
size_t Mappings(emul::Device &d, const std::u16string &cePath) {
    std::string file = d.files().hostPath(cePath);
    std::ifstream maps("/proc/self/maps");
    size_t n = 0;
    for (std::string line; std::getline(maps, line);)
        n += line.size() > file.size() &&
             line.compare(line.size() - file.size(), file.size(), file) == 0;
    return n;
}

class ProgramModules : public ::testing::Test {
  protected:
    ProgramModules() {
        handheld::install(d);
        d.files().linkFile(u"\\Windows\\fault.exe", handheld::moduleDir() + "/fault_prog.so");
        d.files().linkFile(u"\\Windows\\FakeDrv.dll", handheld::moduleDir() + "/devmgr_fakedrv.so");
    }
    std::shared_ptr<emul::Program> Start(const char16_t *cmdLine) {
        uint32_t error = 0;
        return d.processes().start(u"fault.exe", cmdLine, &error);
    }
    emul::Device d;
};

TEST_F(ProgramModules, AProgramsModuleGoesWhenItEnds) {
    for (int round = 0; round < 300; ++round) {
        auto p = Start(u"");
        ASSERT_NE(p, nullptr);
        ASSERT_NE(GetModuleHandleW(u"fault.exe"), nullptr); // loaded, not run yet
        Sleep(1);
        ASSERT_TRUE(p->exited());
        ASSERT_EQ(p->exitCode(), 7u);
        ASSERT_EQ(GetModuleHandleW(u"fault.exe"), nullptr) << round;
    }
    EXPECT_EQ(Mappings(d, u"\\Windows\\fault.exe"), 0u);
}

TEST_F(ProgramModules, AModuleOfSeveralProgramsStaysUntilTheLastEnds) {
    auto waiting = Start(u"wait"), quick = Start(u"");
    ASSERT_TRUE(waiting && quick);
    Sleep(10);
    ASSERT_TRUE(quick->exited());
    EXPECT_NE(GetModuleHandleW(u"fault.exe"), nullptr);
    EXPECT_GT(Mappings(d, u"\\Windows\\fault.exe"), 0u);
    Sleep(1000);
    ASSERT_TRUE(waiting->exited());
    EXPECT_EQ(waiting->exitCode(), 9u);
    EXPECT_EQ(GetModuleHandleW(u"fault.exe"), nullptr);
    EXPECT_EQ(Mappings(d, u"\\Windows\\fault.exe"), 0u);
}

TEST_F(ProgramModules, ALibraryAProgramDidNotFreeGoesWithIt) {
    d.debugLog().clear();
    auto p = Start(u"lib");
    ASSERT_NE(p, nullptr);
    Sleep(1);
    ASSERT_TRUE(p->exited());
    EXPECT_EQ(p->exitCode(), 10u);
    EXPECT_EQ(GetModuleHandleW(u"fakedrv.dll"), nullptr);
    ASSERT_EQ(d.debugLog().size(), 2u);
    EXPECT_EQ(d.debugLog()[1], u"detach");
}

// In real time a program whose platform calls come slowly between long stretches of work still
// gives up the turn within a few milliseconds of host time, not only after the call budget's
// thousands of calls: the device's first thread gets it back soon after its own wait ends.
TEST(SpinningProgram, InRealTimeSlowCallsGiveUpTheTurnByTheClock) {
    emul::DeviceOptions options;
    options.realTime = true;
    emul::Device d(options);
    handheld::install(d);
    d.files().linkFile(u"\\Windows\\fault.exe", handheld::moduleDir() + "/fault_prog.so");
    uint32_t error = 0;
    auto p = d.processes().start(u"fault.exe", u"busy", &error);
    ASSERT_NE(p, nullptr);
    Sleep(1);
    auto rounds = emul::regDwordOf(d.registry().getValue(u"Software\\Fault", u"n"));
    ASSERT_TRUE(rounds);
    // A round takes at least tens of microseconds: the clock's slice allows a few hundred, the
    // call budget alone thousands.
    EXPECT_LT(*rounds, 2000u);
}

// A program that ends while a thread of its own still waits: the thread is unwound through the
// program's code before its libraries and its own module go.
TEST_F(ProgramModules, ItsLibrariesStayWhileAThreadOfItIsStillEnding) {
    d.debugLog().clear();
    auto p = Start(u"keep");
    ASSERT_NE(p, nullptr);
    Sleep(10);
    ASSERT_TRUE(p->exited());
    EXPECT_EQ(p->exitCode(), 13u);
    EXPECT_EQ(d.debugLog(), (std::vector<std::u16string>{u"attach", u"worker unwound", u"detach"}));
    EXPECT_EQ(GetModuleHandleW(u"fakedrv.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleW(u"fault.exe"), nullptr);
    EXPECT_EQ(emul::kern().threads().size(), 1u);
}

TEST_F(ProgramModules, TheDeviceManagersDriverIsNotTheProgramsToFree) {
    // A loader program asks the Device Manager for the driver, loads it too and ends.
    d.registry().createKey(u"Drivers\\Fake");
    d.registry().setValue(u"Drivers\\Fake", u"Dll", emul::regSz(u"fakedrv.dll"));
    d.registry().setValue(u"Drivers\\Fake", u"Prefix", emul::regSz(u"FAK"));
    ASSERT_NE(d.devices().activate(u"Drivers\\Fake", 0), 0u);
    auto p = Start(u"lib");
    ASSERT_NE(p, nullptr);
    Sleep(1);
    ASSERT_TRUE(p->exited());
    EXPECT_NE(GetModuleHandleW(u"fakedrv.dll"), nullptr); // still the driver's
    for (auto &line : d.debugLog())
        EXPECT_NE(line, u"detach");
}

// A program that calls the platform for ever and never waits: a command waiting for it ends
// once the runner is interrupted, and the device still ends with the program spinning.
TEST(SpinningProgram, EndsACommandsWaitWhenInterruptedAndTheDeviceEndsIt) {
    auto d = std::make_unique<emul::Device>();
    handheld::InstallOptions options;
    options.withPort = false;
    handheld::install(*d, options);
    d->files().linkFile(u"\\Windows\\fault.exe", handheld::moduleDir() + "/fault_prog.so");
    {
        handheld::ScenarioRunner runner(*d);
        int asked = 0;
        runner.interrupted = [&asked] { return ++asked > 3; };
        handheld::ScnError err;
        EXPECT_TRUE(runner.playText("run fault.exe spin\n", &err)) << err.message;
        EXPECT_GT(asked, 3);
    }
    EXPECT_NE(GetModuleHandleW(u"fault.exe"), nullptr); // still spinning
    d.reset();
}

} // namespace
