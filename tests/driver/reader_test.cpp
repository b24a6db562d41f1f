// The reader thread: framing, inversion, the link handshake, delivery and auto-repeat, run in
// device time through the Device Manager and a scripted infrared line.
#include "support/driver_fixture.h"

using testing_support::DriverTest;
using testing_support::kDriverKey;
using V = std::vector<std::string>;

namespace {

class Reader : public DriverTest {
  protected:
    using DriverTest::DriverTest;
    // Boots with these repeat settings (ms) and brings the link up.
    bool BootConnected(uint32_t delay, uint32_t rate) {
        Set(u"Delay Time", delay);
        Set(u"Repeat Rate", rate);
        if (!Boot())
            return false;
        Connect();
        return true;
    }
};

TEST_F(Reader, HandshakeToleratesFramingBytesAndInvertsKeyCodes) {
    ASSERT_NE(Boot(), 0u);
    Wait(50);
    Rx({0xEE}); // link down: dropped
    Wait(40);
    Rx({0x05, 0xC0, 0xC1, 0x02});
    Wait(40);
    EXPECT_EQ(Rec()->linkUp, 1);
    Rx({0xEE});
    Wait(40);
    Rx({0x6E});
    Wait(40);
    EXPECT_EQ(Codes(), (V{"17/1", "145/1"}));
    EXPECT_EQ(Rec()->lastKey, 145);
}

TEST_F(Reader, LinkStaysDownWithoutTheFullHandshake) {
    ASSERT_NE(Boot(), 0u);
    Wait(50);
    Rx({0x02}); // second byte alone
    Wait(30);
    Rx({0x05, 0xEE, 0x02}); // interrupted
    Wait(30);
    EXPECT_EQ(Rec()->linkUp, 0);
    Rx({0x05, 0x05, 0x02});
    Wait(30);
    EXPECT_EQ(Rec()->linkUp, 1);
    EXPECT_TRUE(Codes().empty());
}

TEST_F(Reader, HandshakeReleasesAltShiftCtrlInThatOrder) {
    ASSERT_NE(Boot(), 0u);
    Wait(50);
    Rec()->altDown = Rec()->shiftDown = Rec()->ctrlDown = 1;
    Rec()->fnDown = Rec()->cmdDown = Rec()->symbolDown = 1;
    Rx({0x05, 0x02});
    Wait(30);
    auto keys = Calls("keybd_event");
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_NE(keys[0].find("\"vk\":18,\"scan\":0,\"flags\":2,\"extra\":0"), std::string::npos)
        << keys[0];
    EXPECT_NE(keys[1].find("\"vk\":16,"), std::string::npos);
    EXPECT_NE(keys[2].find("\"vk\":17,"), std::string::npos);
    EXPECT_EQ(
        Rec()->fnDown | Rec()->cmdDown | Rec()->symbolDown | Rec()->altDown | Rec()->shiftDown, 0u);
    EXPECT_TRUE(Calls("SystemIdleTimerReset").empty());
}

TEST_F(Reader, SyncByteIsAKeyCodeWhenIdleButStartsAHandshakeWhenAKeyIsHeld) {
    ASSERT_NE(Boot(), 0u);
    Connect();
    Rx({0x05}); // no key held: code 0xFA is delivered
    Wait(30);
    EXPECT_EQ(Codes(), (V{"250/1"}));
    Rx({0x05, 0x02}); // 0xFA held: the handshake restarts, nothing delivered
    Wait(30);
    EXPECT_EQ(Codes(), (V{"250/1"}));
    EXPECT_EQ(Rec()->lastKey, 255);
    // With a key held, a framing byte right after 0x05 ends the attempt; the 0x02 then is a key.
    Rx({0xEE});
    Wait(30);
    Rx({0x05, 0xC0, 0x02});
    Wait(30);
    EXPECT_EQ(Codes(), (V{"250/1", "17/1", "253/1"}));
}

TEST_F(Reader, SameCodeTwiceDropsTheLink) {
    ASSERT_NE(Boot(), 0u);
    Connect();
    Rx({0xEE, 0xEE, 0xEE});
    Wait(100);
    EXPECT_EQ(Codes(), (V{"17/1", "17/1"}));
    EXPECT_EQ(Rec()->linkUp, 0);
    EXPECT_EQ(Rec()->lastKey, 255);
    // A received 0x00 is code 255, which equals "no key held": it also drops the link.
    Rx({0x05, 0x02, 0x00});
    Wait(100);
    EXPECT_EQ(Codes(), (V{"17/1", "17/1", "255/1"}));
    EXPECT_EQ(Rec()->linkUp, 0);
}

TEST_F(Reader, RepeatScheduleFollowsDelayAndRateAndStopsByItself) {
    ASSERT_TRUE(BootConnected(500, 100));
    Rx({0xEE});
    Wait(3000);
    auto d = Decodes();
    ASSERT_GE(d.size(), 3u);
    uint32_t pressed = d[0].tick;
    EXPECT_EQ(d[0].fresh, 1u);
    EXPECT_GT(d[1].tick - pressed, 500u);
    EXPECT_LE(d[1].tick - pressed, 500u + 25u); // the first quiet pass after the delay
    uint32_t first = d[1].tick;
    for (size_t i = 2; i < d.size(); ++i) {
        EXPECT_EQ(d[i].fresh, 0u);
        EXPECT_GT(d[i].tick - d[i - 1].tick, 100u);
        EXPECT_LE(d[i].tick - d[i - 1].tick, 100u + 25u);
        EXPECT_LT(d[i].tick - first, 1100u);
    }
    EXPECT_LE(d.size() - 2, 10u);
    EXPECT_GE(d.size() - 2, 8u);
}

TEST_F(Reader, RepeatsEndExactlyAtElevenIntervalsAfterTheFirst) {
    // Quiet passes come every 20 ms, so with 200 ms the tenth later repeat would fall exactly on
    // 11 x 200 ms after the first one: the limit is strict and it does not come.
    ASSERT_TRUE(BootConnected(500, 200));
    Rx({0xEE});
    Wait(4000);
    auto d = Decodes();
    ASSERT_EQ(d.size(), 1u + 1u + 9u);
    EXPECT_EQ(d[2].tick - d[1].tick, 220u);
    EXPECT_EQ(d.back().tick - d[1].tick, 9u * 220u);
}

TEST_F(Reader, AKeyHeldAfterAnotherHasRepeatedRepeatsToo) {
    ASSERT_TRUE(BootConnected(150, 30));
    Rx({0xEE}); // A: repeats, then stops by itself
    Wait(1000);
    size_t first = Decodes().size();
    ASSERT_GE(first, 3u);
    Rx({0xED}); // S down while A is still down: S is now the held key
    Wait(300);
    auto c = Codes();
    ASSERT_GE(c.size(), first + 2);
    EXPECT_EQ(c[first], "18/1");
    EXPECT_EQ(c[first + 1], "18/0");
}

TEST_F(Reader, RepeatRateZeroRepeatsOnce) {
    ASSERT_TRUE(BootConnected(200, 0));
    Rx({0xEE});
    Wait(2000);
    EXPECT_EQ(Codes(), (V{"17/1", "17/0"}));
}

TEST_F(Reader, ABreakCodeIsHeldAndRepeatedLikeAnyOtherCode) {
    ASSERT_TRUE(BootConnected(150, 30));
    Rx({0xEE});
    Wait(30);
    Rx({0x6E});
    Wait(200);
    auto c = Codes();
    ASSERT_GE(c.size(), 3u);
    EXPECT_EQ(c[1], "145/1");
    EXPECT_EQ(c[2], "145/0");
}

TEST_F(Reader, DisablingStopsRepeatAndClosesThePortWithinAPass) {
    ASSERT_TRUE(BootConnected(500, 100));
    Rx({0xEE});
    Wait(200);
    Set(u"Enable Keyboard", 0);
    Wait(30);
    EXPECT_EQ(Rec()->portOpen, 0);
    EXPECT_FALSE(Line().isOpen());
    Wait(2000);
    EXPECT_EQ(Codes(), (V{"17/1"}));
    // Not yet repeating when disabled: repeats on the first quiet pass after re-enabling.
    EXPECT_EQ(Rec()->lastKey, 17);
    Set(u"Enable Keyboard", 1);
    Wait(1100);
    auto d = Decodes();
    ASSERT_GE(d.size(), 2u);
    EXPECT_EQ(d[1].fresh, 0u);
}

TEST_F(Reader, AKeyThatHadBegunRepeatingDoesNotRepeatAfterReEnabling) {
    ASSERT_TRUE(BootConnected(150, 30));
    Rx({0xEE});
    Wait(200); // first repeats happen
    Set(u"Enable Keyboard", 0);
    Wait(30); // the pass under way may still repeat once
    size_t before = Decodes().size();
    ASSERT_GE(before, 2u);
    Wait(1500);
    Set(u"Enable Keyboard", 1);
    Wait(1500);
    EXPECT_EQ(Decodes().size(), before + 0u);
}

TEST_F(Reader, PowerUpClosesAndReopensThePortOnTheNextPass) {
    ASSERT_NE(Boot(), 0u);
    Wait(50);
    size_t opens = Calls("CreateFileW").size();
    device.devices().powerDown();
    device.devices().powerUp();
    device.devices().powerUp();
    EXPECT_EQ(Rec()->reopenPort, 1);
    Wait(50);
    EXPECT_EQ(Calls("CreateFileW").size(), opens + 1);
    EXPECT_EQ(Calls("CloseHandle").size(), 1u);
    EXPECT_EQ(Rec()->reopenPort, 0);
    EXPECT_EQ(Rec()->portOpen, 1);
}

TEST_F(Reader, MissingOrMissizedSettingsKeepTheLastGoodValues) {
    Set(u"Delay Time", 300);
    ASSERT_NE(Boot(), 0u);
    Wait(50);
    EXPECT_EQ(Rec()->delayTime, 300);
    EXPECT_EQ(Rec()->repeatRate, 100);
    device.registry().deleteValue(kDriverKey, u"Delay Time");
    emul::RegValue wide;
    wide.type = REG_BINARY;
    wide.data.assign(8, 0x11); // too long for the 4-byte read
    device.registry().setValue(kDriverKey, u"Repeat Rate", wide);
    emul::RegValue narrow;
    narrow.type = REG_DWORD;
    narrow.data = {0, 0}; // short: a 2-byte read must not count as a switch-off
    device.registry().setValue(kDriverKey, u"Enable Keyboard", narrow);
    Wait(50);
    EXPECT_EQ(Rec()->delayTime, 300);
    EXPECT_EQ(Rec()->repeatRate, 100);
    EXPECT_EQ(Rec()->enabled, 1u);
    EXPECT_EQ(Rec()->portOpen, 1);
    Set(u"Repeat Rate", 0x12345); // low 16 bits
    Wait(50);
    EXPECT_EQ(Rec()->repeatRate, 0x2345);
}

TEST_F(Reader, SettingsOfAnyTypeWithFourBytesAreTaken) {
    auto binary = [](uint32_t v) {
        emul::RegValue r = testing_support::Dword(v);
        r.type = REG_BINARY;
        return r;
    };
    device.registry().setValue(kDriverKey, u"Enable Keyboard", binary(0));
    ASSERT_NE(Boot(), 0u);
    Wait(1500);
    EXPECT_TRUE(Calls("CreateFileW").empty()); // switched off by a binary 0
    device.registry().setValue(kDriverKey, u"Enable Keyboard", binary(1));
    device.registry().setValue(kDriverKey, u"Repeat Rate", binary(240));
    SetAt(kDriverKey, u"Delay Time", testing_support::Sz(u"1")); // 4 bytes of text: 0x00000031
    Wait(1100);
    EXPECT_EQ(Rec()->portOpen, 1);
    EXPECT_EQ(Rec()->repeatRate, 240);
    EXPECT_EQ(Rec()->delayTime, 0x31);
}

TEST_F(Reader, KeyboardStartsDisabledWhenItsSwitchWasNeverWritten) {
    device.registry().deleteValue(kDriverKey, u"Enable Keyboard");
    ASSERT_NE(Boot(), 0u);
    Wait(3000);
    EXPECT_TRUE(Calls("CreateFileW").empty());
    EXPECT_EQ(Rec()->enabled, 0u);
}

TEST_F(Reader, BytesReceivedDuringConfigurationAreDiscarded) {
    Line().onConfigure = [this](const char *call) {
        if (std::string(call) == "SetCommState")
            Line().arriveNow({0x05, 0x02, 0xEE});
    };
    ASSERT_NE(Boot(), 0u);
    Wait(100);
    EXPECT_EQ(Rec()->linkUp, 0);
    EXPECT_TRUE(Codes().empty());
}

class ReaderAcrossTheWrap : public Reader {
  protected:
    static emul::DeviceOptions NearWrap() {
        emul::DeviceOptions o;
        o.tickStart = 0xFFFFFFFFu - 700; // wraps during the repeat schedule
        return o;
    }
    ReaderAcrossTheWrap() : Reader(NearWrap()) {}
};

TEST_F(ReaderAcrossTheWrap, RepeatScheduleIsUnchangedByTheTickWrap) {
    ASSERT_TRUE(BootConnected(500, 100));
    Rx({0xEE});
    Wait(3000);
    auto d = Decodes();
    ASSERT_GE(d.size(), 9u);
    EXPECT_GT(d[0].tick, 0xFFFF0000u);
    EXPECT_LT(d.back().tick, 0x10000u);
    EXPECT_GT(uint32_t(d[1].tick - d[0].tick), 500u);
    for (size_t i = 2; i < d.size(); ++i)
        EXPECT_GT(uint32_t(d[i].tick - d[i - 1].tick), 100u);
    EXPECT_LE(d.size() - 2, 10u);
}

} // namespace
