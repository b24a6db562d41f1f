// Special folders and shortcuts of the shell. A shortcut is a text file "<count>#<command line>";
// its target is the command line as stored (quotes and arguments included), read to the end of
// the first line whatever the count says, as the platform's own reader tolerates.
#include <shellapi.h>
#include <shlobj.h>
#include <windows.h>

#include "emul/device.h"
#include "emul/files.h"
#include "emul/text.h"
#include "kernel/user_pointers.h"

#include <cstring>

using namespace emul;

namespace {

const char16_t *folderPath(int csidl) {
    switch (csidl & 0xFF) {
    case CSIDL_DESKTOP:
    case CSIDL_DESKTOPDIRECTORY:
        return u"\\Windows\\Desktop";
    case CSIDL_PROGRAMS:
        return u"\\Windows\\Start Menu\\Programs";
    case CSIDL_PERSONAL:
        return u"\\My Documents";
    case CSIDL_FAVORITES:
        return u"\\Windows\\Favorites";
    case CSIDL_STARTUP:
        return u"\\Windows\\StartUp";
    case CSIDL_RECENT:
        return u"\\Windows\\Recent";
    case CSIDL_STARTMENU:
        return u"\\Windows\\Start Menu";
    case CSIDL_FONTS:
        return u"\\Windows\\Fonts";
    case CSIDL_APPDATA:
        return u"\\Windows\\Application Data";
    case CSIDL_WINDOWS:
        return u"\\Windows";
    case CSIDL_PROGRAM_FILES:
        return u"\\Program Files";
    }
    return nullptr;
}

} // namespace

// An item list here holds one item: the folder's path in UTF-16, then the terminating 0 size.
CEAPI HRESULT SHGetSpecialFolderLocation(HWND, int csidl, LPITEMIDLIST *pidl) {
    if (!pidl)
        return E_INVALIDARG;
    *pidl = nullptr;
    const char16_t *path = folderPath(csidl);
    if (!path)
        return E_INVALIDARG;
    size_t bytes = (std::char_traits<char16_t>::length(path) + 1) * 2;
    auto *p = static_cast<uint8_t *>(LocalAlloc(LPTR, UINT(2 + bytes + 2)));
    if (!p)
        return E_OUTOFMEMORY;
    uint16_t cb = uint16_t(2 + bytes);
    std::memcpy(p, &cb, 2);
    std::memcpy(p + 2, path, bytes);
    *pidl = reinterpret_cast<LPITEMIDLIST>(p);
    return S_OK;
}

CEAPI BOOL SHGetPathFromIDList(LPCITEMIDLIST pidl, LPWSTR path) {
    if (!pidl || !path)
        return FALSE;
    auto *p = reinterpret_cast<const uint8_t *>(pidl);
    uint16_t cb = 0;
    std::memcpy(&cb, p, 2);
    size_t chars = cb > 2 ? (cb - 2) / 2 : 0;
    if (chars == 0 || chars > MAX_PATH) {
        path[0] = 0;
        return FALSE;
    }
    std::memcpy(path, p + 2, chars * 2);
    path[chars - 1] = 0;
    return TRUE;
}

CEAPI BOOL SHGetSpecialFolderPath(HWND, LPWSTR path, int csidl, BOOL create) {
    if (refusedPointer(path))
        return FALSE;
    const char16_t *p = folderPath(csidl);
    if (!path || !p) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::u16string s = p;
    std::copy(s.begin(), s.end(), path);
    path[s.size()] = 0;
    if (create)
        dev().files().makeFolders(s);
    return TRUE;
}

CEAPI BOOL SHGetShortcutTarget(LPWSTR shortcut, LPWSTR target, int max) {
    if (!shortcut || !target || max <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    target[0] = 0;
    std::string content;
    if (!dev().files().readFile(shortcut, &content)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::string line = content.substr(0, content.find('\n'));
    size_t hash = line.find('#');
    if (hash == std::string::npos) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    std::string cmd = line.substr(hash + 1);
    while (!cmd.empty() && (cmd.back() == '\r' || cmd.back() == '\n'))
        cmd.pop_back();
    std::u16string t = utf16(cmd);
    // A target that does not fit is not cut short into a different path.
    if (t.empty() || t.size() >= size_t(max)) {
        SetLastError(t.empty() ? ERROR_INVALID_DATA : ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::copy(t.begin(), t.end(), target);
    target[t.size()] = 0;
    return TRUE;
}

CEAPI DWORD SHCreateShortcut(LPWSTR shortcut, LPWSTR target) {
    if (!shortcut || !target)
        return FALSE;
    if (dev().files().exists(shortcut))
        return FALSE;
    std::u16string t = target;
    dev().files().writeFile(shortcut, std::to_string(t.size()) + "#" + utf8(t));
    return TRUE;
}
