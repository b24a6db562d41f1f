// The controls as a program drives them: combo box sorting and exact search, the trackbar's
// notifications for a drag and a tap beside the thumb, the tab control's selection changes.
#include <commctrl.h>
#include <windows.h>

#include "support/program_window.h"

#include "emul/device.h"
#include "emul/graphics.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Heard {
    UINT msg;
    int code, pos;
};
// What the parent heard from its controls, and its answer to a tab change.
struct ParentLog {
    std::vector<Heard> heard;
    bool vetoTabChange = false;
};

// The parent keeps its log in its user data.
LRESULT CALLBACK Parent(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto *log = reinterpret_cast<ParentLog *>(GetWindowLongPtrW(h, GWL_USERDATA));
    if (!log)
        return DefWindowProcW(h, msg, wp, lp);
    if (msg == WM_HSCROLL || msg == WM_COMMAND)
        log->heard.push_back(
            {msg, int(msg == WM_HSCROLL ? LOWORD(wp) : HIWORD(wp)), int(HIWORD(wp))});
    if (msg == WM_NOTIFY) {
        auto *n = reinterpret_cast<NMHDR *>(lp);
        log->heard.push_back({msg, int(n->code), int(n->idFrom)});
        if (n->code == TCN_SELCHANGING)
            return log->vetoTabChange;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

class Controls : public ::testing::Test {
  protected:
    Controls() {
        parent = test_support::ProgramWindow(Parent);
        SetWindowLongPtrW(parent, GWL_USERDATA, reinterpret_cast<LONG_PTR>(&log));
    }
    HWND Child(const char16_t *cls, DWORD style, int id, int w, int h) {
        return CreateWindowExW(0, cls, u"", WS_CHILD | WS_VISIBLE | style, 10, 10, w, h, parent,
                               reinterpret_cast<HMENU>(intptr_t(id)), nullptr, nullptr);
    }
    emul::Device device;
    HWND parent = nullptr;
    ParentLog log;
    std::vector<Heard> &heard = log.heard;
    bool &vetoTabChange = log.vetoTabChange;
};

std::vector<std::u16string> Items(HWND combo) {
    std::vector<std::u16string> out;
    int n = int(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        WCHAR buf[64];
        int len = int(SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf)));
        EXPECT_EQ(len, int(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0)));
        out.push_back(buf);
    }
    return out;
}

LPARAM Text(const char16_t *s) {
    return reinterpret_cast<LPARAM>(s);
}

TEST_F(Controls, SortedComboBoxIgnoresCaseAndKeepsEqualEntriesInArrivalOrder) {
    HWND c = Child(u"ComboBox", CBS_DROPDOWNLIST | CBS_SORT, 1009, 119, 100);
    EXPECT_EQ(SendMessageW(c, CB_ADDSTRING, 0, Text(u"notes")), 0);
    EXPECT_EQ(SendMessageW(c, CB_ADDSTRING, 0, Text(u"Calendar")), 0);
    EXPECT_EQ(SendMessageW(c, CB_ADDSTRING, 0, Text(u"Notes")), 2);
    EXPECT_EQ(SendMessageW(c, CB_ADDSTRING, 0, Text(u"Word")), 3);
    EXPECT_EQ(SendMessageW(c, CB_ADDSTRING, 0, Text(u"")), 0);
    // Inserting never sorts, and the selection moves with its entry.
    EXPECT_EQ(SendMessageW(c, CB_SETCURSEL, 2, 0), 2);
    EXPECT_EQ(SendMessageW(c, CB_INSERTSTRING, 0, Text(u"Choose Data File...")), 0);
    EXPECT_EQ(SendMessageW(c, CB_INSERTSTRING, WPARAM(-1), Text(u"Apps")), 6);
    EXPECT_EQ(Items(c), (std::vector<std::u16string>{u"Choose Data File...", u"", u"Calendar",
                                                     u"notes", u"Notes", u"Word", u"Apps"}));
    EXPECT_EQ(SendMessageW(c, CB_GETCURSEL, 0, 0), 3);
    EXPECT_EQ(SendMessageW(c, CB_INSERTSTRING, 99, Text(u"x")), CB_ERR);
    // Nothing of this is a user's choice: the parent heard nothing.
    EXPECT_TRUE(heard.empty());
}

