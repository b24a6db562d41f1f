// The window system's read-only view: what a snapshot shows of the tree and the controls, the
// control look-up that sends nothing (so a wake condition may use it), and a thread's windows
// gone the moment it ends.
#include <commctrl.h>
#include <windows.h>

#include "emul/device.h"
#include "emul/process.h"
#include "emul/windows_sys.h"

#include <gtest/gtest.h>

namespace {

using emul::ControlKind;
using emul::kern;
using emul::WindowInfo;

HWND Make(const char16_t *cls, const char16_t *text, DWORD style, HWND parent, int id, int x = 0,
          int y = 0, int cx = 20, int cy = 20) {
    return CreateWindowExW(0, cls, text, style, x, y, cx, cy, parent,
                           reinterpret_cast<HMENU>(intptr_t(id)), nullptr, nullptr);
}

uintptr_t U(HWND h) {
    return reinterpret_cast<uintptr_t>(h);
}

// The windows this thread makes belong to a program of the test's own for the test's length.
class WindowView : public ::testing::Test {
  protected:
    WindowView() {
        kern().self()->program = &program;
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = u"Frame";
        RegisterClassW(&wc);
    }
    ~WindowView() override { kern().self()->program = nullptr; }
    const emul::WindowView &view() { return device.windows().view(); }
    emul::Program program; // outlives the device, whose windows point to it
    emul::Device device;
};

const WindowInfo *Child(const WindowInfo &w, uintptr_t h) {
    for (const WindowInfo &c : w.children)
        if (c.hwnd == h)
            return &c;
    return nullptr;
}

TEST_F(WindowView, ASnapshotShowsTheTreeInZOrderWithWhatEachControlShows) {
    HWND back = Make(u"Frame", u"Back", WS_VISIBLE, nullptr, 0, 0, 26, 240, 268);
    HWND front = Make(u"Frame", u"Front", WS_VISIBLE, nullptr, 0, 0, 26, 240, 268);
    HWND check = Make(u"Button", u"&Enable", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, front, 10, 5,
                      6, 100, 16);
    SendMessageW(check, BM_SETCHECK, BST_CHECKED, 0);
    HWND combo = Make(u"ComboBox", u"", WS_CHILD | WS_VISIBLE, front, 11);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"COM1:"));
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"COM2:"));
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    HWND bar = Make(TRACKBAR_CLASS, u"", WS_CHILD | WS_VISIBLE, front, 12);
    SendMessageW(bar, TBM_SETRANGE, TRUE, MAKELPARAM(1, 9));
    SendMessageW(bar, TBM_SETPOS, TRUE, 4);
    HWND edit = Make(u"Edit", u"typed", WS_CHILD | WS_VISIBLE, front, 13);
    HWND hidden = Make(u"Static", u"later", WS_CHILD, front, 14);
    EnableWindow(combo, FALSE);
    SetFocus(edit);

    std::vector<WindowInfo> all = view().snapshot();
    ASSERT_EQ(all.size(), 3u); // front, back, then the desktop
    EXPECT_EQ(all[0].hwnd, U(front));
    EXPECT_EQ(all[1].hwnd, U(back));
    EXPECT_EQ(all[2].hwnd, device.windows().desktop());
    EXPECT_EQ(all[0].program, &program);
    EXPECT_EQ(all[0].top, 26);
    EXPECT_EQ(all[0].bottom, 26 + 268);
    ASSERT_EQ(all[0].children.size(), 5u);

    const WindowInfo *c = Child(all[0], U(check));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->kind, ControlKind::CheckBox);
    EXPECT_EQ(c->checked, std::optional<bool>(true));
    EXPECT_EQ(c->label, u"&Enable");
    EXPECT_EQ(c->left, 5); // screen coordinates: the parent's corner plus the offset
    EXPECT_EQ(c->top, 26 + 6);
    EXPECT_EQ(c->parent, U(front));

    const WindowInfo *cb = Child(all[0], U(combo));
    ASSERT_NE(cb, nullptr);
    EXPECT_EQ(cb->kind, ControlKind::ComboBox);
    ASSERT_TRUE(cb->items.has_value());
    EXPECT_EQ(cb->items->size(), 2u);
    EXPECT_EQ(cb->selected, 1);
    EXPECT_EQ(cb->label, u"COM2:"); // a closed combo box shows its selected entry
    EXPECT_FALSE(cb->enabled);

    const WindowInfo *tb = Child(all[0], U(bar));
    ASSERT_NE(tb, nullptr);
    EXPECT_EQ(tb->kind, ControlKind::Trackbar);
    EXPECT_EQ(tb->pos, std::optional<int>(4));
    EXPECT_EQ(tb->min, std::optional<int>(1));
    EXPECT_EQ(tb->max, std::optional<int>(9));
    EXPECT_FALSE(tb->checked.has_value());

    const WindowInfo *e = Child(all[0], U(edit));
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->kind, ControlKind::Edit);
    EXPECT_TRUE(e->focused);
    EXPECT_FALSE(c->focused);
    EXPECT_FALSE(Child(all[0], U(hidden))->visible);

    // Hiding the window hides what is in it; the flat list of the program has both tops.
    ShowWindow(front, SW_HIDE);
    EXPECT_FALSE(view().window(U(check))->visible);
    std::vector<WindowInfo> mine = view().windowsOf(&program);
    ASSERT_EQ(mine.size(), 7u);
    EXPECT_TRUE(mine[0].children.empty());
    EXPECT_FALSE(view().window(0x7FFFFFF0).has_value());
}

