// A freshly installed device: the driver key with its values, the driver build, the help page,
// the programs and the infrared line on its port.
#pragma once

#include "emul/device.h"
#include "image/driver_builds.h"

#include <string>

namespace handheld {

// The serial port the device's infrared line is on.
inline constexpr const char16_t *kInfraredPort = u"COM2:";

struct InstallOptions {
    std::string driverBuild = kBaselineBuild.name; // of kDriverBuilds, or probe (tests)
    bool withPort = true;                          // the infrared line on kInfraredPort
    bool settings = true; // write the driver key; false keeps what a persistent
                          // hive holds already (files are linked afresh anyway)
};

// The registry of a new installation (the driver key with its values), on its own.
void installRegistry(emul::Registry &reg);
// Folder of the module builds (driver builds, programs).
std::string moduleDir();
void install(emul::Device &device, const InstallOptions &options = InstallOptions());
// Replaces the installed driver module by another build (before the driver is loaded).
void installDriverBuild(emul::Device &device, const std::string &build);

} // namespace handheld
