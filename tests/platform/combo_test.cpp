// The combo box's drop-down list under the pen and the keys: what opens and closes it, what the
// parent hears and when, where the list stands, and the order and search of entries with
// accented letters.
#include <windows.h>

#include "support/program_window.h"

#include "emul/device.h"
#include "emul/graphics.h"
#include "emul/windows_sys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Pen = emul::WindowSystem::Pen;

std::vector<int> heard; // the combo box's notification codes, in order

LRESULT CALLBACK Parent(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && LOWORD(wp) == 1009)
        heard.push_back(HIWORD(wp));
    return DefWindowProcW(h, msg, wp, lp);
}

using test_support::Pump;
using test_support::Tap;

class Combo : public ::testing::Test {
  protected:
    Combo() {
        heard.clear();
        parent = test_support::ProgramWindow(Parent);
        // At screen 10,46: closed 20 pixels high; the list below it has room for 5 rows.
        combo = CreateWindowExW(
            0, u"ComboBox", u"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL,
            10, 20, 120, 20 + 2 + 5 * 15, parent, reinterpret_cast<HMENU>(1009), nullptr, nullptr);
        for (const char16_t *s :
             {u"Word", u"Notes", u"Calculator", u"Inbox", u"Pictures", u"Solitaire", u"Tasks"})
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
        SendMessageW(combo, CB_SETCURSEL, 1, 0); // Inbox
    }
    // The open list as the screen shows it, if there is one.
    std::optional<emul::WindowInfo> List() {
        for (const emul::WindowInfo &w : device.windows().view().snapshot())
            if (w.kind == emul::ControlKind::ListBox)
                return w;
        return std::nullopt;
    }
    int Sel() { return int(SendMessageW(combo, CB_GETCURSEL, 0, 0)); }
    void Key(WPARAM vk) { SendMessageW(combo, WM_KEYDOWN, vk, 1); }
    emul::Device device;
    HWND parent = nullptr, combo = nullptr;
};

TEST_F(Combo, ATapOpensTheListBelowAndATapOnAnEntryChoosesIt) {
    RECT box{};
    GetWindowRect(combo, &box);
    EXPECT_EQ(box.bottom - box.top, 20); // closed, one row high
    Tap(50, 56);
    EXPECT_EQ(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0), TRUE);
    EXPECT_EQ(heard, std::vector<int>{CBN_DROPDOWN});
    EXPECT_EQ(GetFocus(), combo);
    std::optional<emul::WindowInfo> list = List();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->className, u"ComboLBox");
    EXPECT_TRUE(list->visible);
    EXPECT_TRUE(list->topmost);
    EXPECT_EQ(list->left, 10);
    EXPECT_EQ(list->top, 66); // right below the box
    EXPECT_EQ(list->bottom - list->top, 5 * 15 + 2);
    EXPECT_EQ(list->items->size(), 7u);
    EXPECT_EQ(list->selected, 1); // the selection, marked
    EXPECT_EQ(list->topIndex, 0);
    EXPECT_EQ(GetForegroundWindow(), parent); // the list does not take the foreground

    // The fourth row: "Pictures". Chosen: the list closes, then the parent hears of the change.
    Tap(40, 66 + 1 + 3 * 15 + 7);
    EXPECT_EQ(Sel(), 3);
    EXPECT_FALSE(List());
    EXPECT_EQ(heard, (std::vector<int>{CBN_DROPDOWN, CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE}));
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(Combo, ATapOffTheOpenListClosesItWithoutAChangeAndReachesNothingElse) {
    HWND box = CreateWindowExW(0, u"Button", u"", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 150, 100,
                               60, 20, parent, nullptr, nullptr, nullptr);
    Tap(50, 56);
    heard.clear();
    Tap(170, 135); // on the check box
    EXPECT_FALSE(List());
    EXPECT_EQ(Sel(), 1);
    EXPECT_EQ(heard, (std::vector<int>{CBN_SELENDCANCEL, CBN_CLOSEUP}));
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    // A tap on the box itself opens and closes it in turn.
    Tap(50, 56);
    EXPECT_TRUE(List());
    Tap(50, 56);
    EXPECT_FALSE(List());
    EXPECT_EQ(Sel(), 1);
}

TEST_F(Combo, OneStrokeFromTheBoxOntoAnEntryChoosesIt) {
    device.windows().pen(Pen::Down, 50, 56);
    Pump();
    for (int y = 57; y <= 66 + 1 + 15 * 4 + 5; y += 3)
        device.windows().pen(Pen::Move, 50, y);
    Pump();
    EXPECT_EQ(List()->selected, 4); // marked as the pen passes
    EXPECT_EQ(Sel(), 1);
    device.windows().pen(Pen::Up, 50, 66 + 1 + 15 * 4 + 5);
    Pump();
    EXPECT_EQ(Sel(), 4); // Solitaire
    EXPECT_FALSE(List());
}

