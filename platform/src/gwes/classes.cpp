// Window classes: registration and look-up by name.
#include "gwes/win_internal.h"

#include "emul/text.h"
#include "kernel/user_pointers.h"

using namespace emul;

namespace {
std::map<std::u16string, WndClass>::iterator findClassAtom(ATOM atom) {
    auto &classes = wins().classes;
    for (auto it = classes.begin(); it != classes.end(); ++it)
        if (it->second.atom == atom)
            return it;
    return classes.end();
}
} // namespace

std::map<std::u16string, WndClass>::iterator emul::findClass(LPCWSTR nameOrAtom) {
    auto value = reinterpret_cast<uintptr_t>(nameOrAtom);
    if (value && value < kReservedLow)
        return findClassAtom(ATOM(value));
    return nameOrAtom ? wins().classes.find(foldCase(nameOrAtom)) : wins().classes.end();
}

CEAPI ATOM RegisterClassW(const WNDCLASSW *wc) {
    if (refusedPointer(wc) || (wc && refusedPointer(wc->lpszClassName)))
        return 0;
    if (!wc || !wc->lpszClassName || !*wc->lpszClassName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto &ws = wins();
    std::u16string key = foldCase(wc->lpszClassName);
    if (ws.classes.count(key)) {
        SetLastError(kErrorClassExists);
        return 0;
    }
    WndClass c;
    c.name = wc->lpszClassName;
    c.proc = wc->lpfnWndProc;
    c.style = wc->style;
    c.wndExtra = wc->cbWndExtra;
    c.instance = wc->hInstance;
    c.background = wc->hbrBackground;
    c.program = kern().self() ? kern().self()->program : nullptr;
    // One atom per class while it is registered, also after others have gone.
    c.atom = ATOM(0xC000 + ws.classes.size() + 1);
    while (findClassAtom(c.atom) != ws.classes.end())
        ++c.atom;
    ws.classes[key] = c;
    return c.atom;
}

CEAPI BOOL UnregisterClassW(LPCWSTR name, HINSTANCE) {
    auto &ws = wins();
    auto it = findClass(name);
    if (it == ws.classes.end() || it->second.builtin) {
        SetLastError(kErrorCannotFindClass);
        return FALSE;
    }
    for (auto &e : ws.windows)
        if (equalsNoCase(e.second->className, it->second.name)) {
            SetLastError(kErrorClassHasWindows);
            return FALSE;
        }
    ws.classes.erase(it);
    return TRUE;
}

CEAPI int GetClassNameW(HWND h, LPWSTR buf, int max) {
    if (refusedPointer(buf))
        return 0;
    Window *w = needWindow(h);
    if (!w || !buf || max <= 0) {
        if (w)
            SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = std::min(w->className.size(), size_t(max - 1));
    std::copy(w->className.begin(), w->className.begin() + n, buf);
    buf[n] = 0;
    return int(n);
}

namespace emul {

void WindowSystem::forgetClassesOf(const Program *program) {
    if (!program)
        return;
    auto &classes = impl_->classes;
    for (auto it = classes.begin(); it != classes.end();)
        it = it->second.program == program ? classes.erase(it) : std::next(it);
}

} // namespace emul
