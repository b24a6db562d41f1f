// Processes: starting programs, their exit, and the CE calls that reach them.
#include <windows.h>

#include "emul/device.h"
#include "emul/faults.h"
#include "emul/files.h"
#include "emul/modules.h"
#include "emul/process.h"
#include "emul/text.h"
#include "emul/windows_sys.h"
#include "host/host_files.h"
#include "kernel/user_pointers.h"

#include <algorithm>

namespace emul {

namespace {

using ExeEntryFn = int (*)(HINSTANCE, HINSTANCE, LPWSTR, int);

void killOthers(Program *program) {
    Kernel &k = kern();
    for (Thread *t : k.threads())
        if (t != k.self() && t->program == program && !t->exited())
            k.kill(t, 0);
}

// Ends a program's other threads when its main thread ends, as process exit does. On a normal
// end the main thread waits for them and then lets go of the program's classes and modules; a
// main thread that is itself being killed cannot wait, and the device lets go later (reap).
struct ProcessExit {
    Program *program;
    bool finished = false;
    void finish() {
        finished = true;
        killOthers(program);
        Kernel &k = kern();
        Thread *me = k.self();
        auto alone = [&] {
            for (Thread *t : k.threads())
                if (t != me && t->program == program)
                    return false;
            return true;
        };
        if (!alone())
            k.block(alone, kNever);
        dev().processes().release(program);
    }
    ~ProcessExit() {
        if (!finished)
            killOthers(program);
    }
};

struct ProcessObject : KObject {
    std::shared_ptr<Program> program;
    const char *kind() const override { return "process"; }
    bool signalled() const override { return program->exited(); }
};

} // namespace

const Processes::BuiltinMain *Processes::builtin(const std::u16string &nameOrPath,
                                                 std::u16string *exeName) const {
    std::u16string file = fileNameOf(nameOrPath);
    for (auto &b : builtins_)
        if (equalsNoCase(b.first, file) || equalsNoCase(b.first, file + u".exe")) {
            *exeName = b.first;
            return &b.second;
        }
    return nullptr;
}

std::shared_ptr<Program> Processes::start(const std::u16string &nameOrPath,
                                          const std::u16string &cmdLine, uint32_t *error) {
    reap();
    auto program = std::make_shared<Program>();
    program->cmdLine = cmdLine;
    std::function<uint32_t()> body;
    std::u16string builtinName;
    Program *raw = program.get();
    if (const BuiltinMain *fn = builtin(nameOrPath, &builtinName)) {
        program->name = builtinName;
        body = [raw, main = *fn] {
            ProcessExit exit{raw};
            uint32_t code = uint32_t(main(raw->cmdLine));
            exit.finish();
            return code;
        };
    } else {
        ModuleLoader &modules = dev().modules();
        std::u16string path = moduleCePath(nameOrPath, u".exe");
        Module *m = modules.load(path, error);
        if (!m)
            return nullptr;
        auto entry = reinterpret_cast<ExeEntryFn>(modules.symbol(m, "WinMainCRTStartup"));
        if (!entry) {
            modules.unload(m);
            *error = ERROR_BAD_EXE_FORMAT;
            return nullptr;
        }
        program->name = fileNameOf(path);
        program->module = m;
        // The program may write into its command line; it gets a copy of its own.
        auto buffer = std::make_shared<std::u16string>(cmdLine);
        body = [raw, entry, buffer] {
            ProcessExit exit{raw};
            HINSTANCE self = reinterpret_cast<HINSTANCE>(raw->module->handle);
            uint32_t code = 0;
            // A program that faults ends with the exception's code; the device goes on.
            if (uint32_t fault = runGuarded(
                    [&] { code = uint32_t(entry(self, nullptr, &(*buffer)[0], SW_SHOW)); })) {
                dev().journal().event("exception",
                                      Fields().str("program", utf8(raw->name)).num("code", fault));
                code = fault;
            }
            exit.finish();
            return code;
        };
    }
    program->id = nextId_++;
    program->thread = kern().spawn(utf8(program->name), std::move(body));
    program->thread->program = raw;
    programs_.push_back(program);
    return program;
}

std::shared_ptr<Program> Processes::find(const Program *program) const {
    for (auto &p : programs_)
        if (p.get() == program)
            return p;
    return nullptr;
}

void Processes::reap() {
    std::vector<Thread *> running = kern().threads();
    auto ended = [&](const std::shared_ptr<Program> &p) {
        if (!p->exited())
            return false;
        for (Thread *t : running)
            if (t->program == p.get())
                return false; // a thread of it is still unwinding
        return true;
    };
    auto gone = std::stable_partition(programs_.begin(), programs_.end(),
                                      [&](const std::shared_ptr<Program> &p) { return !ended(p); });
    for (auto it = gone; it != programs_.end(); ++it)
        release(it->get());
    programs_.erase(gone, programs_.end());
}

void Processes::release(Program *program) {
    if (program->released)
        return;
    program->released = true;
    dev().windows().forgetClassesOf(program);
    ModuleLoader &modules = dev().modules();
    // Latest first, as they were loaded on top of each other.
    while (!program->libraries.empty()) {
        Module *m = program->libraries.back();
        program->libraries.pop_back();
        modules.unload(m);
    }
    if (Module *m = program->module) {
        program->module = nullptr;
        modules.unload(m);
    }
}

void Processes::registerBuiltin(const std::u16string &exeName, BuiltinMain main) {
    for (auto &b : builtins_)
        if (equalsNoCase(b.first, exeName)) {
            b.second = std::move(main);
            return;
        }
    builtins_.emplace_back(exeName, std::move(main));
}

bool Processes::hasProgram(const std::u16string &nameOrPath) const {
    std::u16string ignored;
    if (builtin(nameOrPath, &ignored))
        return true;
    return hostfs::isRegularFile(dev().files().hostPath(moduleCePath(nameOrPath, u".exe")));
}

bool Program::exited() const {
    return thread && thread->exited();
}

uint32_t Program::exitCode() const {
    return exited() ? thread->exitCode : STILL_ACTIVE;
}

void *newProcessHandle(std::shared_ptr<Program> program) {
    auto obj = std::make_shared<ProcessObject>();
    obj->program = std::move(program);
    return dev().handles().add(obj);
}

} // namespace emul

/* ---- CE calls ---- */

using namespace emul;

CEAPI BOOL CreateProcessW(LPCWSTR image, LPCWSTR cmdLine, LPSECURITY_ATTRIBUTES,
                          LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPWSTR, LPSTARTUPINFOW,
                          LPPROCESS_INFORMATION info) {
    if (refusedPointer(image, cmdLine, info))
        return FALSE;
    if (failing("CreateProcessW")) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    // CE takes the program from the image name only; the command line holds the arguments.
    if (!image || !*image) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    uint32_t error = 0;
    std::shared_ptr<Program> p = dev().processes().start(image, cmdLine ? cmdLine : u"", &error);
    if (!p) {
        SetLastError(error);
        return FALSE;
    }
    if (info) {
        info->hProcess = newProcessHandle(p);
        info->hThread = newThreadHandle(p->thread.get());
        info->dwProcessId = p->id;
        info->dwThreadId = p->thread->id;
    }
    return TRUE;
}

CEAPI BOOL GetExitCodeProcess(HANDLE h, LPDWORD code) {
    auto p = dev().handles().getAs<ProcessObject>(h);
    if (!p || !code) {
        SetLastError(p ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *code = p->program->exitCode();
    return TRUE;
}
