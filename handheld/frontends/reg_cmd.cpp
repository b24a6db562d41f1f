// The registry tool: query, set, delete, export and import on a hive file.
#include "frontends/reg_cmd.h"

#include "frontends/state_dir.h"
#include "regfile/reg_paths.h"
#include "regfile/reg_text.h"
#include "regfile/regedit_reader.h"
#include "regfile/regedit_writer.h"

#include "emul/registry.h"
#include "emul/text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace handheld {

namespace {

std::string typeName(uint32_t type) {
    switch (type) {
    case kRegSz:
        return "REG_SZ";
    case kRegExpandSz:
        return "REG_EXPAND_SZ";
    case kRegBinary:
        return "REG_BINARY";
    case kRegDword:
        return "REG_DWORD";
    case kRegMultiSz:
        return "REG_MULTI_SZ";
    }
    return "REG_TYPE_" + std::to_string(type);
}

std::string queryData(const emul::RegValue &v) {
    if (auto d = regExactDword(v)) {
        char b[32];
        std::snprintf(b, sizeof b, "0x%x (%u)", *d, *d);
        return b;
    }
    if (v.type == kRegSz || v.type == kRegExpandSz) {
        auto s = regStrings(v.data);
        return s.empty() ? "" : emul::utf8(s[0]);
    }
    if (v.type == kRegMultiSz) {
        std::string out;
        for (auto &s : regStrings(v.data)) {
            if (s.empty())
                break;
            out += (out.empty() ? "" : "\\0") + emul::utf8(s);
        }
        return out;
    }
    return emul::hexText(v.data.data(), v.data.size(), "");
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

// Hex pairs as the command line takes them: blanks and commas between bytes are ignored.
bool parseHexPairs(const std::string &s, std::vector<uint8_t> *out) {
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
        std::vector<std::u16string> strings;
        for (auto &s : data)
            strings.push_back(emul::utf16(s));
        *v = emul::regMultiSz(strings);
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
        *v = emul::regDword(d);
        return true;
    }
    if (type == "sz" || type == "expandsz") {
        *v = emul::regSz(emul::utf16(data[0])); // stored with its terminating null
        v->type = type == "sz" ? kRegSz : kRegExpandSz;
        return true;
    }
    if (type == "binary") {
        v->type = kRegBinary;
        if (!parseHexPairs(data[0], &v->data)) {
            *error = "not hexadecimal byte pairs: " + data[0];
            return false;
        }
        return true;
    }
    *error = "unknown type " + typeIn + " (dword, sz, expandsz, multisz or binary)";
    return false;
}

const char *const kImportNotTaken =
    "the hive did not take the changes (see above); nothing was changed";
const char *const kNotTaken = "the hive did not take the change (see above); nothing was changed\n";

// One change of a file, made on the hive; its scenario command goes to `made` when given.
void apply(emul::Registry &reg, const RegFileStep &step, std::vector<std::string> *made) {
    switch (step.kind) {
    case RegFileStep::createKey:
        if (!reg.keyExists(step.key)) {
            reg.createKey(step.key);
            if (made)
                made->push_back(regScenarioKey(step.key));
        }
        break;
    case RegFileStep::deleteKey:
        if (reg.deleteKey(step.key) && made)
            made->push_back(regScenarioDelete(step.key, nullptr));
        break;
    case RegFileStep::setValue:
        reg.setValue(step.key, step.name, step.value);
        if (made)
            made->push_back(regScenarioSet(step.key, step.name, step.value));
        break;
    case RegFileStep::deleteValue:
        if (reg.deleteValue(step.key, step.name) && made)
            made->push_back(regScenarioDelete(step.key, &step.name));
        break;
    }
}

// The whole of a file or of standard input ("-"), up to kRegFileLimit.
bool readCapped(const std::string &file, std::string *out, std::string *error) {
    int fd = file == "-" ? 0 : open(file.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        *error = "cannot read " + file + ": " + std::strerror(errno);
        return false;
    }
    const std::string tooLarge =
        "larger than " + std::string(kRegFileLimitText) + ", more than any registry file holds";
    bool ok = true;
    if (S_ISDIR(st.st_mode)) {
        *error = "cannot read " + file + ": it is a folder";
        ok = false;
    } else if (S_ISREG(st.st_mode) && size_t(st.st_size) > kRegFileLimit) {
        *error = file + ": " + tooLarge;
        ok = false;
    }
    if (ok && S_ISREG(st.st_mode))
        out->reserve(size_t(st.st_size));
    char buf[65536];
    while (ok) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n == 0)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = "cannot read " + file + ": " + std::strerror(errno);
            ok = false;
        } else if (out->size() + size_t(n) > kRegFileLimit) {
            *error = file + ": " + tooLarge;
            ok = false;
        } else {
            out->append(buf, size_t(n));
        }
    }
    if (fd != 0)
        close(fd);
    return ok;
}