TEST_F(Combo, AStrokeFromAnEntryLiftedOffTheListClosesItWithoutAChange) {
    Tap(50, 56);
    heard.clear();
    device.windows().pen(Pen::Down, 50, 66 + 1 + 15 * 3 + 7); // on "Pictures"
    device.windows().pen(Pen::Move, 50, 66 + 1 + 15 * 4 + 7);
    device.windows().pen(Pen::Move, 50, 30); // above the box, off the list
    device.windows().pen(Pen::Up, 50, 30);
    Pump();
    EXPECT_FALSE(List());
    EXPECT_EQ(Sel(), 1);
    EXPECT_EQ(heard, (std::vector<int>{CBN_SELENDCANCEL, CBN_CLOSEUP}));
    // Lifted on the list's own scroll bar or an empty row it stays open for a tap.
    Tap(50, 56);
    device.windows().pen(Pen::Down, 50, 66 + 1 + 7);
    device.windows().pen(Pen::Up, 125, 66 + 1 + 7);
    Pump();
    EXPECT_TRUE(List());
}

TEST_F(Combo, KeysMoveTheMarkInTheOpenListEnterChoosesEscapeChangesNothing) {
    SetFocus(combo);
    Key(VK_F4);
    ASSERT_TRUE(List());
    EXPECT_EQ(heard, std::vector<int>{CBN_DROPDOWN});
    Key(VK_DOWN);
    Key(VK_DOWN);
    EXPECT_EQ(List()->selected, 3);
    EXPECT_EQ(Sel(), 1); // nothing chosen yet, nothing heard
    EXPECT_EQ(heard.size(), 1u);
    Key(VK_ESCAPE);
    EXPECT_FALSE(List());
    EXPECT_EQ(Sel(), 1);
    EXPECT_EQ(heard, (std::vector<int>{CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP}));

    // A letter jumps to the next entry starting with it; the list scrolls to keep the mark shown.
    heard.clear();
    SendMessageW(combo, WM_KEYDOWN, VK_DOWN, 1 | (1 << 29)); // Alt+Down opens it too
    SendMessageW(combo, WM_CHAR, 't', 1);
    EXPECT_EQ(List()->selected, 5); // Tasks
    EXPECT_EQ(List()->topIndex, 1);
    Key(VK_END);
    EXPECT_EQ(List()->topIndex, 2);
    Key(VK_RETURN);
    EXPECT_EQ(Sel(), 6); // Word
    EXPECT_EQ(heard, (std::vector<int>{CBN_DROPDOWN, CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE}));

    // The focus going elsewhere closes the list without a change.
    Key(VK_F4);
    SetFocus(parent);
    EXPECT_FALSE(List());
    EXPECT_EQ(Sel(), 6);
}

TEST_F(Combo, ArrowsAndLettersOnAClosedBoxChangeTheSelectionAndSayIt) {
    Key(VK_DOWN);
    EXPECT_EQ(Sel(), 2);
    Key(VK_UP);
    Key(VK_UP);
    EXPECT_EQ(Sel(), 0);
    Key(VK_UP); // at the top: no change, nothing said
    EXPECT_EQ(heard, (std::vector<int>(3, CBN_SELCHANGE)));
    SendMessageW(combo, WM_CHAR, 's', 1);
    EXPECT_EQ(Sel(), 4); // Solitaire
    Key(VK_END);
    EXPECT_EQ(Sel(), 6);
    EXPECT_EQ(heard.size(), 5u);
    EXPECT_FALSE(List());
}

TEST_F(Combo, ShowDropDownOpensAndClosesAndTheScrollBarPagesTheList) {
    EXPECT_TRUE(SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0));
    EXPECT_TRUE(SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0)); // open already: nothing more
    EXPECT_EQ(heard, std::vector<int>{CBN_DROPDOWN});
    std::optional<emul::WindowInfo> list = List();
    ASSERT_TRUE(list);
    EXPECT_TRUE(list->style & WS_VSCROLL); // 7 entries, 5 rows
    int barX = list->right - 5;
    Tap(barX, list->bottom - 4); // the bottom square: a row down
    EXPECT_EQ(List()->topIndex, 1);
    Tap(barX, list->top + 20); // above the thumb: a page up
    EXPECT_EQ(List()->topIndex, 0);
    // The thumb (list pixels 14 to 49 at the top) follows the pen down to the bottom, where the
    // bottom square changes nothing more and a tap just above the thumb pages back up.
    auto &pen = device.windows();
    pen.pen(emul::WindowSystem::Pen::Down, barX, list->top + 20);
    test_support::Pump();
    pen.pen(emul::WindowSystem::Pen::Move, barX, list->top + 30);
    test_support::Pump();
    EXPECT_EQ(List()->topIndex, 1);
    pen.pen(emul::WindowSystem::Pen::Move, barX, list->top + 200);
    pen.pen(emul::WindowSystem::Pen::Up, barX, list->top + 200);
    test_support::Pump();
    EXPECT_EQ(List()->topIndex, 2);
    Tap(barX, list->bottom - 4);
    EXPECT_EQ(List()->topIndex, 2);
    Tap(barX, list->top + 27); // the thumb is at pixels 28 to 63 now
    EXPECT_EQ(List()->topIndex, 0);
    EXPECT_TRUE(List()); // still open: the scroll bar chooses nothing
    SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_FALSE(List());
    EXPECT_EQ(heard, (std::vector<int>{CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP}));
    EXPECT_EQ(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0), FALSE);
}

