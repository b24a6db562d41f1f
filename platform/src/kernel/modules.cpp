// The module loader and the CE calls that reach it.
#include <windows.h>

#include "emul/device.h"
#include "emul/files.h"
#include "emul/modules.h"
#include "emul/process.h"
#include "emul/text.h"
#include "host/host_files.h"
#include "host/host_modules.h"
#include "kernel/user_pointers.h"

#include <algorithm>
#include <cstring>

namespace emul {

namespace {

// Handle values the device's code sees: small, deterministic, never zero, below 2^32.
constexpr uintptr_t kModuleHandleBase = 0x10000000, kModuleHandleStep = 0x10000;

using DllEntryFn = BOOL (*)(HANDLE, DWORD, LPVOID);

bool hasExtension(const std::u16string &path) {
    return fileNameOf(path).find(u'.') != std::u16string::npos;
}

} // namespace

std::u16string fileNameOf(const std::u16string &path) {
    size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

std::u16string moduleCePath(const std::u16string &name, const char16_t *defaultExt) {
    std::u16string path = name;
    if (path.find_first_of(u"\\/") == std::u16string::npos)
        path = u"\\Windows\\" + path;
    else if (path[0] != u'\\' && path[0] != u'/')
        path = u"\\" + path;
    if (!hasExtension(path))
        path += defaultExt;
    return path;
}

ModuleLoader::~ModuleLoader() {
    // The device is being dismantled; entry points can only run on an emulated thread.
    if (!kern().self())
        return;
    while (!modules_.empty()) {
        Module *m = modules_.back().get();
        m->refs = 1;
        unload(m);
    }
}

Module *ModuleLoader::load(const std::u16string &name, uint32_t *error) {
    std::u16string cePath = moduleCePath(name, u".dll");
    std::string host = dev().files().hostPath(cePath);
    if (!hostfs::isRegularFile(host)) {
        *error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    // The same file under two names is one module (the host loader would share it anyway).
    std::string canonical = hostfs::canonical(host);
    for (auto &m : modules_)
        if (m->hostPath == canonical) {
            ++m->refs;
            return m.get();
        }
    std::string why;
    void *h = hostmod::open(canonical, &why);
    if (!h) {
        *error = ERROR_BAD_EXE_FORMAT;
        return nullptr;
    }
    auto m = std::make_unique<Module>();
    m->cePath = cePath;
    m->hostPath = canonical;
    m->host = h;
    m->handle = kModuleHandleBase + kModuleHandleStep * next_++;
    m->refs = 1;
    Module *raw = m.get();
    modules_.push_back(std::move(m));
    if (auto entry = reinterpret_cast<DllEntryFn>(hostmod::symbol(h, "_DllMainCRTStartup"))) {
        HANDLE self = reinterpret_cast<HANDLE>(raw->handle);
        if (!entry(self, DLL_PROCESS_ATTACH, nullptr)) {
            entry(self, DLL_PROCESS_DETACH, nullptr);
            modules_.erase(
                std::find_if(modules_.begin(), modules_.end(),
                             [raw](const std::unique_ptr<Module> &p) { return p.get() == raw; }));
            hostmod::close(h);
            *error = ERROR_DLL_INIT_FAILED;
            return nullptr;
        }
    }
    return raw;
}

void ModuleLoader::unload(Module *m) {
    auto it = std::find_if(modules_.begin(), modules_.end(),
                           [m](const std::unique_ptr<Module> &p) { return p.get() == m; });
    if (it == modules_.end() || --m->refs > 0)
        return;
    if (auto entry = reinterpret_cast<DllEntryFn>(hostmod::symbol(m->host, "_DllMainCRTStartup")))
        entry(reinterpret_cast<HANDLE>(m->handle), DLL_PROCESS_DETACH, nullptr);
    void *h = m->host;
    // The entry point may have loaded or freed other modules: find this one again.
    modules_.erase(std::find_if(modules_.begin(), modules_.end(),
                                [m](const std::unique_ptr<Module> &p) { return p.get() == m; }));
    hostmod::close(h);
}

void *ModuleLoader::symbol(Module *m, const char *name) {
    return m && m->host ? hostmod::symbol(m->host, name) : nullptr;
}

Module *ModuleLoader::byHandle(uintptr_t handle) const {
    for (auto &m : modules_)
        if (m->handle == handle)
            return m.get();
    return nullptr;
}

Module *ModuleLoader::byName(const std::u16string &name) const {
    std::u16string wanted = hasExtension(name) ? name : name + u".dll";
    bool path = wanted.find_first_of(u"\\/") != std::u16string::npos;
    for (auto &m : modules_)
        if (path ? equalsNoCase(m->cePath, moduleCePath(wanted, u""))
                 : equalsNoCase(fileNameOf(m->cePath), wanted))
            return m.get();
    return nullptr;
}

} // namespace emul

/* ---- CE calls ---- */

using namespace emul;

namespace {

Module *moduleOf(HMODULE h) {
    if (!h) {
        Program *p = kern().self()->program;
        return p ? p->module : nullptr;
    }
    return dev().modules().byHandle(reinterpret_cast<uintptr_t>(h));
}

} // namespace

CEAPI HMODULE LoadLibraryW(LPCWSTR name) {
    if (refusedPointer(name))
        return nullptr;
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    uint32_t error = 0;
    Module *m = dev().modules().load(name, &error);
    if (!m) {
        SetLastError(error);
        return nullptr;
    }
    // A program's loads are undone when it ends; the Device Manager's are its own.
    if (Program *p = kern().self()->program)
        p->libraries.push_back(m);
    return reinterpret_cast<HMODULE>(m->handle);
}

CEAPI BOOL FreeLibrary(HMODULE h) {
    Module *m = h ? dev().modules().byHandle(reinterpret_cast<uintptr_t>(h)) : nullptr;
    if (!m) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (Program *p = kern().self()->program) {
        auto &mine = p->libraries;
        auto it = std::find(mine.rbegin(), mine.rend(), m);
        if (it != mine.rend())
            mine.erase(std::next(it).base());
    }
    dev().modules().unload(m);
    return TRUE;
}

CEAPI void *GetProcAddressW(HMODULE h, LPCWSTR name) {
    Module *m = h ? dev().modules().byHandle(reinterpret_cast<uintptr_t>(h)) : nullptr;
    if (!m) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // Exports are looked up by name only; a value below 0x10000 would be an ordinal.
    std::string narrow;
    bool ok = reinterpret_cast<uintptr_t>(name) >= 0x10000;
    for (const WCHAR *p = name; ok && *p; ++p) {
        if (*p > 0x7F)
            ok = false;
        narrow += char(*p);
    }
    void *f = ok && !narrow.empty() ? dev().modules().symbol(m, narrow.c_str()) : nullptr;
    if (!f)
        SetLastError(ERROR_PROC_NOT_FOUND);
    return f;
}

CEAPI HMODULE GetModuleHandleW(LPCWSTR name) {
    Module *m = name ? dev().modules().byName(name) : moduleOf(nullptr);
    if (!m) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(m->handle);
}

CEAPI DWORD GetModuleFileNameW(HMODULE h, LPWSTR buf, DWORD n) {
    if (refusedPointer(buf))
        return 0;
    Module *m = moduleOf(h);
    if (!m || !buf) {
        SetLastError(m ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return 0;
    }
    if (n == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // Always terminated; a short buffer gets the start of the path.
    size_t k = std::min<size_t>(m->cePath.size(), n - 1);
    std::memcpy(buf, m->cePath.data(), k * sizeof(WCHAR));
    buf[k] = 0;
    if (k < m->cePath.size())
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return DWORD(k);
}
