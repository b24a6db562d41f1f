// Device Manager, modules and programs of the device.
//
// Modules are real shared objects loaded with dlopen from the device's file system; their CE
// entry points are found by exported name. Programs are modules started on a thread of their
// own with a command line, as the platform starts a process.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace emul {

struct Thread;
struct Module;
struct Program;
struct FileObject;

class DeviceManager {
  public:
    DeviceManager();
    ~DeviceManager();

    // ActivateDevice / DeactivateDevice with the platform's semantics (active keys
    // "Drivers\Active\NN", "Key", "Name", "ClientInfo", "Hnd"). activate returns 0 on failure
    // and sets the caller's last error.
    uintptr_t activate(const std::u16string &driverKey, uint32_t clientInfo);
    bool deactivate(uintptr_t hnd);
    uintptr_t lastActivated() const; // 0 when none is active
    std::vector<uintptr_t> active() const;
    std::u16string deviceName(uintptr_t hnd) const; // "IRK1:"
    std::u16string activeKey(uintptr_t hnd) const;  // "Drivers\Active\00"
    uintptr_t deviceContext(uintptr_t hnd) const;   // what XXX_Init returned
    void powerDown();                               // reverse activation order
    void powerUp();

    // Stream-device files: CreateFileW/ReadFile/CloseHandle on "XXXn:" reach the driver.
    // Returns the file object, or null with *error set (55: no such device).
    std::shared_ptr<FileObject> openStream(const std::u16string &name, uint32_t access, uint32_t share,
                                           uint32_t *error);

    // Modules (LoadLibraryW): a CE path or a bare name looked up in \Windows.
    Module *load(const std::u16string &name, uint32_t *error);
    void unload(Module *m);
    void *symbol(Module *m, const char *name);

    // Programs: a module with WinMainCRTStartup, or a platform program registered by name.
    // Returns the program, or null with *error set.
    Program *start(const std::u16string &nameOrPath, const std::u16string &cmdLine, uint32_t *error);
    // Built-in programs of the platform, found by file name without case ("notes.exe").
    using BuiltinMain = std::function<int(const std::u16string &cmdLine)>;
    void registerBuiltin(const std::u16string &exeName, BuiltinMain main);
    bool hasProgram(const std::u16string &nameOrPath) const;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

struct Program {
    std::u16string name; // file name, such as "kbloader.exe"
    std::u16string cmdLine;
    Thread *thread = nullptr;
    Module *module = nullptr;
    bool exited() const;
    uint32_t exitCode() const;
};

} // namespace emul
