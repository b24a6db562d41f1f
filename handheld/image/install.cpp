// The installation every new device gets (also the starting point of every scenario).
#include "image/install.h"

#include "norvel_reg.h"

#include "emul/devmgr.h"
#include "emul/files.h"
#include "emul/registry.h"
#include "emul/serial.h"

#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace handheld {

namespace {

emul::RegValue dword(uint32_t v) {
    return emul::regDword(v);
}

emul::RegValue sz(const std::u16string &s) {
    return emul::regSz(s);
}

const char *kHelpPage =
    "<html><head><title>Infrared keyboard</title></head><body>\n"
    "<!-- PegHelp -->\n<h3>Infrared keyboard</h3>\n"
    "<p>Point the keyboard at the handheld's infrared window and press a key.</p>\n"
    "</body></html>\n";

} // namespace

std::string moduleDir() {
    // Next to the program first (an installed tree), else the build tree this was built in.
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        exe[n] = 0;
        auto dir = std::filesystem::path(exe).parent_path() / "modules";
        if (std::filesystem::exists(dir / kBaselineBuild.module))
            return dir.string();
    }
    return HANDHELD_MODULE_DIR;
}

void installDriverBuild(emul::Device &device, const std::string &build) {
    // A build of the table, or one made for the tests (irkdrv_NAME.so).
    const DriverBuild *b = findDriverBuild(build);
    std::string module = b ? b->module : "irkdrv_" + build + ".so";
    device.files().linkFile(NORVEL_DRIVER_FILE, moduleDir() + "/" + module);
}

namespace {

// The Device Manager's values and the four settings as a new installation has them.
void writeDriverKey(emul::Registry &reg, const std::u16string &key) {
    reg.createKey(key);
    reg.setValue(key, u"Dll", sz(u"Lumakey.DLL"));
    reg.setValue(key, u"Prefix", sz(u"IRK"));
    reg.setValue(key, u"Index", dword(1));
    reg.setValue(key, u"Order", dword(99));
    reg.setValue(key, NORVEL_ENABLE_KEYBOARD, dword(1));
    reg.setValue(key, NORVEL_REPEAT_RATE, dword(100));
    reg.setValue(key, NORVEL_DELAY_TIME, dword(500));
    reg.setValue(key, NORVEL_ENABLE_RESTART, dword(1));
}

} // namespace

void installRegistry(emul::Registry &reg) {
    writeDriverKey(reg, NORVEL_DRIVER_KEY);
}

void install(emul::Device &device, const InstallOptions &options) {
    emul::Registry &reg = device.registry();
    const std::u16string key = NORVEL_DRIVER_KEY;
    if (options.settings)
        writeDriverKey(reg, key);

    installDriverBuild(device, options.driverBuild);
    device.files().writeFile(NORVEL_HELP_FILE, kHelpPage);
    device.files().linkFile(u"\\Windows\\kbloader.exe", moduleDir() + "/kbloader.so");
    if (std::filesystem::exists(moduleDir() + "/kbsettings.so"))
        device.files().linkFile(u"\\Windows\\kbsettings.exe", moduleDir() + "/kbsettings.so");
    if (options.withPort)
        device.serial().addPort(kInfraredPort, true);
}

} // namespace handheld
