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
    Module *module = nullptr;       // null for a built-in program
    bool exited() const;
    uint32_t exitCode() const; // 259 (STILL_ACTIVE) while running
};

class Processes {
  public:
    // Returns the program, or null with *error set.
    Program *start(const std::u16string &nameOrPath, const std::u16string &cmdLine,
                   uint32_t *error);
    // Built-in programs of the platform, found by file name without case ("notes.exe").
    using BuiltinMain = std::function<int(const std::u16string &cmdLine)>;
    void registerBuiltin(const std::u16string &exeName, BuiltinMain main);
    bool hasProgram(const std::u16string &nameOrPath) const;
    const std::vector<std::unique_ptr<Program>> &programs() const { return programs_; }

  private:
    const BuiltinMain *builtin(const std::u16string &nameOrPath, std::u16string *exeName) const;

    std::vector<std::pair<std::u16string, BuiltinMain>> builtins_;
    std::vector<std::unique_ptr<Program>> programs_;
    uint32_t nextId_ = 1;
};

// A process handle (waitable: signalled once the program has exited) in the device's handle
// table, as CreateProcessW returns it.
void *newProcessHandle(Program *program);

} // namespace emul
