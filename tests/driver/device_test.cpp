// The driver instance and its stream entry points, reached through the Device Manager.
#include "support/driver_fixture.h"

using testing_support::DriverTest;
using testing_support::Dword;
using testing_support::kDriverKey;
using testing_support::Sz;

namespace {

class Instance : public DriverTest {
  protected:
    std::shared_ptr<emul::FileObject> Client(uint32_t access, uint32_t *error) {
        *error = 0xDEADBEEF;
        return emul::openFileObject(u"IRK1:", access, 0, OPEN_EXISTING, error);
    }
};

TEST_F(Instance, InitWritesInitAndObexSwitchAndStartsTheReader) {
    SetAt(u"SOFTWARE\\Microsoft\\Obex", u"IsEnabled", Dword(1));
    ASSERT_NE(Boot(), 0u);
    EXPECT_EQ(DwordValue(u"init"), 1);
    auto obex = device.registry().getValue(u"SOFTWARE\\Microsoft\\Obex", u"IsEnabled");
    ASSERT_TRUE(obex);
    EXPECT_EQ(obex->data, Dword(0).data);
    ASSERT_NE(Rec(), nullptr);
    EXPECT_NE(Rec()->readerThread, nullptr);
    EXPECT_NE(Rec()->backlightEvent, nullptr);
    EXPECT_NE(Calls("RegSetValueExW")[0].find("\"key\":\"SOFTWARE\\\\Microsoft\\\\Obex\""),
              std::string::npos)
        << Calls("RegSetValueExW")[0];
    // The activity event is auto-reset, so a backlight service waiting on it sees each signal
    // once; opened by name it keeps that kind whatever the opener asks for.
    SetLastError(0);
    HANDLE named = CreateEventW(nullptr, TRUE, FALSE, u"BackLightChangeEvent");
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    ASSERT_TRUE(SetEvent(named));
    EXPECT_EQ(WaitForSingleObject(named, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(named, 0), DWORD(WAIT_TIMEOUT));
    CloseHandle(named);
}

TEST_F(Instance, InitWithoutObexKeyWritesNoObexValue) {
    ASSERT_NE(Boot(), 0u);
    EXPECT_FALSE(device.registry().keyExists(u"SOFTWARE\\Microsoft\\Obex"));
    auto writes = Calls("RegSetValueExW");
    ASSERT_FALSE(writes.empty());
    EXPECT_NE(writes[0].find("\"key\":\"Drivers\\\\builtin\\\\norvel\",\"name\":\"init\""),
              std::string::npos)
        << writes[0];
}

TEST_F(Instance, InitFailsWithoutTheDriverKeyWhenActivatedFromAnotherKey) {
    // A second key that loads the same module, while the driver's own key is gone.
    for (auto &v : device.registry().values(kDriverKey))
        SetAt(u"Drivers\\BuiltIn\\Other", v.first, v.second);
    device.registry().deleteKey(kDriverKey);
    size_t threads = device.kernel().threads().size();
    EXPECT_EQ(device.devices().activate(u"Drivers\\BuiltIn\\Other", 0), 0u);
    EXPECT_EQ(device.kernel().threads().size(), threads);
    EXPECT_TRUE(Calls("RegSetValueExW").empty());
    EXPECT_EQ(device.registry().openHandles(), 0u);
}

TEST_F(Instance, InitFailingToAllocateLeaksNoKey) {
    device.fail("LocalAlloc");
    EXPECT_EQ(Boot(), 0u);
    EXPECT_EQ(device.registry().openHandles(), 0u);
}

TEST_F(Instance, MyConfigFillingItsBufferIsTerminatedAndAnOversizedOneIgnored) {
    device.registry().setValue(kDriverKey, u"My Config", Sz(std::u16string(100, u'x'), false));
    ASSERT_NE(Boot(), 0u);
    EXPECT_EQ(Rec()->myConfig[98], u'x');
    EXPECT_EQ(Rec()->myConfig[99], 0);
    ASSERT_TRUE(device.devices().deactivate(hnd));
    device.registry().setValue(kDriverKey, u"My Config", Sz(std::u16string(150, u'y')));
    ASSERT_NE(Boot(), 0u);
    EXPECT_EQ(Rec()->myConfig[0], 0);
}

TEST_F(Instance, DeinitStopsTheReaderAndReleasesEverything) {
    Set(u"Enable Keyboard", 0); // port closed, the thread sleeping its second
    size_t handles = device.handles().count();
    ASSERT_NE(Boot(), 0u);
    Wait(10);
    // Held here: once its last handle closes, the ended thread's record is freed.
    auto reader = device.kernel().threads().back()->shared_from_this();
    DWORD asked = GetTickCount();
    ASSERT_TRUE(device.devices().deactivate(hnd));
    EXPECT_LT(GetTickCount() - asked, 20u); // the pause is cut short, not waited out
    EXPECT_TRUE(reader->exited());
    EXPECT_FALSE(reader->terminated());
    EXPECT_EQ(device.handles().count(), handles);
    EXPECT_EQ(device.registry().openHandles(), 0u);

    Set(u"Enable Keyboard", 1); // and with the port open
    ASSERT_NE(Boot(), 0u);
    Wait(100);
    ASSERT_TRUE(Line().isOpen());
    ASSERT_TRUE(device.devices().deactivate(hnd));
    EXPECT_FALSE(Line().isOpen());
    EXPECT_EQ(device.handles().count(), handles);
}

TEST_F(Instance, ClientOpenIsRefusedWhileTheReaderHoldsThePort) {
    ASSERT_NE(Boot(), 0u);
    Wait(50);
    uint32_t error;
    EXPECT_EQ(Client(GENERIC_READ, &error), nullptr);
    EXPECT_EQ(error, 32u);
    // The refusal leaves the reader's port alone: keys still come through it.
    Connect();
    Rx({0xEE});
    Wait(40);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"17/1"}));
}