TEST_F(Combo, AListWithoutRoomBelowOpensAboveTheBox) {
    SetWindowPos(combo, nullptr, 10, 230, 0, 0, SWP_NOSIZE | SWP_NOZORDER); // screen y 256
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    std::optional<emul::WindowInfo> list = List();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->bottom, 256);
}

TEST_F(Combo, EntriesSortAndMatchWithCaseFoldedBeyondAscii) {
    HWND c = CreateWindowExW(0, u"ComboBox", u"", WS_CHILD | CBS_DROPDOWNLIST | CBS_SORT, 0, 0, 100,
                             100, parent, nullptr, nullptr, nullptr);
    for (const char16_t *s : {u"zoo", u"\u00e9t\u00e9", u"Eagle", u"\u00c9cole", u"apple"})
        SendMessageW(c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    std::vector<std::u16string> order;
    for (int i = 0; i < 5; ++i) {
        WCHAR buf[16];
        SendMessageW(c, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf));
        order.push_back(buf);
    }
    EXPECT_EQ(order, (std::vector<std::u16string>{u"apple", u"Eagle", u"\u00c9cole",
                                                  u"\u00e9t\u00e9", u"zoo"}));
    auto find = [&](UINT msg, const char16_t *s) {
        return int(SendMessageW(c, msg, WPARAM(-1), reinterpret_cast<LPARAM>(s)));
    };
    EXPECT_EQ(find(CB_FINDSTRINGEXACT, u"\u00c9T\u00c9"), 3);
    EXPECT_EQ(find(CB_FINDSTRING, u"\u00c9"), 2);
    EXPECT_EQ(find(CB_FINDSTRINGEXACT, u"ete"), CB_ERR); // accents count in a match
    EXPECT_EQ(find(CB_FINDSTRINGEXACT, u"\u0416\u0443\u043a"), CB_ERR);
    SendMessageW(c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"\u0436\u0443\u043a"));
    EXPECT_EQ(find(CB_FINDSTRINGEXACT, u"\u0416\u0423\u041a"), 5); // Cyrillic folds too
}

// The open list on the screen: the marked entry in the highlight colours follows the keys and
// the scrolling, the others stay white.
TEST_F(Combo, TheOpenListShowsItsMarkedEntryHighlightedWhereverItMoves) {
    // A colour as the 16-bit screen keeps it.
    auto onScreen = [](COLORREF c) {
        return uint16_t((GetRValue(c) >> 3) << 11 | (GetGValue(c) >> 2) << 5 | GetBValue(c) >> 3);
    };
    uint16_t highlight = onScreen(GetSysColor(COLOR_HIGHLIGHT));
    uint16_t white = onScreen(GetSysColor(COLOR_WINDOW));
    // Which rows of the list show the highlight, at their left end.
    auto marked = [&] {
        Pump();
        std::vector<int> rows;
        std::optional<emul::WindowInfo> list = List();
        for (size_t i = 0; list && i < list->itemBoxes.size(); ++i) {
            const emul::WindowInfo::Box &b = list->itemBoxes[i];
            uint16_t c = device.graphics().frame()[(b.top + b.bottom) / 2 * 240 + b.left + 1];
            EXPECT_TRUE(c == highlight || c == white) << i;
            if (c == highlight)
                rows.push_back(int(i));
        }
        return rows;
    };
    SetFocus(combo);
    Key(VK_F4);
    EXPECT_EQ(marked(), std::vector<int>{1}); // Inbox, the selection
    Key(VK_DOWN);
    EXPECT_EQ(marked(), std::vector<int>{2});
    Key(VK_END); // Word, the last of 7: the list scrolls by two
    EXPECT_EQ(List()->topIndex, 2);
    EXPECT_EQ(marked(), std::vector<int>{4});
    std::optional<emul::WindowInfo> list = List();
    Tap(list->right - 5, list->top + 4); // the scroll bar's top square: a row up
    EXPECT_EQ(List()->topIndex, 1);
    EXPECT_EQ(marked(), std::vector<int>{}); // Word stays marked, below the rows shown
}

} // namespace
