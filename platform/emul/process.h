// Processes of the device: a program file (a module with WinMainCRTStartup) or one of the
// platform's own programs, started on a thread of its own with a command line.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace emul {

struct Thread;
struct Module;

struct Program {
    uint32_t id = 0;     // process id
    std::u16string name; // file name, such as "kbloader.exe"
    std::u16string cmdLine;
    std::shared_ptr<Thread> thread; // the main thread
    Module *module = nullptr;       // null for a built-in program; null again once released
    // Libraries the program loaded and has not freed: they are freed when it ends.
    std::vector<Module *> libraries;
    bool released = false; // its classes and modules are gone
    bool exited() const;
    uint32_t exitCode() const; // 259 (STILL_ACTIVE) while running
};

class Processes {
  public:
    // Returns the program, or null with *error set. The device keeps a program only while it
    // runs: an ended one lives on only while someone holds it (a process handle, the caller).
    std::shared_ptr<Program> start(const std::u16string &nameOrPath, const std::u16string &cmdLine,
                                   uint32_t *error);
    // Built-in programs of the platform, found by file name without case ("notes.exe").
    using BuiltinMain = std::function<int(const std::u16string &cmdLine)>;
    void registerBuiltin(const std::u16string &exeName, BuiltinMain main);
    bool hasProgram(const std::u16string &nameOrPath) const;
    // An ended program lets go of what it held, as process exit does: its window classes, the
    // libraries it did not free and its own module (each unloaded once its last user is gone).
    // Called on an emulated thread once its threads have ended; a second call does nothing.
    void release(Program *program);
    // The device's hold on a program it still keeps (null for none).
    std::shared_ptr<Program> find(const Program *program) const;
    // The programs that have not ended (or whose threads have not all ended yet).
    const std::vector<std::shared_ptr<Program>> &programs() const { return programs_; }

  private:
    void reap(); // lets go of the programs whose threads have all ended
    const BuiltinMain *builtin(const std::u16string &nameOrPath, std::u16string *exeName) const;

    std::vector<std::pair<std::u16string, BuiltinMain>> builtins_;
    std::vector<std::shared_ptr<Program>> programs_;
    uint32_t nextId_ = 1;
};

// A process handle (waitable: signalled once the program has exited) in the device's handle
// table, as CreateProcessW returns it.
void *newProcessHandle(std::shared_ptr<Program> program);

} // namespace emul
