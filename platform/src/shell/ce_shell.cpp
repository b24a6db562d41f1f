// ShellExecuteEx: starts a built-in program, an installed program or the target of a shortcut,
// and hands back a process handle on request.
#include <shellapi.h>
#include <windows.h>

#include "emul/device.h"
#include "emul/files.h"
#include "emul/process.h"
#include "emul/shell.h"
#include "emul/text.h"
#include "kernel/user_pointers.h"

#include <string>

using namespace emul;

namespace {

constexpr uint32_t kShellInfoSize = 60; // the structure on the 32-bit device

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

// The programs that open a document, by the document's extension.
struct Association {
    const char16_t *extension, *program;
};
const Association kAssociations[] = {
    {u".txt", u"pword.exe"},  {u".psw", u"pword.exe"},    {u".doc", u"pword.exe"},
    {u".pxl", u"pxl.exe"},    {u".htm", u"iexplore.exe"}, {u".html", u"iexplore.exe"},
    {u".wav", u"player.exe"}, {u".mp3", u"player.exe"},
};

// What the shell runs for `target`: the program itself, or the program that opens the
// document (which then becomes its argument). 0 or the error the platform gives.
uint32_t programFor(const std::u16string &target, std::u16string *program, std::u16string *args) {
    size_t dot = target.find_last_of(u'.'), slash = target.find_last_of(u"\\/");
    bool document = dot != std::u16string::npos && (slash == std::u16string::npos || dot > slash) &&
                    !endsWithNoCase(target, u".exe");
    if (!document) {
        if (!dev().processes().hasProgram(target))
            return ERROR_FILE_NOT_FOUND;
        *program = target;
        return 0;
    }
    if (!dev().files().exists(target))
        return ERROR_FILE_NOT_FOUND;
    for (const Association &a : kAssociations)
        if (endsWithNoCase(target, a.extension)) {
            *program = a.program;
            *args = args->empty() ? target : target + u" " + *args;
            return 0;
        }
    return ERROR_NO_ASSOCIATION;
}

} // namespace

CEAPI BOOL ShellExecuteEx(LPSHELLEXECUTEINFO info) {
    if (refusedPointer(info) ||
        (info && refusedPointer(info->lpVerb, info->lpFile, info->lpParameters, info->lpDirectory)))
        return FALSE;
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The journal line says what was asked for; the outcome shows in what starts (or does not).
    dev().journal().call("ShellExecuteEx", Fields()
                                               .num("mask", info->fMask)
                                               .str("verb", info->lpVerb)
                                               .str("file", info->lpFile)
                                               .str("params", info->lpParameters)
                                               .str("dir", info->lpDirectory)
                                               .num("show", info->nShow));
    auto fail = [&](uint32_t error) {
        // hInstApp holds one of the old shell's codes (32 or less): not found, or no association.
        info->hInstApp =
            reinterpret_cast<HINSTANCE>(uintptr_t(error == ERROR_NO_ASSOCIATION ? 31 : 2));
        SetLastError(error);
        return FALSE;
    };
    if (info->cbSize != kShellInfoSize && info->cbSize != sizeof(SHELLEXECUTEINFO))
        return fail(ERROR_INVALID_PARAMETER);
    if (failing("ShellExecuteEx") || !info->lpFile || !*info->lpFile)
        return fail(ERROR_FILE_NOT_FOUND);
    std::u16string file = info->lpFile, params = info->lpParameters ? info->lpParameters : u"";

    std::u16string target = file, args = params;
    if (endsWithNoCase(file, u".lnk")) {
        std::u16string linkArgs;
        if (!readShortcut(file, &target, &linkArgs))
            return fail(ERROR_FILE_NOT_FOUND);
        args = params.empty() ? linkArgs : linkArgs.empty() ? params : linkArgs + u" " + params;
    }
    std::u16string program;
    if (uint32_t error = programFor(target, &program, &args))
        return fail(error);
    uint32_t error = 0;
    std::shared_ptr<Program> started = dev().processes().start(program, args, &error);
    if (!started)
        return fail(error ? error : ERROR_FILE_NOT_FOUND);
    info->hInstApp = reinterpret_cast<HINSTANCE>(uintptr_t(33));
    if (info->fMask & SEE_MASK_NOCLOSEPROCESS)
        info->hProcess = newProcessHandle(started);
    return TRUE;
}
