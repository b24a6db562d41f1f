// Key paths and value names as the registry tool and its files write them.
#pragma once

#include <string>

namespace handheld {

extern const char *const kRegRoot; // "HKEY_LOCAL_MACHINE"

// A key path as people write it, with or without the root's name ("HKEY_LOCAL_MACHINE" or
// "HKLM") in front, relative to that root in `out`; false with a message when it names another
// root or goes beyond what the device's own calls can open.
bool regKeyPath(const std::string &in, std::u16string *out, std::string *error);
// False with a message when the device's calls could not read a value of that name.
bool regValueName(const std::string &name, std::string *error);
// The full name of a key relative to HKEY_LOCAL_MACHINE, as query and export show it.
std::string regFullName(const std::u16string &key);

} // namespace handheld