int query(emul::Registry &reg, const std::u16string &key, const RegOptions &o, std::string &out,
          std::string &err) {
    if (!reg.keyExists(key)) {
        err = "no such key: " + regFullName(key) + "\n";
        return 1;
    }
    if (o.hasName) {
        auto v = reg.getValue(key, emul::utf16(o.name));
        if (!v) {
            err = "no value " + emul::jsonQuote(o.name) + " in " + regFullName(key) + "\n";
            return 1;
        }
        out += o.name + "    " + typeName(v->type) + "    " + queryData(*v) + "\n";
        return 0;
    }
    out += regFullName(key) + "\n";
    for (auto &[n, v] : reg.values(key))
        out += "    " + (n.empty() ? std::string("(Default)") : emul::utf8(n)) + "    " +
               typeName(v.type) + "    " + queryData(v) + "\n";
    for (auto &sub : reg.subkeys(key))
        out += regFullName(key.empty() ? sub : key + u"\\" + sub) + "\n";
    return 0;
}

int set(emul::Registry &reg, const std::u16string &key, const RegOptions &o, std::string &err,
        std::vector<std::string> *changes) {
    if (key.empty()) {
        err = "values cannot be set on the root itself\n";
        return 2;
    }
    emul::RegValue v;
    if (!regValueName(o.name, &err) || !makeValue(o.type, o.data, &v, &err)) {
        err += "\n";
        return 2;
    }
    std::u16string name = emul::utf16(o.name);
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

int remove(emul::Registry &reg, const std::u16string &key, const RegOptions &o, std::string &err,
           std::vector<std::string> *changes) {
    if (!o.hasName && key.empty()) {
        err = "the root itself cannot be deleted\n";
        return 2;
    }
    std::u16string name = emul::utf16(o.name);
    bool found = false;
    if (!reg.batch([&] {
            found = o.hasName ? reg.deleteValue(key, name) : reg.deleteKey(key);
            return true;
        })) {
        err = kNotTaken;
        return 1;
    }
    if (!found) {
        err = o.hasName ? "no value " + emul::jsonQuote(o.name) + " in " + regFullName(key) + "\n"
                        : "no such key: " + regFullName(key) + "\n";
        return 1;
    }
    if (changes)
        changes->push_back(regScenarioDelete(key, o.hasName ? &name : nullptr));
    return 0;
}

} // namespace

bool regExport(emul::Registry &reg, const std::u16string &key, RegFileFormat format,
               std::string *out, std::string *error) {
    return writeRegFile(reg, key, format, out, error);
}

bool regImport(emul::Registry &reg, std::string bytes, std::string *error,
               std::vector<std::string> *changes) {
    // One transaction: a bad line undoes what the lines before it wrote, and a device reading
    // the hive meanwhile, or a tool killed half-way, never sees part of the file.
    std::vector<std::string> made;
    bool read = false;
    bool done = reg.batch([&] {
        read = readRegFile(
            std::move(bytes),
            [&](RegFileStep &step) {
                apply(reg, step, changes ? &made : nullptr);
                return true;
            },
            error);
        return read;
    });
    if (!read)
        return false;
    if (!done) {
        *error = kImportNotTaken;
        return false;
    }
    if (changes)
        changes->insert(changes->end(), made.begin(), made.end());
    return true;
}

int runReg(emul::Registry &reg, const RegOptions &o, std::string &out, std::string &err,
           std::vector<std::string> *changes) {
    std::u16string key;
    if (o.action != "import" && !regKeyPath(o.key, &key, &err)) {
        err += "\n";
        return 2;
    }
    if (o.action == "query")
        return query(reg, key, o, out, err);
    if (o.action == "set")
        return set(reg, key, o, err, changes);
    if (o.action == "delete")
        return remove(reg, key, o, err, changes);
    if (o.action == "export") {
        if (!key.empty() && !reg.keyExists(key)) {
            err = "no such key: " + regFullName(key) + "\n";
            return 1;
        }
        if (!regExport(reg, key, o.format, &out, &err)) {
            err += "\n";
            return 2;
        }
        return 0;
    }
    if (o.action == "import") {
        std::string bytes, e;
        if (!readCapped(o.file, &bytes, &e)) {
            err = e + "\n";
            return 2;
        }
        if (!regImport(reg, std::move(bytes), &e, changes)) {
            err = o.file + ": " + e + "\n";
            return e == kImportNotTaken ? 1 : 2; // the hive's fault, not the file's
        }
        return 0;
    }
    err = "unknown action " + o.action + "\n";
    return 2;
}

namespace {

// Whether a device runs from the folder: it holds the folder's lock.
bool deviceRunning(const StateDir &dir) {
    int lock = open((dir.dir + "/lock").c_str(), O_RDWR | O_CLOEXEC);
    if (lock < 0)
        return false;
    bool running = flock(lock, LOCK_EX | LOCK_NB) != 0;
    close(lock);
    return running;
}

// A running device records what the tool changed: the changes go to its file of registry
// changes, which it reads while it runs.
void tellRunningDevice(const StateDir &dir, const std::vector<std::string> &changes) {
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
    bool running = deviceRunning(dir);
    int rc = runReg(*reg, options, out, err, running ? &changes : nullptr);
    // A statement that failed on the hive (said on its own line) fails the command, whatever
    // it made of the answers it got.
    if (!reg->hiveFault().empty()) {
        out.clear();
        rc = rc ? rc : 1;
    }
    if (!changes.empty())
        tellRunningDevice(dir, changes);
    std::fwrite(out.data(), 1, out.size(), stdout);
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
