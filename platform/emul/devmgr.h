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
struct Program;
struct FileObject;

// A loaded module (library or program file), shared by every user on the device.
struct Module {
    std::u16string cePath; // as resolved: "\Windows\Lumakey.DLL"
    std::string hostPath;  // the host file it came from, symbolic links resolved
    void *host = nullptr;  // the host loader's handle
    uintptr_t handle = 0;  // HMODULE / HINSTANCE value that the device's code sees
    int refs = 0;
};

class DeviceManager {
  public:
    DeviceManager();
    ~DeviceManager();
    DeviceManager(const DeviceManager &) = delete;
    DeviceManager &operator=(const DeviceManager &) = delete;

    // ActivateDevice / DeactivateDevice with the platform's semantics (active keys
    // "Drivers\Active\NN", "Key", "Name", "ClientInfo", "Hnd"). activate returns 0 on failure
    // and sets the caller's last error. Neither is journaled; the CE calls journal themselves.
    uintptr_t activate(const std::u16string &driverKey, uint32_t clientInfo);
    bool deactivate(uintptr_t hnd);
    uintptr_t lastActivated() const;       // the newest active instance; 0 when none is active
    std::vector<uintptr_t> active() const; // in activation order
    std::u16string deviceName(uintptr_t hnd) const; // "IRK1:"
    std::u16string activeKey(uintptr_t hnd) const;  // "Drivers\Active\00"
    uintptr_t deviceContext(uintptr_t hnd) const;   // what XXX_Init returned
    void powerDown();                               // reverse activation order
    void powerUp();

    // Stream-device files: CreateFileW/ReadFile/CloseHandle on "XXXn:" reach the driver.
    // Returns the file object, or null with *error set (55: no such device).
    std::shared_ptr<FileObject> openStream(const std::u16string &name, uint32_t access,
                                           uint32_t share, uint32_t *error);

    // Modules (LoadLibraryW): a CE path or a bare name looked up in \Windows. Counted per
    // device; the first load enters the module with DLL_PROCESS_ATTACH, the last unload with
    // DLL_PROCESS_DETACH.
    Module *load(const std::u16string &name, uint32_t *error);
    void unload(Module *m);
    void *symbol(Module *m, const char *name); // an export of the module itself, or null
    Module *moduleByHandle(uintptr_t handle) const;
    Module *moduleByName(const std::u16string &name) const; // a loaded module, by file name

    // Programs: a module with WinMainCRTStartup, or a platform program registered by name.
    // Returns the program, or null with *error set.
    Program *start(const std::u16string &nameOrPath, const std::u16string &cmdLine,
                   uint32_t *error);
    // Built-in programs of the platform, found by file name without case ("notes.exe").
    using BuiltinMain = std::function<int(const std::u16string &cmdLine)>;
    void registerBuiltin(const std::u16string &exeName, BuiltinMain main);
    bool hasProgram(const std::u16string &nameOrPath) const;
    const std::vector<std::unique_ptr<Program>> &programs() const;

    // KernelIoControl(IOCTL_HAL_REBOOT) requests so far.
    uint32_t rebootRequests() const;
    void noteRebootRequest();

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

struct Program {
    uint32_t id = 0;     // process id
    std::u16string name; // file name, such as "kbloader.exe"
    std::u16string cmdLine;
    std::shared_ptr<Thread> thread;
    Module *module = nullptr; // null for a built-in program
    bool exited() const;
    uint32_t exitCode() const; // 259 (STILL_ACTIVE) while running
};

// A process handle (waitable: signalled once the program has exited) in the device's handle
// table, as CreateProcessW returns it.
void *newProcessHandle(Program *program);

} // namespace emul
