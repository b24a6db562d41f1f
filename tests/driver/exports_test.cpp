// Each driver build exports the stream entry points by name; only the CE 4.20 build exports
// DllMain by name as well (the older ones have it as the library's entry only).
#include "support/driver_fixture.h"

#include "emul/modules.h"

namespace {

TEST(DriverExports, EveryBuildExportsTheStreamEntryPointsByName) {
    for (const std::string &build : handheld::driverBuildNames()) {
        SCOPED_TRACE(build);
        emul::Device device;
        handheld::InstallOptions io;
        io.driverBuild = build;
        handheld::install(device, io);
        uint32_t error = 0;
        emul::Module *m = device.modules().load(u"Lumakey.DLL", &error);
        ASSERT_NE(m, nullptr) << error;
        for (const char *name :
             {"IRK_Init", "IRK_Deinit", "IRK_Open", "IRK_Close", "IRK_Read", "IRK_Write",
              "IRK_Seek", "IRK_IOControl", "IRK_PowerUp", "IRK_PowerDown", "_DllMainCRTStartup"})
            EXPECT_NE(device.modules().symbol(m, name), nullptr) << name;
        EXPECT_EQ(device.modules().symbol(m, "DllMain") != nullptr, build == "ce420");
        // Nothing of the driver's insides is visible.
        EXPECT_EQ(device.modules().symbol(m, "DecodeKey"), nullptr);
        EXPECT_EQ(device.modules().symbol(m, "ReaderThread"), nullptr);
        device.modules().unload(m);
    }
}

} // namespace
