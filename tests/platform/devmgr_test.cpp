// The Device Manager: activation and the active key, stream clients, power notifications,
// modules and programs. Uses the real driver builds and a small reporting driver (prefix FAK).
#include <windows.h>

#include "device.h"
#include "emul/device.h"
#include "emul/devmgr.h"
#include "emul/files.h"
#include "emul/process.h"
#include "emul/registry.h"
#include "emul/text.h"
#include "handheld/image/install.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const std::u16string kNorvel = u"Drivers\\BuiltIn\\Norvel";

emul::RegValue Dword(uint32_t v) {
    return emul::regDword(v);
}

emul::RegValue Sz(const std::u16string &s) {
    return emul::regSz(s);
}

class DeviceManager : public ::testing::Test {
  protected:
    DeviceManager() { handheld::install(device); }

    emul::Registry &reg() { return device.registry(); }
    emul::DeviceManager &dm() { return device.devices(); }

    // A driver key for the reporting driver; the file name is given in another case than
    // the installed file has.
    void FakeKey(const std::u16string &key, const std::u16string &prefix = u"FAK") {
        device.files().linkFile(u"\\Windows\\FakeDrv.dll",
                                handheld::moduleDir() + "/devmgr_fakedrv.so");
        reg().createKey(key);
        reg().setValue(key, u"Dll", Sz(u"fakedrv.DLL"));
        reg().setValue(key, u"Prefix", Sz(prefix));
    }
    std::u16string String(const std::u16string &key, const std::u16string &name) {
        return emul::regStringOf(reg().getValue(key, name)).value_or(u"<absent>");
    }
    int64_t Number(const std::u16string &key, const std::u16string &name) {
        auto v = emul::regDwordOf(reg().getValue(key, name));
        return v ? int64_t(*v) : -1;
    }
    std::vector<std::string> Log() {
        std::vector<std::string> out;
        for (auto &l : device.debugLog())
            out.push_back(emul::utf8(l));
        device.debugLog().clear();
        return out;
    }
    uint32_t Activate(const std::u16string &key, uint32_t *error) {
        SetLastError(0xDEADBEEF);
        uintptr_t h = dm().activate(key, 0);
        *error = GetLastError();
        return uint32_t(h);
    }

    emul::Device device;
};

using Lines = std::vector<std::string>;

TEST_F(DeviceManager, OlderDriverBuildFindsItsKeyThroughTheActiveKey) {
    // The CE 3.00 build reads "Key" from the path that Init receives and records that path.
    handheld::installDriverBuild(device, "ce300");
    uintptr_t h = dm().activate(kNorvel, 7);
    ASSERT_NE(h, 0u);
    EXPECT_LT(h, uintptr_t(1) << 32);
    const std::u16string active = u"Drivers\\Active\\00";
    EXPECT_EQ(String(kNorvel, u"Active Key"), active);
    EXPECT_EQ(String(active, u"Key"), kNorvel);
    EXPECT_EQ(Number(active, u"ClientInfo"), 7);
    EXPECT_EQ(String(active, u"Name"), u"IRK1:");
    EXPECT_EQ(Number(active, u"Hnd"), int64_t(h));
    EXPECT_EQ(dm().deviceName(h), u"IRK1:");
    EXPECT_EQ(dm().lastActivated(), h);
    auto *kd = reinterpret_cast<KeyboardDevice *>(dm().deviceContext(h));
    ASSERT_NE(kd, nullptr);
    HANDLE reader = kd->readerThread;
    ASSERT_NE(reader, nullptr);

    // Deinit stops the reader thread before it returns.
    EXPECT_TRUE(dm().deactivate(h));
    EXPECT_FALSE(reg().keyExists(active));
    EXPECT_EQ(dm().lastActivated(), 0u);
    EXPECT_FALSE(dm().deactivate(h));
    for (emul::Thread *t : device.kernel().threads()) {
        if (t->id != 1) {
            EXPECT_TRUE(t->exited()) << t->name;
        }
    }
}

