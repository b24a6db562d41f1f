// Serial ports: read time-outs in device time, the receive buffer, opening rules, the comm
// configuration calls and their journal lines, and host pseudo-terminals in real time: one the
// device makes, and another program's that goes away and comes back.
#include <windows.h>

#include "emul/device.h"
#include "emul/serial.h"
#include "emul/serial_line.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

HANDLE openCom(const char16_t *name = u"COM2:", DWORD access = GENERIC_READ) {
    return CreateFileW(name, access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

void setTimeouts(HANDLE h, DWORD interval, DWORD multiplier, DWORD constant) {
    COMMTIMEOUTS t = {interval, multiplier, constant, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(h, &t));
}

struct Read {
    BOOL ok;
    std::vector<uint8_t> bytes;
    DWORD at; // tick count when ReadFile returned
};

Read readCom(HANDLE h, DWORD n) {
    std::vector<uint8_t> buf(n + 1, 0xCC);
    DWORD got = kSentinel;
    BOOL ok = ReadFile(h, buf.data(), n, &got, nullptr);
    EXPECT_EQ(buf[n], 0xCC) << "read past the requested count";
    if (got > n)
        got = 0;
    return Read{ok, std::vector<uint8_t>(buf.begin(), buf.begin() + got), GetTickCount()};
}

class SerialTest : public ::testing::Test {
  protected:
    emul::Device device;
    emul::SerialPort &port = device.serial().addPort(u"COM2:");
};

TEST_F(SerialTest, ReadTimeoutsFollowTheLineInDeviceTime) {
    HANDLE h = openCom();
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    setTimeouts(h, 10, 10, 10);

    Read silent = readCom(h, 1); // 10 x 1 + 10: the interval timer has not started
    EXPECT_TRUE(silent.ok);
    EXPECT_TRUE(silent.bytes.empty());
    EXPECT_EQ(silent.at, 20u);

    port.arriveNow({0x5A});
    Read waiting = readCom(h, 1);
    EXPECT_EQ(waiting.bytes, std::vector<uint8_t>{0x5A});
    EXPECT_EQ(waiting.at, 20u);

    port.arrive(27, {0x11});
    Read later = readCom(h, 1);
    EXPECT_EQ(later.bytes, std::vector<uint8_t>{0x11});
    EXPECT_EQ(later.at, 27u);
    CloseHandle(h);
}

TEST_F(SerialTest, MultiByteReadEndsOnIntervalTotalOrCount) {
    HANDLE h = openCom();
    setTimeouts(h, 10, 10, 100); // total for 4 bytes: 140
    port.arrive(5, {1});
    port.arrive(12, {2});
    port.arrive(30, {3}); // 18 ms after the previous byte: the interval runs out at 22
    Read gap = readCom(h, 4);
    EXPECT_EQ(gap.bytes, (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(gap.at, 22u);

    port.arrive(35, {4, 5}); // with 3, that's the count of the next read
    Read full = readCom(h, 3);
    EXPECT_EQ(full.bytes, (std::vector<uint8_t>{3, 4, 5}));
    EXPECT_EQ(full.at, 35u);

    // Bytes 8 ms apart never trip the interval; the total time-out ends the read.
    setTimeouts(h, 10, 0, 30);
    for (DWORD t = 40; t < 100; t += 8)
        port.arrive(t, {uint8_t(t)});
    Read total = readCom(h, 20);
    EXPECT_EQ(total.at, 65u);
    EXPECT_EQ(total.bytes, (std::vector<uint8_t>{40, 48, 56, 64}));
    CloseHandle(h);
}

TEST_F(SerialTest, MaxdwordIntervalReturnsWhatIsThere) {
    HANDLE h = openCom();
    setTimeouts(h, MAXDWORD, 0, 0);
    Read none = readCom(h, 4);
    EXPECT_TRUE(none.ok);
    EXPECT_TRUE(none.bytes.empty());
    EXPECT_EQ(none.at, 0u);
    port.arriveNow({7, 8});
    EXPECT_EQ(readCom(h, 4).bytes, (std::vector<uint8_t>{7, 8}));

    // Multiplier MAXDWORD too: wait for the first byte, then return at once.
    setTimeouts(h, MAXDWORD, MAXDWORD, 50);
    port.arrive(30, {9});
    port.arrive(31, {10});
    Read first = readCom(h, 4);
    EXPECT_EQ(first.bytes, std::vector<uint8_t>{9});
    EXPECT_EQ(first.at, 30u);
    EXPECT_EQ(readCom(h, 4).bytes, std::vector<uint8_t>{10});
    Read quiet = readCom(h, 4);
    EXPECT_TRUE(quiet.bytes.empty());
    EXPECT_EQ(quiet.at, 31u + 50u);

    // With a total time-out and no multiplier the interval is not used and the total is: a
    // 4-byte read takes the bytes that came within its 40 ms, not what was there at once.
    setTimeouts(h, MAXDWORD, 0, 40);
    const DWORD start = GetTickCount();
    for (DWORD i = 0; i < 4; ++i)
        port.arrive(start + 5 + 30 * i, {uint8_t(20 + i)});
    Read total = readCom(h, 4);
    EXPECT_EQ(total.bytes, (std::vector<uint8_t>{20, 21}));
    EXPECT_EQ(total.at, start + 40);
    CloseHandle(h);
}

TEST_F(SerialTest, DefaultTimeoutsEndASilentRead) {
    HANDLE h = openCom();
    COMMTIMEOUTS t;
    ASSERT_TRUE(GetCommTimeouts(h, &t));
    EXPECT_EQ(t.ReadIntervalTimeout, 250u);
    Read r = readCom(h, 2);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.at, 10u * 2 + 100);
    CloseHandle(h);
}

TEST_F(SerialTest, PurgeDiscardsWhatWasReceivedSoFar) {
    HANDLE h = openCom();
    setTimeouts(h, 0, 0, 100);
    port.arriveNow({1, 2, 3});
    port.arrive(50, {4});
    EXPECT_EQ(port.received(), 3u);
    EXPECT_TRUE(PurgeComm(h, PURGE_RXCLEAR));
    EXPECT_EQ(port.received(), 0u);
    Read r = readCom(h, 1);
    EXPECT_EQ(r.bytes, std::vector<uint8_t>{4});
    EXPECT_EQ(r.at, 50u);
    EXPECT_EQ(port.state().purges, 1u);
    EXPECT_FALSE(PurgeComm(h, 0x10));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    CloseHandle(h);
}

TEST_F(SerialTest, BytesArrivingWhileClosedAreLost) {
    port.arrive(5, {0xA1});
    port.arrive(25, {0xA2});
    port.arrive(40, {0xA3});
    Sleep(10);
    HANDLE h = openCom(); // at 10: the byte of 5 found the port closed
    setTimeouts(h, 0, 0, 100);
    EXPECT_EQ(readCom(h, 1).bytes, std::vector<uint8_t>{0xA2});
    CloseHandle(h); // at 25
    Sleep(20);      // 0xA3 arrives at 40 to a closed port
    port.arriveNow({0xA4});
    h = openCom();
    setTimeouts(h, MAXDWORD, 0, 0);
    EXPECT_TRUE(readCom(h, 4).bytes.empty());
    EXPECT_EQ(port.state().lost, 3u);

    // Closing also discards what was received and not read.
    port.arriveNow({0xA5});
    CloseHandle(h);
    h = openCom();
    setTimeouts(h, MAXDWORD, 0, 0);
    EXPECT_TRUE(readCom(h, 4).bytes.empty());
    CloseHandle(h);
}

TEST_F(SerialTest, OneOpenWithAccessAtATime) {
    HANDLE reader = openCom(u"com2:");
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(port.isOpen());
    SetLastError(kSentinel);
    EXPECT_EQ(openCom(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(openCom(u"COM2:", GENERIC_WRITE), INVALID_HANDLE_VALUE);

    HANDLE query = openCom(u"COM2:", 0); // querying opens are always allowed
    ASSERT_NE(query, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetCommMask(query, EV_RXCHAR));
    BYTE b;
    DWORD got;
    EXPECT_FALSE(ReadFile(query, &b, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));

    EXPECT_TRUE(CloseHandle(reader));
    EXPECT_FALSE(port.isOpen());
    HANDLE again = openCom();
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    EXPECT_EQ(port.state().opens, 3u);
    EXPECT_EQ(port.state().refusedOpens, 2u);

    SetLastError(kSentinel);
    EXPECT_EQ(openCom(u"COM3:"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    CloseHandle(query);
    CloseHandle(again);
    EXPECT_EQ(device.handles().count(), 0u);
}

struct BlockedRead {
    HANDLE port;
    BOOL ok = TRUE;
    DWORD error = 0, got = kSentinel, at = 0;
};

DWORD WINAPI ReadForever(LPVOID arg) {
    auto *r = static_cast<BlockedRead *>(arg);
    BYTE buf[4];
    r->ok = ReadFile(r->port, buf, sizeof buf, &r->got, nullptr);
    r->error = GetLastError();
    r->at = GetTickCount();
    return 0;
}

TEST_F(SerialTest, ClosingTheHandleEndsABlockedRead) {
    BlockedRead r;
    r.port = openCom();
    setTimeouts(r.port, 0, 0, 0); // no time-out at all
    HANDLE t = CreateThread(nullptr, 0, ReadForever, &r, 0, nullptr);
    Sleep(30);
    EXPECT_TRUE(CloseHandle(r.port));
    ASSERT_EQ(WaitForSingleObject(t, 1000), WAIT_OBJECT_0);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(r.got, 0u);
    EXPECT_EQ(r.at, 30u);
    EXPECT_FALSE(port.isOpen());
    HANDLE again = openCom(); // the port is free again
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
    CloseHandle(t);
}

TEST_F(SerialTest, PurgeRxAbortEndsAReadWithWhatItHas) {
    BlockedRead r;
    r.port = openCom();
    setTimeouts(r.port, 0, 0, 0);
    port.arriveNow({0x42});
    HANDLE t = CreateThread(nullptr, 0, ReadForever, &r, 0, nullptr);
    Sleep(15);
    HANDLE query = openCom(u"COM2:", 0);
    EXPECT_TRUE(PurgeComm(query, PURGE_RXABORT));
    ASSERT_EQ(WaitForSingleObject(t, 1000), WAIT_OBJECT_0);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.got, 1u);
    EXPECT_EQ(r.at, 15u);
    CloseHandle(t);
    CloseHandle(query);
    CloseHandle(r.port);
}

DCB driverDcb(DWORD baud) {
    DCB d;
    std::memset(&d, 0, sizeof d);
    d.DCBlength = 28;
    d.BaudRate = baud;
    d.fBinary = 1;
    d.fDtrControl = DTR_CONTROL_ENABLE;
    d.fRtsControl = RTS_CONTROL_ENABLE;
    d.XonLim = 512;
    d.XoffLim = 128;
    d.ByteSize = 8;
    d.XonChar = 0x11;
    d.XoffChar = 0x13;
    d.ErrorChar = d.EofChar = d.EvtChar = 0x0D;
    return d;
}

TEST_F(SerialTest, ConfigurationCallsAreJournaledAndKept) {
    HANDLE h = openCom();
    device.journal().clear();
    std::vector<std::string> calls;
    port.onConfigure = [&](const char *call) {
        calls.push_back(call);
        if (calls.size() == 6)
            port.arriveNow({0xEE}); // a byte in the middle of the set-up
    };
    EXPECT_TRUE(EscapeCommFunction(h, SETIR));
    COMMPROP prop;
    std::memset(&prop, 0xFF, sizeof prop);
    EXPECT_TRUE(GetCommProperties(h, &prop));
    EXPECT_EQ(prop.dwServiceMask, DWORD(SP_SERIALCOMM));
    EXPECT_EQ(prop.dwSettableBaud & BAUD_9600, DWORD(BAUD_9600));
    COMMTIMEOUTS t = {10, 10, 10, 10, 1000};
    EXPECT_TRUE(SetCommTimeouts(h, &t));
    DWORD errors = kSentinel;
    EXPECT_TRUE(ClearCommError(h, &errors, nullptr));
    EXPECT_EQ(errors, 0u);
    EXPECT_TRUE(SetCommMask(h, 0x23));
    DCB d = driverDcb(9600);
    EXPECT_TRUE(SetCommState(h, &d));
    EXPECT_EQ(port.received(), 1u);
    EXPECT_TRUE(PurgeComm(h, PURGE_RXCLEAR));
    EXPECT_EQ(port.received(), 0u);
    EXPECT_EQ(calls.size(), 7u);

    std::vector<std::string> expected = {
        R"({"t":0,"call":"EscapeCommFunction","func":10})",
        R"({"t":0,"call":"SetCommTimeouts","ReadIntervalTimeout":10,)"
        R"("ReadTotalTimeoutMultiplier":10,"ReadTotalTimeoutConstant":10,)"
        R"("WriteTotalTimeoutMultiplier":10,"WriteTotalTimeoutConstant":1000})",
        R"({"t":0,"call":"SetCommMask","mask":35})",
        R"({"t":0,"call":"SetCommState","DCBlength":28,"BaudRate":9600,"fBinary":1,"fParity":0,)"
        R"("fOutxCtsFlow":0,"fOutxDsrFlow":0,"fDtrControl":1,"fDsrSensitivity":0,)"
        R"("fTXContinueOnXoff":0,"fOutX":0,"fInX":0,"fErrorChar":0,"fNull":0,"fRtsControl":1,)"
        R"("fAbortOnError":0,"fDummy2":0,"wReserved":0,"XonLim":512,"XoffLim":128,"ByteSize":8,)"
        R"("Parity":0,"StopBits":0,"XonChar":17,"XoffChar":19,"ErrorChar":13,"EofChar":13,)"
        R"("EvtChar":13,"wReserved1":0})",
        R"({"t":0,"call":"PurgeComm","flags":8})",
    };
    EXPECT_EQ(device.journal().lines(), expected);

    auto &s = port.state();
    EXPECT_TRUE(s.irMode);
    EXPECT_EQ(s.mask, 0x23u);
    EXPECT_EQ(s.timeouts.WriteTotalTimeoutConstant, 1000u);
    DCB back;
    ASSERT_TRUE(GetCommState(h, &back));
    EXPECT_EQ(std::memcmp(&back, &d, sizeof d), 0);
    EXPECT_TRUE(EscapeCommFunction(h, CLRIR));
    EXPECT_FALSE(s.irMode);
    CloseHandle(h);
}

TEST_F(SerialTest, CharFieldsAreJournaledAsUnsignedNumbers) {
    HANDLE h = openCom();
    DCB d = driverDcb(9600);
    d.EvtChar = char(0xFF);
    EXPECT_TRUE(SetCommState(h, &d));
    EXPECT_NE(device.journal().lines().back().find(R"("EvtChar":255,)"), std::string::npos);
    CloseHandle(h);
}

TEST(SerialNo9600, BaudZeroKeepsTheCurrentRate) {
    emul::Device device;
    device.serial().addPort(u"COM3:", false);
    HANDLE h = openCom(u"COM3:");
    COMMPROP prop;
    ASSERT_TRUE(GetCommProperties(h, &prop));
    EXPECT_EQ(prop.dwSettableBaud & BAUD_9600, 0u);
    DCB before;
    ASSERT_TRUE(GetCommState(h, &before));
    DCB d = driverDcb(0);
    EXPECT_TRUE(SetCommState(h, &d));
    DCB after;
    ASSERT_TRUE(GetCommState(h, &after));
    EXPECT_EQ(after.BaudRate, before.BaudRate);
    EXPECT_NE(after.BaudRate, 0u);
    EXPECT_EQ(after.ByteSize, 8);
    d.BaudRate = 9600; // not offered by this port
    EXPECT_FALSE(SetCommState(h, &d));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    CloseHandle(h);
}

TEST_F(SerialTest, InvalidSettingsAndForeignHandlesAreRefused) {
    HANDLE h = openCom();
    DCB good = driverDcb(9600);
    ASSERT_TRUE(SetCommState(h, &good));
    auto refused = [&](DCB d) {
        SetLastError(kSentinel);
        bool failed = !SetCommState(h, &d) && GetLastError() == ERROR_INVALID_PARAMETER;
        return failed && port.state().dcb.ByteSize == 8 && port.state().dcb.Parity == 0;
    };
    DCB d = good;
    d.ByteSize = 3;
    EXPECT_TRUE(refused(d));
    d.ByteSize = 9;
    EXPECT_TRUE(refused(d));
    d = good;
    d.Parity = 5;
    EXPECT_TRUE(refused(d));
    d = good;
    d.StopBits = 3;
    EXPECT_TRUE(refused(d));
    EXPECT_FALSE(EscapeCommFunction(h, 99));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

    HANDLE ev = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    COMMTIMEOUTS t = {};
    DWORD mask;
    for (HANDLE bad : {ev, HANDLE(nullptr)}) {
        SetLastError(kSentinel);
        EXPECT_FALSE(SetCommTimeouts(bad, &t));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        EXPECT_FALSE(GetCommMask(bad, &mask));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    }
    CloseHandle(ev);
    CloseHandle(h);
}

TEST_F(SerialTest, InjectedFailuresFailTheCallAndStillJournalIt) {
    HANDLE h = openCom();
    COMMPROP prop;
    COMMTIMEOUTS t = {10, 10, 10, 10, 1000};
    DCB d = driverDcb(9600);
    struct Case {
        const char *name;
        std::function<BOOL()> call;
        bool journaled;
    } cases[] = {
        {"GetCommProperties", [&] { return GetCommProperties(h, &prop); }, false},
        {"SetCommTimeouts", [&] { return SetCommTimeouts(h, &t); }, true},
        {"ClearCommError", [&] { return ClearCommError(h, nullptr, nullptr); }, false},
        {"SetCommMask", [&] { return SetCommMask(h, 0x23); }, true},
        {"SetCommState", [&] { return SetCommState(h, &d); }, true},
        {"EscapeCommFunction", [&] { return EscapeCommFunction(h, SETIR); }, true},
        {"PurgeComm", [&] { return PurgeComm(h, PURGE_RXCLEAR); }, true},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.name);
        device.journal().clear();
        device.fail(c.name);
        auto before = port.state();
        SetLastError(kSentinel);
        EXPECT_FALSE(c.call());
        EXPECT_EQ(GetLastError(), DWORD(ERROR_GEN_FAILURE));
        EXPECT_EQ(device.journal().grep(c.name).size(), c.journaled ? 1u : 0u);
        auto &after = port.state();
        EXPECT_EQ(std::memcmp(&after.dcb, &before.dcb, sizeof(DCB)), 0);
        EXPECT_EQ(after.timeouts.ReadIntervalTimeout, before.timeouts.ReadIntervalTimeout);
        EXPECT_EQ(after.mask, before.mask);
        EXPECT_EQ(after.irMode, before.irMode);
        EXPECT_EQ(after.purges, before.purges);
        device.heal(c.name);
        EXPECT_TRUE(c.call());
    }
    CloseHandle(h);
}

TEST(SerialPty, ByteWrittenToTheSlaveIsRead) {
    emul::DeviceOptions o;
    o.realTime = true;
    emul::Device device(o);
    emul::SerialPort &port = device.serial().addPort(u"COM2:");
    std::string error;
    std::string slave;
    auto line = emul::openPtyLine(&slave, &error);
    if (!line)
        GTEST_SKIP() << "no pseudo-terminal on this host: " << error;
    port.connect(std::move(line));
    HANDLE h = openCom();
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    setTimeouts(h, 0, 0, 10000); // generous: the byte should come within milliseconds
    int fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    const uint8_t byte = 0xA5;
    ASSERT_EQ(::write(fd, &byte, 1), 1);
    DWORD start = GetTickCount();
    Read r = readCom(h, 1);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.bytes, std::vector<uint8_t>{0xA5});
    EXPECT_LT(r.at - start, 10000u);
    ::close(fd);
    CloseHandle(h);
}

// Another program's pseudo-terminal: the master is the peer, the slave is what the device opens
// by name. The slave is put in raw mode and held open here, so bytes written before the device
// opens it wait for it unchanged.
struct PeerPty {
    int master = -1, slave = -1;
    std::string path;
    bool open() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || !ptsname(master))
            return false;
        path = ptsname(master);
        slave = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        termios tio;
        if (slave < 0 || tcgetattr(slave, &tio) != 0)
            return false;
        cfmakeraw(&tio);
        return tcsetattr(slave, TCSANOW, &tio) == 0;
    }
    void hangUp() {
        for (int *fd : {&slave, &master})
            if (*fd >= 0)
                ::close(*fd);
        slave = master = -1;
    }
    ~PeerPty() { hangUp(); }
};

// The device opens the line through a link, as a user names a stable device path; the test
// points the link at another peer's pseudo-terminal.
void pointLink(const std::string &link, const std::string &target) {
    std::string tmp = link + ".new";
    ::unlink(tmp.c_str());
    ASSERT_EQ(::symlink(target.c_str(), tmp.c_str()), 0);
    ASSERT_EQ(::rename(tmp.c_str(), link.c_str()), 0);
}

DWORD modemStatus(HANDLE h) {
    DWORD s = kSentinel;
    EXPECT_TRUE(GetCommModemStatus(h, &s));
    return s;
}

TEST(SerialPty, ATtyWhosePeerGoesAwayTimesOutWithoutCarrierAndComesBackWithTheNextPeer) {
    emul::DeviceOptions o;
    o.realTime = true;
    emul::Device device(o);
    emul::SerialPort &port = device.serial().addPort(u"COM2:");
    PeerPty first;
    if (!first.open())
        GTEST_SKIP() << "no pseudo-terminal on this host";
    char dir[] = "/tmp/serial_testXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string link = std::string(dir) + "/line";
    pointLink(link, first.path);
    std::string error;
    auto line = emul::openTtyLine(link, &error);
    ASSERT_TRUE(line) << error;
    port.connect(std::move(line));
    HANDLE h = openCom(u"COM2:", GENERIC_READ | GENERIC_WRITE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);

    // Interval and multiplier MAXDWORD: a read returns with the first byte, or after 10 s.
    setTimeouts(h, MAXDWORD, MAXDWORD, 10000);
    const uint8_t byte = 0x5A;
    ASSERT_EQ(::write(first.master, &byte, 1), 1);
    Read back = readCom(h, 1);
    EXPECT_EQ(back.bytes, std::vector<uint8_t>{0x5A});
    EXPECT_EQ(modemStatus(h) & MS_RLSD_ON, DWORD(MS_RLSD_ON));

    // The peer goes away: nothing arrives, the read times out, the carrier is off.
    first.hangUp();
    setTimeouts(h, 0, 0, 100);
    Read silent = readCom(h, 1);
    EXPECT_TRUE(silent.ok);
    EXPECT_TRUE(silent.bytes.empty());
    EXPECT_EQ(modemStatus(h), 0u);
    const uint8_t lost = 0x01;
    DWORD put = 0;
    EXPECT_TRUE(WriteFile(h, &lost, 1, &put, nullptr)); // sent into the void, as on a cable
    EXPECT_EQ(put, 1u);

    // A new peer behind the same name: the device finds it and hears it.
    PeerPty second;
    ASSERT_TRUE(second.open());
    pointLink(link, second.path);
    const uint8_t again = 0xA5;
    ASSERT_EQ(::write(second.master, &again, 1), 1);
    setTimeouts(h, MAXDWORD, MAXDWORD, 10000);
    Read heard = readCom(h, 1);
    EXPECT_EQ(heard.bytes, std::vector<uint8_t>{0xA5});
    EXPECT_EQ(modemStatus(h) & MS_RLSD_ON, DWORD(MS_RLSD_ON));
    const uint8_t reply = 0x33;
    EXPECT_TRUE(WriteFile(h, &reply, 1, &put, nullptr));
    uint8_t got = 0;
    pollfd p{second.master, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 10000), 1);
    ASSERT_EQ(::read(second.master, &got, 1), 1);
    EXPECT_EQ(got, 0x33);

    CloseHandle(h);
    port.disconnect();
    ::unlink(link.c_str());
    ::rmdir(dir);
}

} // namespace
