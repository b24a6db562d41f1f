// The clipboard: one per device, opened by one thread at a time. Data handed to it with
// SetClipboardData (memory from LocalAlloc) belongs to it from then on and is freed when it is
// emptied or the device goes.
#include "gwes/win_internal.h"

#include <algorithm>
#include <map>

namespace emul {

struct Clipboard {
    Thread *openBy = nullptr; // the thread that has it open, if any
    uintptr_t openFor = 0;    // the window it was opened for
    uintptr_t owner = 0;      // the window that emptied it last
    std::map<UINT, HANDLE> data;
    ~Clipboard() { clear(); }
    void clear() {
        for (auto &e : data)
            LocalFree(e.second);
        data.clear();
    }
};

namespace {

constexpr DWORD kErrorClipboardNotOpen = 1418;

Clipboard &board() {
    auto &ws = wins();
    if (!ws.clipboard)
        ws.clipboard = std::make_shared<Clipboard>();
    return *ws.clipboard;
}

// A thread that ended with the clipboard open leaves it free for the others.
bool openByOther(Clipboard &c) {
    if (!c.openBy || c.openBy == kern().self())
        return false;
    std::vector<Thread *> alive = kern().threads();
    if (std::find(alive.begin(), alive.end(), c.openBy) == alive.end()) {
        c.openBy = nullptr;
        return false;
    }
    return true;
}

bool openByCaller(Clipboard &c) {
    if (c.openBy == kern().self())
        return true;
    SetLastError(kErrorClipboardNotOpen);
    return false;
}

} // namespace

} // namespace emul

using namespace emul;

CEAPI BOOL OpenClipboard(HWND h) {
    Clipboard &c = board();
    if (openByOther(c)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    c.openBy = kern().self();
    c.openFor = reinterpret_cast<uintptr_t>(h);
    return TRUE;
}

CEAPI BOOL CloseClipboard(void) {
    Clipboard &c = board();
    if (!openByCaller(c))
        return FALSE;
    c.openBy = nullptr;
    c.openFor = 0;
    return TRUE;
}

CEAPI BOOL EmptyClipboard(void) {
    Clipboard &c = board();
    if (!openByCaller(c))
        return FALSE;
    c.clear();
    c.owner = c.openFor;
    return TRUE;
}

CEAPI HANDLE SetClipboardData(UINT format, HANDLE mem) {
    Clipboard &c = board();
    if (!openByCaller(c))
        return nullptr;
    // Data rendered on request is not offered: a format needs its data now.
    if (!mem || format == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto it = c.data.find(format);
    if (it != c.data.end() && it->second != mem)
        LocalFree(it->second);
    c.data[format] = mem;
    return mem;
}

CEAPI HANDLE GetClipboardData(UINT format) {
    Clipboard &c = board();
    if (!openByCaller(c))
        return nullptr;
    auto it = c.data.find(format);
    return it == c.data.end() ? nullptr : it->second;
}

CEAPI BOOL IsClipboardFormatAvailable(UINT format) {
    return board().data.count(format) != 0;
}

CEAPI HWND GetClipboardOwner(void) {
    Window *w = wins().get(board().owner);
    return w ? toHwnd(w) : nullptr;
}
