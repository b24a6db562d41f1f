// The registry: the host-side path API over the hive, the HKEY handle table, and the CE
// registry calls with the platform's semantics.
//
// A handle remembers the key it was opened on. Once that key is deleted (through any handle,
// the host API or another process), every use of the handle except RegCloseKey fails with
// ERROR_KEY_DELETED, even if a key of the same name is created again.
#include <windows.h>

#include "emul/device.h"
#include "emul/kernel.h"
#include "emul/registry.h"
#include "emul/text.h"
#include "kernel/user_pointers.h"
#include "registry/hive.h"

#include <algorithm>
#include <cstring>

namespace emul {

namespace {

constexpr size_t kMaxNameLength = kRegMaxNameLength;

// Root trees, indexed by HKEY value - 0x80000000. Handles of the other roots carry the root's
// name at the start of their path, so a journal line still says where the key is.
const char16_t *const kRootNames[] = {u"HKEY_CLASSES_ROOT", u"HKEY_CURRENT_USER",
                                      u"HKEY_LOCAL_MACHINE", u"HKEY_USERS"};
constexpr uintptr_t kFirstRoot = Hive::kFirstRoot;
constexpr int kMachineRoot = 2;

bool isRoot(HKEY h) {
    uintptr_t v = reinterpret_cast<uintptr_t>(h);
    return v >= kFirstRoot && v < kFirstRoot + 4;
}

// Host paths are forgiving: empty steps (leading, doubled or trailing backslashes) are skipped.
std::vector<std::u16string> splitLoose(const std::u16string &path) {
    std::vector<std::u16string> out;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(u'\\', start);
        if (end == std::u16string::npos)
            end = path.size();
        if (end > start)
            out.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// A sub-key as the device's code passes it: no leading backslash, no empty step, no name
// longer than 255 characters; one trailing backslash is tolerated.
bool splitSubKey(const std::u16string &sub, std::vector<std::u16string> *names,
                 std::u16string *spelled) {
    std::u16string s = sub;
    if (!s.empty() && s.back() == u'\\')
        s.pop_back();
    names->clear();
    *spelled = s;
    if (s.empty())
        return true;
    size_t start = 0;
    for (;;) {
        size_t end = s.find(u'\\', start);
        if (end == std::u16string::npos)
            end = s.size();
        if (end == start || end - start > kMaxNameLength)
            return false;
        names->push_back(s.substr(start, end - start));
        if (end == s.size())
            return true;
        start = end + 1;
    }
}

// Keys nest at most this many levels below their root tree.
constexpr size_t kMaxKeyDepth = kRegMaxKeyDepth;

// Levels of a handle's path below its root tree (the path of another root starts with its name).
size_t levelsBelowRoot(const std::u16string &path) {
    auto parts = splitLoose(path);
    for (const char16_t *root : kRootNames)
        if (!parts.empty() && parts.front() == root)
            return parts.size() - 1;
    return parts.size();
}

std::u16string joinPath(const std::u16string &base, const std::u16string &sub) {
    if (base.empty())
        return sub;
    if (sub.empty())
        return base;
    return base + u"\\" + sub;
}

} // namespace

std::unique_ptr<Hive> Hive::open(const std::string &path) {
    return std::make_unique<Hive>(RegStore::open(path));
}

std::unique_ptr<Registry> Registry::open(const std::string &path) {
    return Hive::open(path);
}

Hive::Hive(std::unique_ptr<RegStore> store) : cache_(std::move(store)) {
    for (int i = 0; i < 4; ++i) {
        roots_[i] = cache_.tree(kRootNames[i]);
        rootPaths_[i] = i == kMachineRoot ? u"" : kRootNames[i];
    }
}

bool Hive::keyExists(const std::u16string &path) {
    return find(path).has_value();
}

void Hive::createKey(const std::u16string &path) {
    wrote(cache_.create(roots_[kMachineRoot], splitLoose(path), nullptr) != 0);
}

bool Hive::deleteKey(const std::u16string &path) {
    auto names = splitLoose(path);
    if (names.empty())
        return false; // the root itself stays
    auto id = cache_.find(roots_[kMachineRoot], names);
    if (!id)
        return false;
    RegStatus s = cache_.remove(*id);
    wrote(s != RegStatus::failed);
    return s == RegStatus::ok;
}

std::optional<RegValue> Hive::getValue(const std::u16string &path, const std::u16string &name) {
    auto id = find(path);
    return id ? cache_.value(*id, name) : std::nullopt;
}

void Hive::setValue(const std::u16string &path, const std::u16string &name, const RegValue &v) {
    RegKeyId id = cache_.create(roots_[kMachineRoot], splitLoose(path), nullptr);
    wrote(id && cache_.setValue(id, name, v) == RegStatus::ok);
}

bool Hive::deleteValue(const std::u16string &path, const std::u16string &name) {
    auto id = find(path);
    if (!id)
        return false;
    RegStatus s = cache_.removeValue(*id, name);
    wrote(s != RegStatus::failed);
    return s == RegStatus::ok;
}

bool Hive::batch(const std::function<bool()> &changes) {
    if (inBatch_ || !cache_.beginBatch())
        return false;
    inBatch_ = batchOk_ = true;
    bool ok = changes();
    inBatch_ = false;
    return cache_.endBatch(ok && batchOk_) && ok && batchOk_;
}

std::vector<std::pair<std::u16string, RegValue>> Hive::values(const std::u16string &path) {
    auto id = find(path);
    return id ? cache_.values(*id) : std::vector<std::pair<std::u16string, RegValue>>();
}

std::vector<std::u16string> Hive::subkeys(const std::u16string &path) {
    auto id = find(path);
    return id ? cache_.children(*id) : std::vector<std::u16string>();
}

HKEY Hive::addHandle(RegKeyId key, std::u16string path) {
    uintptr_t h = next_;
    next_ += 4;
    handles_.push_back(KeyHandle{h, key, std::make_unique<std::u16string>(std::move(path))});
    return reinterpret_cast<HKEY>(h);
}

bool Hive::closeHandle(HKEY h) {
    if (isRoot(h))
        return true;
    KeyHandle *k = handle(h);
    if (!k)
        return false;
    handles_.erase(handles_.begin() + (k - handles_.data()));
    return true;
}

LONG Hive::resolve(HKEY h, RegKeyId *key, const std::u16string **path, bool check) {
    if (isRoot(h)) {
        int i = int(reinterpret_cast<uintptr_t>(h) - kFirstRoot);
        *key = roots_[i];
        *path = &rootPaths_[i];
        return ERROR_SUCCESS;
    }
    *path = nullptr;
    KeyHandle *k = handle(h);
    if (!k)
        return ERROR_INVALID_HANDLE;
    *key = k->key;
    *path = k->path.get();
    return !check || cache_.exists(*key) ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

bool Hive::isTree(RegKeyId key) const {
    for (RegKeyId r : roots_)
        if (r == key)
            return true;
    return false;
}

std::optional<RegKeyId> Hive::find(const std::u16string &path) {
    return cache_.find(roots_[kMachineRoot], splitLoose(path));
}

void Hive::wrote(bool ok) {
    if (!ok)
        batchOk_ = false;
}

namespace {

// Every registry call starts here, and is a point where a thread that never blocks is preempted,
// as the calls on a handle are: a thread that polls the registry must not stop the device.
Hive &hive() {
    Device &d = dev();
    d.kernel().preemptionPoint();
    return d.hive();
}

// What a call on a key handle starts from: the hive, the key, the path the handle was opened
// as (null for an unknown handle) and whether the handle can be used (`err`).
struct OpenedKey {
    Hive &hive;
    RegKeyId key = 0;
    const std::u16string *path = nullptr;
    LONG err = ERROR_SUCCESS;
    explicit OpenedKey(HKEY h, bool check = true) : hive(emul::hive()) {
        err = hive.resolve(h, &key, &path, check);
    }
};

// Copies a name with its terminating null if `*cch` characters have room for it.
bool copyName(const std::u16string &name, LPWSTR buf, LPDWORD cch) {
    if (*cch < name.size() + 1)
        return false;
    std::memcpy(buf, name.data(), name.size() * sizeof(WCHAR));
    buf[name.size()] = 0;
    *cch = DWORD(name.size());
    return true;
}

LONG statusError(RegStatus s, LONG missing) {
    return s == RegStatus::ok        ? ERROR_SUCCESS
           : s == RegStatus::missing ? missing
                                     : ERROR_REGISTRY_IO_FAILED;
}

// RegOpenKeyExW and RegCreateKeyExW.
LONG openKey(HKEY hKey, LPCWSTR lpSubKey, bool create, PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (!phkResult || anyReservedPointer(lpSubKey, phkResult, lpdwDisposition))
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    OpenedKey k(hKey);
    if (k.err != ERROR_SUCCESS)
        return k.err;
    Hive &h = k.hive;
    RegKeyId base = k.key;
    const std::u16string &path = *k.path;
    std::vector<std::u16string> names;
    std::u16string spelled;
    if (!splitSubKey(lpSubKey ? lpSubKey : u"", &names, &spelled))
        return ERROR_INVALID_PARAMETER;
    RegKeyId key;
    if (create) {
        if (levelsBelowRoot(path) + names.size() > kMaxKeyDepth)
            return ERROR_INVALID_PARAMETER;
        bool created = false;
        key = h.cache().create(base, names, &created);
        if (!key)
            return h.cache().exists(base) ? ERROR_REGISTRY_IO_FAILED : ERROR_KEY_DELETED;
        if (lpdwDisposition)
            *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    } else {
        auto found = h.cache().find(base, names);
        if (!found)
            return ERROR_FILE_NOT_FOUND;
        key = *found;
    }
    *phkResult = h.addHandle(key, joinPath(path, spelled));
    return ERROR_SUCCESS;
}

} // namespace

} // namespace emul

using namespace emul;

CEAPI LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM, PHKEY phkResult) {
    return openKey(hKey, lpSubKey, false, phkResult, nullptr);
}

CEAPI LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM,
                           LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
    // No sub-key opens the given key itself, as RegOpenKeyExW does.
    return openKey(hKey, lpSubKey, true, phkResult, lpdwDisposition);
}