TEST_F(Controls, ExactSearchIsWholeStringWithoutCaseAndWrapsAround) {
    HWND c = Child(u"ComboBox", CBS_DROPDOWNLIST, 1010, 119, 100);
    for (const char16_t *s : {u"Notes", u"Note", u"NOTES", u"Word"})
        SendMessageW(c, CB_ADDSTRING, 0, Text(s));
    EXPECT_EQ(SendMessageW(c, CB_FINDSTRINGEXACT, WPARAM(-1), Text(u"notes")), 0);
    EXPECT_EQ(SendMessageW(c, CB_FINDSTRINGEXACT, 0, Text(u"notes")), 2); // starts after entry 0
    EXPECT_EQ(SendMessageW(c, CB_FINDSTRINGEXACT, 2, Text(u"notes")), 0); // and wraps around
    EXPECT_EQ(SendMessageW(c, CB_FINDSTRINGEXACT, WPARAM(-1), Text(u"not")), CB_ERR);
    EXPECT_EQ(SendMessageW(c, CB_FINDSTRING, WPARAM(-1), Text(u"not")), 0); // a prefix search
    EXPECT_EQ(SendMessageW(c, CB_FINDSTRINGEXACT, WPARAM(-1), Text(u"")), CB_ERR);
    // A cleared selection reads as CB_ERR; a bad index fails without touching the buffer.
    EXPECT_EQ(SendMessageW(c, CB_SETCURSEL, WPARAM(-1), 0), CB_ERR);
    EXPECT_EQ(SendMessageW(c, CB_GETCURSEL, 0, 0), CB_ERR);
    WCHAR buf[8] = u"keep";
    EXPECT_EQ(SendMessageW(c, CB_GETLBTEXT, 9, reinterpret_cast<LPARAM>(buf)), CB_ERR);
    EXPECT_EQ(std::u16string(buf), u"keep");
    EXPECT_EQ(SendMessageW(c, CB_RESETCONTENT, 0, 0), CB_OKAY);
    EXPECT_EQ(SendMessageW(c, CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(SendMessageW(c, CB_FINDSTRINGEXACT, WPARAM(-1), Text(u"Notes")), CB_ERR);
}

// Where a finger on the trackbar's channel stands for position p.
LPARAM At(HWND tb, int p) {
    RECT ch{};
    SendMessageW(tb, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&ch));
    int min = int(SendMessageW(tb, TBM_GETRANGEMIN, 0, 0));
    int max = int(SendMessageW(tb, TBM_GETRANGEMAX, 0, 0));
    return MAKELPARAM(ch.left + MulDiv(p - min, ch.right - ch.left, max - min), 9);
}

TEST_F(Controls, TrackbarDragReportsEveryPositionThenThePositionAndTheEnd) {
    HWND tb = Child(TRACKBAR_CLASS, TBS_BOTH | TBS_NOTICKS, 1000, 140, 19);
    SendMessageW(tb, TBM_SETRANGE, FALSE, MAKELONG(1, 10));
    SendMessageW(tb, TBM_SETPOS, TRUE, 3);
    SendMessageW(tb, TBM_SETPOS, TRUE, 42); // clamped, silently
    EXPECT_EQ(SendMessageW(tb, TBM_GETPOS, 0, 0), 10);
    SendMessageW(tb, TBM_SETPOS, TRUE, 3);
    EXPECT_TRUE(heard.empty());

    SendMessageW(tb, WM_LBUTTONDOWN, 1, At(tb, 3)); // on the thumb: nothing moves yet
    for (int p : {4, 5, 5, 6})
        SendMessageW(tb, WM_MOUSEMOVE, 1, At(tb, p));
    SendMessageW(tb, WM_LBUTTONUP, 0, At(tb, 6));
    ASSERT_EQ(heard.size(), 5u);
    int codes[] = {TB_THUMBTRACK, TB_THUMBTRACK, TB_THUMBTRACK, TB_THUMBPOSITION, TB_ENDTRACK};
    int poss[] = {4, 5, 6, 6, 0};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(heard[i].msg, UINT(WM_HSCROLL));
        EXPECT_EQ(heard[i].code, codes[i]) << i;
        EXPECT_EQ(heard[i].pos, poss[i]) << i;
    }
    EXPECT_EQ(SendMessageW(tb, TBM_GETPOS, 0, 0), 6);

    // A tap beside the thumb moves it a page that way, then ends.
    heard.clear();
    SendMessageW(tb, TBM_SETPAGESIZE, 0, 2);
    SendMessageW(tb, WM_LBUTTONDOWN, 1, At(tb, 10));
    SendMessageW(tb, WM_LBUTTONUP, 0, At(tb, 10));
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].code, TB_PAGEDOWN);
    EXPECT_EQ(heard[1].code, TB_ENDTRACK);
    EXPECT_EQ(SendMessageW(tb, TBM_GETPOS, 0, 0), 8);

    // Off the channel the thumb follows the pen along it and stops at the ends; another
    // window taking the pen ends the drag, and later moves leave the thumb alone.
    heard.clear();
    SendMessageW(tb, WM_LBUTTONDOWN, 1, At(tb, 8));
    SendMessageW(tb, WM_MOUSEMOVE, 1, MAKELPARAM(-40, 90));
    EXPECT_EQ(SendMessageW(tb, TBM_GETPOS, 0, 0), 1);
    SetCapture(parent);
    SendMessageW(tb, WM_MOUSEMOVE, 1, At(tb, 5));
    SendMessageW(tb, WM_LBUTTONUP, 0, At(tb, 5));
    EXPECT_EQ(SendMessageW(tb, TBM_GETPOS, 0, 0), 1);
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].code, TB_THUMBTRACK);
    EXPECT_EQ(heard[1].code, TB_ENDTRACK);
    ReleaseCapture();
}

