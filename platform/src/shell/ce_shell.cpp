// ShellExecuteEx: starts a built-in program, an installed program or the target of a shortcut,
// and hands back a process handle on request.
#include <shellapi.h>
#include <windows.h>

#include "emul/device.h"
#include "emul/files.h"
#include "emul/process.h"
#include "emul/shell.h"
#include "emul/text.h"

#include <string>

using namespace emul;

namespace {

constexpr uint32_t kShellInfoSize = 60; // the structure on the 32-bit device

// The process of a program that could not be started: it has already ended.
struct EndedProcess : KObject {
    const char *kind() const override { return "process"; }
    bool signalled() const override { return true; }
};

bool endsWithNoCase(const std::u16string &s, const std::u16string &tail) {
    return s.size() >= tail.size() && equalsNoCase(s.substr(s.size() - tail.size()), tail);
}

// A shortcut file is "<count>#<command line>"; tools do not always get the count right, so the
// rest of the first line is taken.
bool readShortcut(const std::u16string &path, std::u16string *target, std::u16string *args) {
    std::string line;
    if (!dev().files().readFile(path, &line))
        return false;
    line = line.substr(0, line.find('\n'));
    size_t hash = line.find('#');
    if (hash == std::string::npos)
        return false;
    std::string cmd = line.substr(hash + 1);
    while (!cmd.empty() && (cmd.back() == '\r' || cmd.back() == '\n'))
        cmd.pop_back();
    std::u16string c = utf16(cmd);
    size_t end;
    if (!c.empty() && c[0] == u'"') {
        end = c.find(u'"', 1);
        *target = c.substr(1, end == std::u16string::npos ? std::u16string::npos : end - 1);
        end = end == std::u16string::npos ? c.size() : end + 1;
    } else {
        end = c.find(u' ');
        *target = c.substr(0, end);
        end = end == std::u16string::npos ? c.size() : end;
    }
    size_t rest = c.find_first_not_of(u' ', end);
    *args = rest == std::u16string::npos ? std::u16string() : c.substr(rest);
    return !target->empty();
}

} // namespace

CEAPI BOOL ShellExecuteEx(LPSHELLEXECUTEINFO info) {
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    dev().journal().call("ShellExecuteEx", Fields()
                                               .num("mask", info->fMask)
                                               .str("verb", info->lpVerb)
                                               .str("file", info->lpFile)
                                               .str("params", info->lpParameters)
                                               .str("dir", info->lpDirectory)
                                               .num("show", info->nShow));
    if (info->cbSize != kShellInfoSize && info->cbSize != sizeof(SHELLEXECUTEINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (failing("ShellExecuteEx") || !info->lpFile || !*info->lpFile) {
        info->hInstApp = reinterpret_cast<HINSTANCE>(uintptr_t(ERROR_FILE_NOT_FOUND));
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::u16string file = info->lpFile, params = info->lpParameters ? info->lpParameters : u"";
    std::u16string target = file, args = params;
    if (endsWithNoCase(file, u".lnk")) {
        std::u16string linkArgs;
        if (readShortcut(file, &target, &linkArgs))
            args = params.empty() ? linkArgs : linkArgs.empty() ? params : linkArgs + u" " + params;
    }
    std::shared_ptr<Program> program;
    Processes &processes = dev().processes();
    if (processes.hasProgram(target)) {
        uint32_t error = 0;
        program = processes.start(target, args, &error);
    }
    info->hInstApp = reinterpret_cast<HINSTANCE>(uintptr_t(33));
    if (info->fMask & SEE_MASK_NOCLOSEPROCESS)
        info->hProcess = program ? newProcessHandle(program)
                                 : dev().handles().add(std::make_shared<EndedProcess>());
    return TRUE;
}
