// Key paths and value names as the registry tool and its files write them.
#include "regfile/reg_paths.h"

#include "emul/registry.h"
#include "emul/text.h"

#include <algorithm>
#include <cctype>

namespace handheld {

const char *const kRegRoot = "HKEY_LOCAL_MACHINE";

namespace {

bool startsWithNoCase(const std::string &s, const std::string &prefix) {
    if (s.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(uint8_t(s[i])) != std::tolower(uint8_t(prefix[i])))
            return false;
    return true;
}

} // namespace

bool regKeyPath(const std::string &in, std::u16string *out, std::string *error) {
    std::string s = in;
    for (const char *root : {"HKEY_LOCAL_MACHINE", "HKLM"}) {
        std::string r = root;
        if (startsWithNoCase(s, r) && (s.size() == r.size() || s[r.size()] == '\\')) {
            s = s.substr(std::min(s.size(), r.size() + 1));
            break;
        }
    }
    if (startsWithNoCase(s, "HKEY_") || startsWithNoCase(s, "HKCU") ||
        startsWithNoCase(s, "HKCR")) {
        *error = "only keys under HKEY_LOCAL_MACHINE are kept: " + in;
        return false;
    }
    while (!s.empty() && s.back() == '\\')
        s.pop_back();
    *out = emul::utf16(s);
    // The limits of the device's own calls, so that its programs can open what the tool makes.
    switch (emul::regPathFits(*out)) {
    case emul::RegPathFit::fits:
        return true;
    case emul::RegPathFit::longName:
        *error = "a key name longer than 255 characters in " + in;
        return false;
    case emul::RegPathFit::deep:
        *error = "keys nest at most 16 levels: " + in;
        return false;
    }
    return true;
}

bool regValueName(const std::string &name, std::string *error) {
    if (emul::utf16(name).size() <= emul::kRegMaxNameLength)
        return true;
    *error = "a value name longer than 255 characters: " + name.substr(0, 40) + "...";
    return false;
}

std::string regFullName(const std::u16string &key) {
    return key.empty() ? kRegRoot : std::string(kRegRoot) + "\\" + emul::utf8(key);
}

} // namespace handheld
