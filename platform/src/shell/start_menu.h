// The Start menu's lists: what a menu holds (the entries of its folders, each with its small
// icon) and how a list looks. The window behind them is start_menu.cpp's.
#pragma once

#include <windows.h>

#include "gwes/win_internal.h"

#include <string>
#include <vector>

namespace emul {

constexpr int kStartRowHeight = 18;
constexpr int kStartScrollWidth = 13;

struct StartEntry {
    std::u16string name;
    std::u16string path; // a shortcut's file, or a folder (empty: starts nothing)
    bool folder = false;
    HICON icon = nullptr; // the program's own; null: the generic one
};

// The entries of these folders: their subfolders first, then their shortcuts (`*.lnk`, named
// without it), each in alphabetical order regardless of case; of two of the same name, the
// first folder's. `skip` names a subfolder of the first folder that is not listed (the root
// menu lists what its Programs folder holds among its own). `empty` stands alone in an empty
// menu.
std::vector<StartEntry> startEntries(const std::vector<std::u16string> &folders,
                                     const std::u16string &skip, const std::u16string &empty);

// One menu of the cascade: a pop-up list that the root's pen and keys work.
struct StartMenuData : ControlData {
    std::vector<StartEntry> entries;
    int mark = -1, top = 0, rows = 1; // mark -1: none, as the pen opens it
    bool tracking = false;            // the root: the pen went down on a menu
    uintptr_t previous = 0;           // the root: in front before the menu opened
    uintptr_t parent = 0, child = 0;  // the cascade: the menu it opened from, the one it opened
    int opened = -1;                  // the entry whose folder `child` shows
    bool scrolls() const { return int(entries.size()) > rows; }
    void inspect(const Window &w, WindowInfo &s) const override;
};

// The menu's width for its entries: icon, longest name, a folder's arrow, a scroll bar.
int startMenuWidth(const StartMenuData &d);
void paintStartMenu(Window *w, HDC dc, const StartMenuData &d);

} // namespace emul
