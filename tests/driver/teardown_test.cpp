// Deactivation never hangs: a reader thread stuck in a window message to a program that has
// stopped handling messages is ended by force after a grace period, and only then is the
// instance's record freed.
#include "support/driver_fixture.h"

#include "emul/windows_sys.h"

namespace {

struct Frozen {
    HANDLE release;
    HWND window;
};

// A program thread whose window never handles its messages: it waits on an event instead.
DWORD WINAPI FrozenProgram(LPVOID arg) {
    auto *f = static_cast<Frozen *>(arg);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"Frozen";
    RegisterClassW(&wc);
    f->window = CreateWindowExW(0, u"Frozen", u"Frozen", WS_VISIBLE, 0, 26, 240, 268, nullptr,
                                nullptr, nullptr, nullptr);
    WaitForSingleObject(f->release, INFINITE);
    DestroyWindow(f->window);
    return 0;
}

TEST(Teardown, AReaderStuckInAWindowMessageIsEndedByForce) {
    emul::Device device;
    handheld::install(device);
    Frozen frozen{CreateEventW(nullptr, TRUE, FALSE, nullptr), nullptr};
    HANDLE program = CreateThread(nullptr, 0, FrozenProgram, &frozen, 0, nullptr);
    Sleep(10);
    ASSERT_NE(frozen.window, nullptr);
    device.windows().setForeground(reinterpret_cast<uintptr_t>(frozen.window));

    uintptr_t hnd = device.devices().activate(u"Drivers\\BuiltIn\\Norvel", 0);
    ASSERT_NE(hnd, 0u);
    emul::SerialPort &line = *device.serial().find(u"COM2:");
    Sleep(50);
    line.arriveNow({0x05, 0x02, 0xDD, 0xBE}); // handshake, Fn, Enter: the OK command is sent
    Sleep(100);
    ASSERT_EQ(device.journal().grep("\"call\":\"SendMessageW\"").size(), 1u);

    // Held, so that its record outlives the kernel's reaping of the ended thread.
    std::shared_ptr<emul::Thread> reader;
    for (auto *t : device.kernel().threads())
        if (!t->exited() && t->program == nullptr && t != device.kernel().mainThread())
            reader = t->shared_from_this();
    ASSERT_NE(reader, nullptr);
    DWORD asked = GetTickCount();
    EXPECT_TRUE(device.devices().deactivate(hnd));
    EXPECT_GE(GetTickCount() - asked, 5000u);
    EXPECT_TRUE(reader->terminated());
    EXPECT_FALSE(line.isOpen());

    SetEvent(frozen.release);
    WaitForSingleObject(program, INFINITE);
    CloseHandle(program);
    CloseHandle(frozen.release);
    EXPECT_EQ(device.registry().openHandles(), 0u);
}

} // namespace
