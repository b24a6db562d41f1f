// The hive in memory, in front of its SQLite store, owned by the hive (registry.cpp). Reads
// never touch SQLite; every write goes to the store first (one transaction) and then to the
// copy. When another process has written to a file hive, the next call that checks reloads the
// whole copy: hives are small, and writes from elsewhere are rare next to the reader's passes.
//
// No lock: every caller holds the device's baton (or no device exists), which a checking build
// asserts on each call.
#pragma once

#include "registry/registry_store.h"

#include <memory>
#include <unordered_map>

namespace emul {

enum class RegFound { value, noValue, noKey };

// A value's type and size as a reader takes them, and its data when it has at most kSmall
// bytes, as the settings a reader polls have: copying them allocates nothing.
struct RegCopy {
    static constexpr size_t kSmall = 512;
    uint32_t type = 0;
    uint32_t size = 0;
    uint8_t data[kSmall];
};

class RegCache {
  public:
    explicit RegCache(std::unique_ptr<RegStore> store);

    // The store's calls, answered from the copy where they only read.
    RegKeyId tree(const std::u16string &name);
    bool exists(RegKeyId key);
    std::optional<RegKeyId> find(RegKeyId from, const std::vector<std::u16string> &names);
    RegKeyId create(RegKeyId from, const std::vector<std::u16string> &names, bool *created);
    RegStatus remove(RegKeyId key);
    std::vector<std::u16string> children(RegKeyId key);
    std::optional<RegValue> value(RegKeyId key, const std::u16string &name);
    RegStatus setValue(RegKeyId key, const std::u16string &name, const RegValue &v);
    RegStatus removeValue(RegKeyId key, const std::u16string &name);
    std::vector<std::pair<std::u16string, RegValue>> values(RegKeyId key);
    bool beginBatch();
    bool endBatch(bool commit);
    uint64_t statements() const { return store_->statements(); }
    std::string fault() const { return store_->fault(); } // see RegStore::fault

    // A reader's look at one value: its copy (all but data larger than RegCopy::kSmall) is
    // taken here, so that a caller's bad buffer faults later, outside the registry. `check`
    // false: the caller knows that nothing else has run since it last asked, so another
    // process's write need not be looked for.
    RegFound copyValue(RegKeyId key, const char16_t *name, bool check, RegCopy *out);

  private:
    using Value = std::pair<std::u16string, RegValue>;
    struct Key {
        RegKeyId parent;
        std::u16string name;
        std::vector<RegKeyId> children; // in creation order
        std::vector<Value> values;      // in creation order

        int find(std::u16string_view name) const; // index of the value, or -1
    };

    Key *keyOf(RegKeyId id);
    void sync(); // reloads when another process has written
    void load();
    RegKeyId walk(RegKeyId from, const std::vector<std::u16string> &names, size_t *done);
    void forget(RegKeyId key);

    std::unique_ptr<RegStore> store_;
    // The small values read last, with their data: a reader polls the same few settings pass
    // after pass, and answering from here spares it the key's values, names and data, which lie
    // on pages of their own. Names match as spelt; any change to the copy forgets them all.
    struct Polled {
        RegKeyId key = 0; // 0: unused
        uint32_t type = 0;
        uint8_t nameLength = 0;
        uint8_t size = 0;
        char16_t name[24];
        uint8_t data[8];
    };
    static constexpr size_t kPolled = 4;
    Polled polled_[kPolled];
    size_t nextPolled_ = 0;
    const Polled *findPolled(RegKeyId key, std::u16string_view name) const;
    void remember(RegKeyId key, std::u16string_view name, const RegValue &v);
    void forgetPolled();
    // The key found last: a reader asks for the values of one key, pass after pass. Its record
    // stays where it is until the key is forgotten or the copy reloaded.
    RegKeyId lastId_ = 0;
    Key *lastKey_ = nullptr;
    std::unordered_map<RegKeyId, Key> keys_;
    // Keys by parent and folded name: a walk takes one look a step, however many siblings.
    std::unordered_multimap<uint64_t, RegKeyId> byName_;
    static uint64_t childSlot(RegKeyId parent, std::u16string_view name);
    std::vector<RegKeyId> trees_;
};

} // namespace emul
