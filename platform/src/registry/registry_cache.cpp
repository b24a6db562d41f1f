// The hive's copy in memory (see registry_cache.h).
#include "registry/registry_cache.h"

#include "emul/device.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace emul {

namespace {

// SQLite's NOCASE: ASCII letters fold, every other unit compares as is.
inline char16_t fold(char16_t c) {
    return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
}

EMUL_IDLE_PATH bool sameName(std::u16string_view a, std::u16string_view b) {
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

// A name hashed with its letters folded, and its length: names that compare equal have equal
// tags, so a walk compares whole names only where the tags agree. Setting bit 5 folds a letter
// and merges a few other pairs of units, which only costs such a comparison.
uint64_t tagOf(std::u16string_view name) {
    uint32_t h = 2166136261u;
    for (char16_t c : name)
        h = (h ^ (c | 0x20u)) * 16777619u;
    return uint64_t(h) << 32 | uint32_t(name.size());
}

// Every call comes from the thread that holds the device's baton, or from a program with no
// device (the reg tool): the copy needs no lock. Checked in debug and wake-checking builds.
inline void onBaton() {
#if !defined(NDEBUG) || defined(EMUL_WAKE_CHECK)
    Device *d = Device::currentOrNull();
    if (d && !d->kernel().self()) {
        std::fprintf(stderr, "registry: called from a host thread that is not the device's\n");
        std::abort();
    }
#endif
}

} // namespace

// A key holds a few values: comparing their names, length first, is cheaper than hashing the
// one asked for.
EMUL_IDLE_PATH int RegCache::Key::find(std::u16string_view name) const {
    for (size_t i = 0; i < values.size(); ++i)
        if (sameName(values[i].first, name))
            return int(i);
    return -1;
}

RegCache::RegCache(std::unique_ptr<RegStore> store) : store_(std::move(store)) {
    load();
}

RegKeyId RegCache::tree(const std::u16string &name) {
    onBaton();
    sync();
    for (RegKeyId id : trees_)
        if (sameName(keys_[id].name, name))
            return id;
    RegKeyId id = store_->tree(name);
    if (id && !keys_.count(id)) {
        keys_[id] = Key{0, name, {}, {}};
        trees_.push_back(id);
    }
    return id;
}

bool RegCache::exists(RegKeyId key) {
    onBaton();
    sync();
    return keys_.count(key) != 0;
}

std::optional<RegKeyId> RegCache::find(RegKeyId from, const std::vector<std::u16string> &names) {
    onBaton();
    sync();
    size_t done = 0;
    RegKeyId id = walk(from, names, &done);
    if (!id || done < names.size())
        return std::nullopt;
    return id;
}

RegKeyId RegCache::create(RegKeyId from, const std::vector<std::u16string> &names, bool *created) {
    onBaton();
    sync();
    if (created)
        *created = false;
    size_t done = 0;
    RegKeyId id = walk(from, names, &done);
    if (id && done == names.size())
        return id; // nothing to write
    bool made = false;
    RegKeyId last = store_->create(from, names, &made);
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
            auto step = store_->find(id, {names[i]});
            if (!step) {
                load();
                break;
            }
            next = *step;
        }
        keys_[next] = Key{id, names[i], {}, {}};
        keys_[id].children.push_back(next);
        byName_.emplace(childSlot(id, names[i]), next);
        id = next;
    }
    if (created)
        *created = true;
    return last;
}

