// The kernel's module loader: libraries and program files of the device.
//
// Modules are real shared objects loaded with dlopen from the device's file system; their CE
// entry points are found by exported name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace emul {

// A loaded module (library or program file), shared by every user on the device.
struct Module {
    std::u16string cePath; // as resolved: "\Windows\Lumakey.DLL"
    std::string hostPath;  // the host file it came from, symbolic links resolved
    void *host = nullptr;  // the host loader's handle
    uintptr_t handle = 0;  // HMODULE / HINSTANCE value that the device's code sees
    int refs = 0;
};

class ModuleLoader {
  public:
    ModuleLoader() = default;
    ~ModuleLoader(); // unloads what is still loaded, when on an emulated thread
    ModuleLoader(const ModuleLoader &) = delete;
    ModuleLoader &operator=(const ModuleLoader &) = delete;

    // LoadLibraryW: a CE path or a bare name looked up in \Windows. Counted per device; the
    // first load enters the module with DLL_PROCESS_ATTACH, the last unload with
    // DLL_PROCESS_DETACH. Null with *error set on failure.
    Module *load(const std::u16string &name, uint32_t *error);
    void unload(Module *m);
    void *symbol(Module *m, const char *name); // an export of the module itself, or null
    Module *byHandle(uintptr_t handle) const;
    Module *byName(const std::u16string &name) const; // a loaded module, by file name

  private:
    uint32_t next_ = 1;
    std::vector<std::unique_ptr<Module>> modules_; // load order
};

// CE paths are absolute; a bare name is looked up in \Windows and gets `defaultExt` when it
// has no extension of its own.
std::u16string moduleCePath(const std::u16string &name, const char16_t *defaultExt);
std::u16string fileNameOf(const std::u16string &path);

} // namespace emul