TEST_F(DeviceManager, InitSeesTheActiveKeyWithoutHndAndNumbersCountEveryAttempt) {
    FakeKey(u"Drivers\\A");
    FakeKey(u"Drivers\\B");
    reg().setValue(u"Drivers\\B", u"FailInit", Dword(1));
    FakeKey(u"Drivers\\C");
    reg().setValue(u"Drivers\\C", u"Context", Dword(42));
    uint32_t e;
    uint32_t a = Activate(u"Drivers\\A", &e);
    ASSERT_NE(a, 0u);
    EXPECT_EQ(Activate(u"Drivers\\B", &e), 0u);
    EXPECT_EQ(e, uint32_t(ERROR_OPEN_FAILED));
    uint32_t c = Activate(u"Drivers\\C", &e);
    ASSERT_NE(c, 0u);
    EXPECT_EQ(Log(), (Lines{"attach", "Init Drivers\\Active\\00", "Init Drivers\\Active\\01",
                            "Init context 42"}));
    EXPECT_EQ(reg().subkeys(u"Drivers\\Active"), (std::vector<std::u16string>{u"00", u"02"}));
    EXPECT_EQ(dm().deviceContext(c), 42u);
    // Without "Index" the first free of 1..9 is taken.
    EXPECT_EQ(dm().deviceName(a), u"FAK1:");
    EXPECT_EQ(dm().deviceName(c), u"FAK2:");

    dm().powerDown();
    dm().powerUp();
    EXPECT_EQ(Log(), (Lines{"PowerDown context", "PowerDown Drivers\\Active\\00",
                            "PowerUp Drivers\\Active\\00", "PowerUp context"}));
    EXPECT_TRUE(dm().deactivate(a));
    EXPECT_EQ(Log(), (Lines{"Deinit Drivers\\Active\\00"}));
    EXPECT_TRUE(dm().deactivate(c));
    EXPECT_EQ(Log(), (Lines{"Deinit context", "detach"}));
}

TEST_F(DeviceManager, FailedActivationsLeaveNoActiveKey) {
    uint32_t e;
    EXPECT_EQ(Activate(u"Drivers\\BuiltIn\\Missing", &e), 0u);
    EXPECT_EQ(e, uint32_t(ERROR_FILE_NOT_FOUND));

    FakeKey(u"Drivers\\NoDll");
    reg().deleteValue(u"Drivers\\NoDll", u"Dll");
    EXPECT_EQ(Activate(u"Drivers\\NoDll", &e), 0u);
    EXPECT_EQ(e, uint32_t(ERROR_FILE_NOT_FOUND));

    FakeKey(u"Drivers\\NoFile");
    reg().setValue(u"Drivers\\NoFile", u"Dll", Sz(u"Absent.dll"));
    EXPECT_EQ(Activate(u"Drivers\\NoFile", &e), 0u);
    EXPECT_EQ(e, uint32_t(ERROR_FILE_NOT_FOUND));

    FakeKey(u"Drivers\\Bad", u"BAD"); // exports BAD_Init only
    EXPECT_EQ(Activate(u"Drivers\\Bad", &e), 0u);
    EXPECT_EQ(e, uint32_t(ERROR_INVALID_FUNCTION));

    // The real driver's Init fails when it cannot allocate its record.
    device.fail("LocalAlloc");
    EXPECT_EQ(Activate(kNorvel, &e), 0u);
    EXPECT_EQ(e, uint32_t(ERROR_OPEN_FAILED));
    device.heal("LocalAlloc");

    uintptr_t h = dm().activate(kNorvel, 0);
    ASSERT_NE(h, 0u);
    // Same prefix and index as the running instance.
    EXPECT_EQ(Activate(kNorvel, &e), 0u);
    EXPECT_EQ(e, uint32_t(ERROR_DEVICE_IN_USE));
    EXPECT_EQ(dm().active(), (std::vector<uintptr_t>{h}));
    // Every attempt after the key was read took a number; only the live one has a key left.
    EXPECT_EQ(reg().subkeys(u"Drivers\\Active"), (std::vector<std::u16string>{u"03"}));
    EXPECT_EQ(Log(), (Lines{"attach", "detach"})); // the bad key's load
    EXPECT_TRUE(dm().deactivate(h));
}

