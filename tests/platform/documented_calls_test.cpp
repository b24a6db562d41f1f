// Details of the platform's calls that its documentation states and that the device's code can
// run into: the serial line's XON/XOFF check, the registry's key creation limits, the size of the
// input panel's record, timer procedures and process start-up records.
#include <sipapi.h>
#include <windows.h>

#include "emul/device.h"
#include "emul/devmgr.h"
#include "emul/process.h"
#include "emul/registry.h"
#include "emul/serial.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

TEST(DocumentedCalls, SetCommStateRefusesEqualXonAndXoffWhateverTheFlowControl) {
    emul::Device device;
    device.serial().addPort(u"COM2:");
    HANDLE h = CreateFileW(u"COM2:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DCB d;
    std::memset(&d, 0, sizeof d);
    d.DCBlength = sizeof d;
    d.BaudRate = CBR_9600;
    d.fBinary = 1;
    d.ByteSize = 8;
    d.XonChar = d.XoffChar = 0x11; // software flow control is off (fOutX and fInX are 0)
    SetLastError(0);
    EXPECT_FALSE(SetCommState(h, &d));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    d.XoffChar = 0x13;
    EXPECT_TRUE(SetCommState(h, &d));
    d.XonChar = d.XoffChar = 0; // a DCB left all zero is refused too
    EXPECT_FALSE(SetCommState(h, &d));
    CloseHandle(h);
}

TEST(DocumentedCalls, RegCreateKeyWithoutSubKeyOpensTheKeyItself) {
    emul::Device device;
    HKEY key = nullptr, same = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Tools", 0, nullptr, 0, 0, nullptr,
                              &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    ASSERT_EQ(RegCreateKeyExW(key, nullptr, 0, nullptr, 0, 0, nullptr, &same, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
    ASSERT_NE(same, nullptr);
    EXPECT_NE(same, key); // a handle of its own
    DWORD one = 1;
    EXPECT_EQ(RegSetValueExW(same, u"Mark", 0, REG_DWORD, (const BYTE *)&one, 4), ERROR_SUCCESS);
    EXPECT_TRUE(device.registry().getValue(u"Software\\Tools", u"Mark").has_value());
    RegCloseKey(same);
    RegCloseKey(key);
}

TEST(DocumentedCalls, KeysNestAtMostSixteenLevels) {
    emul::Device device;
    std::u16string path;
    for (int i = 1; i <= 16; ++i)
        path += (i > 1 ? u"\\L" : u"L") + std::u16string(1, char16_t(u'a' + i));
    HKEY deepest = nullptr, key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, 0, nullptr, &deepest,
                              nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCreateKeyExW(deepest, u"Seventeen", 0, nullptr, 0, 0, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (path + u"\\Seventeen").c_str(), 0, nullptr, 0, 0,
                              nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(device.registry().keyExists(path + u"\\Seventeen"));
    // Another root tree counts from its own top.
    HKEY user = nullptr;
    EXPECT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, 0, nullptr, &user, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(user);
    RegCloseKey(deepest);
}

TEST(DocumentedCalls, SipGetInfoTakesTheDevicesRecordSize) {
    emul::Device device;
    SIPINFO si;
    std::memset(&si, 0, sizeof si);
    si.cbSize = 48; // the record on the device, with its 32-bit pointer
    EXPECT_TRUE(SipGetInfo(&si));
    EXPECT_EQ(si.fdwFlags & SIPF_ON, 0u);
    SipShowIM(SIPF_ON);
    si.cbSize = sizeof si;
    EXPECT_TRUE(SipGetInfo(&si));
    EXPECT_EQ(si.fdwFlags & SIPF_ON, DWORD(SIPF_ON));
    si.cbSize = 44;
    EXPECT_FALSE(SipGetInfo(&si));
}

UINT_PTR timerFired = 0;
void CALLBACK OnTimer(HWND, UINT msg, UINT_PTR id, DWORD) {
    if (msg == WM_TIMER)
        timerFired = id;
}

TEST(DocumentedCalls, TimerProcedureIsCalledWhenTheTimerMessageIsDispatched) {
    emul::Device device;
    timerFired = 0;
    UINT_PTR id = SetTimer(nullptr, 0, 100, OnTimer);
    ASSERT_NE(id, 0u);
    MSG m;
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, UINT(WM_TIMER));
    DispatchMessageW(&m);
    EXPECT_EQ(timerFired, id);
    EXPECT_TRUE(KillTimer(nullptr, id));
}

// Timers of no window are numbered per device: a second device starts again from the first id.
TEST(DocumentedCalls, TimerIdsStartAfreshOnEveryDevice) {
    UINT_PTR first = 0;
    for (int run = 0; run < 2; ++run) {
        emul::Device device;
        UINT_PTR a = SetTimer(nullptr, 0, 100, nullptr);
        UINT_PTR b = SetTimer(nullptr, 0, 100, nullptr);
        EXPECT_NE(a, b);
        if (run == 0)
            first = a;
        else
            EXPECT_EQ(a, first);
    }
}

// The thread handle of a started program is a thread handle like any other.
TEST(DocumentedCalls, ExitCodeOfAProgramsThreadThroughItsThreadHandle) {
    emul::Device device;
    device.processes().registerBuiltin(u"Notes.exe", [](const std::u16string &) { return 7; });
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(u"notes.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               nullptr, &pi));
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(pi.hThread, &code)) << GetLastError();
    EXPECT_EQ(code, DWORD(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(pi.hThread, INFINITE), WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeThread(pi.hThread, &code));
    EXPECT_EQ(code, 7u);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

TEST(DocumentedCalls, CreateProcessTakesAStartupRecord) {
    emul::Device device;
    std::u16string seen;
    device.processes().registerBuiltin(u"Notes.exe", [&seen](const std::u16string &cmd) {
        seen = cmd;
        return 0;
    });
    STARTUPINFOW si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(u"notes.exe", u"a.txt", nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(seen, u"a.txt");
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

} // namespace

namespace {

// The scenario language takes `fail` and `heal` with the names of the one table of fault points
// and refuses any other; a call that checks a name missing from it stops a checking build.
TEST(FailureInjection, FaultPointsAreOneTableAndFailTheirCalls) {
    std::set<std::string> names;
    for (const char *name : emul::kFaultPoints) {
        EXPECT_TRUE(emul::canFail(name)) << name;
        EXPECT_TRUE(names.insert(name).second) << name << " is listed twice";
    }
    EXPECT_FALSE(emul::canFail("SetCommStat"));
    EXPECT_FALSE(emul::canFail(""));

    emul::Device device;
    device.fail("CreateEventW");
    EXPECT_EQ(CreateEventW(nullptr, FALSE, FALSE, nullptr), nullptr);
    device.heal("CreateEventW");
    HANDLE e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    EXPECT_NE(e, nullptr);
    CloseHandle(e);
}

} // namespace
