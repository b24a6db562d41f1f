// `handheld reg`: the registry of a device's state folder, also while the device runs.
#pragma once

#include <string>
#include <vector>

namespace emul {
class Registry;
struct RegValue;
} // namespace emul

namespace handheld {

struct StateDir;

struct RegOptions {
    std::string action; // query, set, delete, export, import
    std::string key, name, type, file;
    std::vector<std::string> data;
    bool hasName = false;
};

// Runs one action on an open hive, writing results on `out`, errors on `err`; exit status.
// `changes`, when given, gets the scenario commands that make the same changes.
int runReg(emul::Registry &reg, const RegOptions &options, std::string &out, std::string &err,
           std::vector<std::string> *changes = nullptr);
// Runs the action on the hive of a state folder; a device running from it hears of the changes.
int runRegOnHive(const StateDir &dir, const RegOptions &options);

// The scenario command that sets the same value (`set PATH NAME dword|sz|raw ...`).
std::string regScenarioSet(const std::u16string &key, const std::u16string &name,
                           const emul::RegValue &v);

// The scenario commands (`set`, `key`, `delete`) that turn the registry `from` into `to`,
// keys in `to`'s order: what a recording starts with, so a replay starts from this device.
std::vector<std::string> regScenarioDiff(emul::Registry &from, emul::Registry &to);

// REGEDIT4 text of a key and everything below it ("" for the whole hive).
std::string regExport(emul::Registry &reg, const std::u16string &key);
// Applies REGEDIT4 text, all of it or (on a bad line) nothing; false with a message naming the
// line.
bool regImport(emul::Registry &reg, const std::string &text, std::string *error,
               std::vector<std::string> *changes = nullptr);

} // namespace handheld
