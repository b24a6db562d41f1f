// Window classes: registration and look-up by name.
#include "gwes/win_internal.h"

#include "emul/text.h"

using namespace emul;

CEAPI ATOM RegisterClassW(const WNDCLASSW *wc) {
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
    ws.classes[key] = c;
    return ATOM(0xC000 + ws.classes.size());
}

CEAPI BOOL UnregisterClassW(LPCWSTR name, HINSTANCE) {
    auto &ws = wins();
    auto it = name ? ws.classes.find(foldCase(name)) : ws.classes.end();
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
