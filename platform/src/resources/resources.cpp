// Resources of modules: FindResourceW, LoadResource, LockResource, SizeofResource and LoadStringW
// over the standard .res format that the resource compiler writes.
#include "resources/resources.h"

#include "emul/device.h"
#include "emul/kernel.h"
#include "emul/modules.h"
#include "emul/process.h"
#include "emul/text.h"
#include "kernel/user_pointers.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace emul {

namespace {

constexpr DWORD kErrorResourceDataNotFound = 1812;
constexpr DWORD kErrorResourceTypeNotFound = 1813;
constexpr DWORD kErrorResourceNameNotFound = 1814;

struct Table {
    std::vector<uint8_t> bytes; // a copy: entries stay valid after the module is unloaded
    std::vector<ResourceEntry> entries;
};

uint32_t rd32(const uint8_t *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t rd16(const uint8_t *p) {
    return uint16_t(p[0] | p[1] << 8);
}

// A type or name field of an entry header: 0xFFFF and an ordinal, or a terminated UTF-16 string.
bool readId(const uint8_t *p, size_t end, size_t *at, bool *isId, uint16_t *id,
            std::u16string *name) {
    if (*at + 2 > end)
        return false;
    if (rd16(p + *at) == 0xFFFF) {
        if (*at + 4 > end)
            return false;
        *isId = true;
        *id = rd16(p + *at + 2);
        *at += 4;
        return true;
    }
    *isId = false;
    name->clear();
    for (;;) {
        if (*at + 2 > end)
            return false;
        uint16_t c = rd16(p + *at);
        *at += 2;
        if (!c)
            return true;
        name->push_back(char16_t(c));
    }
}

// Entries: DataSize, HeaderSize, TYPE, NAME, (DWORD alignment), DataVersion, MemoryFlags,
// LanguageId, Version, Characteristics, then the data, DWORD-aligned. A damaged entry ends the
// table; what came before it stays usable.
void parse(Table &t) {
    const uint8_t *p = t.bytes.data();
    size_t n = t.bytes.size();
    size_t at = 0;
    while (at + 8 <= n) {
        uint32_t dataSize = rd32(p + at), headerSize = rd32(p + at + 4);
        if (headerSize < 16 || headerSize > n - at || dataSize > n - at - headerSize)
            break;
        size_t hend = at + headerSize, f = at + 8;
        ResourceEntry e;
        if (!readId(p, hend, &f, &e.typeIsId, &e.typeId, &e.typeName) ||
            !readId(p, hend, &f, &e.nameIsId, &e.nameId, &e.nameName))
            break;
        f = (f + 3) & ~size_t(3);
        if (f + 16 <= hend)
            e.language = rd16(p + f + 6);
        e.data = p + hend;
        e.size = dataSize;
        // The first entry of every file is an empty one that only marks the format.
        if (!(e.typeIsId && e.typeId == 0 && dataSize == 0))
            t.entries.push_back(std::move(e));
        at = (hend + dataSize + 3) & ~size_t(3);
    }
}

std::mutex tablesLock;
std::map<const void *, std::unique_ptr<Table>> tables; // by the module's resource bytes

Module *moduleFor(HMODULE h) {
    if (!h) {
        Program *p = kern().self()->program;
        return p ? p->module : nullptr;
    }
    return dev().modules().byHandle(reinterpret_cast<uintptr_t>(h));
}

const Table *tableOf(HMODULE h) {
    Module *m = moduleFor(h);
    if (!m)
        return nullptr;
    auto *bytes = static_cast<const uint8_t *>(dev().modules().symbol(m, "CeModuleResources"));
    auto *size = static_cast<const unsigned *>(dev().modules().symbol(m, "CeModuleResourcesSize"));
    if (!bytes || !size)
        return nullptr;
    std::lock_guard<std::mutex> g(tablesLock);
    // Another module may later sit at the same address: the copy tells them apart.
    auto &t = tables[bytes];
    if (!t || t->bytes.size() != *size || std::memcmp(t->bytes.data(), bytes, *size) != 0) {
        t = std::make_unique<Table>();
        t->bytes.assign(bytes, bytes + *size);
        parse(*t);
    }
    return t.get();
}

bool matches(bool isId, uint16_t id, const std::u16string &name, LPCWSTR want) {
    if (IS_INTRESOURCE(want))
        return isId && id == uint16_t(reinterpret_cast<uintptr_t>(want));
    // "#102" names the ordinal 102, as on the platform.
    if (want[0] == u'#') {
        uint32_t v = 0;
        for (LPCWSTR c = want + 1; *c >= u'0' && *c <= u'9'; ++c)
            v = v * 10 + uint32_t(*c - u'0');
        return isId && id == v;
    }
    return !isId && equalsNoCase(name, want);
}

} // namespace

const ResourceEntry *findResource(HMODULE module, LPCWSTR name, LPCWSTR type) {
    const Table *t = tableOf(module);
    if (!t || !name || !type) {
        SetLastError(t ? ERROR_INVALID_PARAMETER : kErrorResourceDataNotFound);
        return nullptr;
    }
    bool typeSeen = false;
    const ResourceEntry *found = nullptr;
    for (const ResourceEntry &e : t->entries) {
        if (!matches(e.typeIsId, e.typeId, e.typeName, type))
            continue;
        typeSeen = true;
        if (!matches(e.nameIsId, e.nameId, e.nameName, name))
            continue;
        // The neutral and US English versions come first, then whatever else there is.
        if (!found || (e.language == 0x409 && found->language != 0x409))
            found = &e;
    }
    if (!found)
        SetLastError(typeSeen ? kErrorResourceNameNotFound : kErrorResourceTypeNotFound);
    return found;
}

const ResourceEntry *firstResource(HMODULE module, LPCWSTR type) {
    const Table *t = tableOf(module);
    if (!t || !type)
        return nullptr;
    auto before = [](const ResourceEntry &a, const ResourceEntry &b) {
        if (a.nameIsId != b.nameIsId)
            return !a.nameIsId;
        return a.nameIsId ? a.nameId < b.nameId : foldCase(a.nameName) < foldCase(b.nameName);
    };
    const ResourceEntry *first = nullptr;
    for (const ResourceEntry &e : t->entries)
        if (matches(e.typeIsId, e.typeId, e.typeName, type) && (!first || before(e, *first)))
            first = &e;
    return first;
}

} // namespace emul

