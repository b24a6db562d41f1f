// The registry: the hive, the CE registry calls and their journal lines.
#include <windows.h>

#include "emul/device.h"
#include "emul/registry.h"
#include "support/temp_hive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testing_support::RemoveHive;
using testing_support::TempHivePath;

const BYTE *bytesOf(const WCHAR *s) {
    return reinterpret_cast<const BYTE *>(s);
}
DWORD szSize(const WCHAR *s) {
    return DWORD((std::char_traits<char16_t>::length(s) + 1) * 2);
}

emul::RegValue raw(DWORD type, std::vector<uint8_t> data) {
    return emul::RegValue{type, data};
}

emul::RegValue szValue(const std::u16string &s) {
    std::vector<uint8_t> d;
    for (char16_t c : s) {
        d.push_back(uint8_t(c));
        d.push_back(uint8_t(c >> 8));
    }
    d.insert(d.end(), {0, 0});
    return raw(REG_SZ, d);
}

HKEY create(HKEY root, const WCHAR *sub, DWORD *disposition = nullptr) {
    HKEY k = nullptr;
    DWORD d = 0;
    EXPECT_EQ(RegCreateKeyExW(root, sub, 0, nullptr, 0, 0, nullptr, &k, &d), ERROR_SUCCESS);
    if (disposition)
        *disposition = d;
    return k;
}

// The driver's key, where the tests keep their values.
HKEY driverKey() {
    return create(HKEY_LOCAL_MACHINE, u"Drivers\\BuiltIn\\Norvel");
}

emul::DeviceOptions onHive(const std::string &path) {
    emul::DeviceOptions options;
    options.hivePath = path;
    return options;
}

LONG setDword(HKEY k, const WCHAR *name, DWORD v) {
    return RegSetValueExW(k, name, 0, REG_DWORD, reinterpret_cast<BYTE *>(&v), sizeof v);
}

TEST(Registry, NamesIgnoreAsciiCaseButKeepTheirSpelling) {
    emul::Device device;
    DWORD disposition = 0;
    HKEY a = create(HKEY_LOCAL_MACHINE, u"Drivers\\BuiltIn\\Norvel", &disposition);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    HKEY b = create(HKEY_LOCAL_MACHINE, u"drivers\\BUILTIN\\norvel", &disposition);
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));

    DWORD one = 1, two = 2;
    ASSERT_EQ(RegSetValueExW(a, u"Enable Keyboard", 0, REG_DWORD, (BYTE *)&one, 4), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(b, u"ENABLE keyboard", 0, REG_DWORD, (BYTE *)&two, 4), ERROR_SUCCESS);
    DWORD got = 0, size = 4;
    EXPECT_EQ(RegQueryValueExW(a, u"enable KEYBOARD", nullptr, nullptr, (BYTE *)&got, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(got, 2u);

    auto &reg = device.registry();
    auto values = reg.values(u"DRIVERS\\builtin\\NORVEL");
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].first, u"Enable Keyboard");
    EXPECT_EQ(reg.subkeys(u"drivers"), std::vector<std::u16string>{u"BuiltIn"});
    // Only ASCII letters fold.
    reg.createKey(u"Drivers\\\u00C4");
    EXPECT_FALSE(reg.keyExists(u"Drivers\\\u00E4"));
    EXPECT_EQ(RegCloseKey(a), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(b), ERROR_SUCCESS);
}