// Type, size and data of a value as RegQueryValueExW and RegEnumValueW hand them out: a size
// query without a buffer, and a buffer that is too small left exactly as it was.
EMUL_IDLE_PATH static LONG copyValue(DWORD type, const uint8_t *data, DWORD size, LPDWORD lpType,
                                     LPBYTE lpData, LPDWORD lpcbData) {
    if (lpType)
        *lpType = type;
    if (!lpcbData)
        return ERROR_SUCCESS;
    DWORD room = *lpcbData;
    *lpcbData = size;
    if (!lpData)
        return ERROR_SUCCESS;
    if (room < size)
        return ERROR_MORE_DATA;
    copyData(lpData, data, size);
    return ERROR_SUCCESS;
}

static LONG invalidQuery(Hive &h, RegKeyId key) {
    return h.cache().exists(key) ? ERROR_INVALID_PARAMETER : ERROR_KEY_DELETED;
}

// A value too large for a RegCopy, taken whole. It may have changed since it was measured: what
// is handed out is this look's.
static LONG queryLarge(Hive &h, RegKeyId key, LPCWSTR name, LPDWORD lpType, LPBYTE lpData,
                       LPDWORD lpcbData) {
    auto v = h.cache().value(key, name ? name : u"");
    if (!v)
        return h.cache().exists(key) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    return copyValue(v->type, v->data.data(), DWORD(v->data.size()), lpType, lpData, lpcbData);
}

