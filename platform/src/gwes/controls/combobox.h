// Inside the combo box: its entries and selection, and its drop-down list, a pop-up window of
// the class "ComboLBox" that exists while the list is open.
#pragma once

#include "gwes/controls/controls.h"

namespace emul {

constexpr int kComboClosedHeight = 20; // a row of the dialog font in its frame
constexpr int kListItemHeight = 15;    // a row of the open list: the font and a pixel each side
constexpr int kListScrollWidth = 13;   // the list's scroll bar, along its right edge

struct ComboData : ControlData {
    struct Item {
        std::u16string text;
        LPARAM data = 0;
    };
    std::vector<Item> items;
    int sel = CB_ERR;
    int dropHeight = 0;    // the open list's height with the box, as the program gave it
    uintptr_t list = 0;    // the open list, 0 while closed
    bool penTrack = false; // the pen that opened the list is still down
    void inspect(const Window &, WindowInfo &s) const override;
};

struct ComboListData : ControlData {
    uintptr_t combo = 0;
    std::shared_ptr<ControlData> entries; // the combo box's ComboData
    int highlight = -1;                   // the entry marked in the list
    int top = 0;                          // the first entry shown
    int rows = 1;                         // entries shown at once
    bool tracking = false;                // the pen went down on an entry
    int thumbGrab = -1; // while the pen drags the scroll bar's thumb: where on it it holds
    const ComboData &box() const { return *static_cast<const ComboData *>(entries.get()); }
    void inspect(const Window &, WindowInfo &s) const override;
};

// Opens the list below the box (above it when there is no room below): CBN_DROPDOWN first,
// then the list, with the selection marked and in view.
void comboOpenList(Window *combo);
// Closes the list. With `ok` the marked entry `choice` becomes the selection: CBN_SELENDOK,
// CBN_CLOSEUP, then CBN_SELCHANGE; without, nothing changes: CBN_SELENDCANCEL, CBN_CLOSEUP.
void comboCloseList(Window *combo, bool ok, int choice);
// The list's window while it is open, else null.
Window *comboList(Window *combo);
// The list's record; null for any other window.
ComboListData *listData(Window *list);
// Marks entry `i` of the open list and scrolls it into view.
void listMark(Window *list, int i);
// The entry of the open list at a point of its client area; -1 for none (the scroll bar, an
// empty row, outside).
int listEntryAt(Window *list, int x, int y);
// The open list's scroll bar along its right edge, in the list's client coordinates: the square
// with the up arrow, the one with the down arrow, and the thumb between them where the first
// entry shown stands among all (empty when the list does not scroll).
struct ListScrollBar {
    RECT bar{}, up{}, down{}, thumb{};
};
ListScrollBar listScrollBar(Window *list);
// The same for any list of `n` entries showing `rows` from entry `top` on.
ListScrollBar listScrollBar(Window *list, int n, int rows, int top);
// The same in the rectangle `bar` (an edit box's).
ListScrollBar scrollBarIn(const RECT &bar, int n, int rows, int top);
// Tells the combo box's parent (WM_COMMAND with the box's id).
void comboNotify(Window *combo, int code);

// Entries order themselves by their base letters first, then their accents; case never counts.
int collate(const std::u16string &a, const std::u16string &b);
char16_t foldLetter(char16_t c);
std::u16string foldText(const std::u16string &s); // case folded beyond ASCII

LRESULT CALLBACK comboListProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);

} // namespace emul