TEST_F(Controls, ThePenHeldBesideTheThumbPagesOnUntilTheThumbReachesIt) {
    HWND tb = Child(TRACKBAR_CLASS, TBS_BOTH | TBS_NOTICKS, 1000, 140, 19);
    SendMessageW(tb, TBM_SETRANGE, FALSE, MAKELONG(1, 10));
    SendMessageW(tb, TBM_SETPOS, TRUE, 2);
    SendMessageW(tb, WM_LBUTTONDOWN, 1, At(tb, 7));
    EXPECT_EQ(SendMessageW(tb, TBM_GETPOS, 0, 0), 3); // a page at once
    // Every half second another, until the thumb is under the pen; then it waits there.
    MSG m;
    while (GetTickCount() < 3000 && GetMessageW(&m, nullptr, 0, 0))
        DispatchMessageW(&m);
    EXPECT_EQ(SendMessageW(tb, TBM_GETPOS, 0, 0), 7);
    // Moved back before the thumb, the pen pages no further: the thumb only went one way.
    SendMessageW(tb, WM_MOUSEMOVE, 1, At(tb, 2));
    while (GetTickCount() < 4000 && GetMessageW(&m, nullptr, 0, 0))
        DispatchMessageW(&m);
    SendMessageW(tb, WM_LBUTTONUP, 0, At(tb, 2));
    EXPECT_EQ(SendMessageW(tb, TBM_GETPOS, 0, 0), 7);
    ASSERT_EQ(heard.size(), 6u);
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(heard[i].code, TB_PAGEDOWN) << i;
    EXPECT_EQ(heard[5].code, TB_ENDTRACK);
    EXPECT_FALSE(KillTimer(tb, 1)); // the lift ended the repeat
}

TEST_F(Controls, TabTapAsksThenReportsAndSetCurSelIsSilent) {
    HWND tab = Child(WC_TABCONTROL, TCS_BOTTOM | TCS_FLATBUTTONS, 1000, 243, 243);
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), -1);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    const char16_t *names[] = {u"Config", u"Hot-Key", u"About"};
    for (int i = 0; i < 3; ++i) {
        item.pszText = const_cast<LPWSTR>(names[i]);
        EXPECT_EQ(SendMessageW(tab, TCM_INSERTITEM, i, reinterpret_cast<LPARAM>(&item)), i);
    }
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 0); // the first tab is selected
    RECT r{};
    ASSERT_TRUE(SendMessageW(tab, TCM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&r)));
    EXPECT_EQ(r.bottom, 243); // along the bottom edge
    EXPECT_FALSE(SendMessageW(tab, TCM_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&r)));

    EXPECT_EQ(SendMessageW(tab, TCM_SETCURSEL, 1, 0), 0);
    EXPECT_TRUE(heard.empty());
    ASSERT_TRUE(SendMessageW(tab, TCM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&r)));
    LPARAM tap = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    vetoTabChange = true;
    SendMessageW(tab, WM_LBUTTONDOWN, 1, tap);
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 1);
    vetoTabChange = false;
    SendMessageW(tab, WM_LBUTTONDOWN, 1, tap);
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 2);
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard[0].code, int(TCN_SELCHANGING));
    EXPECT_EQ(heard[1].code, int(TCN_SELCHANGING));
    EXPECT_EQ(heard[2].code, int(TCN_SELCHANGE));
    EXPECT_EQ(heard[2].pos, 1000); // idFrom

    // A tap on the tab already selected reports only the click: nothing to ask or change.
    heard.clear();
    SendMessageW(tab, WM_LBUTTONDOWN, 1, tap);
    SendMessageW(tab, WM_LBUTTONUP, 0, tap);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].code, int(NM_CLICK));
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 2);

    // The display area and the window rectangle convert into each other.
    RECT a{0, 0, 243, 243};
    SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&a));
    EXPECT_LT(a.bottom, r.top + 1);
    SendMessageW(tab, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&a));
    EXPECT_EQ(a.bottom, 243);
    EXPECT_EQ(a.left, 0);
}

