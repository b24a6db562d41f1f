// The registry tool: query, set, delete, export and import on a hive file.
#include "frontends/reg_cmd.h"

#include "frontends/state_dir.h"

#include "emul/registry.h"
#include "emul/text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

namespace handheld {

namespace {

constexpr uint32_t kSz = 1, kExpandSz = 2, kBinary = 3, kDword = 4, kMultiSz = 7;
const char *const kRoot = "HKEY_LOCAL_MACHINE";
constexpr size_t kMaxName = 255, kMaxDepth = 16;

bool startsWithNoCase(const std::string &s, const std::string &prefix) {
    if (s.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(uint8_t(s[i])) != std::tolower(uint8_t(prefix[i])))
            return false;
    return true;
}

// A key path as people write it: with or without the root's name in front.
bool keyPath(const std::string &in, std::u16string *out, std::string *error) {
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
    size_t levels = 0, start = 0;
    while (start <= out->size()) {
        size_t end = std::min(out->find(u'\\', start), out->size());
        if (end - start > kMaxName) {
            *error = "a key name longer than 255 characters in " + in;
            return false;
        }
        levels += end > start;
        start = end + 1;
    }
    if (levels > kMaxDepth) {
        *error = "keys nest at most 16 levels: " + in;
        return false;
    }
    return true;
}

bool valueName(const std::string &name, std::string *error) {
    if (emul::utf16(name).size() <= kMaxName)
        return true;
    *error = "a value name longer than 255 characters: " + name.substr(0, 40) + "...";
    return false;
}

std::string fullName(const std::u16string &key) {
    return key.empty() ? kRoot : std::string(kRoot) + "\\" + emul::utf8(key);
}

std::string typeName(uint32_t type) {
    switch (type) {
    case kSz:
        return "REG_SZ";
    case kExpandSz:
        return "REG_EXPAND_SZ";
    case kBinary:
        return "REG_BINARY";
    case kDword:
        return "REG_DWORD";
    case kMultiSz:
        return "REG_MULTI_SZ";
    }
    return "REG_TYPE_" + std::to_string(type);
}

// UTF-16 strings of a value's data, up to the terminating null or the end (never beyond).
std::vector<std::u16string> strings(const std::vector<uint8_t> &data) {
    std::vector<std::u16string> out;
    std::u16string cur;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        char16_t c = char16_t(data[i] | (data[i + 1] << 8));
        if (c == 0) {
            out.push_back(cur);
            cur.clear();
            continue;
        }
        cur += c;
    }
    if (!cur.empty())
        out.push_back(cur);
    return out;
}

std::string hexBytes(const std::vector<uint8_t> &data, const char *sep) {
    std::string s;
    char b[4];
    for (size_t i = 0; i < data.size(); ++i) {
        std::snprintf(b, sizeof b, "%02x", data[i]);
        if (i)
            s += sep;
        s += b;
    }
    return s;
}

std::string queryData(const emul::RegValue &v) {
    if (v.type == kDword && v.data.size() == 4) {
        uint32_t d;
        std::memcpy(&d, v.data.data(), 4);
        char b[32];
        std::snprintf(b, sizeof b, "0x%x (%u)", d, d);
        return b;
    }
    if (v.type == kSz || v.type == kExpandSz) {
        auto s = strings(v.data);
        return s.empty() ? "" : emul::utf8(s[0]);
    }
    if (v.type == kMultiSz) {
        std::string out;
        for (auto &s : strings(v.data)) {
            if (s.empty())
                break;
            out += (out.empty() ? "" : "\\0") + emul::utf8(s);
        }
        return out;
    }
    return hexBytes(v.data, "");
}

std::vector<uint8_t> utf16Bytes(const std::u16string &s) {
    std::vector<uint8_t> d;
    for (char16_t c : s) {
        d.push_back(uint8_t(c & 0xFF));
        d.push_back(uint8_t(c >> 8));
    }
    return d;
}

bool parseNumber(const std::string &s, uint32_t *out) {
    if (s.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(s.c_str(), &end, 0);
    if (*end || errno || v > 0xFFFFFFFFull || s[0] == '-')
        return false;
    *out = uint32_t(v);
    return true;
}

bool parseHex(const std::string &s, std::vector<uint8_t> *out) {
    std::string digits;
    for (char c : s)
        if (c != ',' && c != ' ' && c != '\t')
            digits += c;
    if (digits.size() % 2)
        return false;
    for (size_t i = 0; i < digits.size(); i += 2) {
        if (!std::isxdigit(uint8_t(digits[i])) || !std::isxdigit(uint8_t(digits[i + 1])))
            return false;
        out->push_back(uint8_t(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return true;
}

// A value from the command line's TYPE and DATA.
bool makeValue(const std::string &typeIn, const std::vector<std::string> &data, emul::RegValue *v,
               std::string *error) {
    std::string type;
    for (char c : typeIn)
        type += char(std::tolower(uint8_t(c)));
    if (type.rfind("reg_", 0) == 0)
        type = type.substr(4);
    type.erase(std::remove(type.begin(), type.end(), '_'), type.end());
    if (type == "multisz") {
        v->type = kMultiSz;
        for (auto &s : data) {
            auto b = utf16Bytes(emul::utf16(s));
            v->data.insert(v->data.end(), b.begin(), b.end());
            v->data.push_back(0);
            v->data.push_back(0);
        }
        v->data.push_back(0);
        v->data.push_back(0);
        return true;
    }
    if (data.size() != 1) {
        *error = "a " + typeIn + " value takes exactly one DATA";
        return false;
    }
    if (type == "dword") {
        uint32_t d;
        if (!parseNumber(data[0], &d)) {
            *error = "not a 32-bit number: " + data[0];
            return false;
        }
        v->type = kDword;
        v->data.resize(4);
        std::memcpy(v->data.data(), &d, 4);
        return true;
    }
    if (type == "sz" || type == "expandsz") {
        v->type = type == "sz" ? kSz : kExpandSz;
        v->data = utf16Bytes(emul::utf16(data[0]));
        v->data.push_back(0); // stored with its terminating null
        v->data.push_back(0);
        return true;
    }
    if (type == "binary") {
        v->type = kBinary;
        if (!parseHex(data[0], &v->data)) {
            *error = "not hexadecimal byte pairs: " + data[0];
            return false;
        }
        return true;
    }
    *error = "unknown type " + typeIn + " (dword, sz, expandsz, multisz or binary)";
    return false;
}

// Text that a quoted string of REGEDIT4 or of a scenario holds on one line and gives back
// exactly: no control characters, nothing that UTF-8 cannot carry (a lone surrogate).
bool plainText(const std::u16string &s) {
    for (char16_t c : s)
        if (c < 0x20 || c == 0x7F)
            return false;
    return emul::utf16(emul::utf8(s)) == s;
}

// The data of a REG_SZ written with one terminating null: its text.
std::optional<std::u16string> szText(const emul::RegValue &v) {
    if (v.type != kSz)
        return std::nullopt;
    auto s = strings(v.data);
    std::u16string text = s.empty() ? u"" : s[0];
    auto b = utf16Bytes(text);
    b.push_back(0);
    b.push_back(0);
    if (b != v.data || !plainText(text))
        return std::nullopt;
    return text;
}

std::string quoted(const std::string &s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

void exportKey(emul::Registry &reg, const std::u16string &key, std::string &out) {
    out += "[" + fullName(key) + "]\n";
    for (auto &[name, v] : reg.values(key)) {
        out += name.empty() ? "@" : quoted(emul::utf8(name));
        out += "=";
        if (v.type == kDword && v.data.size() == 4) {
            uint32_t d;
            std::memcpy(&d, v.data.data(), 4);
            char b[16];
            std::snprintf(b, sizeof b, "dword:%08x", d);
            out += b;
        } else if (auto text = szText(v)) {
            out += quoted(emul::utf8(*text));
        } else {
            // The type in hex(N) is hexadecimal, as import reads it.
            char type[24];
            std::snprintf(type, sizeof type, "hex(%x):", v.type);
            out += v.type == kBinary ? "hex:" : type;
            out += hexBytes(v.data, ",");
        }
        out += "\n";
    }
    out += "\n";
    for (auto &sub : reg.subkeys(key))
        exportKey(reg, key.empty() ? sub : key + u"\\" + sub, out);
}

// Reads a quoted REGEDIT4 string at s[i] (the opening quote); false if it does not end.
bool readQuoted(const std::string &s, size_t &i, std::string *out) {
    ++i;
    while (i < s.size()) {
        char c = s[i++];
        if (c == '"')
            return true;
        if (c == '\\' && i < s.size())
            c = s[i++];
        *out += c;
    }
    return false;
}

// Whether a line starts a hex value that goes on over the next line: its data starts with hex
// and it ends in a backslash (a quoted string may end in one too).
bool startsLongHex(const std::string &line) {
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line.back() != '\\')
        return false;
    std::string name;
    if (line[i] == '@')
        ++i;
    else if (line[i] != '"' || !readQuoted(line, i, &name))
        return false;
    return line.compare(i, 4, "=hex") == 0;
}

} // namespace

// The scenario commands that make the same change, for a running device's recording.
std::string regScenarioSet(const std::u16string &key, const std::u16string &name,
                           const emul::RegValue &v) {
    std::string line = "set " + quoted(emul::utf8(key)) + " " + quoted(emul::utf8(name)) + " ";
    if (v.type == kDword && v.data.size() == 4) {
        uint32_t d;
        std::memcpy(&d, v.data.data(), 4);
        return line + "dword " + std::to_string(d);
    }
    if (auto text = szText(v))
        return line + "sz " + quoted(emul::utf8(*text));
    return line + "raw " + std::to_string(v.type) + (v.data.empty() ? "" : " ") +
           hexBytes(v.data, " ");
}

namespace {

std::string scenarioDelete(const std::u16string &key, const std::u16string *name) {
    return "delete " + quoted(emul::utf8(key)) + (name ? " " + quoted(emul::utf8(*name)) : "");
}

std::string scenarioKey(const std::u16string &key) {
    return "key " + quoted(emul::utf8(key));
}

} // namespace

namespace {

void diffKey(emul::Registry &from, emul::Registry &to, const std::u16string &key,
             std::vector<std::string> &out) {
    auto join = [&](const std::u16string &sub) { return key.empty() ? sub : key + u"\\" + sub; };
    auto subs = to.subkeys(key);
    if (!key.empty()) {
        auto values = to.values(key);
        bool had = from.keyExists(key);
        if (had) {
            for (auto &[name, v] : from.values(key))
                if (!to.getValue(key, name))
                    out.push_back(scenarioDelete(key, &name));
        } else if (values.empty() && subs.empty()) {
            out.push_back(scenarioKey(key)); // a `set` below or in it would make it otherwise
        }
        for (auto &[name, v] : values) {
            auto was = had ? from.getValue(key, name) : std::nullopt;
            if (!was || was->type != v.type || was->data != v.data)
                out.push_back(regScenarioSet(key, name, v));
        }
    }
    if (from.keyExists(key))
        for (auto &sub : from.subkeys(key))
            if (!to.keyExists(join(sub)))
                out.push_back(scenarioDelete(join(sub), nullptr));
    for (auto &sub : subs)
        diffKey(from, to, join(sub), out);
}

} // namespace

std::vector<std::string> regScenarioDiff(emul::Registry &from, emul::Registry &to) {
    std::vector<std::string> out;
    diffKey(from, to, u"", out);
    return out;
}

std::string regExport(emul::Registry &reg, const std::u16string &key) {
    std::string out = "REGEDIT4\n\n";
    if (key.empty()) {
        for (auto &sub : reg.subkeys(u""))
            exportKey(reg, sub, out);
    } else {
        exportKey(reg, key, out);
    }
    return out;
}

namespace {

// One change an import makes; the whole file is read before the first one is made.
struct ImportStep {
    enum Kind { createKey, deleteKey, setValue, deleteValue } kind;
    std::u16string key, name;
    emul::RegValue value;
};

} // namespace

namespace {
const char *const kImportNotTaken =
    "the hive did not take the changes (see above); nothing was changed";
} // namespace

bool regImport(emul::Registry &reg, const std::string &text, std::string *error,
               std::vector<std::string> *changes) {
    // A file with a bad line changes nothing: every line is checked before the hive is touched.
    std::vector<ImportStep> steps;
    std::istringstream in(text);
    std::string line, logical;
    int lineNo = 0, start = 0;
    std::u16string key;
    bool haveKey = false, first = true;
    auto fail = [&](const std::string &msg) {
        *error = "line " + std::to_string(start) + ": " + msg;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (logical.empty())
            start = lineNo;
        // Long hex values go on over lines that end in a backslash.
        if (!line.empty() && line.back() == '\\' && (!logical.empty() || startsLongHex(line))) {
            logical += line.substr(0, line.size() - 1);
            continue;
        }
        if (!logical.empty()) {
            size_t b = line.find_first_not_of(" \t");
            logical += b == std::string::npos ? "" : line.substr(b);
            line = logical;
            logical.clear();
        }
        size_t b = line.find_first_not_of(" \t");
        if (b == std::string::npos || line[b] == ';')
            continue;
        line = line.substr(b);
        if (first) {
            first = false;
            if (line == "REGEDIT4" || line == "Windows Registry Editor Version 5.00")
                continue;
            return fail("not REGEDIT4 text (the first line must be REGEDIT4)");
        }
        if (line[0] == '[') {
            size_t e = line.rfind(']');
            if (e == std::string::npos)
                return fail("a key without its closing ]");
            std::string name = line.substr(1, e - 1);
            bool remove = !name.empty() && name[0] == '-';
            std::string err;
            if (!keyPath(remove ? name.substr(1) : name, &key, &err))
                return fail(err);
            if (key.empty())
                return fail("the root itself cannot be " + std::string(remove ? "deleted" : "set"));
            steps.push_back({remove ? ImportStep::deleteKey : ImportStep::createKey, key, {}, {}});
            haveKey = !remove;
            continue;
        }
        if (!haveKey)
            return fail("a value outside any key");
        std::string name;
        size_t i = 0;
        if (line[0] == '@') {
            i = 1;
        } else if (line[0] == '"') {
            if (!readQuoted(line, i, &name))
                return fail("an unterminated value name");
        } else {
            return fail("expected a key in [ ] or a \"name\"=value");
        }
        if (i >= line.size() || line[i] != '=')
            return fail("expected = after the value name");
        std::string data = line.substr(i + 1);
        std::string nameError;
        if (!valueName(name, &nameError))
            return fail(nameError);
        std::u16string wname = emul::utf16(name);
        emul::RegValue v;
        if (data == "-") {
            steps.push_back({ImportStep::deleteValue, key, wname, {}});
            continue;
        }
        if (!data.empty() && data[0] == '"') {
            size_t j = 0;
            std::string s;
            if (!readQuoted(data, j, &s) || j != data.size())
                return fail("an unterminated string");
            v.type = kSz;
            v.data = utf16Bytes(emul::utf16(s));
            v.data.push_back(0);
            v.data.push_back(0);
        } else if (data.rfind("dword:", 0) == 0) {
            uint32_t d;
            std::string digits = data.substr(6);
            if (digits.empty() || digits.size() > 8 ||
                digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos ||
                !parseNumber("0x" + digits, &d))
                return fail("not a dword: " + data);
            v.type = kDword;
            v.data.resize(4);
            std::memcpy(v.data.data(), &d, 4);
        } else if (data.rfind("hex", 0) == 0) {
            size_t colon = data.find(':');
            if (colon == std::string::npos)
                return fail("hex data without :");
            std::string kind = data.substr(3, colon - 3);
            v.type = kBinary;
            if (!kind.empty()) {
                uint32_t t;
                if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')' ||
                    !parseNumber("0x" + kind.substr(1, kind.size() - 2), &t))
                    return fail("not a value type: " + kind);
                v.type = t;
            }
            if (!parseHex(data.substr(colon + 1), &v.data))
                return fail("not hexadecimal byte pairs: " + data.substr(colon + 1));
        } else {
            return fail("unknown value data: " + data);
        }
        steps.push_back({ImportStep::setValue, key, wname, v});
    }
    if (!logical.empty())
        return fail("the text ends inside a value");
    if (first) {
        *error = "empty: not REGEDIT4 text";
        return false;
    }
    // One transaction: a device reading the hive meanwhile, or a tool killed half-way, never
    // sees part of the file.
    std::vector<std::string> made;
    bool done = reg.batch([&] {
        for (const ImportStep &step : steps) {
            switch (step.kind) {
            case ImportStep::createKey:
                if (!reg.keyExists(step.key)) {
                    reg.createKey(step.key);
                    made.push_back(scenarioKey(step.key));
                }
                break;
            case ImportStep::deleteKey:
                if (reg.deleteKey(step.key))
                    made.push_back(scenarioDelete(step.key, nullptr));
                break;
            case ImportStep::setValue:
                reg.setValue(step.key, step.name, step.value);
                made.push_back(regScenarioSet(step.key, step.name, step.value));
                break;
            case ImportStep::deleteValue:
                if (reg.deleteValue(step.key, step.name))
                    made.push_back(scenarioDelete(step.key, &step.name));
                break;
            }
        }
        return true;
    });
    if (!done) {
        *error = kImportNotTaken;
        return false;
    }
    if (changes)
        changes->insert(changes->end(), made.begin(), made.end());
    return true;
}

namespace {
const char *const kNotTaken = "the hive did not take the change (see above); nothing was changed\n";
} // namespace

int runReg(emul::Registry &reg, const RegOptions &o, std::string &out, std::string &err,
           std::vector<std::string> *changes) {
    std::u16string key;
    if (o.action != "import" && !keyPath(o.key, &key, &err)) {
        err += "\n";
        return 2;
    }
    std::u16string name = emul::utf16(o.name);
    if (o.action == "query") {
        if (!reg.keyExists(key)) {
            err = "no such key: " + fullName(key) + "\n";
            return 1;
        }
        if (o.hasName) {
            auto v = reg.getValue(key, name);
            if (!v) {
                err = "no value " + emul::jsonQuote(o.name) + " in " + fullName(key) + "\n";
                return 1;
            }
            out += o.name + "    " + typeName(v->type) + "    " + queryData(*v) + "\n";
            return 0;
        }
        out += fullName(key) + "\n";
        for (auto &[n, v] : reg.values(key))
            out += "    " + (n.empty() ? std::string("(Default)") : emul::utf8(n)) + "    " +
                   typeName(v.type) + "    " + queryData(v) + "\n";
        for (auto &sub : reg.subkeys(key))
            out += fullName(key.empty() ? sub : key + u"\\" + sub) + "\n";
        return 0;
    }
    if (o.action == "set") {
        if (key.empty()) {
            err = "values cannot be set on the root itself\n";
            return 2;
        }
        emul::RegValue v;
        if (!valueName(o.name, &err) || !makeValue(o.type, o.data, &v, &err)) {
            err += "\n";
            return 2;
        }
        // A batch of one, so that a hive that refuses the write is reported.
        if (!reg.batch([&] {
                reg.setValue(key, name, v);
                return true;
            })) {
            err = kNotTaken;
            return 1;
        }
        if (changes)
            changes->push_back(regScenarioSet(key, name, v));
        return 0;
    }
    if (o.action == "delete") {
        if (!o.hasName && key.empty()) {
            err = "the root itself cannot be deleted\n";
            return 2;
        }
        bool found = false;
        if (!reg.batch([&] {
                found = o.hasName ? reg.deleteValue(key, name) : reg.deleteKey(key);
                return true;
            })) {
            err = kNotTaken;
            return 1;
        }
        if (o.hasName) {
            if (!found) {
                err = "no value " + emul::jsonQuote(o.name) + " in " + fullName(key) + "\n";
                return 1;
            }
            if (changes)
                changes->push_back(scenarioDelete(key, &name));
            return 0;
        }
        if (!found) {
            err = "no such key: " + fullName(key) + "\n";
            return 1;
        }
        if (changes)
            changes->push_back(scenarioDelete(key, nullptr));
        return 0;
    }
    if (o.action == "export") {
        if (!key.empty() && !reg.keyExists(key)) {
            err = "no such key: " + fullName(key) + "\n";
            return 1;
        }
        out += regExport(reg, key);
        return 0;
    }
    if (o.action == "import") {
        std::ostringstream text;
        if (o.file == "-") {
            text << std::cin.rdbuf();
        } else {
            std::error_code ec;
            if (std::filesystem::is_directory(o.file, ec)) {
                err = "cannot read " + o.file + ": it is a folder\n";
                return 2;
            }
            std::ifstream f(o.file, std::ios::binary);
            if (!f) {
                err = "cannot read " + o.file + ": " + std::strerror(errno) + "\n";
                return 2;
            }
            text << f.rdbuf();
        }
        std::string e;
        if (!regImport(reg, text.str(), &e, changes)) {
            err = o.file + ": " + e + "\n";
            return e == kImportNotTaken ? 1 : 2; // the hive's fault, not the file's
        }
        return 0;
    }
    err = "unknown action " + o.action + "\n";
    return 2;
}

namespace {

// A device running from the folder (it holds the folder's lock) records what the tool changed:
// the changes go to its file of registry changes, which it reads while it runs.
void tellRunningDevice(const StateDir &dir, const std::vector<std::string> &changes) {
    int lock = open((dir.dir + "/lock").c_str(), O_RDWR | O_CLOEXEC);
    if (lock < 0)
        return;
    bool running = flock(lock, LOCK_EX | LOCK_NB) != 0;
    close(lock);
    if (!running)
        return;
    std::string text;
    for (const std::string &line : changes)
        text += line + "\n";
    // One write in append mode: the device never sees half of it.
    int fd = open(dir.regChanges().c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return;
    ssize_t n = write(fd, text.data(), text.size());
    (void)n;
    close(fd);
}

} // namespace

int runRegOnHive(const StateDir &dir, const RegOptions &options) {
    auto reg = emul::Registry::open(dir.hive());
    std::string out, err;
    std::vector<std::string> changes;
    int rc = runReg(*reg, options, out, err, &changes);
    if (!changes.empty())
        tellRunningDevice(dir, changes);
    std::fputs(out.c_str(), stdout);
    if (!err.empty())
        std::fprintf(stderr, "handheld reg: %s", err.c_str());
    // An export that did not reach its file (a full disk, a closed pipe) is no success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "handheld reg: cannot write the output: %s\n", std::strerror(errno));
        return rc ? rc : 1;
    }
    return rc;
}

} // namespace handheld
