// Bottom of the module loader: the host's dynamic linker.
#include "host/host_modules.h"

#include <dlfcn.h>
#include <link.h>

#include <string>

namespace emul::hostmod {

void *open(const std::string &path, std::string *why) {
    // Local binding: two modules may export the same entry names (every driver has its Init).
#ifdef HANDHELD_KEEP_MODULES
    // A coverage-guided fuzzer keeps counters inside each module; they must stay mapped.
    void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
#else
    void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
    if (!h && why) {
        const char *e = dlerror();
        *why = e ? e : "dlopen failed";
    }
    return h;
}

void *symbol(void *h, const char *name) {
    dlerror();
    void *p = dlsym(h, name);
    if (!p)
        return nullptr;
    // dlsym also searches the module's dependencies (the platform library); a CE export
    // table holds only the module's own functions.
    struct link_map *self = nullptr, *owner = nullptr;
    Dl_info info;
    if (dlinfo(h, RTLD_DI_LINKMAP, &self) != 0 ||
        !dladdr1(p, &info, reinterpret_cast<void **>(&owner), RTLD_DL_LINKMAP) || owner != self)
        return nullptr;
    return p;
}

void close(void *h) {
    dlclose(h);
}

} // namespace emul::hostmod