// The focus follows what the user can see: a page hidden with the focus inside hands it to its
// parent, a tap on a tab takes it, and with it the arrows pick the neighbouring tab.
TEST_F(Controls, TheFocusLeavesAHiddenPageAndTheArrowsPickTabs) {
    HWND tab = Child(WC_TABCONTROL, TCS_BOTTOM, 1000, 243, 243);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    const char16_t *names[] = {u"Config", u"Hot-Key", u"About"};
    for (int i = 0; i < 3; ++i) {
        item.pszText = const_cast<LPWSTR>(names[i]);
        SendMessageW(tab, TCM_INSERTITEM, i, reinterpret_cast<LPARAM>(&item));
    }
    HWND page = CreateWindowExW(0, u"STATIC", u"", WS_CHILD | WS_VISIBLE, 0, 0, 243, 200, tab,
                                nullptr, nullptr, nullptr);
    HWND other = CreateWindowExW(0, u"STATIC", u"", WS_CHILD | WS_VISIBLE, 0, 0, 243, 200, tab,
                                 nullptr, nullptr, nullptr);
    HWND help = CreateWindowExW(0, u"BUTTON", u"Help", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 10,
                                10, 50, 20, page, nullptr, nullptr, nullptr);
    SetFocus(help);
    ShowWindow(other, SW_HIDE);
    EXPECT_EQ(GetFocus(), help); // a window without the focus goes quietly
    ShowWindow(page, SW_HIDE);
    EXPECT_EQ(GetFocus(), tab);

    SetFocus(parent);
    RECT r{};
    SendMessageW(tab, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
    SendMessageW(tab, WM_LBUTTONDOWN, 1, MAKELPARAM(r.left + 2, r.top + 2));
    SendMessageW(tab, WM_LBUTTONUP, 0, MAKELPARAM(r.left + 2, r.top + 2));
    EXPECT_EQ(GetFocus(), tab);
    heard.clear();
    SendMessageW(tab, WM_KEYDOWN, VK_LEFT, 0); // no tab before the first
    EXPECT_TRUE(heard.empty());
    SendMessageW(tab, WM_KEYDOWN, VK_RIGHT, 0);
    SendMessageW(tab, WM_KEYDOWN, VK_RIGHT, 0);
    SendMessageW(tab, WM_KEYDOWN, VK_RIGHT, 0); // nor after the last
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 2);
    ASSERT_EQ(heard.size(), 4u);
    EXPECT_EQ(heard[3].code, int(TCN_SELCHANGE));
    vetoTabChange = true;
    SendMessageW(tab, WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 2);
}

TEST_F(Controls, TrackbarPageIsAFifthOfTheRangeUntilAProgramSetsIt) {
    HWND tb = Child(TRACKBAR_CLASS, TBS_BOTH | TBS_NOTICKS, 1000, 140, 19);
    EXPECT_EQ(SendMessageW(tb, TBM_GETPAGESIZE, 0, 0), 20); // the range 0 to 100
    SendMessageW(tb, TBM_SETRANGE, FALSE, MAKELONG(1, 10));
    SendMessageW(tb, TBM_SETPOS, TRUE, 3);
    EXPECT_EQ(SendMessageW(tb, TBM_GETPAGESIZE, 0, 0), 1); // 9 / 5, whole steps
    SendMessageW(tb, WM_KEYDOWN, VK_NEXT, 1);
    EXPECT_EQ(SendMessageW(tb, TBM_GETPOS, 0, 0), 4);
    // A tap beside the thumb moves a page too, not to an end.
    SendMessageW(tb, WM_LBUTTONDOWN, 1, At(tb, 10));
    SendMessageW(tb, WM_LBUTTONUP, 0, At(tb, 10));
    EXPECT_EQ(SendMessageW(tb, TBM_GETPOS, 0, 0), 5);
    SendMessageW(tb, WM_KEYDOWN, VK_PRIOR, 1);
    EXPECT_EQ(SendMessageW(tb, TBM_GETPOS, 0, 0), 4);
    EXPECT_EQ(heard.size(), 4u); // a page down by key, one by the tap and its end, a page up
    EXPECT_EQ(heard[0].code, TB_PAGEDOWN);
    EXPECT_EQ(heard[3].code, TB_PAGEUP);
    // Once set, the page stays whatever the range.
    EXPECT_EQ(SendMessageW(tb, TBM_SETPAGESIZE, 0, 3), 1);
    SendMessageW(tb, TBM_SETRANGE, FALSE, MAKELONG(0, 100));
    EXPECT_EQ(SendMessageW(tb, TBM_GETPAGESIZE, 0, 0), 3);
}

