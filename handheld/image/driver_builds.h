// The driver's builds: one source (driver/) made three ways (driver/builds/), each a module of
// its own, chosen at install time by name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace handheld {

struct DriverBuild {
    const char *name;    // as a user, a scenario and the state folder give it
    const char *module;  // the module the build makes, in moduleDir()
    const char *version; // the platform version it is made for
};

inline constexpr DriverBuild kDriverBuilds[] = {
    {"ce420", "irkdrv_ce420.so", "CE 4.20"},
    {"ce400", "irkdrv_ce400.so", "CE 4.00"},
    {"ce300", "irkdrv_ce300.so", "CE 3.00"},
};
// What a new device gets unless another build is chosen.
inline constexpr const DriverBuild &kBaselineBuild = kDriverBuilds[0];

// The build called `name`; null for none.
inline const DriverBuild *findDriverBuild(std::string_view name) {
    for (const DriverBuild &b : kDriverBuilds)
        if (name == b.name)
            return &b;
    return nullptr;
}

inline std::vector<std::string> driverBuildNames() {
    std::vector<std::string> out;
    for (const DriverBuild &b : kDriverBuilds)
        out.push_back(b.name);
    return out;
}

} // namespace handheld