CEAPI EMUL_IDLE_PATH LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved,
                                           LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    Device &d = dev();
    Kernel &kernel = d.kernel();
    kernel.preemptionPoint();
    Hive &h = d.hive();
    noteWarmLine(WarmLine::device, &d);
    noteWarmLine(WarmLine::hive, &h);
    noteWarmLine(WarmLine::registry, &h.cache());
    // A value found is in a key that exists: the reader's settings cost one look each.
    RegKeyId key;
    if (!h.keyOf(hKey, &key))
        return ERROR_INVALID_HANDLE;
    if (lpReserved || (lpData && !lpcbData) ||
        anyReservedPointer(lpValueName, lpType, lpData, lpcbData))
        return invalidQuery(h, key);
    // The value is copied out of the hive first: a caller's bad buffer faults outside it.
    RegCopy v;
    switch (h.cache().copyValue(key, lpValueName ? lpValueName : u"", h.mustCheck(kernel), &v)) {
    case RegFound::value:
        if (v.size > RegCopy::kSmall)
            return queryLarge(h, key, lpValueName, lpType, lpData, lpcbData);
        return copyValue(v.type, v.data, v.size, lpType, lpData, lpcbData);
    case RegFound::noValue:
        return ERROR_FILE_NOT_FOUND;
    default:
        return ERROR_KEY_DELETED;
    }
}