TEST_F(Controls, SetCurSelWithANegativeIndexLeavesNoTabSelected) {
    HWND tab = Child(WC_TABCONTROL, TCS_BOTTOM, 1000, 243, 243);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<LPWSTR>(u"One");
    SendMessageW(tab, TCM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&item));
    SendMessageW(tab, TCM_INSERTITEM, 1, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(SendMessageW(tab, TCM_SETCURSEL, 1, 0), 0);
    EXPECT_EQ(SendMessageW(tab, TCM_SETCURSEL, 2, 0), -1); // past the end: nothing changes
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(SendMessageW(tab, TCM_SETCURSEL, WPARAM(-1), 0), 1);
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), -1);
    EXPECT_TRUE(heard.empty());
}

TEST_F(Controls, AnAutomaticRadioButtonClearsOnlyItsOwnGroup) {
    HWND r[4];
    for (int i = 0; i < 4; ++i)
        r[i] = Child(u"Button", BS_AUTORADIOBUTTON | (i % 2 == 0 ? WS_GROUP : 0), 2000 + i, 50, 10);
    SendMessageW(r[0], BM_CLICK, 0, 0);
    SendMessageW(r[2], BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(r[0], BM_GETCHECK, 0, 0), BST_CHECKED); // another group
    SendMessageW(r[3], BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(r[2], BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(r[3], BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(r[0], BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(Controls, APushButtonClicksOnlyWhenThePenLiftsInsideIt) {
    HWND b = Child(u"Button", BS_PUSHBUTTON, 9, 60, 20);
    SendMessageW(b, WM_LBUTTONDOWN, 1, MAKELPARAM(5, 5));
    EXPECT_EQ(GetCapture(), b);
    EXPECT_EQ(SendMessageW(b, BM_GETSTATE, 0, 0) & BST_PUSHED, BST_PUSHED);
    SendMessageW(b, WM_MOUSEMOVE, 1, MAKELPARAM(80, 5)); // off it: shown raised again
    EXPECT_EQ(SendMessageW(b, BM_GETSTATE, 0, 0) & BST_PUSHED, 0);
    SendMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(80, 5));
    EXPECT_TRUE(heard.empty());
    EXPECT_EQ(GetCapture(), nullptr);
    SendMessageW(b, WM_LBUTTONDOWN, 1, MAKELPARAM(5, 5));
    SendMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(59, 19));
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].code, BN_CLICKED);
    EXPECT_EQ(GetFocus(), b);
}

TEST_F(Controls, TheSpaceBarPressesTheFocusedButtonAndClicksItAsItComesUp) {
    HWND box = Child(u"Button", BS_AUTOCHECKBOX, 7, 80, 14);
    SetFocus(box);
    auto press = [](UINT flags) {
        keybd_event(VK_SPACE, 0, flags, 0);
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    };
    // Inside the box's corner (screen 11,37): white, the button face while pressed.
    auto corner = [this] { return device.graphics().frame()[37 * 240 + 11]; };
    press(0);
    EXPECT_EQ(SendMessageW(box, BM_GETSTATE, 0, 0) & (BST_PUSHED | BST_CHECKED), BST_PUSHED);
    EXPECT_EQ(corner(), 0xC618); // light grey
    EXPECT_TRUE(heard.empty());
    press(KEYEVENTF_KEYUP);
    EXPECT_EQ(SendMessageW(box, BM_GETSTATE, 0, 0) & (BST_PUSHED | BST_CHECKED), BST_CHECKED);
    EXPECT_EQ(corner(), 0xFFFF);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].code, BN_CLICKED);
    // The focus moving away while the space bar is down ends the press without a click.
    press(0);
    SetFocus(parent);
    press(KEYEVENTF_KEYUP);
    EXPECT_EQ(SendMessageW(box, BM_GETSTATE, 0, 0) & (BST_PUSHED | BST_CHECKED), BST_CHECKED);
    EXPECT_EQ(heard.size(), 1u);
}

} // namespace
