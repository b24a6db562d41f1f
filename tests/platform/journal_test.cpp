// The journal: always valid JSON, written to its stream in blocks, and bounded in memory in a
// long run.
#include <windows.h>

#include "emul/device.h"
#include "emul/devmgr.h"
#include "emul/serial.h"
#include "handheld/image/install.h"
#include "handheld/scenario/scenario.h"

#include <gtest/gtest.h>

#include <malloc.h>
#include <ostream>
#include <streambuf>

namespace {

// A stream that counts what reaches it and how many writes brought it.
class CountingBuf : public std::streambuf {
  public:
    size_t bytes = 0, newlines = 0, writes = 0;
    std::string last; // the last write, whole

  protected:
    std::streamsize xsputn(const char *s, std::streamsize n) override {
        ++writes;
        bytes += size_t(n);
        for (std::streamsize i = 0; i < n; ++i)
            newlines += s[i] == '\n';
        last.assign(s, size_t(n));
        return n;
    }
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) {
            char ch = char(c);
            xsputn(&ch, 1);
        }
        return c;
    }
};

} // namespace

TEST(Journal, InvalidTextBecomesTheReplacementCharacter) {
    emul::Device device;
    handheld::install(device);
    handheld::ScenarioRunner runner(device);
    handheld::ScnError err;
    // A stray continuation byte, a truncated sequence, an encoded surrogate, an overlong form.
    ASSERT_TRUE(runner.playText("set \"Test\" \"N\x80\" sz \"a\xC3\"\n"
                                "set \"Test\" \"S\" sz \"\xED\xA0\x80|\xC0\xAF|\xE2\x82\xAC\"\n"
                                "dump \"Test\"\n",
                                &err))
        << err.message;
    auto dump = device.journal().grep("\"dump\"");
    ASSERT_EQ(dump.size(), 1u);
    EXPECT_EQ(dump[0], "{\"t\":0,\"dump\":\"Test\",\"values\":{\"N\xEF\xBF\xBD\":\"a\xEF\xBF\xBD\","
                       "\"S\":\"\xEF\xBF\xBD|\xEF\xBF\xBD|\xE2\x82\xAC\"}}");

    // From the device's own UTF-16: an unpaired surrogate; control characters are escaped.
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Test", 0, nullptr, 0, 0, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    const WCHAR name[] = {u'x', 0xD800, u'y', 0xDC00, 0xD83D, 0xDE00, 1, 0};
    DWORD one = 1;
    RegSetValueExW(k, name, 0, REG_DWORD, (BYTE *)&one, 4);
    RegCloseKey(k);
    auto set = device.journal().grep("RegSetValueExW");
    ASSERT_FALSE(set.empty());
    EXPECT_NE(set.back().find("\"name\":\"x\xEF\xBF\xBDy\xEF\xBF\xBD\xF0\x9F\x98\x80\\u0001\""),
              std::string::npos)
        << set.back();
}

TEST(Journal, StreamGetsBlocksAndEverythingByTheEnd) {
    CountingBuf buf;
    std::ostream out(&buf);
    {
        emul::Device device;
        device.journal().tee(&out);
        device.journal().keepLast(0);
        HKEY k = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"K", 0, nullptr, 0, 0, nullptr, &k, nullptr);
        for (DWORD i = 0; i < 3000; ++i)
            RegSetValueExW(k, u"V", 0, REG_DWORD, (BYTE *)&i, 4);
        RegCloseKey(k);
        EXPECT_TRUE(device.journal().lines().empty());
        EXPECT_LT(buf.writes, 10u);
        EXPECT_LT(buf.newlines, 3000u); // the last lines wait for the next block
    }
    EXPECT_EQ(buf.newlines, 3000u);
    EXPECT_NE(buf.last.find("\"data\":2999}\n"), std::string::npos);
}

