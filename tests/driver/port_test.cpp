// Finding the infrared port in the system's IrDA configuration, and its set-up.
#include "support/driver_fixture.h"

using testing_support::DriverTest;
using testing_support::Dword;
using testing_support::kDriverKey;
using testing_support::Sz;

namespace {

class PortSearch : public DriverTest {
  protected:
    // Boots, lets the reader open the port once, and returns the "PortName" it wrote.
    std::u16string Found() {
        EXPECT_NE(Boot(), 0u);
        Wait(50);
        return SzValue(u"PortName");
    }
    void AddPort(const std::u16string &name) { device.serial().addPort(name, true); }
};

TEST_F(PortSearch, WithoutIrdaKeysTheLineIsCom2AndNoIrdaValueIsWritten) {
    EXPECT_EQ(Found(), u"COM2:");
    EXPECT_EQ(DwordValue(u"IrDA"), -1);
    EXPECT_EQ(DwordValue(u"OpenFile"), 1);
    EXPECT_EQ(Rec()->portOpen, 1);
}

TEST_F(PortSearch, BuiltInIrdaIndexWinsOverCommIrda) {
    AddPort(u"COM3:");
    SetAt(u"Drivers\\BuiltIn\\IrDA", u"Index", Dword(3));
    SetAt(u"Comm\\IrDA", u"Port", Dword(5));
    EXPECT_EQ(Found(), u"COM3:");
    EXPECT_EQ(DwordValue(u"IrDA"), 1);
    EXPECT_EQ(DwordValue(u"OpenFile"), 1);
}

TEST_F(PortSearch, BuiltInIrdaWithoutIndexFallsBackToCom2) {
    device.registry().createKey(u"Drivers\\BuiltIn\\IrDA");
    EXPECT_EQ(Found(), u"COM2:");
    EXPECT_EQ(DwordValue(u"IrDA"), 1);
}

TEST_F(PortSearch, CommIrdaPortIsUsed) {
    AddPort(u"COM4:");
    SetAt(u"Comm\\IrDA", u"Port", Dword(4));
    EXPECT_EQ(Found(), u"COM4:");
    EXPECT_EQ(DwordValue(u"IrDA"), 1);
}

TEST_F(PortSearch, EmptyCommIrdaPortGivesCom2) {
    // The older builds walk on to the linkage instead (their own tests cover that).
    emul::RegValue empty;
    empty.type = REG_DWORD;
    SetAt(u"Comm\\IrDA", u"Port", empty);
    AddPort(u"COM0:");
    EXPECT_EQ(Found(), u"COM2:");
    EXPECT_EQ(DwordValue(u"IrDA"), 1);
    EXPECT_EQ(Rec()->portOpen, 1);
}

TEST_F(PortSearch, LinkageBindNamesTheDriverWhosePortIsUsed) {
    AddPort(u"COM5:");
    device.registry().createKey(u"Comm\\IrDA");
    emul::RegValue bind;
    bind.type = REG_MULTI_SZ;
    std::u16string text = u"Irsir1";
    text.push_back(0);
    text += u"Other";
    text.push_back(0);
    text.push_back(0);
    bind.data.assign(reinterpret_cast<const uint8_t *>(text.data()),
                     reinterpret_cast<const uint8_t *>(text.data()) + text.size() * 2);
    SetAt(u"Comm\\IrDA\\Linkage", u"Bind", bind);
    SetAt(u"Comm\\Irsir1\\Parms", u"Port", Dword(5));
    EXPECT_EQ(Found(), u"COM5:");
}

TEST_F(PortSearch, DeadEndsOfTheLinkageWalkGiveCom2) {
    device.registry().createKey(u"Comm\\IrDA");
    EXPECT_EQ(Found(), u"COM2:"); // no linkage key
    device.registry().createKey(u"Comm\\IrDA\\Linkage");
    device.devices().powerUp();
    Wait(50);
    EXPECT_EQ(SzValue(u"PortName"), u"COM2:"); // no Bind
    SetAt(u"Comm\\IrDA\\Linkage", u"Bind", Sz(u"Missing"));
    device.devices().powerUp();
    Wait(50);
    EXPECT_EQ(SzValue(u"PortName"), u"COM2:"); // no parameters key
    device.registry().createKey(u"Comm\\Missing\\Parms");
    device.devices().powerUp();
    Wait(50);
    EXPECT_EQ(SzValue(u"PortName"), u"COM2:"); // no Port there: 2
}

TEST_F(PortSearch, BindFillingItsBufferExactlyIsStillTerminated) {
    // 50 characters without a terminator: exactly the 100 bytes the search reads.
    std::u16string name(50, u'B');
    AddPort(u"COM6:");
    device.registry().createKey(u"Comm\\IrDA");
    SetAt(u"Comm\\IrDA\\Linkage", u"Bind", Sz(name, false));
    SetAt(u"Comm\\" + name + u"\\Parms", u"Port", Dword(6));
    EXPECT_EQ(Found(), u"COM6:");
}

TEST_F(PortSearch, BindLongerThanItsBufferGivesCom2) {
    std::u16string name(50, u'B'); // 102 bytes with its terminator
    device.registry().createKey(u"Comm\\IrDA");
    SetAt(u"Comm\\IrDA\\Linkage", u"Bind", Sz(name));
    SetAt(u"Comm\\" + name + u"\\Parms", u"Port", Dword(6));
    EXPECT_EQ(Found(), u"COM2:");
}

TEST_F(PortSearch, APortThatCannotBeOpenedRecordsTheErrorAndIsRetriedEverySecond) {
    SetAt(u"Comm\\IrDA", u"Port", Dword(7)); // no such port on the device
    ASSERT_NE(Boot(), 0u);
    Wait(2500);
    EXPECT_EQ(SzValue(u"PortName"), u"COM7:");
    EXPECT_EQ(DwordValue(u"OpenFile"), 2);
    EXPECT_EQ(Calls("CreateFileW").size(), 3u); // at 0, 1000 and 2000 ms
    EXPECT_EQ(Rec()->portOpen, 0);
    EXPECT_EQ(Rec()->port, nullptr);
}

class PortSetup : public DriverTest {};

TEST_F(PortSetup, ConfiguresInfraredModeTimeoutsMaskLineAndPurgesInOrder) {
    ASSERT_NE(Boot(), 0u);
    Wait(10);
    std::vector<std::string> seq;
    for (auto &l : device.journal().lines()) {
        for (const char *c : {"CreateFileW", "EscapeCommFunction", "SetCommTimeouts", "SetCommMask",
                              "SetCommState", "PurgeComm", "RegSetValueExW"})
            if (l.find(std::string("\"call\":\"") + c + "\"") != std::string::npos)
                seq.push_back(c);
    }
    std::vector<std::string> want = {"RegSetValueExW",     "RegSetValueExW",  "CreateFileW",
                                     "EscapeCommFunction", "SetCommTimeouts", "SetCommMask",
                                     "SetCommState",       "RegSetValueExW",  "PurgeComm"};
    EXPECT_EQ(seq, want); // "init", "PortName", ..., "OpenFile"
    auto has = [&](const char *call, const char *fields) {
        auto lines = Calls(call);
        return !lines.empty() && lines[0].find(fields) != std::string::npos;
    };
    EXPECT_TRUE(
        has("CreateFileW", "\"name\":\"COM2:\",\"access\":2147483648,\"result\":true,\"error\":0"));
    EXPECT_TRUE(has("EscapeCommFunction", "\"func\":10"));
    EXPECT_TRUE(has("SetCommTimeouts",
                    "\"ReadIntervalTimeout\":10,\"ReadTotalTimeoutMultiplier\":10,"
                    "\"ReadTotalTimeoutConstant\":10,\"WriteTotalTimeoutMultiplier\":10,"
                    "\"WriteTotalTimeoutConstant\":1000"));
    EXPECT_TRUE(has("SetCommMask", "\"mask\":35"));
    EXPECT_TRUE(
        has("SetCommState",
            "\"DCBlength\":28,\"BaudRate\":9600,\"fBinary\":1,\"fParity\":0,\"fOutxCtsFlow\":0,"
            "\"fOutxDsrFlow\":0,\"fDtrControl\":1,\"fDsrSensitivity\":0,\"fTXContinueOnXoff\":0,"
            "\"fOutX\":0,\"fInX\":0,\"fErrorChar\":0,\"fNull\":0,\"fRtsControl\":1,"
            "\"fAbortOnError\":0"));
    EXPECT_TRUE(has("SetCommState",
                    "\"wReserved\":0,\"XonLim\":512,\"XoffLim\":128,\"ByteSize\":8,\"Parity\":0,"
                    "\"StopBits\":0,\"XonChar\":17,\"XoffChar\":19,\"ErrorChar\":13,\"EofChar\":13,"
                    "\"EvtChar\":13,\"wReserved1\":0"));
    EXPECT_TRUE(has("PurgeComm", "\"flags\":8"));
}

TEST_F(PortSetup, APortWithout9600BaudIsStillConfiguredWithBaudZero) {
    device.serial().removeAll();
    device.serial().addPort(u"COM2:", false);
    ASSERT_NE(Boot(), 0u);
    Wait(10);
    auto state = Calls("SetCommState");
    ASSERT_FALSE(state.empty());
    EXPECT_NE(state[0].find("\"BaudRate\":0,"), std::string::npos);
    EXPECT_EQ(DwordValue(u"OpenFile"), 1);
    EXPECT_EQ(Rec()->portOpen, 1);
}

TEST_F(PortSetup, AFailingConfigurationCallClosesThePortAndWritesNoOpenFile) {
    for (const char *call : {"GetCommProperties", "SetCommTimeouts", "ClearCommError",
                             "SetCommMask", "SetCommState"}) {
        SCOPED_TRACE(call);
        device.fail(call);
        uintptr_t h = Boot();
        ASSERT_NE(h, 0u);
        Wait(1500);
        EXPECT_EQ(Rec()->portOpen, 0);
        EXPECT_EQ(Rec()->port, nullptr);
        EXPECT_EQ(DwordValue(u"OpenFile"), -1);
        EXPECT_EQ(SzValue(u"PortName"), u"COM2:");
        EXPECT_FALSE(Line().isOpen());
        EXPECT_EQ(Calls("CreateFileW").size(),
                  Calls("CloseHandle").size()); // retried, closed every time
        device.heal(call);
        Wait(1100);
        EXPECT_EQ(Rec()->portOpen, 1);
        EXPECT_EQ(DwordValue(u"OpenFile"), 1);
        EXPECT_TRUE(device.devices().deactivate(h));
        device.registry().deleteValue(kDriverKey, u"OpenFile");
        device.journal().clear();
    }
}

} // namespace
