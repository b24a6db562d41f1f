// The registry's storage: a tree of keys with typed values, kept in SQLite.
// It knows nothing of handles, roots or error codes; names compare without ASCII case.
#pragma once

#include "emul/registry.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace emul {

using RegKeyId = int64_t; // never reused, so a stale id means a deleted key

enum class RegStatus { ok, missing, failed };

// Copies a value's bytes. The few bytes of a setting are copied in line: a reader's pass copies
// each twice, and a call into the C library would be one more cold page after a sleep.
inline void copyData(void *to, const void *from, size_t n) {
    auto *t = static_cast<unsigned char *>(to);
    auto *f = static_cast<const unsigned char *>(from);
    if (n >= 4 && n <= 8) {
        std::memcpy(t, f, 4);
        std::memcpy(t + n - 4, f + n - 4, 4);
    } else if (n > 8) {
        std::memcpy(t, f, n);
    } else if (n >= 1) {
        t[0] = f[0];
        t[n - 1] = f[n - 1];
        if (n == 3)
            t[1] = f[1];
    }
}

// Every key and value of a store, each list in creation order: what a cache loads.
struct RegImage {
    struct Key {
        RegKeyId id, parent; // parent 0: a top-level tree
        std::u16string name;
    };
    struct Value {
        RegKeyId key;
        std::u16string name;
        RegValue v;
    };
    std::vector<Key> keys;
    std::vector<Value> values;
};

class RegStore {
  public:
    // `path` empty: in memory. Throws DeviceError when the file is not a usable hive.
    static std::unique_ptr<RegStore> open(const std::string &path);
    virtual ~RegStore() = default;

    // A top-level tree (one per predefined root), created on first use.
    virtual RegKeyId tree(const std::u16string &name) = 0;
    virtual bool exists(RegKeyId key) = 0;
    // The key at `names` below `from`; nullopt when a step is missing.
    virtual std::optional<RegKeyId> find(RegKeyId from,
                                         const std::vector<std::u16string> &names) = 0;
    // As find, creating the missing steps in one transaction; 0 on failure (from deleted).
    virtual RegKeyId create(RegKeyId from, const std::vector<std::u16string> &names,
                            bool *created) = 0;
    virtual RegStatus remove(RegKeyId key) = 0; // with everything below it
    virtual std::vector<std::u16string> children(RegKeyId key) = 0;

    virtual std::optional<RegValue> value(RegKeyId key, const std::u16string &name) = 0;
    virtual RegStatus setValue(RegKeyId key, const std::u16string &name, const RegValue &v) = 0;
    virtual RegStatus removeValue(RegKeyId key, const std::u16string &name) = 0;
    virtual std::vector<std::pair<std::u16string, RegValue>> values(RegKeyId key) = 0;

    // For a cache in front of the store: the whole content, and whether another process has
    // written to the hive since the last image or check (cheap when nothing changed).
    virtual RegImage image() = 0;
    virtual bool changedElsewhere() = 0;
    virtual uint64_t statements() const = 0; // SQL statements run so far
    // The first failure of a statement on the hive ("" while every one has worked).
    virtual std::string fault() const = 0;

    // A batch: the writes between these two calls are one transaction, so another process
    // sees all of them or none, also when this one dies in between. Each write inside stays
    // atomic on its own. endBatch(false) undoes them all; true when they were committed.
    virtual bool beginBatch() = 0;
    virtual bool endBatch(bool commit) = 0;
};

} // namespace emul