// A line longer than a block (a long string value) reaches the stream whole, between the lines
// before and after it, in memory and on the stream alike.
TEST(Journal, ALineLongerThanABlockStaysWhole) {
    CountingBuf buf;
    std::ostream out(&buf);
    emul::Device device;
    device.journal().tee(&out);
    HKEY k = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"K", 0, nullptr, 0, 0, nullptr, &k, nullptr);
    std::u16string text(100000, u'x');
    text[50000] = u'"';
    DWORD one = 1;
    RegSetValueExW(k, u"Short", 0, REG_DWORD, (BYTE *)&one, 4);
    RegSetValueExW(k, u"Long", 0, REG_SZ, (const BYTE *)text.c_str(), DWORD((text.size() + 1) * 2));
    RegSetValueExW(k, u"Short", 0, REG_DWORD, (BYTE *)&one, 4);
    RegCloseKey(k);
    auto set = device.journal().grep("RegSetValueExW");
    ASSERT_EQ(set.size(), 3u);
    std::string expected = std::string(50000, 'x') + "\\\"" + std::string(49999, 'x');
    EXPECT_EQ(set[1], "{\"t\":0,\"call\":\"RegSetValueExW\",\"key\":\"K\",\"name\":\"Long\","
                      "\"type\":1,\"size\":200002,\"data\":\"" +
                          expected + "\"}");
    device.journal().flush();
    EXPECT_EQ(buf.newlines, device.journal().written());
    EXPECT_EQ(buf.bytes, [&] {
        size_t n = 0;
        for (auto &l : device.journal().lines())
            n += l.size() + 1;
        return n;
    }());
}

// In real time the journal goes out before the device waits, and a thread waiting for it to
// reach the stream (a screen showing the journal) is woken by that, not by its time-out.
TEST(Journal, AReaderOfTheStreamIsWokenBeforeTheDeviceWaits) {
    CountingBuf buf;
    std::ostream out(&buf);
    emul::DeviceOptions options;
    options.realTime = true;
    emul::Device device(options);
    device.journal().tee(&out);
    device.journal().keepLast(0);
    // The writer's wake-up comes first, so it is the thread that would make the host wait.
    device.kernel().spawn("writer", [] {
        HANDLE e = CreateEventW(nullptr, FALSE, FALSE, u"Seen");
        SetEvent(e);
        Sleep(20000);
        return 0u;
    });
    uint64_t waits = device.kernel().hostWaits();
    EXPECT_TRUE(
        device.kernel().block([&] { return buf.newlines > 0; }, device.kernel().now() + 30000));
    EXPECT_EQ(device.kernel().hostWaits(), waits) << "the reader was woken by a time-out";
    EXPECT_NE(buf.last.find("\"call\":\"SetEvent\",\"name\":\"Seen\""), std::string::npos);
}

// An hour of typing in device time: the journal holds its last lines, the stream gets all of
// them, and the heap does not grow with the hour.
TEST(Journal, AnHourOfTypingKeepsMemoryFlat) {
    CountingBuf buf;
    std::ostream out(&buf);
    emul::Device device;
    handheld::install(device);
    device.journal().tee(&out);
    device.journal().keepLast(100);
    ASSERT_TRUE(device.devices().activate(u"Drivers\\BuiltIn\\Norvel", 0));
    Sleep(1000); // the reader opens the port
    emul::SerialPort &line = *device.serial().find(u"COM2:");
    line.arriveNow({0x05, 0x02});
    Sleep(100);

    size_t heapAtTenMinutes = 0;
    const int keysPerMinute = 60000 / 40;
    for (int minute = 0; minute < 60; ++minute) {
        for (int i = 0; i < keysPerMinute; ++i) {
            line.arriveNow({uint8_t(i % 2 ? 0x6E : 0xEE)}); // A down, A up
            Sleep(40);
        }
        if (minute == 9)
            heapAtTenMinutes = mallinfo2().uordblks;
    }
    size_t heapAtHour = mallinfo2().uordblks;
    EXPECT_GE(device.kernel().now(), 3600000u);
    EXPECT_LE(device.journal().lines().size(), 200u);
    EXPECT_GT(device.journal().written(), uint64_t(60 * keysPerMinute));
    EXPECT_LT(heapAtHour, heapAtTenMinutes + 256 * 1024)
        << "heap grew from " << heapAtTenMinutes << " to " << heapAtHour;
    device.journal().flush();
    EXPECT_EQ(buf.newlines, device.journal().written());
}