RegStatus RegCache::remove(RegKeyId key) {
    onBaton();
    sync();
    RegStatus s = store_->remove(key);
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

std::vector<std::u16string> RegCache::children(RegKeyId key) {
    onBaton();
    sync();
    std::vector<std::u16string> out;
    auto it = keys_.find(key);
    if (it != keys_.end())
        for (RegKeyId c : it->second.children)
            out.push_back(keys_[c].name);
    return out;
}

std::optional<RegValue> RegCache::value(RegKeyId key, const std::u16string &name) {
    onBaton();
    sync();
    Key *k = keyOf(key);
    int i = k ? k->find(name) : -1;
    if (i < 0)
        return std::nullopt;
    return k->values[size_t(i)].second;
}

EMUL_IDLE_PATH const RegCache::Polled *RegCache::findPolled(RegKeyId key,
                                                            std::u16string_view name) const {
    // Compared here rather than by memcmp: its code would be one more cold page.
    for (const Polled &p : polled_) {
        if (p.key != key || p.nameLength != name.size())
            continue;
        size_t i = 0;
        while (i < name.size() && p.name[i] == name[i])
            ++i;
        if (i == name.size())
            return &p;
    }
    return nullptr;
}

void RegCache::remember(RegKeyId key, std::u16string_view name, const RegValue &v) {
    if (name.size() > sizeof(Polled::name) / sizeof(char16_t) ||
        v.data.size() > sizeof(Polled::data))
        return;
    Polled &p = polled_[nextPolled_];
    nextPolled_ = (nextPolled_ + 1) % kPolled;
    p.key = key;
    p.type = v.type;
    p.nameLength = uint8_t(name.size());
    p.size = uint8_t(v.data.size());
    std::memcpy(p.name, name.data(), name.size() * sizeof(char16_t));
    copyData(p.data, v.data.data(), v.data.size());
}

void RegCache::forgetPolled() {
    for (Polled &p : polled_)
        p.key = 0;
}

EMUL_IDLE_PATH RegFound RegCache::copyValue(RegKeyId key, const char16_t *name, bool check,
                                            RegCopy *out) {
    onBaton();
    if (check)
        sync();
    std::u16string_view wanted(name);
    if (const Polled *p = findPolled(key, wanted)) {
        out->type = p->type;
        out->size = p->size;
        copyData(out->data, p->data, p->size);
        return RegFound::value;
    }
    Key *k = keyOf(key);
    if (!k)
        return RegFound::noKey;
    int i = k->find(wanted);
    if (i < 0)
        return RegFound::noValue;
    const RegValue &v = k->values[size_t(i)].second;
    out->type = v.type;
    out->size = uint32_t(v.data.size());
    if (v.data.size() <= RegCopy::kSmall)
        copyData(out->data, v.data.data(), v.data.size());
    remember(key, wanted, v);
    return RegFound::value;
}

RegStatus RegCache::setValue(RegKeyId key, const std::u16string &name, const RegValue &v) {
    onBaton();
    sync();
    forgetPolled();
    RegStatus s = store_->setValue(key, name, v);
    Key *k = keyOf(key);
    if (s != RegStatus::ok || !k) {
        load();
        return s;
    }
    // An existing value keeps its place and its spelling.
    int i = k->find(name);
    if (i >= 0)
        k->values[size_t(i)].second = v;
    else
        k->values.emplace_back(name, v);
    return s;
}

RegStatus RegCache::removeValue(RegKeyId key, const std::u16string &name) {
    onBaton();
    sync();
    forgetPolled();
    RegStatus s = store_->removeValue(key, name);
    Key *k = keyOf(key);
    if (s == RegStatus::failed || !k) {
        load();
        return s;
    }
    int i = k->find(name);
    if (i >= 0) {
        k->values.erase(k->values.begin() + i);
        return s;
    }
    if (s == RegStatus::ok)
        load(); // the store had a value the copy did not
    return s;
}

std::vector<std::pair<std::u16string, RegValue>> RegCache::values(RegKeyId key) {
    onBaton();
    sync();
    auto it = keys_.find(key);
    return it == keys_.end() ? std::vector<Value>() : it->second.values;
}

// The copy follows each write of a batch; a batch undone reloads it.
bool RegCache::beginBatch() {
    onBaton();
    sync();
    return store_->beginBatch();
}

bool RegCache::endBatch(bool commit) {
    onBaton();
    bool done = store_->endBatch(commit);
    if (!done)
        load();
    return done;
}

uint64_t RegCache::childSlot(RegKeyId parent, std::u16string_view name) {
    return tagOf(name) ^ uint64_t(parent) * 0x9E3779B97F4A7C15ull;
}

EMUL_IDLE_PATH RegCache::Key *RegCache::keyOf(RegKeyId id) {
    if (id == lastId_)
        return lastKey_;
    auto it = keys_.find(id);
    if (it == keys_.end())
        return nullptr;
    lastId_ = id;
    lastKey_ = &it->second;
    return lastKey_;
}

EMUL_IDLE_PATH void RegCache::sync() {
    if (store_->changedElsewhere())
        load();
}

void RegCache::load() {
    RegImage img = store_->image();
    forgetPolled();
    lastId_ = 0;
    keys_.clear();
    byName_.clear();
    trees_.clear();
    for (auto &k : img.keys) {
        keys_[k.id] = Key{k.parent, std::move(k.name), {}, {}};
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
        if (it != keys_.end())
            it->second.values.emplace_back(std::move(v.name), std::move(v.v));
    }
}

// Follows `names` from `from` as far as keys exist; the last key reached (0 when `from` does not
// exist) and, in *done, how many steps were taken.
RegKeyId RegCache::walk(RegKeyId from, const std::vector<std::u16string> &names, size_t *done) {
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

void RegCache::forget(RegKeyId key) {
    forgetPolled();
    auto it = keys_.find(key);
    if (it == keys_.end())
        return;
    std::vector<RegKeyId> kids = std::move(it->second.children);
    auto [at, end] = byName_.equal_range(childSlot(it->second.parent, it->second.name));
    for (; at != end; ++at)
        if (at->second == key) {
            byName_.erase(at);
            break;
        }
    if (key == lastId_)
        lastId_ = 0;
    keys_.erase(it);
    for (RegKeyId c : kids)
        forget(c);
}

} // namespace emul