TEST_F(DeviceManager, StreamClientsReachTheDriver) {
    FakeKey(u"Drivers\\Fake");
    uintptr_t h = dm().activate(u"Drivers\\Fake", 0);
    ASSERT_NE(h, 0u);
    Log();

    HANDLE f = CreateFileW(u"fak1:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    char buf[8] = {};
    DWORD got = 99;
    EXPECT_TRUE(ReadFile(f, buf, sizeof buf, &got, nullptr));
    EXPECT_EQ(got, 3u);
    EXPECT_STREQ(buf, "kkk");
    EXPECT_EQ(SetFilePointer(f, 4, nullptr, FILE_END), 42u);
    DWORD actual = 0;
    EXPECT_TRUE(DeviceIoControl(f, 7, nullptr, 0, nullptr, 0, &actual, nullptr));
    EXPECT_EQ(actual, 4u);
    EXPECT_FALSE(DeviceIoControl(f, 8, nullptr, 0, nullptr, 0, &actual, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));

    // A failed read reports the driver's error, or 31 when the driver set none.
    reg().setValue(u"Drivers\\Fake", u"ReadError", Dword(21));
    EXPECT_FALSE(ReadFile(f, buf, sizeof buf, &got, nullptr));
    EXPECT_EQ(GetLastError(), 21u);
    reg().setValue(u"Drivers\\Fake", u"ReadError", Dword(0));
    SetLastError(5);
    EXPECT_FALSE(ReadFile(f, buf, sizeof buf, &got, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_GEN_FAILURE));
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(CloseHandle(f));

    EXPECT_EQ(CreateFileW(u"FAK2:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DEV_NOT_EXIST));

    // A handle that outlives its driver fails, and closing it does not reach the driver.
    HANDLE g =
        CreateFileW(u"FAK1:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(g, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(dm().deactivate(h));
    EXPECT_FALSE(ReadFile(g, buf, sizeof buf, &got, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_GEN_FAILURE));
    EXPECT_EQ(SetFilePointer(g, 0, nullptr, FILE_BEGIN), 0xFFFFFFFFu);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_GEN_FAILURE));
    EXPECT_TRUE(CloseHandle(g));
    EXPECT_EQ(Log(), (Lines{"Open Drivers\\Active\\00", "Close Drivers\\Active\\00",
                            "Open Drivers\\Active\\00 for writing", "Deinit Drivers\\Active\\00",
                            "detach"}));
    EXPECT_EQ(device.handles().count(), 0u);
}

TEST_F(DeviceManager, RealDriverRefusesClientsWhileItsReaderHoldsThePort) {
    HANDLE h = ActivateDevice(kNorvel.c_str(), 0);
    ASSERT_NE(h, nullptr);
    Sleep(100); // the reader thread opens the port on its first pass
    auto *kd = reinterpret_cast<KeyboardDevice *>(dm().deviceContext(uintptr_t(h)));
    ASSERT_EQ(kd->portOpen, 1);
    EXPECT_EQ(CreateFileW(u"IRK1:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    auto opens = device.journal().grep("\"name\":\"IRK1:\"");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_NE(opens[0].find("\"result\":false,\"error\":32"), std::string::npos) << opens[0];

    dm().powerUp();
    EXPECT_EQ(kd->reopenPort, 1);
    device.journal().clear();
    EXPECT_TRUE(DeactivateDevice(h));
    EXPECT_FALSE(DeactivateDevice(h));
    auto lines = device.journal().grep("DeactivateDevice");
    ASSERT_EQ(lines.size(), 2u);
    std::string hnd = std::to_string(uintptr_t(h));
    EXPECT_NE(lines[0].find("\"call\":\"DeactivateDevice\",\"hnd\":" + hnd + ",\"result\":true}"),
              std::string::npos)
        << lines[0];
    EXPECT_NE(lines[1].find("\"hnd\":" + hnd + ",\"result\":false}"), std::string::npos)
        << lines[1];
}

TEST_F(DeviceManager, KbloaderActivatesTheDriverAndExitsWithZero) {
    for (bool withKey : {true, false}) {
        if (!withKey)
            reg().deleteKey(kNorvel);
        device.journal().clear();
        uint32_t error = 0;
        std::shared_ptr<emul::Program> p = device.processes().start(u"kbloader", u"", &error);
        ASSERT_NE(p, nullptr) << error;
        EXPECT_EQ(p->name, u"kbloader.exe");
        HANDLE process = emul::newProcessHandle(p);
        EXPECT_EQ(WaitForSingleObject(process, 1000), WAIT_OBJECT_0);
        DWORD code = 99;
        EXPECT_TRUE(GetExitCodeProcess(process, &code));
        EXPECT_EQ(code, 0u);
        CloseHandle(process);
        auto lines = device.journal().grep("ActivateDevice");
        ASSERT_EQ(lines.size(), 1u);
        std::string expected =
            std::string(",\"call\":\"ActivateDevice\",\"key\":\"Drivers\\\\BuiltIn\\\\Norvel\",") +
            "\"result\":" + (withKey ? "true}" : "false}");
        EXPECT_NE(lines[0].find(expected), std::string::npos) << lines[0];
    }
    // The driver's reader thread belongs to the Device Manager, not to the program that ended.
    ASSERT_EQ(dm().active().size(), 1u);
    auto *kd = reinterpret_cast<KeyboardDevice *>(dm().deviceContext(dm().lastActivated()));
    DWORD still = 0;
    EXPECT_TRUE(GetExitCodeThread(kd->readerThread, &still));
    EXPECT_EQ(still, DWORD(STILL_ACTIVE));
}

TEST_F(DeviceManager, ProgramsStartFromFilesOrBuiltins) {
    std::u16string seen;
    device.processes().registerBuiltin(u"Notes.exe", [&seen](const std::u16string &cmd) {
        seen = cmd;
        return 5;
    });
    EXPECT_TRUE(device.processes().hasProgram(u"\\Windows\\notes"));
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(u"notes.exe", u"\\My Documents\\a.txt", nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, nullptr, &pi));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, DWORD(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 5u);
    EXPECT_EQ(seen, u"\\My Documents\\a.txt");
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);

    EXPECT_FALSE(device.processes().hasProgram(u"absent"));
    EXPECT_FALSE(CreateProcessW(u"absent.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(device.journal().lines().empty());
    EXPECT_EQ(device.handles().count(), 0u);
}

TEST_F(DeviceManager, ModulesAreCountedAndExportOnlyTheirOwnFunctions) {
    FakeKey(u"Drivers\\Fake");
    HMODULE m = LoadLibraryW(u"FAKEDRV");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(LoadLibraryW(u"\\windows\\fakedrv.dll"), m);
    EXPECT_NE(GetProcAddressW(m, u"FAK_Init"), nullptr);
    SetLastError(0);
    EXPECT_EQ(GetProcAddressW(m, u"CreateFileW"), nullptr); // the platform's, not the module's
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetModuleHandleW(u"FakeDrv.dll"), m);
    WCHAR path[MAX_PATH];
    EXPECT_EQ(GetModuleFileNameW(m, path, MAX_PATH), 20u);
    EXPECT_EQ(std::u16string(path), u"\\Windows\\FAKEDRV.dll");
    EXPECT_EQ(GetModuleFileNameW(m, path, 5), 4u);
    EXPECT_EQ(std::u16string(path), u"\\Win");

    // The Device Manager shares the loaded module; the last user out unloads it.
    uintptr_t h = dm().activate(u"Drivers\\Fake", 0);
    ASSERT_NE(h, 0u);
    EXPECT_TRUE(FreeLibrary(m));
    EXPECT_TRUE(FreeLibrary(m));
    EXPECT_EQ(Log(), (Lines{"attach", "Init Drivers\\Active\\00"}));
    EXPECT_TRUE(dm().deactivate(h));
    EXPECT_EQ(Log(), (Lines{"Deinit Drivers\\Active\\00", "detach"}));
    EXPECT_FALSE(FreeLibrary(m));

    EXPECT_EQ(LoadLibraryW(u"Absent.dll"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(DeviceManager, KernelIoControlRecordsRebootRequests) {
    BYTE in[4] = {}, out[1024];
    DWORD ret = 99;
    EXPECT_TRUE(KernelIoControl(IOCTL_HAL_REBOOT, in, 4, out, sizeof out, &ret));
    EXPECT_EQ(device.rebootRequests(), 1u);
    EXPECT_FALSE(KernelIoControl(0x01010040, nullptr, 0, nullptr, 0, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(device.rebootRequests(), 1u);
    EXPECT_EQ(device.journal().grep("KernelIoControl"),
              (Lines{"{\"t\":0,\"call\":\"KernelIoControl\",\"code\":16842812}",
                     "{\"t\":0,\"call\":\"KernelIoControl\",\"code\":16842816}"}));
}

} // namespace