TEST_F(Instance, ClientOpenChecksAccessAndLosesThePortWhenTheKeyboardIsOff) {
    Set(u"Enable Keyboard", 0);
    ASSERT_NE(Boot(), 0u);
    Wait(10);
    uint32_t error;
    EXPECT_EQ(Client(GENERIC_READ | GENERIC_WRITE, &error), nullptr);
    EXPECT_EQ(Client(0, &error), nullptr);
    auto client = Client(GENERIC_READ, &error);
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(Rec()->portOpen, 1);
    // A read that times out returns 0 bytes; data comes raw, uninverted.
    uint8_t buf[4] = {0};
    uint32_t got = 99, err = 0;
    EXPECT_TRUE(client->read(buf, 2, &got, &err));
    EXPECT_EQ(got, 0u);
    Rx({0x05, 0xEE});
    EXPECT_TRUE(client->read(buf, 2, &got, &err));
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(buf[0], 0x05);
    EXPECT_EQ(buf[1], 0xEE);
    // The reader's next disabled pass closes the port under the client.
    Wait(1100);
    EXPECT_EQ(Rec()->portOpen, 0);
    EXPECT_FALSE(client->read(buf, 1, &got, &err));
    client->onClose(); // closing reaches IRK_Close, which finds the port already closed
    EXPECT_EQ(Rec()->portOpen, 0);
}

} // namespace

namespace {

TEST_F(Instance, ClientReadFailsWhenThePortsOwnReadFails) {
    Set(u"Enable Keyboard", 0); // the reader leaves the port to the client
    ASSERT_NE(Boot(), 0u);
    Wait(10);
    uint32_t error;
    auto client = Client(GENERIC_READ, &error);
    ASSERT_NE(client, nullptr);
    device.serial().removeAll(); // the port's own ReadFile now fails
    uint8_t buf[2] = {0};
    uint32_t got = 99, err = 0;
    EXPECT_FALSE(client->read(buf, 1, &got, &err));
}

// Every build closes each registry key it opened once its instance is gone, the OBEX key of the
// baseline and the active key of the older builds included.
TEST(InstanceKeys, NoRegistryHandleOutlivesDeactivationInAnyBuild) {
    for (const std::string &build : handheld::driverBuildNames()) {
        SCOPED_TRACE(build);
        emul::Device device;
        handheld::InstallOptions io;
        io.driverBuild = build;
        handheld::install(device, io);
        device.registry().createKey(u"SOFTWARE\\Microsoft\\Obex");
        device.registry().setValue(u"SOFTWARE\\Microsoft\\Obex", u"IsEnabled", Dword(1));
        uintptr_t hnd = device.devices().activate(kDriverKey, 0);
        ASSERT_NE(hnd, 0u);
        Sleep(1100);                                    // port opened, settings re-read many times
        EXPECT_EQ(device.registry().openHandles(), 1u); // the instance's own driver key
        EXPECT_TRUE(device.devices().deactivate(hnd));
        EXPECT_EQ(device.registry().openHandles(), 0u);
    }
}

} // namespace

