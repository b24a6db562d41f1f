// `handheld reg`: the registry of a device's state folder, also while the device runs.
#pragma once

#include "regfile/reg_scenario.h"
#include "regfile/regedit_writer.h"

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
    RegFileFormat format = RegFileFormat::regedit4; // of export
};

// Runs one action on an open hive, writing results on `out`, errors on `err`; exit status.
// `changes`, when given, gets the scenario commands that make the same changes.
int runReg(emul::Registry &reg, const RegOptions &options, std::string &out, std::string &err,
           std::vector<std::string> *changes = nullptr);
// Runs the action on the hive of a state folder; a device running from it hears of the changes.
int runRegOnHive(const StateDir &dir, const RegOptions &options);

// The file text of a key and everything below it ("" for the whole hive), appended to `out`;
// false with a message when the format cannot carry a value exactly.
bool regExport(emul::Registry &reg, const std::u16string &key, RegFileFormat format,
               std::string *out, std::string *error);
// Applies a registry file's bytes, all of it or (on a bad line) nothing; false with a message
// naming the line.
bool regImport(emul::Registry &reg, std::string bytes, std::string *error,
               std::vector<std::string> *changes = nullptr);

} // namespace handheld
