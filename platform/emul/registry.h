// The device's registry hive: keys and typed values in SQLite, with the platform's semantics.
// Paths are relative to HKEY_LOCAL_MACHINE, backslash-separated; names compare without case
// but keep the case they were created with.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace emul {

class Fields;

struct RegValue {
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

class Registry {
  public:
    // `path` empty: an in-memory hive. A file hive is shared with other processes and
    // survives a killed device.
    static std::unique_ptr<Registry> open(const std::string &path);
    virtual ~Registry() = default;

    virtual bool keyExists(const std::u16string &path) = 0;
    virtual void createKey(const std::u16string &path) = 0; // with missing parents
    virtual bool deleteKey(const std::u16string &path) = 0; // recursive; false if absent
    virtual std::optional<RegValue> getValue(const std::u16string &path,
                                             const std::u16string &name) = 0;
    virtual void setValue(const std::u16string &path, const std::u16string &name,
                          const RegValue &v) = 0;
    virtual bool deleteValue(const std::u16string &path, const std::u16string &name) = 0;
    // Values and sub-keys in a stable order (the order they were created in).
    virtual std::vector<std::pair<std::u16string, RegValue>> values(const std::u16string &path) = 0;
    virtual std::vector<std::u16string> subkeys(const std::u16string &path) = 0;

    // Runs `changes` (calls of the methods above) as one change of the hive: all of its writes
    // reach it, or none when `changes` returns false, a write fails, or the process dies
    // before the end. For a tool on its own connection; nothing else may write through this
    // one meanwhile. True when the writes were committed.
    virtual bool batch(const std::function<bool()> &changes) = 0;

    // HKEY handles that the device's code holds open (a test can see a leaked key).
    virtual size_t openHandles() const = 0;
    // SQL statements run on the hive so far (reads are answered from memory).
    virtual uint64_t hiveStatements() const = 0;
    // The first statement on the hive that failed, naming the file ("" while none has): a
    // tool whose command met one fails, whatever the command's own result.
    virtual std::string hiveFault() const { return ""; }
};

// The limits of the device's registry calls: a key or value name's length, and how deep keys
// nest below their root.
constexpr size_t kRegMaxNameLength = 255;
constexpr size_t kRegMaxKeyDepth = 16;
enum class RegPathFit { fits, longName, deep };
// Whether the device's calls could open a key at `path` (empty steps are skipped).
RegPathFit regPathFits(const std::u16string &path);

// Values as the device's code writes them: a string with its terminator (or, for a test of
// careless writers, without), a DWORD, raw bytes of any type.
RegValue regSz(const std::u16string &s, bool terminated = true);
RegValue regDword(uint32_t n);
RegValue regRaw(uint32_t type, std::vector<uint8_t> data);
// A REG_MULTI_SZ of `strings`, each with its null, and the closing null.
RegValue regMultiSz(const std::vector<std::u16string> &strings);

// Values as a reader takes them: a DWORD when the data has 4 bytes, whatever its type (as a
// 4-byte read gets it); a string up to its first null, or to the end of data written without
// one. Absent values, and data of another size, give nothing.
std::optional<uint32_t> regDwordOf(const std::optional<RegValue> &v);
std::optional<std::u16string> regStringOf(const std::optional<RegValue> &v);

// JSON of a value as the journal's "dump" writes it.
std::string regValueJson(const RegValue &v);
// The same as a journal field: a number, a text, a list of texts or a text of hex byte pairs.
void regValueField(Fields &f, const char *name, const RegValue &v);

} // namespace emul
