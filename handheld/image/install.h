// A freshly installed device: the driver key with its values, the driver build, the help page,
// the programs and the infrared line on "COM2:".
#pragma once

#include "emul/device.h"

#include <string>

namespace handheld {

struct InstallOptions {
    std::string driverBuild = "ce420"; // ce420, ce400, ce300 or probe (tests)
    bool withPort = true;              // the infrared line on "COM2:"
    bool settings = true;              // write the driver key; false keeps what a persistent
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
