// A driver entry point or a program that faults is the platform's exception: the activation
// fails or the program ends, the journal says so, and the device goes on.
#include <windows.h>

#include "emul/device.h"
#include "emul/devmgr.h"
#include "emul/files.h"
#include "emul/process.h"
#include "emul/registry.h"
#include "handheld/image/install.h"

#include <gtest/gtest.h>

#include <cstring>
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
// value in the driver key makes the Device Manager pass that number instead.
class ContextValue : public ::testing::TestWithParam<const char *> {};

TEST_P(ContextValue, FaultingInitFailsTheActivationAndTheDeviceGoesOn) {
    emul::Device device;
    handheld::install(device);
    handheld::installDriverBuild(device, GetParam());
    device.registry().setValue(kNorvel, u"Context", Dword(4096));
    SetLastError(0);
    EXPECT_EQ(device.devices().activate(kNorvel, 0), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_OPEN_FAILED));
    auto lines = device.journal().grep("\"event\":\"exception\"");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\"entry\":\"IRK_Init\",\"code\":3221225477"), std::string::npos)
        << lines[0];
    EXPECT_FALSE(device.registry().keyExists(u"Drivers\\Active\\01"));
    // Without the value the same driver starts.
    device.registry().deleteValue(kNorvel, u"Context");
    uintptr_t h = device.devices().activate(kNorvel, 0);
    EXPECT_NE(h, 0u);
    EXPECT_TRUE(device.devices().deactivate(h));
}

INSTANTIATE_TEST_SUITE_P(OlderBuilds, ContextValue, ::testing::Values("ce400", "ce300"));

TEST(ProgramFault, AFaultingProgramEndsWithTheExceptionCode) {
    emul::Device device;
    handheld::install(device);
    device.files().linkFile(u"\\Windows\\fault.exe", handheld::moduleDir() + "/fault_prog.so");
    uint32_t error = 0;
    std::shared_ptr<emul::Program> null = device.processes().start(u"fault.exe", u"null", &error);
    std::shared_ptr<emul::Program> div = device.processes().start(u"fault.exe", u"div", &error);
    std::shared_ptr<emul::Program> fine = device.processes().start(u"fault.exe", u"", &error);
    ASSERT_TRUE(null && div && fine);
    Sleep(10);
    ASSERT_TRUE(null->exited() && div->exited() && fine->exited());
    EXPECT_EQ(null->exitCode(), 0xC0000005u);
    EXPECT_EQ(div->exitCode(), 0xC0000094u);
    EXPECT_EQ(fine->exitCode(), 7u);
    EXPECT_EQ(device.journal().grep("\"event\":\"exception\",\"program\":\"fault.exe\"").size(),
              2u);
}

} // namespace
