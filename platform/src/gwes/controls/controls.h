// The built-in controls, one descriptor each: a new control is a new source file and a line in
// the table in controls.cpp.
#pragma once

#include "gwes/win_internal.h"

#include "emul/harness.h"
#include "emul/text.h"

namespace emul {

// What `show` reports of a list of entries with one selection (combo box, tab control).
template <class Item>
void describeItems(const std::vector<Item> &items, int sel, harness::ControlState &s) {
    std::vector<std::string> texts;
    for (const Item &i : items)
        texts.push_back(utf8(i.text));
    s.items = texts;
    s.hasSelection = true;
    if (sel >= 0 && size_t(sel) < items.size())
        s.selected = texts[size_t(sel)];
}

struct ControlClass {
    const char16_t *name; // the window class, as registered
    WNDPROC proc;
};

// Every built-in control, in registration order.
const std::vector<ControlClass> &controlClasses();

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
void registerDialogClass(WindowSystem::Impl &ws);                      // gwes/dialog/

} // namespace emul
