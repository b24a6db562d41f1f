// A driver entry point or a program that faults is the platform's exception: the activation
// fails or the program ends, the journal says so, and the device goes on.
#include <windows.h>

#include "emul/device.h"
#include "emul/devmgr.h"
#include "emul/files.h"
#include "emul/kernel.h"
#include "emul/process.h"
#include "emul/registry.h"
#include "handheld/image/install.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

namespace {

const std::u16string kNorvel = u"Drivers\\BuiltIn\\Norvel";

emul::RegValue Dword(uint32_t v) {
    emul::RegValue r;
    r.type = REG_DWORD;
    r.data.resize(4);
    std::memcpy(r.data.data(), &v, 4);
    return r;
}

// The CE 4.00 and CE 3.00 builds take Init's context for the active key's path; a "Context"
// value in the driver key makes the Device Manager pass that number instead. A small number is
// no pointer the registry takes, so Init fails without a fault.
class ContextValue : public ::testing::TestWithParam<const char *> {};

TEST_P(ContextValue, ASmallContextFailsTheActivationCleanlyAndTheDeviceGoesOn) {
    emul::Device device;
    handheld::install(device);
    handheld::installDriverBuild(device, GetParam());
    device.registry().setValue(kNorvel, u"Context", Dword(4096));
    SetLastError(0);
    EXPECT_EQ(device.devices().activate(kNorvel, 0), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_OPEN_FAILED));
    EXPECT_TRUE(device.journal().grep("\"event\":\"exception\"").empty());
    EXPECT_FALSE(device.registry().getValue(kNorvel, u"Active Key"));
    EXPECT_FALSE(device.registry().keyExists(u"Drivers\\Active\\01"));
    // Without the value the same driver starts.
    device.registry().deleteValue(kNorvel, u"Context");
    uintptr_t h = device.devices().activate(kNorvel, 0);
    EXPECT_NE(h, 0u);
    EXPECT_TRUE(device.devices().deactivate(h));
}

INSTANTIATE_TEST_SUITE_P(OlderBuilds, ContextValue, ::testing::Values("ce400", "ce300"));

// A device with the faulting program installed as "fault.exe".
class ProgramFault : public ::testing::Test {
  protected:
    ProgramFault() {
        handheld::install(device);
        device.files().linkFile(u"\\Windows\\fault.exe", handheld::moduleDir() + "/fault_prog.so");
    }
    std::shared_ptr<emul::Program> start(const char16_t *commandLine) {
        uint32_t error = 0;
        return device.processes().start(u"fault.exe", commandLine, &error);
    }
    emul::Device device;
};

TEST_F(ProgramFault, AFaultingProgramEndsWithTheExceptionCode) {
    std::shared_ptr<emul::Program> null = start(u"null");
    std::shared_ptr<emul::Program> div = start(u"div");
    std::shared_ptr<emul::Program> fine = start(u"");
    ASSERT_TRUE(null && div && fine);
    Sleep(10);
    ASSERT_TRUE(null->exited() && div->exited() && fine->exited());
    EXPECT_EQ(null->exitCode(), 0xC0000005u);
    EXPECT_EQ(div->exitCode(), 0xC0000094u);
    EXPECT_EQ(fine->exitCode(), 7u);
    EXPECT_EQ(device.journal().grep("\"event\":\"exception\",\"program\":\"fault.exe\"").size(),
              2u);
}

TEST_F(ProgramFault, AFaultInAProgramsThreadEndsTheProgram) {
    std::shared_ptr<emul::Program> p = start(u"thread");
    ASSERT_NE(p, nullptr);
    Sleep(10);
    ASSERT_TRUE(p->exited());
    EXPECT_EQ(p->exitCode(), 0xC0000005u); // not 8: the program did not get to return
    auto lines = device.journal().grep("\"event\":\"exception\"");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\"program\":\"fault.exe\",\"thread\":"), std::string::npos)
        << lines[0];
    EXPECT_EQ(emul::kern().threads().size(), 1u);
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Memory running out in a program ends the command that runs the device, not the process by an
// abort: the main thread gets the allocation failure at its next wait (the command line turns
// it into one line and status 1), and the device still ends cleanly.
TEST_F(ProgramFault, RunningOutOfMemoryInAProgramReachesTheMainThread) {
    std::shared_ptr<emul::Program> p = start(u"memory");
    ASSERT_NE(p, nullptr);
    EXPECT_THROW(Sleep(10000), std::bad_alloc);
    EXPECT_LT(emul::kern().now(), 10000u) << "the main thread waited out its time";
    EXPECT_TRUE(p->exited());
    EXPECT_EQ(p->exitCode(), 14u); // ERROR_OUTOFMEMORY, not the 15 it would have returned
    Sleep(10);                     // the failure is thrown once
}
#endif