using namespace emul;

CEAPI HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
    return reinterpret_cast<HRSRC>(const_cast<ResourceEntry *>(findResource(module, name, type)));
}

CEAPI HGLOBAL LoadResource(HMODULE, HRSRC res) {
    if (!res) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // Resources stay where the module has them; the handle is their address.
    return reinterpret_cast<HGLOBAL>(
        const_cast<uint8_t *>(reinterpret_cast<ResourceEntry *>(res)->data));
}

CEAPI LPVOID LockResource(HGLOBAL data) {
    return data;
}

CEAPI DWORD SizeofResource(HMODULE, HRSRC res) {
    if (!res) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return reinterpret_cast<ResourceEntry *>(res)->size;
}

CEAPI int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buf, int max) {
    if (refusedPointer(buf))
        return 0;
    if (!buf || max <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    buf[0] = 0;
    // Strings live in blocks of sixteen: block id / 16 + 1, each a counted UTF-16 string.
    const ResourceEntry *e =
        findResource(instance, MAKEINTRESOURCEW((id >> 4) + 1), MAKEINTRESOURCEW(6));
    if (!e)
        return 0;
    size_t at = 0;
    for (UINT i = 0; i < (id & 15); ++i) {
        if (at + 2 > e->size)
            return 0;
        at += 2 + 2 * size_t(e->data[at] | e->data[at + 1] << 8);
    }
    if (at + 2 > e->size)
        return 0;
    size_t len = size_t(e->data[at] | e->data[at + 1] << 8);
    if (len == 0 || at + 2 + 2 * len > e->size) {
        SetLastError(1814);
        return 0;
    }
    size_t n = std::min(len, size_t(max - 1));
    std::memcpy(buf, e->data + at + 2, n * 2);
    buf[n] = 0;
    return int(n);
}
