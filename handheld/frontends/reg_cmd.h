// `handheld reg`: the registry of a device's state folder, also while the device runs.
#pragma once

#include <string>
#include <vector>

namespace emul {
class Registry;
}

namespace handheld {

struct RegOptions {
    std::string action; // query, set, delete, export, import
    std::string key, name, type, file;
    std::vector<std::string> data;
    bool hasName = false;
};

// Runs one action on an open hive, writing results on `out`, errors on `err`; exit status.
int runReg(emul::Registry &reg, const RegOptions &options, std::string &out, std::string &err);
// Opens the hive file and runs the action.
int runRegOnHive(const std::string &hivePath, const RegOptions &options);

// REGEDIT4 text of a key and everything below it ("" for the whole hive).
std::string regExport(emul::Registry &reg, const std::u16string &key);
// Applies REGEDIT4 text; false with a message naming the line.
bool regImport(emul::Registry &reg, const std::string &text, std::string *error);

} // namespace handheld