CEAPI LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE *lpData,
                          DWORD cbData) {
    if (anyReservedPointer(lpValueName, lpData))
        return ERROR_INVALID_PARAMETER;
    OpenedKey k(hKey);
    RegValue v{dwType,
               lpData ? std::vector<uint8_t>(lpData, lpData + cbData) : std::vector<uint8_t>()};
    Fields f;
    if (!k.path)
        f.null("key");
    else
        f.str("key", utf8(*k.path));
    f.str("name", lpValueName).num("type", dwType).num("size", cbData);
    if (lpData)
        regValueField(f, "data", v);
    else
        f.null("data");
    dev().journal().call("RegSetValueExW", f);

    if (k.err != ERROR_SUCCESS)
        return k.err;
    std::u16string name = lpValueName ? lpValueName : u"";
    if ((!lpData && cbData) || name.size() > kMaxNameLength)
        return ERROR_INVALID_PARAMETER;
    return statusError(k.hive.cache().setValue(k.key, name, v), ERROR_KEY_DELETED);
}

CEAPI LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    if (reservedPointer(lpSubKey))
        return ERROR_INVALID_PARAMETER;
    OpenedKey k(hKey);
    Hive &h = k.hive;
    std::vector<std::u16string> names;
    std::u16string spelled;
    bool valid = lpSubKey && splitSubKey(lpSubKey, &names, &spelled);
    Fields f;
    if (!k.path || !lpSubKey)
        f.null("key");
    else
        f.str("key", utf8(joinPath(*k.path, lpSubKey)));
    dev().journal().call("RegDeleteKeyW", f);

    if (k.err != ERROR_SUCCESS)
        return k.err;
    if (!valid)
        return ERROR_INVALID_PARAMETER;
    auto key = h.cache().find(k.key, names);
    if (!key)
        return ERROR_FILE_NOT_FOUND;
    if (h.isTree(*key))
        return ERROR_ACCESS_DENIED;
    return statusError(h.cache().remove(*key), ERROR_FILE_NOT_FOUND);
}

CEAPI LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    OpenedKey k(hKey);
    if (k.err != ERROR_SUCCESS)
        return k.err;
    if (reservedPointer(lpValueName))
        return ERROR_INVALID_PARAMETER;
    return statusError(k.hive.cache().removeValue(k.key, lpValueName ? lpValueName : u""),
                       ERROR_FILE_NOT_FOUND);
}

CEAPI LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD,
                         LPWSTR lpClass, LPDWORD lpcchClass, LPFILETIME lpftLastWriteTime) {
    OpenedKey k(hKey);
    if (k.err != ERROR_SUCCESS)
        return k.err;
    if (!lpName || !lpcchName ||
        anyReservedPointer(lpName, lpcchName, lpClass, lpcchClass, lpftLastWriteTime))
        return ERROR_INVALID_PARAMETER;
    auto names = k.hive.cache().children(k.key);
    if (dwIndex >= names.size())
        return ERROR_NO_MORE_ITEMS;
    if (!copyName(names[dwIndex], lpName, lpcchName))
        return ERROR_MORE_DATA;
    // Keys have no class and no write time here.
    if (lpClass && lpcchClass && *lpcchClass)
        lpClass[0] = 0;
    if (lpcchClass)
        *lpcchClass = 0;
    if (lpftLastWriteTime)
        *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

CEAPI LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                         LPDWORD, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    OpenedKey k(hKey);
    if (k.err != ERROR_SUCCESS)
        return k.err;
    if (!lpValueName || !lpcchValueName || (lpData && !lpcbData) ||
        anyReservedPointer(lpValueName, lpcchValueName, lpType, lpData, lpcbData))
        return ERROR_INVALID_PARAMETER;
    auto values = k.hive.cache().values(k.key);
    if (dwIndex >= values.size())
        return ERROR_NO_MORE_ITEMS;
    const auto &e = values[dwIndex];
    if (!copyName(e.first, lpValueName, lpcchValueName))
        return ERROR_MORE_DATA;
    return copyValue(e.second.type, e.second.data.data(), DWORD(e.second.data.size()), lpType,
                     lpData, lpcbData);
}

CEAPI LONG RegCloseKey(HKEY hKey) {
    return hive().closeHandle(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

CEAPI LONG RegFlushKey(HKEY hKey) {
    // Every write is committed as it happens; there is nothing left to flush.
    return OpenedKey(hKey).err;
}
