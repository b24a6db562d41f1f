// The window classes that come with the window system besides Edit, Static and Button: the
// combo box, the dialog class, the common controls and the shell's menu bar.
#include "gwes/win_internal.h"

#include "emul/text.h"

namespace emul {

LRESULT CALLBACK comboProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK trackbarProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK tabProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
void registerDialogClass(WindowSystem::Impl &ws);

namespace {

LRESULT CALLBACK menuBarProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = wins().get(h);
    return w ? defaultProc(w, msg, wp, lp) : 0;
}

void add(WindowSystem::Impl &ws, const char16_t *name, WNDPROC proc) {
    WndClass c;
    c.name = name;
    c.proc = proc;
    c.builtin = true;
    ws.classes[foldCase(c.name)] = c;
}

} // namespace

void registerMoreClasses(WindowSystem::Impl &ws) {
    add(ws, u"ComboBox", comboProc);
    add(ws, u"msctls_trackbar32", trackbarProc);
    add(ws, u"SysTabControl32", tabProc);
    add(ws, u"menu_worker", menuBarProc);
    registerDialogClass(ws);
}

} // namespace emul
