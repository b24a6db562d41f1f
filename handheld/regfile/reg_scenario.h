// Registry changes as scenario commands: what a running device's recording gets when the
// registry tool changes its hive, and how a recording starts from the device's registry.
#pragma once

#include <string>
#include <vector>

namespace emul {
class Registry;
struct RegValue;
} // namespace emul

namespace handheld {

// `set PATH NAME dword|sz|raw ...`: the command that sets the same value.
std::string regScenarioSet(const std::u16string &key, const std::u16string &name,
                           const emul::RegValue &v);
// `delete PATH [NAME]` and `key PATH`.
std::string regScenarioDelete(const std::u16string &key, const std::u16string *name);
std::string regScenarioKey(const std::u16string &key);

// The scenario commands (`set`, `key`, `delete`) that turn the registry `from` into `to`,
// keys in `to`'s order: what a recording starts with, so a replay starts from this device.
std::vector<std::string> regScenarioDiff(emul::Registry &from, emul::Registry &to);

} // namespace handheld
