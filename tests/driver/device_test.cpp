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
}

TEST_F(Instance, InitWithoutObexKeyWritesNoObexValue) {
    ASSERT_NE(Boot(), 0u);
    EXPECT_FALSE(device.registry().keyExists(u"SOFTWARE\\Microsoft\\Obex"));
    auto writes = Calls("RegSetValueExW");
    ASSERT_FALSE(writes.empty());
    EXPECT_NE(writes[0].find("\"key\":\"Drivers\\\\BuiltIn\\\\Norvel\",\"name\":\"init\""),
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
    EXPECT_TRUE(reader->exited);
    EXPECT_FALSE(reader->killed);
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
    for (const char *build : {"ce420", "ce400", "ce300"}) {
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
