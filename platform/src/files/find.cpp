// FindFirstFileW / FindNextFileW / FindClose with the platform's rules: `*` and `?` wildcards
// matched without case ("*.*" is every name), never "." or "..", names in a fixed order (sorted
// without case, so enumerations repeat exactly). No match at all reports error 18, as the
// platform's file systems do.
#include <windows.h>

#include "emul/device.h"
#include "emul/files.h"
#include "emul/text.h"
#include "host/host_files.h"
#include "kernel/user_pointers.h"

#include <algorithm>

using namespace emul;

namespace {

struct FindObject : KObject {
    std::vector<WIN32_FIND_DATAW> found;
    size_t next = 0;
    const char *kind() const override { return "find"; }
};

bool wildMatch(const std::u16string &pat, size_t p, const std::u16string &name, size_t n) {
    while (p < pat.size()) {
        char16_t c = pat[p];
        if (c == u'*') {
            while (p < pat.size() && pat[p] == u'*')
                ++p;
            if (p == pat.size())
                return true;
            for (size_t k = n; k <= name.size(); ++k)
                if (wildMatch(pat, p, name, k))
                    return true;
            return false;
        }
        if (n >= name.size())
            return false;
        if (c != u'?' && foldCase(std::u16string(1, c)) != foldCase(std::u16string(1, name[n])))
            return false;
        ++p, ++n;
    }
    return n == name.size();
}

} // namespace

bool emul::nameMatches(const std::u16string &pattern, const std::u16string &name) {
    if (pattern == u"*.*" || pattern == u"*")
        return true;
    return wildMatch(pattern, 0, name, 0);
}

CEAPI HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW out) {
    if (!pattern || !out || anyReservedPointer(pattern, out) || !*pattern) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::u16string pat = pattern;
    size_t slash = pat.find_last_of(u"\\/");
    std::u16string folder = slash == std::u16string::npos ? u"" : pat.substr(0, slash);
    std::u16string names = slash == std::u16string::npos ? pat : pat.substr(slash + 1);
    const std::u16string cePath = folder.empty() ? u"\\" : folder;
    bool opened = false;
    std::vector<hostfs::FolderEntry> entries;
    // The folder as written with no link on the way is the usual case: opened in one call.
    std::string host = dev().files().spelled(cePath);
    if (!names.empty() && !host.empty())
        entries = hostfs::listFolder(host, true, &opened, true);
    if (!opened && !names.empty() && !(host = dev().files().hostPath(cePath)).empty())
        entries = hostfs::listFolder(host, true, &opened);
    if (!opened) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    auto obj = std::make_shared<FindObject>();
    for (const hostfs::FolderEntry &e : entries) {
        // The device's file systems have no links: a host link to a folder could make a tree
        // that never ends, so searches do not list it (its path still reaches it).
        if (e.link && e.folder)
            continue;
        std::u16string name = utf16(e.name);
        if (name.size() >= MAX_PATH || !nameMatches(names, name))
            continue;
        WIN32_FIND_DATAW fd{};
        fd.dwFileAttributes = e.folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
        fd.nFileSizeLow = DWORD(e.size);
        std::copy(name.begin(), name.end(), fd.cFileName);
        obj->found.push_back(fd);
    }
    std::sort(obj->found.begin(), obj->found.end(),
              [](const WIN32_FIND_DATAW &a, const WIN32_FIND_DATAW &b) {
                  return foldCase(a.cFileName) < foldCase(b.cFileName);
              });
    if (obj->found.empty()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return INVALID_HANDLE_VALUE;
    }
    *out = obj->found[0];
    obj->next = 1;
    return dev().handles().add(obj);
}

CEAPI BOOL FindNextFileW(HANDLE h, LPWIN32_FIND_DATAW out) {
    auto obj = dev().handles().getAs<FindObject>(h);
    if (!obj || !out || reservedPointer(out)) {
        SetLastError(obj ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (obj->next >= obj->found.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *out = obj->found[obj->next++];
    return TRUE;
}

CEAPI BOOL FindClose(HANDLE h) {
    if (!dev().handles().getAs<FindObject>(h)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return dev().handles().close(h);
}
