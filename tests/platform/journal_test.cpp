// The journal: always valid JSON, written to its stream in blocks, and bounded in memory in a
// long run.
#include <windows.h>

#include "emul/device.h"
#include "emul/devmgr.h"
#include "emul/harness.h"
#include "emul/serial.h"
#include "handheld/image/install.h"
#include "handheld/scenario/scenario.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <ostream>
#include <sstream>
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

// Every expected journal of the scenarios keeps the format's contract, read as JSON by a JSON
// library: one object per line, "t" first, then exactly one of the four heads.
TEST(Journal, ExpectedJournalsAreObjectsWithATimeAndOneHead) {
    size_t files = 0, lines = 0;
    for (auto &entry : std::filesystem::directory_iterator(TESTS_SOURCE_DIR "/scenarios")) {
        if (entry.path().extension() != ".jsonl")
            continue;
        ++files;
        std::ifstream in(entry.path());
        std::string line;
        for (int n = 1; std::getline(in, line); ++n, ++lines) {
            SCOPED_TRACE(entry.path().filename().string() + ":" + std::to_string(n));
            nlohmann::ordered_json j = nlohmann::ordered_json::parse(line, nullptr, false);
            ASSERT_TRUE(j.is_object()) << line;
            ASSERT_GE(j.size(), 2u);
            EXPECT_EQ(j.begin().key(), "t");
            EXPECT_TRUE(j.begin().value().is_number_unsigned());
            std::string head = std::next(j.begin()).key();
            EXPECT_TRUE(head == "call" || head == "event" || head == "dump" || head == "control")
                << head;
            int heads = 0;
            for (const char *h : {"call", "event", "dump", "control"})
                heads += j.contains(h);
            EXPECT_EQ(heads, 1);
        }
    }
    EXPECT_GT(files, 50u);
    EXPECT_GT(lines, 500u);
}

namespace {

// Keeps the records it gets as JSON, and counts its flushes.
struct Collect : emul::JournalSink {
    std::vector<std::string> seen;
    void record(const emul::Record &r) override { seen.push_back(emul::toJson(r)); }
};

} // namespace

// A sink sees what the stream sees, from its subscription on; records made at the device's end
// (a driver's Deinit) reach no sink, and a sink that leaves gets no more.
TEST(Journal, SinksSeeTheRecordsOfTheRunOnly) {
    Collect early, late;
    CountingBuf buf;
    std::ostream out(&buf);
    {
        emul::Device device;
        emul::Subscription s(device.journal(), early);
        device.journal().tee(&out);
        HANDLE e = CreateEventW(nullptr, FALSE, FALSE, u"A \"quoted\" name");
        SetEvent(e);
        {
            emul::Subscription t(device.journal(), late);
            SetEvent(e);
        }
        SetEvent(e);
        CloseHandle(e);
        device.journal().end();
        SetEvent(e); // fails, and would be journaled no more anyway
        EXPECT_TRUE(device.journal().ended());
        EXPECT_EQ(device.journal().lines().size(), 3u);
    }
    ASSERT_EQ(early.seen.size(), 3u);
    EXPECT_EQ(early.seen[0], R"({"t":0,"call":"SetEvent","name":"A \"quoted\" name"})");
    EXPECT_EQ(late.seen, std::vector<std::string>{early.seen[1]});
    EXPECT_EQ(buf.newlines, 3u);
}