TEST(Registry, QueryReportsSizesAndLeavesShortBuffersUntouched) {
    emul::Device device;
    HKEY k = create(HKEY_LOCAL_MACHINE, u"Test");
    ASSERT_EQ(RegSetValueExW(k, u"Name", 0, REG_SZ, bytesOf(u"abc"), szSize(u"abc")),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(k, u"Bare", 0, REG_SZ, bytesOf(u"xyz"), 6), ERROR_SUCCESS);

    DWORD type = 0xdeadbeef, size = 0xdeadbeef;
    EXPECT_EQ(RegQueryValueExW(k, u"Name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(size, 8u);

    BYTE buf[16];
    std::memset(buf, 0xAB, sizeof buf);
    type = 0xdeadbeef;
    size = 7;
    EXPECT_EQ(RegQueryValueExW(k, u"Name", nullptr, &type, buf, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(type, DWORD(REG_SZ));
    for (BYTE c : buf)
        ASSERT_EQ(c, 0xAB);

    size = sizeof buf;
    EXPECT_EQ(RegQueryValueExW(k, u"Name", nullptr, nullptr, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(std::memcmp(buf, u"abc", 8), 0);
    EXPECT_EQ(buf[8], 0xAB);

    // A string stored without its null comes back without one.
    std::memset(buf, 0xAB, sizeof buf);
    size = sizeof buf;
    EXPECT_EQ(RegQueryValueExW(k, u"Bare", nullptr, nullptr, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(buf[6], 0xAB);

    EXPECT_EQ(RegQueryValueExW(k, u"Name", nullptr, nullptr, buf, nullptr),
              ERROR_INVALID_PARAMETER);
    type = size = 0xdeadbeef;
    EXPECT_EQ(RegQueryValueExW(k, u"Missing", nullptr, &type, buf, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(type, 0xdeadbeefu);
    EXPECT_EQ(size, 0xdeadbeefu);
    // The unnamed value is separate and absent until set.
    EXPECT_EQ(RegQueryValueExW(k, nullptr, nullptr, nullptr, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);

    // A large value as a small one.
    std::vector<BYTE> large(3000), back(3001, 0xAB);
    for (size_t i = 0; i < large.size(); ++i)
        large[i] = BYTE(i * 7);
    ASSERT_EQ(RegSetValueExW(k, u"Large", 0, REG_BINARY, large.data(), DWORD(large.size())),
              ERROR_SUCCESS);
    size = 2999;
    EXPECT_EQ(RegQueryValueExW(k, u"large", nullptr, &type, back.data(), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 3000u);
    EXPECT_EQ(back[0], 0xAB);
    size = DWORD(back.size());
    EXPECT_EQ(RegQueryValueExW(k, u"Large", nullptr, &type, back.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_BINARY));
    EXPECT_EQ(size, 3000u);
    EXPECT_TRUE(std::equal(large.begin(), large.end(), back.begin()));
    EXPECT_EQ(back[3000], 0xAB);
    RegCloseKey(k);
}

TEST(Registry, DeleteKeyTakesTheWholeTreeAndStrandsItsHandles) {
    emul::Device device;
    HKEY deep = create(HKEY_LOCAL_MACHINE, u"Top\\Middle\\Leaf");
    DWORD v = 5;
    RegSetValueExW(deep, u"V", 0, REG_DWORD, (BYTE *)&v, 4);
    HKEY top = create(HKEY_LOCAL_MACHINE, u"Top");
    RegSetValueExW(top, u"W", 0, REG_DWORD, (BYTE *)&v, 4);

    DWORD was = 0, wasSize = 4; // the key read last is the one that goes
    EXPECT_EQ(RegQueryValueExW(deep, u"V", nullptr, nullptr, (BYTE *)&was, &wasSize),
              ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"top"), ERROR_SUCCESS);
    EXPECT_FALSE(device.registry().keyExists(u"Top"));
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Top"), ERROR_FILE_NOT_FOUND);

    // A key of the same name created afterwards is empty and is not the handles' key.
    device.registry().createKey(u"Top\\Middle\\Leaf");
    EXPECT_TRUE(device.registry().values(u"Top").empty());
    EXPECT_TRUE(device.registry().values(u"Top\\Middle\\Leaf").empty());
    DWORD size = 4;
    EXPECT_EQ(RegQueryValueExW(deep, u"V", nullptr, nullptr, (BYTE *)&v, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(RegSetValueExW(top, u"W", 0, REG_DWORD, (BYTE *)&v, 4), ERROR_KEY_DELETED);
    HKEY again = create(HKEY_LOCAL_MACHINE, u"Top\\Middle\\Leaf");
    EXPECT_EQ(RegQueryValueExW(again, u"V", nullptr, nullptr, (BYTE *)&v, &size),
              ERROR_FILE_NOT_FOUND);
    RegCloseKey(again);
    EXPECT_EQ(RegCloseKey(deep), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(top), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u""), ERROR_ACCESS_DENIED);
}

TEST(Registry, EnumerationEndsWithNoMoreItemsAndRefusesShortBuffers) {
    emul::Device device;
    HKEY k = create(HKEY_LOCAL_MACHINE, u"List");
    for (const WCHAR *name : {u"One", u"Two", u"Three"})
        RegCloseKey(create(k, name));
    WCHAR name[16];
    DWORD cch;
    std::vector<std::u16string> seen;
    for (DWORD i = 0;; ++i) {
        cch = 16;
        LONG r = RegEnumKeyExW(k, i, name, &cch, nullptr, nullptr, nullptr, nullptr);
        if (r != ERROR_SUCCESS) {
            EXPECT_EQ(r, ERROR_NO_MORE_ITEMS);
            break;
        }
        EXPECT_EQ(cch, std::char_traits<char16_t>::length(name));
        seen.push_back(name);
    }
    EXPECT_EQ(seen, (std::vector<std::u16string>{u"One", u"Two", u"Three"}));
    std::memset(name, 0xAB, sizeof name);
    cch = 5; // "Three" needs 6 with its null
    EXPECT_EQ(RegEnumKeyExW(k, 2, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    EXPECT_EQ(name[0], 0xABABu);

    DWORD a = 7;
    RegSetValueExW(k, u"Alpha", 0, REG_DWORD, (BYTE *)&a, 4);
    RegSetValueExW(k, u"Beta", 0, REG_SZ, bytesOf(u"long text"), szSize(u"long text"));
    DWORD type = 0, size = 4;
    BYTE data[4] = {0xAB, 0xAB, 0xAB, 0xAB};
    cch = 16;
    EXPECT_EQ(RegEnumValueW(k, 1, name, &cch, nullptr, &type, data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, szSize(u"long text"));
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(data[0], 0xAB);
    cch = 16;
    size = 4;
    EXPECT_EQ(RegEnumValueW(k, 0, name, &cch, nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name), u"Alpha");
    EXPECT_EQ(cch, 5u);
    cch = 16;
    EXPECT_EQ(RegEnumValueW(k, 2, name, &cch, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    RegCloseKey(k);
}

TEST(Registry, OpenHandlesAreCountedUntilClosed) {
    emul::Device device;
    auto &reg = device.registry();
    reg.createKey(u"Drivers\\BuiltIn\\Norvel");
    HKEY k = nullptr, same = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\BuiltIn\\Norvel", 0, 0, &k),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExW(k, nullptr, 0, 0, &same), ERROR_SUCCESS);
    EXPECT_NE(k, same);
    EXPECT_EQ(reg.openHandles(), 2u);

    HKEY missing = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\Nothing", 0, 0, &missing),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(reg.openHandles(), 2u);

    EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(k), ERROR_INVALID_HANDLE);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(k, u"Dll", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(reg.openHandles(), 1u);
    RegCloseKey(same);
    EXPECT_EQ(reg.openHandles(), 0u);
}

TEST(Registry, FileHiveKeepsItsDataAcrossDevicesAndKilledWriters) {
    std::string path = TempHivePath("reg-hive");
    emul::DeviceOptions options = onHive(path);
    {
        emul::Device device(options);
        HKEY k = driverKey();
        setDword(k, u"Repeat Rate", 100);
        RegCloseKey(k);
    }
    {
        emul::Device device(options);
        auto v = device.registry().getValue(u"drivers\\builtin\\norvel", u"repeat rate");
        ASSERT_TRUE(v);
        EXPECT_EQ(emul::regValueJson(*v), "100");
    }

    // A writer killed without closing the hive keeps every write it finished.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto reg = emul::Registry::open(path);
        for (int i = 0; i < 50; ++i)
            reg->setValue(u"Killed",
                          u"V" + std::u16string(1, char16_t(u'A' + i % 26)) +
                              std::u16string(1, char16_t(u'a' + i / 26)),
                          szValue(u"x"));
        raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    auto reg = emul::Registry::open(path);
    EXPECT_EQ(reg->values(u"Killed").size(), 50u);
    EXPECT_TRUE(reg->getValue(u"Drivers\\BuiltIn\\Norvel", u"Repeat Rate"));
    // Two connections share one hive.
    auto other = emul::Registry::open(path);
    other->setValue(u"Shared", u"X", szValue(u"y"));
    EXPECT_TRUE(reg->getValue(u"shared", u"x"));
    reg.reset();
    other.reset();
    RemoveHive(path);
}

// The journal spells a key as its handle was opened, whatever case the hive stores.
TEST(Registry, JournalsSetsAndDeletesWithTheCallersSpelling) {
    emul::Device device;
    device.registry().createKey(u"Drivers\\BuiltIn\\Norvel");
    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\builtin\\norvel", 0, 0, &k),
              ERROR_SUCCESS);
    device.journal().clear();

    DWORD one = 1;
    BYTE bin[] = {0x0a, 0xff};
    const WCHAR multi[] = u"a\0b\0";
    RegSetValueExW(k, u"Enable Keyboard", 0, REG_DWORD, (BYTE *)&one, 4);
    RegSetValueExW(k, u"PortName", 0, REG_SZ, bytesOf(u"COM3:"), szSize(u"COM3:"));
    RegSetValueExW(k, u"List", 0, REG_MULTI_SZ, bytesOf(multi), sizeof multi);
    RegSetValueExW(k, nullptr, 0, REG_BINARY, bin, 2);
    DWORD size = 0;
    RegQueryValueExW(k, u"PortName", nullptr, nullptr, nullptr, &size);
    EXPECT_EQ(RegDeleteKeyW(k, u"Gone"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(k);
    EXPECT_EQ(RegSetValueExW(k, u"Late", 0, REG_DWORD, (BYTE *)&one, 4), ERROR_INVALID_HANDLE);

    const char *key = R"("key":"Drivers\\builtin\\norvel")";
    std::vector<std::string> expected = {
        std::string(R"({"t":0,"call":"RegSetValueExW",)") + key +
            R"(,"name":"Enable Keyboard","type":4,"size":4,"data":1})",
        std::string(R"({"t":0,"call":"RegSetValueExW",)") + key +
            R"(,"name":"PortName","type":1,"size":12,"data":"COM3:"})",
        std::string(R"({"t":0,"call":"RegSetValueExW",)") + key +
            R"(,"name":"List","type":7,"size":10,"data":["a","b"]})",
        std::string(R"({"t":0,"call":"RegSetValueExW",)") + key +
            R"(,"name":null,"type":3,"size":2,"data":"0A FF"})",
        R"({"t":0,"call":"RegDeleteKeyW","key":"Drivers\\builtin\\norvel\\Gone"})",
        R"({"t":0,"call":"RegSetValueExW","key":null,"name":"Late","type":4,"size":4,"data":1})",
    };
    EXPECT_EQ(device.journal().lines(), expected);
}

TEST(Registry, ValueJsonShowsWhatIsStored) {
    using emul::regValueJson;
    // Only one terminating null is dropped; an unterminated string is shown whole.
    EXPECT_EQ(regValueJson(raw(REG_SZ, {'a', 0, 'b', 0})), R"("ab")");
    EXPECT_EQ(regValueJson(raw(REG_SZ, {'a', 0, 0, 0, 0, 0})), R"("a\u0000")");
    EXPECT_EQ(regValueJson(raw(REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0, 'b', 0, 0, 0, 0, 0})),
              R"(["a","","b"])");
    EXPECT_EQ(regValueJson(raw(REG_MULTI_SZ, {})), "[]");
    EXPECT_EQ(regValueJson(raw(REG_DWORD, {0xff, 0xff, 0xff, 0xff})), "4294967295");
    EXPECT_EQ(regValueJson(raw(REG_DWORD, {0x01, 0x02})), R"("01 02")");
    EXPECT_EQ(regValueJson(raw(REG_EXPAND_SZ, {'a', 0})), R"("61 00")");
    EXPECT_EQ(regValueJson(raw(REG_BINARY, {})), R"("")");
}

} // namespace

namespace {

DWORD queryDword(HKEY k, const WCHAR *name) {
    DWORD v = 0, size = 4;
    EXPECT_EQ(RegQueryValueExW(k, name, nullptr, nullptr, (BYTE *)&v, &size), ERROR_SUCCESS);
    return v;
}

// What the reader does on each pass: open the key, read three settings, close it.
void readerPass() {
    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\BuiltIn\\Norvel", 0, 0, &k),
              ERROR_SUCCESS);
    for (const WCHAR *name : {u"Enable Keyboard", u"Repeat Rate", u"Delay Time"})
        queryDword(k, name);
    RegCloseKey(k);
}

} // namespace

TEST(RegistryCache, ReadsRunNoStatementUntilAnotherProcessWrites) {
    std::string path = TempHivePath("reg-hive");
    {
        emul::Device device(onHive(path));
        HKEY k = driverKey();
        DWORD one = 1;
        for (const WCHAR *name : {u"Enable Keyboard", u"Repeat Rate", u"Delay Time"})
            RegSetValueExW(k, name, 0, REG_DWORD, (BYTE *)&one, 4);
        readerPass(); // settles the check of our own writes

        auto &reg = device.registry();
        uint64_t before = reg.hiveStatements();
        for (int i = 0; i < 100; ++i)
            readerPass();
        EXPECT_EQ(reg.hiveStatements(), before);

        // Another process (a second connection) changes a value, adds one, deletes a key.
        auto other = emul::Registry::open(path);
        other->setValue(u"Drivers\\BuiltIn\\Norvel", u"Repeat Rate", raw(REG_DWORD, {7, 0, 0, 0}));
        EXPECT_EQ(queryDword(k, u"repeat rate"), 7u);
        other->setValue(u"drivers\\builtin\\norvel", u"My Config", szValue(u"x.exe"));
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExW(k, u"My Config", nullptr, nullptr, nullptr, &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(size, 12u);
        other->createKey(u"Drivers\\BuiltIn\\Norvel\\Sub");
        HKEY sub = nullptr;
        ASSERT_EQ(RegOpenKeyExW(k, u"SUB", 0, 0, &sub), ERROR_SUCCESS);
        EXPECT_EQ(RegQueryValueExW(sub, u"x", nullptr, nullptr, nullptr, &size),
                  ERROR_FILE_NOT_FOUND);
        EXPECT_TRUE(other->deleteKey(u"Drivers\\BuiltIn\\Norvel\\Sub"));
        EXPECT_EQ(RegQueryValueExW(sub, u"x", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
        RegCloseKey(sub);

        // Quiet again: no statement.
        readerPass();
        before = reg.hiveStatements();
        readerPass();
        EXPECT_EQ(reg.hiveStatements(), before);

        // Our own writes go through to the file at once.
        ASSERT_EQ(setDword(k, u"Delay Time", 9), ERROR_SUCCESS);
        ASSERT_EQ(RegCreateKeyExW(k, u"A\\B", 0, nullptr, 0, 0, nullptr, &sub, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(sub);
        EXPECT_EQ(emul::regValueJson(*other->getValue(u"Drivers\\BuiltIn\\Norvel", u"Delay Time")),
                  "9");
        EXPECT_TRUE(other->keyExists(u"Drivers\\BuiltIn\\Norvel\\a\\b"));
        EXPECT_EQ(reg.subkeys(u"Drivers\\BuiltIn\\Norvel"), std::vector<std::u16string>{u"A"});
        RegCloseKey(k);
    }
    RemoveHive(path);
}

// While a device has its hive open, another process (`handheld reg`) must find the hive's WAL
// index in use (SQLite's lock on byte 128 of the "-shm" file), or it rebuilds the index under
// the device. The device's own look at the index must not let go of that lock.
TEST(RegistryCache, AnotherProcessFindsTheWalIndexInUseWhileTheDeviceRuns) {
    std::string path = TempHivePath("reg-hive");
    {
        emul::Device device(onHive(path));
        HKEY k = driverKey();
        setDword(k, u"Enable Keyboard", 1);
        EXPECT_EQ(queryDword(k, u"Enable Keyboard"), 1u);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int fd = open((path + "-shm").c_str(), O_RDWR);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            lock.l_start = 128;
            lock.l_len = 1;
            _exit(fd >= 0 && fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the WAL index is not held";
        // And a change from another process still reaches the device.
        child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            auto reg = emul::Registry::open(path);
            reg->setValue(u"Drivers\\BuiltIn\\Norvel", u"Enable Keyboard",
                          raw(REG_DWORD, {0, 0, 0, 0}));
            _exit(0);
        }
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_EQ(queryDword(k, u"Enable Keyboard"), 0u);
        RegCloseKey(k);
    }
    RemoveHive(path);
}

// A thread of the device (the driver's reader) looks for other processes' writes once between
// two waits, and still gets a write that landed while it slept on its very next read.
TEST(RegistryCache, AnotherProcessesWriteReachesAThreadOnItsNextPass) {
    std::string path = TempHivePath("reg-hive");
    {
        emul::Device device(onHive(path));
        HKEY k = driverKey();
        setDword(k, u"Repeat Rate", 1);
        std::vector<DWORD> seen;
        device.kernel().spawn("reader", [&] {
            for (int pass = 0; pass < 2; ++pass) {
                seen.push_back(queryDword(k, u"Repeat Rate"));
                seen.push_back(queryDword(k, u"repeat rate"));
                Sleep(20);
            }
            return 0u;
        });
        Sleep(10);
        auto other = emul::Registry::open(path);
        other->setValue(u"Drivers\\BuiltIn\\Norvel", u"Repeat Rate", raw(REG_DWORD, {7, 0, 0, 0}));
        ASSERT_TRUE(device.kernel().block([&] { return seen.size() == 4; }, emul::kNever));
        EXPECT_EQ(seen, (std::vector<DWORD>{1, 1, 7, 7}));
        RegCloseKey(k);
    }
    RemoveHive(path);
}

// What a thread writes, a read right after returns, through the same handle or another one,
// in memory and in a file: a new number, a string that grows and shrinks, another type of the
// same size, a deleted value.
TEST(RegistryCache, AWriteIsWhatTheNextReadReturns) {
    std::string path = TempHivePath("reg-hive");
    for (const std::string &hive : {std::string(), path}) {
        SCOPED_TRACE(hive.empty() ? "in memory" : "file");
        emul::Device device(onHive(hive));
        HKEY k = driverKey(), other = driverKey();
        for (DWORD v : {1u, 300u, 0x12345678u}) {
            ASSERT_EQ(setDword(k, u"Repeat Rate", v), ERROR_SUCCESS);
            EXPECT_EQ(queryDword(other, u"REPEAT RATE"), v);
            EXPECT_EQ(queryDword(k, u"Repeat Rate"), v);
        }
        for (const WCHAR *text : {u"a.exe", u"\\Program Files\\a longer name.exe", u"b"}) {
            ASSERT_EQ(RegSetValueExW(k, u"My Config", 0, REG_SZ, bytesOf(text), szSize(text)),
                      ERROR_SUCCESS);
            WCHAR back[64] = {};
            DWORD size = sizeof back, type = 0;
            ASSERT_EQ(RegQueryValueExW(other, u"My Config", nullptr, &type,
                                       reinterpret_cast<BYTE *>(back), &size),
                      ERROR_SUCCESS);
            EXPECT_EQ(size, szSize(text));
            EXPECT_EQ(std::u16string(back), std::u16string(text));
        }
        const BYTE bytes[4] = {1, 2, 3, 4};
        ASSERT_EQ(RegSetValueExW(k, u"Repeat Rate", 0, REG_BINARY, bytes, 4), ERROR_SUCCESS);
        DWORD type = 0, size = 4, value = 0;
        ASSERT_EQ(RegQueryValueExW(other, u"Repeat Rate", nullptr, &type,
                                   reinterpret_cast<BYTE *>(&value), &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(type, DWORD(REG_BINARY));
        EXPECT_EQ(value, 0x04030201u);
        ASSERT_EQ(RegDeleteValueW(k, u"Repeat Rate"), ERROR_SUCCESS);
        EXPECT_EQ(RegQueryValueExW(other, u"Repeat Rate", nullptr, &type, nullptr, &size),
                  ERROR_FILE_NOT_FOUND);
        RegCloseKey(k);
        RegCloseKey(other);
    }
    RemoveHive(path);
}

TEST(RegistryCache, InMemoryHiveReadsRunNoStatement) {
    emul::Device device;
    HKEY k = driverKey();
    DWORD one = 1;
    for (const WCHAR *name : {u"Enable Keyboard", u"Repeat Rate", u"Delay Time"})
        RegSetValueExW(k, name, 0, REG_DWORD, (BYTE *)&one, 4);
    RegCloseKey(k);
    uint64_t before = device.registry().hiveStatements();
    for (int i = 0; i < 10; ++i)
        readerPass();
    EXPECT_EQ(device.registry().hiveStatements(), before);
}

// A screen that waits for nothing but a change: another process's write to the hive wakes it,
// with no time-out to fall back on.
TEST(RegistryCache, AnotherProcessWritingTheHiveWakesADeviceWatchingIt) {
    std::string path = TempHivePath("reg-hive");
    {
        emul::DeviceOptions options = onHive(path);
        options.realTime = true;
        emul::Device device(options);
        emul::Kernel &k = device.kernel();
        int changes = 0;
        device.watchHostFiles({path}, [&] { ++changes; });
        auto other = emul::Registry::open(path);
        other->setValue(u"Drivers\\BuiltIn\\Norvel", u"Repeat Rate", raw(REG_DWORD, {7, 0, 0, 0}));
        ASSERT_TRUE(k.block([&] { return changes > 0; }, emul::kNever));
        EXPECT_EQ(emul::regDwordOf(
                      device.registry().getValue(u"Drivers\\BuiltIn\\Norvel", u"Repeat Rate")),
                  7u);
        device.watchHostFiles({}, nullptr);
    }
    RemoveHive(path);
}