// A bad buffer handed to the registry faults the program, not the hive: the registry goes on
// answering everyone else.
TEST_F(ProgramFault, ABadBufferGivenToTheRegistryEndsOnlyTheProgram) {
    std::shared_ptr<emul::Program> p = start(u"reg");
    ASSERT_NE(p, nullptr);
    Sleep(10);
    ASSERT_TRUE(p->exited());
    EXPECT_EQ(p->exitCode(), 0xC0000005u);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Fault", 0, 0, &key), ERROR_SUCCESS);
    DWORD value = 0, size = sizeof value;
    EXPECT_EQ(
        RegQueryValueExW(key, u"v", nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(value, 1u);
    RegCloseKey(key);
}

// The lowest 64 KB is never a string or a buffer: the registry and file calls refuse a pointer
// into it with error 87 and neither read nor write there.
TEST(ReservedPointers, RegistryAndFileCallsRefuseThemWithError87) {
    emul::Device device;
    handheld::install(device);
    LPCWSTR name = reinterpret_cast<LPCWSTR>(4096);
    LPWSTR text = reinterpret_cast<LPWSTR>(32);
    BYTE *buf = reinterpret_cast<BYTE *>(16);
    DWORD *low = reinterpret_cast<DWORD *>(0xFFFC);
    HKEY key = nullptr, out = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kNorvel.c_str(), 0, 0, &key), ERROR_SUCCESS);
    DWORD value = 0, size = 4, type = 0, cch = 64;
    WCHAR chars[64];
    const LONG registry[] = {
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, name, 0, 0, &out),
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Drivers", 0, 0, reinterpret_cast<PHKEY>(8)),
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, name, 0, nullptr, 0, 0, nullptr, &out, nullptr),
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\New", 0, nullptr, 0, 0, nullptr, &out, low),
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE *>(&value), &size),
        RegQueryValueExW(key, u"Repeat Rate", nullptr, &type, buf, &size),
        RegQueryValueExW(key, u"Repeat Rate", nullptr, low, reinterpret_cast<BYTE *>(&value),
                         &size),
        RegQueryValueExW(key, u"Repeat Rate", nullptr, &type, reinterpret_cast<BYTE *>(&value),
                         low),
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<BYTE *>(&value), 4),
        RegSetValueExW(key, u"Repeat Rate", 0, REG_BINARY, buf, 4),
        RegDeleteValueW(key, name),
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, name),
        RegEnumValueW(key, 0, text, &cch, nullptr, nullptr, nullptr, nullptr),
        RegEnumValueW(key, 0, chars, &cch, nullptr, nullptr, buf, &size),
        RegEnumKeyExW(HKEY_LOCAL_MACHINE, 0, chars, low, nullptr, nullptr, nullptr, nullptr),
    };
    for (size_t i = 0; i < std::size(registry); ++i)
        EXPECT_EQ(registry[i], ERROR_INVALID_PARAMETER) << "registry call " << i;
    RegCloseKey(key);
    EXPECT_FALSE(device.registry().keyExists(u"Software\\New"));
    EXPECT_TRUE(device.journal().grep("RegSetValueExW").empty());

    WIN32_FIND_DATAW found;
    HANDLE file =
        CreateFileW(u"\\Windows\\Lumakey.htm", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::function<bool()> files[] = {
        [&] {
            return CreateFileW(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr) ==
                   INVALID_HANDLE_VALUE;
        },
        [&] { return !DeleteFileW(name); },
        [&] { return GetFileAttributesW(name) == 0xFFFFFFFF; },
        [&] { return !CreateDirectoryW(name, nullptr); },
        [&] { return FindFirstFileW(name, &found) == INVALID_HANDLE_VALUE; },
        [&] {
            return FindFirstFileW(u"\\*.*", reinterpret_cast<LPWIN32_FIND_DATAW>(64)) ==
                   INVALID_HANDLE_VALUE;
        },
        [&] { return !ReadFile(file, buf, 4, &size, nullptr); },
        [&] { return !ReadFile(file, &value, 4, low, nullptr); },
        [&] { return !WriteFile(file, buf, 4, &size, nullptr); },
        [&] { return GetFileSize(file, low) == 0xFFFFFFFF; },
    };
    for (size_t i = 0; i < std::size(files); ++i) {
        SetLastError(0);
        EXPECT_TRUE(files[i]()) << "file call " << i;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << "file call " << i;
    }
    CloseHandle(file);
}