// Message parameters are windows only where the message says so: a number that happens to
// equal a live window's handle stays a number.
TEST(Journal, MessageParametersAreWindowsOnlyWhereTheMessageSaysSo) {
    emul::Device device;
    uintptr_t bar = emul::harness::createSceneWindow("bar", u"HHTaskBar", 0, 0, 0, 240, 26);
    uintptr_t ok = emul::harness::createSceneWindow("ok", u"BUTTON", bar, 0, 0, 20, 20);
    HWND to = reinterpret_cast<HWND>(bar);
    PostMessageW(to, WM_USER + 7, WPARAM(ok), LPARAM(ok)); // the task bar's, not a window's
    PostMessageW(to, WM_USER, 4, LPARAM(ok));              // show the window in lparam
    SendMessageW(to, WM_USER + 0x64, WPARAM(ok), 0);       // select the window in wparam
    SendMessageW(to, WM_COMMAND, 1, LPARAM(ok));           // from the control in lparam
    SendMessageW(to, WM_COMMAND, WPARAM(ok), 0);           // a command id, whatever it equals
    PostMessageW(to, WM_KEYDOWN, WPARAM(ok), LPARAM(ok));  // a key and its flags
    auto n = [](uintptr_t h) { return std::to_string(h); };
    std::vector<std::string> expected = {
        R"({"t":0,"call":"PostMessageW","hwnd":"bar","msg":1031,"wparam":)" + n(ok) +
            R"(,"lparam":)" + n(ok) + "}",
        R"({"t":0,"call":"PostMessageW","hwnd":"bar","msg":1024,"wparam":4,"lparam":"ok"})",
        R"({"t":0,"call":"SendMessageW","hwnd":"bar","msg":1124,"wparam":"ok","lparam":0})",
        R"({"t":0,"call":"SendMessageW","hwnd":"bar","msg":273,"wparam":1,"lparam":"ok"})",
        R"({"t":0,"call":"SendMessageW","hwnd":"bar","msg":273,"wparam":)" + n(ok) +
            R"(,"lparam":0})",
        R"({"t":0,"call":"PostMessageW","hwnd":"bar","msg":256,"wparam":)" + n(ok) +
            R"(,"lparam":)" + n(ok) + "}",
    };
    EXPECT_EQ(device.journal().grep("MessageW"), expected);
}

// The writer alone (handheld play) writes every record as the kept lines show it: names that
// need escaping or not, long field names, numbers of every length, texts from UTF-16.
TEST(Journal, TheWriterAloneWritesWhatTheRecorderKeeps) {
    auto calls = [] {
        HANDLE plain = CreateEventW(nullptr, FALSE, FALSE, u"BackLightChangeEvent");
        HANDLE quoted = CreateEventW(nullptr, FALSE, FALSE, u"A \"quoted\\\" name");
        SetEvent(plain);
        SetEvent(quoted);
        keybd_event(0x41, 0, 0, 0);
        keybd_event(200, 12, KEYEVENTF_KEYUP, 4294967295u);
        mouse_event(MOUSEEVENTF_ABSOLUTE, DWORD(-5), 99, 100, 0);
        UINT shift[2] = {0, 1}, chars[2] = {u'x', 0x20AC};
        PostKeybdMessage(HWND(-1), 0, KeyStateDownFlag, 2, shift, chars);
        HKEY k = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"K\u00e9y", 0, nullptr, 0, 0, nullptr, &k, nullptr);
        DWORD v = 123456;
        RegSetValueExW(k, u"A rather long value name", 0, REG_DWORD, (BYTE *)&v, 4);
        RegCloseKey(k);
        CloseHandle(plain);
        CloseHandle(quoted);
        emul::dev().journal().event("probe", emul::Fields()
                                                 .num("WriteTotalTimeoutMultiplier", -1234567)
                                                 .boolean("twelve_chars", true)
                                                 .null("thirteen_char")
                                                 .strs("texts", {"a", "b\n"})
                                                 .raw("json", "{\"x\":[1]}"));
    };
    std::vector<std::string> kept;
    {
        emul::Device device;
        calls();
        kept = device.journal().lines();
    }
    std::ostringstream written;
    {
        emul::Device device;
        device.journal().keepLast(0);
        device.journal().tee(&written);
        calls();
    }
    std::string expected;
    for (const std::string &line : kept)
        expected += line + "\n";
    EXPECT_EQ(kept.size(), 8u);
    EXPECT_EQ(written.str(), expected);
}
