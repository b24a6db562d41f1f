// Long runs: a program that has ended and whose handles are closed leaves nothing behind (its
// record, its thread's record, its windows and its message queue), however often it starts.
#include <shellapi.h>
#include <windows.h>

#include "emul/device.h"
#include "emul/kernel.h"
#include "emul/process.h"
#include "emul/windows_sys.h"

#include <gtest/gtest.h>

#include <memory>
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

} // namespace