// A driver whose entry points fault on request (FLT), activated under its own key, with a
// client open.
class DriverFaults : public ::testing::Test {
  protected:
    const std::u16string key = u"Drivers\\Faulty";
    emul::Device device;
    uintptr_t hnd = 0;
    HANDLE file = INVALID_HANDLE_VALUE;

    void SetUp() override {
        handheld::install(device);
        device.files().linkFile(u"\\Windows\\faultdrv.dll",
                                handheld::moduleDir() + "/fault_drv.so");
        device.registry().createKey(key);
        device.registry().setValue(key, u"Dll", emul::regSz(u"faultdrv.dll"));
        device.registry().setValue(key, u"Prefix", emul::regSz(u"FLT"));
        hnd = device.devices().activate(key, 0);
        ASSERT_NE(hnd, 0u);
        file = Open(GENERIC_READ | GENERIC_WRITE);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
    }
    HANDLE Open(DWORD access) {
        return CreateFileW(u"FLT1:", access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    BOOL Control(DWORD code) {
        DWORD actual = 0;
        return DeviceIoControl(file, code, nullptr, 0, nullptr, 0, &actual, nullptr);
    }
    size_t Exceptions(const std::string &entry) {
        return device.journal()
            .grep("\"event\":\"exception\",\"module\":\"\\\\Windows\\\\faultdrv.dll\",\"entry\":"
                  "\"FLT_" +
                  entry + "\",\"code\":3221225477")
            .size();
    }
};

TEST_F(DriverFaults, AFaultingStreamCallFailsAndTheDriverGoesOn) {
    char buf[16] = {};
    DWORD n = 99;
    SetLastError(0);
    EXPECT_FALSE(ReadFile(file, buf, 13, &n, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(WriteFile(file, buf, 13, &n, nullptr));
    EXPECT_EQ(SetFilePointer(file, 13, nullptr, FILE_BEGIN), 0xFFFFFFFFu);
    EXPECT_FALSE(Control(13));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Open(13), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    for (const char *entry : {"Read", "Write", "Seek", "IOControl", "Open"})
        EXPECT_EQ(Exceptions(entry), 1u) << entry;
    // The same calls that do not fault still work.
    EXPECT_TRUE(ReadFile(file, buf, 4, &n, nullptr));
    EXPECT_EQ(n, 4u);
    EXPECT_TRUE(WriteFile(file, buf, 4, &n, nullptr));
    EXPECT_EQ(SetFilePointer(file, 4, nullptr, FILE_BEGIN), 4u);
    HANDLE second = Open(GENERIC_READ);
    EXPECT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(second));
}

TEST_F(DriverFaults, CloseDeinitAndPowerFaultsAreReportedAndTheDeviceGoesOn) {
    EXPECT_TRUE(Control(14));
    EXPECT_TRUE(CloseHandle(file)); // the handle is closed all the same
    EXPECT_EQ(Exceptions("Close"), 1u);
    file = Open(GENERIC_READ);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(Control(16));
    device.devices().powerDown();
    device.devices().powerUp();
    EXPECT_EQ(Exceptions("PowerDown"), 1u);
    EXPECT_EQ(Exceptions("PowerUp"), 1u);
    EXPECT_TRUE(Control(15));
    EXPECT_TRUE(device.devices().deactivate(hnd));
    EXPECT_EQ(Exceptions("Deinit"), 1u);
    EXPECT_FALSE(device.registry().keyExists(u"Drivers\\Active\\01"));
    CloseHandle(file);
    // The driver can be started again.
    hnd = device.devices().activate(key, 0);
    EXPECT_NE(hnd, 0u);
    EXPECT_TRUE(device.devices().deactivate(hnd));
}

TEST_F(DriverFaults, AFaultingDriverThreadEndsAloneAndTheDriverGoesOn) {
    EXPECT_TRUE(Control(17));
    Sleep(20);
    auto lines = device.journal().grep("\"event\":\"exception\",\"thread\":");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\"code\":3221225477"), std::string::npos) << lines[0];
    char buf[4];
    DWORD n = 0;
    EXPECT_TRUE(ReadFile(file, buf, 4, &n, nullptr));
    EXPECT_EQ(emul::kern().threads().size(), 1u);
    CloseHandle(file);
}

} // namespace
