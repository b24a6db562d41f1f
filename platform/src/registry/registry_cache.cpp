// The hive in memory, in front of its SQLite store. Reads never touch SQLite; every write goes
// to the store first (one transaction, as before) and then to the copy. When another process
// has written to a file hive, the next call reloads the whole copy: hives are small, and
// writes from elsewhere are rare next to the reader's passes.
#include "registry/registry_store.h"

#include "host/host_lock.h"

#include <cstring>
#include <mutex>
#include <unordered_map>

namespace emul {

namespace {

// SQLite's NOCASE: ASCII letters fold, every other unit compares as is.
[[gnu::hot]] inline char16_t fold(char16_t c) {
    return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
}

bool sameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    // Four units at a time while they are spelled alike, as they mostly are.
    size_t i = 0;
    for (; i + 4 <= a.size(); i += 4) {
        uint64_t x, y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y)
            break;
    }
    for (; i < a.size(); ++i)
        if (a[i] != b[i] && fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

// Whether the null-terminated `name` is `stored`, unit for unit, where `stored` has no null unit:
// a shorter name differs at its terminator, so no unit past it is read.
[[gnu::hot]] bool spelledAs(std::u16string_view stored, const char16_t *name) {
    for (size_t i = 0; i < stored.size(); ++i)
        if (name[i] != stored[i])
            return false;
    return name[stored.size()] == 0;
}

// A name hashed with its letters folded, and its length: names that compare equal have equal
// tags, so a look-up compares whole names only where the tags agree. Setting bit 5 folds a
// letter and merges a few other pairs of units, which only costs such a comparison.
uint64_t tagOf(std::u16string_view name) {
    uint32_t h = 2166136261u;
    for (char16_t c : name)
        h = (h ^ (c | 0x20u)) * 16777619u;
    return uint64_t(h) << 32 | uint32_t(name.size());
}

// The same of a name with a terminating null, measured on the way.
uint64_t tagOf(const char16_t *name, size_t *length) {
    uint32_t h = 2166136261u;
    size_t n = 0;
    for (; name[n]; ++n)
        h = (h ^ (name[n] | 0x20u)) * 16777619u;
    *length = n;
    return uint64_t(h) << 32 | uint32_t(n);
}

class CachedStore final : public RegStore {
  public:
    explicit CachedStore(std::unique_ptr<RegStore> backing) : backing_(std::move(backing)) {
        load();
    }

    RegKeyId tree(const std::u16string &name) override {
        std::lock_guard<HostLock> lock(m_);
        ++changes_;
        sync();
        for (RegKeyId id : trees_)
            if (sameName(keys_[id].name, name))
                return id;
        RegKeyId id = backing_->tree(name);
        if (id && !keys_.count(id)) {
            keys_[id] = Key{0, name, {}, {}, {}};
            trees_.push_back(id);
        }
        return id;
    }

    bool exists(RegKeyId key) override {
        std::lock_guard<HostLock> lock(m_);
        sync();
        return keys_.count(key) != 0;
    }

    std::optional<RegKeyId> find(RegKeyId from, const std::vector<std::u16string> &names) override {
        std::lock_guard<HostLock> lock(m_);
        sync();
        size_t done = 0;
        RegKeyId id = walk(from, names, &done);
        if (!id || done < names.size())
            return std::nullopt;
        return id;
    }

    RegKeyId create(RegKeyId from, const std::vector<std::u16string> &names,
                    bool *created) override {
        std::lock_guard<HostLock> lock(m_);
        ++changes_;
        sync();
        if (created)
            *created = false;
        size_t done = 0;
        RegKeyId id = walk(from, names, &done);
        if (id && done == names.size())
            return id; // nothing to write
        bool made = false;
        RegKeyId last = backing_->create(from, names, &made);
        if (!last || !id || !made) {
            // Failed, or the copy was behind the store: take the store's word for it.
            load();
            if (created)
                *created = made && last;
            return last;
        }
        // Learn the ids of the steps the store has just made.
        for (size_t i = done; i < names.size(); ++i) {
            RegKeyId next = i + 1 == names.size() ? last : 0;
            if (!next) {
                auto step = backing_->find(id, {names[i]});
                if (!step) {
                    load();
                    break;
                }
                next = *step;
            }
            keys_[next] = Key{id, names[i], {}, {}, {}};
            keys_[id].children.push_back(next);
            byName_.emplace(childSlot(id, names[i]), next);
            id = next;
        }
        if (created)
            *created = true;
        return last;
    }

    RegStatus remove(RegKeyId key) override {
        std::lock_guard<HostLock> lock(m_);
        ++changes_;
        sync();
        RegStatus s = backing_->remove(key);
        if (s != RegStatus::ok || !keys_.count(key)) {
            load();
            return s;
        }
        Key &k = keys_[key];
        if (k.parent) {
            auto &siblings = keys_[k.parent].children;
            for (size_t i = 0; i < siblings.size(); ++i)
                if (siblings[i] == key) {
                    siblings.erase(siblings.begin() + long(i));
                    break;
                }
        }
        forget(key);
        return s;
    }

    std::vector<std::u16string> children(RegKeyId key) override {
        std::lock_guard<HostLock> lock(m_);
        sync();
        std::vector<std::u16string> out;
        auto it = keys_.find(key);
        if (it != keys_.end())
            for (RegKeyId c : it->second.children)
                out.push_back(keys_[c].name);
        return out;
    }

    std::optional<RegValue> value(RegKeyId key, const std::u16string &name) override {
        std::lock_guard<HostLock> lock(m_);
        sync();
        Key *k = keyOf(key);
        int i = k ? k->find(name, tagOf(name)) : -1;
        if (i < 0)
            return std::nullopt;
        return k->values[size_t(i)].second;
    }

    [[gnu::hot]] RegFound copyValue(RegKeyId key, const char16_t *name, bool check, RegCopy *out) {
        std::lock_guard<HostLock> lock(m_);
        if (check)
            sync();
        // A reader asks for the same names from the same strings pass after pass: the values
        // found last are kept with their names, and tried first while the copy stays as it
        // was. A name spelled exactly as asked is the one.
        if (recentAt_ == changes_)
            for (const Recent &r : recent_)
                if (r.name == name && r.key == key &&
                    spelledAs(std::u16string_view(r.spelled, r.length), name)) {
                    out->set(r.type, r.data, r.size);
                    return RegFound::value;
                }
        RegFound found = RegFound::value;
        const Value *v = lookUp(key, name, &found);
        if (!v)
            return found;
        out->set(v->second.type, v->second.data.data(), v->second.data.size());
        return RegFound::value;
    }

    RegStatus setValue(RegKeyId key, const std::u16string &name, const RegValue &v) override {
        std::lock_guard<HostLock> lock(m_);
        ++changes_;
        sync();
        RegStatus s = backing_->setValue(key, name, v);
        Key *k = keyOf(key);
        if (s != RegStatus::ok || !k) {
            load();
            return s;
        }
        // An existing value keeps its place and its spelling.
        uint64_t tag = tagOf(name);
        int i = k->find(name, tag);
        if (i >= 0)
            k->values[size_t(i)].second = v;
        else
            k->add(name, tag, v);
        return s;
    }

    RegStatus removeValue(RegKeyId key, const std::u16string &name) override {
        std::lock_guard<HostLock> lock(m_);
        ++changes_;
        sync();
        RegStatus s = backing_->removeValue(key, name);
        Key *k = keyOf(key);
        if (s == RegStatus::failed || !k) {
            load();
            return s;
        }
        int i = k->find(name, tagOf(name));
        if (i >= 0) {
            k->values.erase(k->values.begin() + i);
            k->tags.erase(k->tags.begin() + i);
            return s;
        }
        if (s == RegStatus::ok)
            load(); // the store had a value the copy did not
        return s;
    }

    std::vector<std::pair<std::u16string, RegValue>> values(RegKeyId key) override {
        std::lock_guard<HostLock> lock(m_);
        sync();
        auto it = keys_.find(key);
        return it == keys_.end() ? std::vector<std::pair<std::u16string, RegValue>>()
                                 : it->second.values;
    }

    // The copy follows each write of a batch; a batch undone reloads it.
    bool beginBatch() override {
        std::lock_guard<HostLock> lock(m_);
        sync();
        return backing_->beginBatch();
    }
    bool endBatch(bool commit) override {
        std::lock_guard<HostLock> lock(m_);
        bool done = backing_->endBatch(commit);
        if (!done)
            load();
        return done;
    }

    RegImage image() override { return backing_->image(); }
    // Not in line: where the copy asks its store, the compiler would otherwise try this first.
    [[gnu::noinline]] bool changedElsewhere() override { return backing_->changedElsewhere(); }
    uint64_t statements() const override { return backing_->statements(); }
    std::string fault() const override { return backing_->fault(); }

  private:
    using Value = std::pair<std::u16string, RegValue>;
    struct Key {
        RegKeyId parent;
        std::u16string name;
        std::vector<RegKeyId> children;                          // in creation order
        std::vector<std::pair<std::u16string, RegValue>> values; // in creation order
        std::vector<uint64_t> tags;                              // of the values' names

        // The index of the value called `name` (whose tag is `tag`), or -1.
        int find(std::u16string_view name, uint64_t tag) const {
            for (size_t i = 0; i < tags.size(); ++i)
                if (tags[i] == tag && sameName(values[i].first, name))
                    return int(i);
            return -1;
        }
        void add(std::u16string name, uint64_t tag, RegValue v) {
            values.emplace_back(std::move(name), std::move(v));
            tags.push_back(tag);
        }
    };

    // The copy's key `id`, or null. The last one found is kept: a reader asks for several
    // values of one key in a row.
    [[gnu::hot]] Key *keyOf(RegKeyId id) { return id == lastId_ && last_ ? last_ : findKey(id); }
    [[gnu::noinline]] Key *findKey(RegKeyId id) {
        auto it = keys_.find(id);
        if (it == keys_.end())
            return nullptr;
        lastId_ = id;
        return last_ = &it->second;
    }

    // The value `name` of `key` (null, and why, when there is none), remembered for the next
    // read of it from the same string.
    [[gnu::noinline]] const Value *lookUp(RegKeyId key, const char16_t *name, RegFound *why) {
        Key *k = keyOf(key);
        if (!k) {
            *why = RegFound::noKey;
            return nullptr;
        }
        size_t length;
        uint64_t tag = tagOf(name, &length);
        int i = k->find(std::u16string_view(name, length), tag);
        if (i < 0) {
            *why = RegFound::noValue;
            return nullptr;
        }
        if (recentAt_ != changes_) {
            for (Recent &r : recent_)
                r.name = nullptr;
            recentAt_ = changes_;
        }
        const Value *v = &k->values[size_t(i)];
        if (v->first.size() <= Recent::kName && v->second.data.size() <= Recent::kData) {
            Recent &r = recent_[nextRecent_++ % kRecent];
            r.name = name;
            r.key = key;
            r.type = v->second.type;
            r.size = uint32_t(v->second.data.size());
            copyBytes(r.data, v->second.data.data(), r.size);
            r.length = uint16_t(v->first.size());
            copyBytes(r.spelled, v->first.data(), r.length * sizeof(char16_t));
        }
        return v;
    }

    void sync() {
        if (backing_->changedElsewhere())
            load();
    }

    [[gnu::noinline]] void load() {
        RegImage img = backing_->image();
        ++changes_;
        last_ = nullptr;
        keys_.clear();
        byName_.clear();
        trees_.clear();
        for (auto &k : img.keys) {
            keys_[k.id] = Key{k.parent, std::move(k.name), {}, {}, {}};
            if (!k.parent)
                trees_.push_back(k.id);
        }
        // Ids grow, so a parent is listed before its children and siblings come in order.
        for (auto &k : img.keys) {
            auto p = keys_.find(k.parent);
            if (k.parent && p != keys_.end()) {
                p->second.children.push_back(k.id);
                byName_.emplace(childSlot(k.parent, keys_[k.id].name), k.id);
            }
        }
        for (auto &v : img.values) {
            auto it = keys_.find(v.key);
            if (it != keys_.end()) {
                uint64_t tag = tagOf(v.name);
                it->second.add(std::move(v.name), tag, std::move(v.v));
            }
        }
    }

    // Follows `names` from `from` as far as keys exist; the last key reached (0 when `from`
    // does not exist) and, in *done, how many steps were taken.
    RegKeyId walk(RegKeyId from, const std::vector<std::u16string> &names, size_t *done) {
        *done = 0;
        auto it = keys_.find(from);
        if (it == keys_.end())
            return 0;
        RegKeyId id = from;
        for (auto &n : names) {
            RegKeyId next = 0;
            auto [at, end] = byName_.equal_range(childSlot(id, n));
            for (; at != end; ++at) {
                const Key &c = keys_[at->second];
                if (c.parent == id && sameName(c.name, n)) {
                    next = at->second;
                    break;
                }
            }
            if (!next)
                break;
            id = next;
            ++*done;
        }
        return id;
    }

    void forget(RegKeyId key) {
        auto it = keys_.find(key);
        if (it == keys_.end())
            return;
        std::vector<RegKeyId> kids = std::move(it->second.children);
        if (last_ == &it->second)
            last_ = nullptr;
        auto [at, end] = byName_.equal_range(childSlot(it->second.parent, it->second.name));
        for (; at != end; ++at)
            if (at->second == key) {
                byName_.erase(at);
                break;
            }
        keys_.erase(it);
        for (RegKeyId c : kids)
            forget(c);
    }

    std::unique_ptr<RegStore> backing_;
    HostLock m_;           // each call atomic whoever makes it; see emul/kernel.h on locking
    uint64_t changes_ = 0; // moves with every change of the copy
    uint64_t recentAt_ = 0;
    size_t nextRecent_ = 0;
    std::unordered_map<RegKeyId, Key> keys_;
    // Keys by parent and folded name: a walk takes one look a step, however many siblings.
    std::unordered_multimap<uint64_t, RegKeyId> byName_;
    static uint64_t childSlot(RegKeyId parent, std::u16string_view name) {
        return tagOf(name) ^ uint64_t(parent) * 0x9E3779B97F4A7C15ull;
    }
    std::vector<RegKeyId> trees_;
    RegKeyId lastId_ = 0;
    Key *last_ = nullptr;
    // Small values read lately, each on a cache line of its own with its name as stored, valid
    // while changes_ is still recentAt_. Their names have no null unit: each was found under a
    // name that has none.
    struct alignas(64) Recent {
        static constexpr size_t kData = 8, kName = 15;
        const char16_t *name; // where a reader's name was
        RegKeyId key;
        uint32_t type, size;
        uint8_t data[kData];
        uint16_t length;
        char16_t spelled[kName];
    };
    static constexpr size_t kRecent = 4;
    Recent recent_[kRecent] = {};
};

} // namespace

std::unique_ptr<RegStore> RegStore::cached(std::unique_ptr<RegStore> backing) {
    return std::make_unique<CachedStore>(std::move(backing));
}

[[gnu::hot, gnu::aligned(64)]] RegFound
copyCachedValue(RegStore &cache, RegKeyId key, const char16_t *name, bool check, RegCopy *out) {
    return static_cast<CachedStore &>(cache).copyValue(key, name, check, out);
}

} // namespace emul