namespace {

// Two clients open the driver at the same time on a preemptive device. The first finds the port
// free, is preempted before it opens it, and the second takes the port meanwhile: the first's
// open then fails, and must leave the second's port where it is.
struct Openers {
    HANDLE go;    // the first sets it as it starts, so the second is ready to run
    DWORD calls;  // platform calls the first makes before it opens the driver
    HANDLE first; // what each one's CreateFileW returned
    HANDLE second;
};

HANDLE OpenDriver() {
    return CreateFileW(u"IRK1:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

DWORD WINAPI FirstOpener(LPVOID arg) {
    auto *o = static_cast<Openers *>(arg);
    Sleep(1); // device time moves: the thread's count towards preemption starts afresh
    SetEvent(o->go);
    for (DWORD i = 1; i < o->calls; ++i)
        GetTickCount();
    o->first = OpenDriver();
    return 0;
}

DWORD WINAPI SecondOpener(LPVOID arg) {
    auto *o = static_cast<Openers *>(arg);
    WaitForSingleObject(o->go, INFINITE);
    o->second = OpenDriver();
    return 0;
}

// How many platform calls a thread makes, device time standing still, before it is preempted:
// it watches the clock until the clock moves.
DWORD WINAPI CallsBeforePreemption(LPVOID) {
    Sleep(1);
    DWORD start = GetTickCount(), calls = 1;
    while (GetTickCount() == start && calls < 10000000)
        ++calls;
    return calls + 1;
}

DWORD RunThread(LPTHREAD_START_ROUTINE body, LPVOID arg) {
    HANDLE t = CreateThread(nullptr, 0, body, arg, 0, nullptr);
    WaitForSingleObject(t, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    CloseHandle(t);
    return code;
}

TEST_F(Instance, AnOpenThatLosesARaceLeavesTheWinnersPort) {
    Set(u"Enable Keyboard", 0); // the reader keeps the port closed and looks once a second
    size_t handles = device.handles().count();
    ASSERT_NE(Boot(), 0u);
    DWORD budget = RunThread(CallsBeforePreemption, nullptr);
    ASSERT_LT(budget, 10000000u) << "a thread that watches the clock is never preempted";

    // Where the first opener is preempted moves one call a trial, through its open, until it
    // falls between the check that the port is free and the port's own open. Each trial starts
    // 10 ms after one of the reader's passes, so none takes the port away during it.
    Openers o{};
    bool raced = false;
    for (DWORD back = 0; back < 40 && !raced; ++back) {
        Wait(1010 - GetTickCount() % 1000);
        o = Openers{CreateEventW(nullptr, TRUE, FALSE, nullptr), budget - back,
                    INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE};
        HANDLE second = CreateThread(nullptr, 0, SecondOpener, &o, 0, nullptr);
        RunThread(FirstOpener, &o);
        WaitForSingleObject(second, INFINITE);
        CloseHandle(second);
        CloseHandle(o.go);
        // The loser that got past the check reports the port's refusal (5) last.
        raced = o.first == INVALID_HANDLE_VALUE && DwordValue(u"OpenFile") == 5;
        if (!raced)
            for (HANDLE h : {o.first, o.second})
                if (h != INVALID_HANDLE_VALUE)
                    CloseHandle(h);
    }
    ASSERT_TRUE(raced) << "no trial preempted the first opener inside its open";
    ASSERT_NE(o.second, INVALID_HANDLE_VALUE);

    // The winner reads the line through its port, and closing it closes the port.
    Rx({0x05, 0xEE});
    BYTE buf[2] = {0, 0};
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(o.second, buf, 2, &got, nullptr));
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(buf[1], 0xEE);
    EXPECT_TRUE(CloseHandle(o.second));
    EXPECT_FALSE(Line().isOpen());

    // The reader then takes the port, reads keys from it and gives everything back at the end.
    Set(u"Enable Keyboard", 1);
    Wait(1000);
    Rx({0x05, 0x02});
    Wait(40);
    Rx({0xEE});
    Wait(40);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"17/1"}));
    ASSERT_TRUE(device.devices().deactivate(hnd));
    EXPECT_FALSE(Line().isOpen());
    EXPECT_EQ(device.handles().count(), handles);
    EXPECT_EQ(device.registry().openHandles(), 0u);
}

} // namespace