// Counts what reaches a tab control, which a look at it must not add to.
WNDPROC tabProc = nullptr;
int tabMessages = 0;
LRESULT CALLBACK CountingTab(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    ++tabMessages;
    return CallWindowProcW(tabProc, h, msg, wp, lp);
}

TEST_F(WindowView, FindingAControlLooksAtTheShownPageFirstAndSendsNothing) {
    HWND frame = Make(u"Frame", u"Settings", WS_VISIBLE, nullptr, 0, 0, 26, 240, 268);
    HWND tab = Make(WC_TABCONTROL, u"", WS_CHILD | WS_VISIBLE, frame, 1000, 0, 0, 240, 240);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<LPWSTR>(u"One");
    SendMessageW(tab, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    SendMessageW(tab, TCM_INSERTITEMW, 1, reinterpret_cast<LPARAM>(&item));
    // Two pages in the tab control with a control 7 each; the second page is shown.
    HWND page0 = Make(u"Frame", u"", WS_CHILD, tab, 1);
    HWND page1 = Make(u"Frame", u"", WS_CHILD | WS_VISIBLE, tab, 2);
    Make(u"Static", u"first", WS_CHILD | WS_VISIBLE, page0, 7);
    HWND second = Make(u"Static", u"second", WS_CHILD | WS_VISIBLE, page1, 7);
    SendMessageW(tab, TCM_SETCURSEL, 1, 0);
    tabProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(tab, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(CountingTab)));
    tabMessages = 0;

    EXPECT_EQ(view().tabControlOf(&program), U(tab));
    EXPECT_EQ(view().findControl(&program, 7), U(second));
    EXPECT_EQ(view().findControl(&program, 99), 0u);
    EXPECT_EQ(view().findControl(nullptr, 7), 0u);
    // Inside a wake condition, where a message could not be handled.
    uintptr_t found = 0;
    kern().block(
        [&] {
            found = view().findControl(&program, 7);
            return true;
        },
        emul::kNever);
    EXPECT_EQ(found, U(second));
    EXPECT_EQ(tabMessages, 0);
}

TEST_F(WindowView, AThreadsWindowsGoTheMomentItEnds) {
    HWND mine = Make(u"Frame", u"Mine", WS_VISIBLE, nullptr, 0);
    uintptr_t theirs = 0;
    auto t = kern().spawn("window maker", [&theirs] {
        HWND h = Make(u"Frame", u"Theirs", WS_VISIBLE, nullptr, 0);
        theirs = U(h);
        return 0u;
    });
    kern().block([&] { return t->exited(); }, emul::kNever);
    // No platform call since: the view already sees the window gone and the foreground passed on.
    ASSERT_NE(theirs, 0u);
    EXPECT_FALSE(view().isWindow(theirs));
    EXPECT_EQ(view().foreground(), U(mine));
    EXPECT_EQ(view().snapshot().size(), 2u);
    EXPECT_EQ(view().journalName(theirs), "");
    EXPECT_EQ(view().journalName(U(mine)), "Frame");
}

} // namespace
