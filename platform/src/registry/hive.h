// The device's hive: the host-side path API (emul/registry.h) and, for the device's registry
// calls, the HKEY handle table over the hive's copy in memory. The device owns it as this type,
// so the calls reach it without a cast; tools and tests see only the Registry API.
#pragma once

#include <windows.h>

#include "emul/kernel.h"
#include "emul/registry.h"
#include "registry/registry_cache.h"

#include <algorithm>

namespace emul {

class Hive final : public Registry {
  public:
    // The predefined roots' handles: kFirstRoot + 0 (HKEY_CLASSES_ROOT) to + 3 (HKEY_USERS).
    static constexpr uintptr_t kFirstRoot = 0x80000000u;

    // `path` empty: in memory. Throws DeviceError when the file is not a usable hive.
    static std::unique_ptr<Hive> open(const std::string &path);
    explicit Hive(std::unique_ptr<RegStore> store);

    bool keyExists(const std::u16string &path) override;
    void createKey(const std::u16string &path) override;
    bool deleteKey(const std::u16string &path) override;
    std::optional<RegValue> getValue(const std::u16string &path,
                                     const std::u16string &name) override;
    void setValue(const std::u16string &path, const std::u16string &name,
                  const RegValue &v) override;
    bool deleteValue(const std::u16string &path, const std::u16string &name) override;
    bool batch(const std::function<bool()> &changes) override;
    std::vector<std::pair<std::u16string, RegValue>> values(const std::u16string &path) override;
    std::vector<std::u16string> subkeys(const std::u16string &path) override;
    size_t openHandles() const override { return handles_.size(); }
    uint64_t hiveStatements() const override { return cache_.statements(); }
    std::string hiveFault() const override { return cache_.fault(); }

    RegCache &cache() { return cache_; }

    // HKEY handles.
    HKEY addHandle(RegKeyId key, std::u16string path);
    bool closeHandle(HKEY h);
    // The key behind `h` and the path it was opened as (valid until the handle closes; null for
    // an unknown handle). ERROR_INVALID_HANDLE for an unknown handle, ERROR_KEY_DELETED when
    // the key has gone since the handle was opened.
    // `check` false: the caller finds out itself whether the key still exists.
    LONG resolve(HKEY h, RegKeyId *key, const std::u16string **path, bool check = true);
    // The key behind `h`, for a read that finds out itself whether the key still exists.
    bool keyOf(HKEY h, RegKeyId *key) {
        uintptr_t v = reinterpret_cast<uintptr_t>(h);
        if (v >= kFirstRoot && v < kFirstRoot + 4)
            *key = roots_[v - kFirstRoot];
        else if (KeyHandle *k = handle(h))
            *key = k->key;
        else
            return false;
        return true;
    }
    // Whether a read must look for another process's writes: not when the calling thread has
    // run alone since the last look. The device's first thread always looks: it is the host's
    // (a front end, a test), which may have done anything between two calls.
    bool mustCheck(Kernel &k) {
        Thread *me = k.self();
        uint64_t step = k.steps();
        if (me && me != k.mainThread() && step == checkedAt_)
            return false;
        checkedAt_ = step;
        return true;
    }
    bool isTree(RegKeyId key) const;

  private:
    struct KeyHandle {
        uintptr_t handle;
        RegKeyId key;
        std::unique_ptr<std::u16string> path; // as the caller spelled it, relative to HKLM
    };
    // Handles only grow, so the table stays in handle order.
    KeyHandle *handle(HKEY h) {
        uintptr_t v = reinterpret_cast<uintptr_t>(h);
        auto it = std::lower_bound(handles_.begin(), handles_.end(), v,
                                   [](const KeyHandle &e, uintptr_t x) { return e.handle < x; });
        return it != handles_.end() && it->handle == v ? &*it : nullptr;
    }
    std::optional<RegKeyId> find(const std::u16string &path);
    void wrote(bool ok); // a write that failed undoes the batch it is in

    RegCache cache_;
    uint64_t checkedAt_ = kNever; // the kernel's step at the last look for others' writes
    bool inBatch_ = false, batchOk_ = true;
    RegKeyId roots_[4] = {};
    std::u16string rootPaths_[4]; // a handle's path starts with its root's, but for HKLM
    std::vector<KeyHandle> handles_;
    uintptr_t next_ = 0x40000000u; // apart from kernel handles and the predefined roots
};

} // namespace emul
