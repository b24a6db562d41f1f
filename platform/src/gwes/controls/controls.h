// The built-in controls, one descriptor each: a new control is a new source file and a line in
// the table in controls.cpp.
#pragma once

#include "gwes/win_internal.h"

#include "emul/text.h"

namespace emul {

// The entries of a list with one selection (combo box, tab control) as they are shown.
template <class Item> void inspectItems(const std::vector<Item> &items, int sel, WindowInfo &s) {
    std::vector<std::u16string> texts;
    for (const Item &i : items)
        texts.push_back(i.text);
    s.items = std::move(texts);
    s.selected = sel >= 0 && size_t(sel) < items.size() ? sel : -1;
}

struct ControlClass {
    const char16_t *name; // the window class, as registered
    WNDPROC proc;
};

// Every built-in control, in registration order.
const std::vector<ControlClass> &controlClasses();
// One of the procedures of that table: the platform's own code, which may be asked a question
// such as WM_NCHITTEST from any thread.
bool isBuiltinControlProc(WNDPROC p);

// Tells the parent of a control what happened to it (WM_COMMAND with the control's id).
inline void notifyParent(Window *w, UINT code) {
    if (w->parent)
        wins().send(w->parent, WM_COMMAND, MAKEWPARAM(w->id, code), LPARAM(w->h));
}

LRESULT CALLBACK editProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK richInkProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK staticProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK buttonProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK comboProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK trackbarProc(HWND h, UINT msg, WPARAM wp, LPARAM lp); // commctrl/
LRESULT CALLBACK tabProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);      // commctrl/
LRESULT CALLBACK menuBarProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);  // shell/
LRESULT CALLBACK fileListProc(HWND h, UINT msg, WPARAM wp, LPARAM lp); // shell/
void registerDialogClass(WindowSystem::Impl &ws);                      // gwes/dialog/
// An edit box's selection: where it started and where the caret stands; false for a window
// that is no edit box.
bool editSelection(Window *w, size_t *anchor, size_t *caret);
// The character a password box shows for each of its own; 0 for a box that shows its text.
char16_t editPasswordChar(Window *w);
// The user picks entry `index` from a combo box's open list.
void comboUserSelect(Window *w, int index);

} // namespace emul
