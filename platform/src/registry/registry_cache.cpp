// The hive in memory, in front of its SQLite store. Reads never touch SQLite; every write goes
// to the store first (one transaction, as before) and then to the copy. When another process
// has written to a file hive, the next call reloads the whole copy: hives are small, and
// writes from elsewhere are rare next to the reader's passes.
#include "registry/registry_store.h"

#include <mutex>
#include <unordered_map>

namespace emul {

namespace {

// SQLite's NOCASE: ASCII letters fold, every other unit compares as is.
bool sameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'A' && x <= u'Z')
            x = char16_t(x + 32);
        if (y >= u'A' && y <= u'Z')
            y = char16_t(y + 32);
        if (x != y)
            return false;
    }
    return true;
}

class CachedStore : public RegStore {
  public:
    explicit CachedStore(std::unique_ptr<RegStore> backing) : backing_(std::move(backing)) {
        load();
    }

    RegKeyId tree(const std::u16string &name) override {
        std::lock_guard<std::mutex> lock(m_);
        sync();
        for (RegKeyId id : trees_)
            if (sameName(keys_[id].name, name))
                return id;
        RegKeyId id = backing_->tree(name);
        if (id && !keys_.count(id)) {
            keys_[id] = Key{0, name, {}, {}};
            trees_.push_back(id);
        }
        return id;
    }

    bool exists(RegKeyId key) override {
        std::lock_guard<std::mutex> lock(m_);
        sync();
        return keys_.count(key) != 0;
    }

    std::optional<RegKeyId> find(RegKeyId from, const std::vector<std::u16string> &names) override {
        std::lock_guard<std::mutex> lock(m_);
        sync();
        size_t done = 0;
        RegKeyId id = walk(from, names, &done);
        if (!id || done < names.size())
            return std::nullopt;
        return id;
    }

    RegKeyId create(RegKeyId from, const std::vector<std::u16string> &names,
                    bool *created) override {
        std::lock_guard<std::mutex> lock(m_);
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
            keys_[next] = Key{id, names[i], {}, {}};
            keys_[id].children.push_back(next);
            id = next;
        }
        if (created)
            *created = true;
        return last;
    }

    RegStatus remove(RegKeyId key) override {
        std::lock_guard<std::mutex> lock(m_);
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
        std::lock_guard<std::mutex> lock(m_);
        sync();
        std::vector<std::u16string> out;
        auto it = keys_.find(key);
        if (it != keys_.end())
            for (RegKeyId c : it->second.children)
                out.push_back(keys_[c].name);
        return out;
    }

    std::optional<RegValue> value(RegKeyId key, const std::u16string &name) override {
        std::optional<RegValue> out;
        readValue(
            key, name,
            [](const RegValue &v, void *o) { *static_cast<std::optional<RegValue> *>(o) = v; },
            &out);
        return out;
    }

    bool readValue(RegKeyId key, std::u16string_view name, void (*use)(const RegValue &, void *),
                   void *context) override {
        std::lock_guard<std::mutex> lock(m_);
        sync();
        auto it = keys_.find(key);
        if (it == keys_.end())
            return false;
        for (auto &v : it->second.values)
            if (sameName(v.first, name)) {
                use(v.second, context);
                return true;
            }
        return false;
    }

    RegStatus setValue(RegKeyId key, const std::u16string &name, const RegValue &v) override {
        std::lock_guard<std::mutex> lock(m_);
        sync();
        RegStatus s = backing_->setValue(key, name, v);
        auto it = keys_.find(key);
        if (s != RegStatus::ok || it == keys_.end()) {
            load();
            return s;
        }
        // An existing value keeps its place and its spelling.
        for (auto &e : it->second.values)
            if (sameName(e.first, name)) {
                e.second = v;
                return s;
            }
        it->second.values.emplace_back(name, v);
        return s;
    }

    RegStatus removeValue(RegKeyId key, const std::u16string &name) override {
        std::lock_guard<std::mutex> lock(m_);
        sync();
        RegStatus s = backing_->removeValue(key, name);
        auto it = keys_.find(key);
        if (s == RegStatus::failed || it == keys_.end()) {
            load();
            return s;
        }
        auto &vals = it->second.values;
        for (size_t i = 0; i < vals.size(); ++i)
            if (sameName(vals[i].first, name)) {
                vals.erase(vals.begin() + long(i));
                return s;
            }
        if (s == RegStatus::ok)
            load(); // the store had a value the copy did not
        return s;
    }

    std::vector<std::pair<std::u16string, RegValue>> values(RegKeyId key) override {
        std::lock_guard<std::mutex> lock(m_);
        sync();
        auto it = keys_.find(key);
        return it == keys_.end() ? std::vector<std::pair<std::u16string, RegValue>>()
                                 : it->second.values;
    }

    // The copy follows each write of a batch; a batch undone reloads it.
    bool beginBatch() override {
        std::lock_guard<std::mutex> lock(m_);
        sync();
        return backing_->beginBatch();
    }
    bool endBatch(bool commit) override {
        std::lock_guard<std::mutex> lock(m_);
        bool done = backing_->endBatch(commit);
        if (!done)
            load();
        return done;
    }

    RegImage image() override { return backing_->image(); }
    bool changedElsewhere() override { return backing_->changedElsewhere(); }
    uint64_t statements() const override { return backing_->statements(); }

  private:
    struct Key {
        RegKeyId parent;
        std::u16string name;
        std::vector<RegKeyId> children;                          // in creation order
        std::vector<std::pair<std::u16string, RegValue>> values; // in creation order
    };

    void sync() {
        if (backing_->changedElsewhere())
            load();
    }

    void load() {
        RegImage img = backing_->image();
        keys_.clear();
        trees_.clear();
        for (auto &k : img.keys) {
            keys_[k.id] = Key{k.parent, std::move(k.name), {}, {}};
            if (!k.parent)
                trees_.push_back(k.id);
        }
        // Ids grow, so a parent is listed before its children and siblings come in order.
        for (auto &k : img.keys) {
            auto p = keys_.find(k.parent);
            if (k.parent && p != keys_.end())
                p->second.children.push_back(k.id);
        }
        for (auto &v : img.values) {
            auto it = keys_.find(v.key);
            if (it != keys_.end())
                it->second.values.emplace_back(std::move(v.name), std::move(v.v));
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
            for (RegKeyId c : keys_[id].children)
                if (sameName(keys_[c].name, n)) {
                    next = c;
                    break;
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
        keys_.erase(it);
        for (RegKeyId c : kids)
            forget(c);
    }

    std::unique_ptr<RegStore> backing_;
    std::mutex m_; // each call atomic whoever makes it; see emul/kernel.h on locking
    std::unordered_map<RegKeyId, Key> keys_;
    std::vector<RegKeyId> trees_;
};

} // namespace

std::unique_ptr<RegStore> RegStore::cached(std::unique_ptr<RegStore> backing) {
    return std::make_unique<CachedStore>(std::move(backing));
}

} // namespace emul
