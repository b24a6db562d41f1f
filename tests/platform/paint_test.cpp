// Painting as programs see it: WM_PAINT after every other message and once for many changes,
// the update region's calls, windows clipped by their children and by the windows above them,
// what a hidden window uncovers, and a parent's say over its controls' colours.
#include <sipapi.h>
#include <windows.h>

#include "emul/device.h"
#include "emul/graphics.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<UINT> heard;
COLORREF paintWith = RGB(0, 0, 255);
HBRUSH staticBrush = nullptr;

// Records what it hears; paints its client area in `paintWith` (a child: red).
LRESULT CALLBACK Painter(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_CTLCOLORSTATIC)
        heard.push_back(msg);
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        RECT all;
        GetClientRect(h, &all);
        HBRUSH b = CreateSolidBrush(GetParent(h) ? RGB(255, 0, 0) : paintWith);
        FillRect(dc, &all, b);
        DeleteObject(b);
        EndPaint(h, &ps);
        return 0;
    }
    if (msg == WM_CTLCOLORSTATIC && staticBrush)
        return reinterpret_cast<LRESULT>(staticBrush);
    return DefWindowProcW(h, msg, wp, lp);
}

class Paint : public ::testing::Test {
  protected:
    Paint() {
        heard.clear();
        paintWith = RGB(0, 0, 255);
        staticBrush = nullptr;
        WNDCLASSW wc{};
        wc.lpfnWndProc = Painter;
        wc.lpszClassName = u"Painter";
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        RegisterClassW(&wc);
    }
    HWND Make(int x, int y, int cx, int cy, HWND parent = nullptr) {
        return CreateWindowExW(0, u"Painter", u"", WS_VISIBLE | (parent ? WS_CHILD : 0), x, y, cx,
                               cy, parent, nullptr, nullptr, nullptr);
    }
    // Handles every message there is, as a program's loop does before it waits.
    void Pump() {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&m);
    }
    uint16_t Pixel(int x, int y) { return device.graphics().frame()[y * 240 + x]; }
    size_t Count(UINT msg) const { return size_t(std::count(heard.begin(), heard.end(), msg)); }
    emul::Device device;
};

constexpr uint16_t kRed = 0xF800, kBlue = 0x001F, kGreen = 0x07E0, kWhite = 0xFFFF;

TEST_F(Paint, PaintComesAfterEveryOtherMessageAndOnceForManyChanges) {
    HWND w = Make(0, 26, 240, 100);
    for (int i = 0; i < 3; ++i) {
        PostMessageW(w, WM_CHAR, 'a', 0);
        InvalidateRect(w, nullptr, TRUE);
    }
    Pump();
    ASSERT_EQ(heard.size() >= 5u, true);
    EXPECT_EQ(Count(WM_PAINT), 1u);
    EXPECT_EQ(Count(WM_ERASEBKGND), 1u);
    auto firstPaint = std::find(heard.begin(), heard.end(), UINT(WM_ERASEBKGND));
    EXPECT_EQ(std::count(firstPaint, heard.end(), UINT(WM_CHAR)), 0);
    // Nothing left: the paint validated the window.
    MSG m;
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(Pixel(10, 50), kBlue);
}

TEST_F(Paint, TheUpdateRegionIsClippedToTheWindowAndValidatedOnRequest) {
    HWND w = Make(10, 40, 100, 50);
    Pump();
    RECT r{};
    EXPECT_FALSE(GetUpdateRect(w, &r, FALSE));
    RECT part{-1000000, 20, 2000000000, 30}; // huge and negative: clipped to the window
    EXPECT_TRUE(InvalidateRect(w, &part, FALSE));
    EXPECT_TRUE(GetUpdateRect(w, &r, FALSE));
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 100);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.bottom, 30);
    EXPECT_TRUE(ValidateRect(w, nullptr));
    EXPECT_FALSE(GetUpdateRect(w, &r, FALSE));
    MSG m;
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE));
    // UpdateWindow paints at once, without the queue.
    InvalidateRect(w, nullptr, FALSE);
    heard.clear();
    EXPECT_TRUE(UpdateWindow(w));
    EXPECT_EQ(Count(WM_PAINT), 1u);
    EXPECT_FALSE(InvalidateRect(reinterpret_cast<HWND>(0x1234), nullptr, TRUE));
}

TEST_F(Paint, ChildrenAndWindowsAboveAreClippedAndWhatAWindowUncoversIsPainted) {
    HWND back = Make(0, 26, 240, 200);
    Make(20, 20, 40, 40, back); // at (20, 46) on the screen, painted red
    Pump();
    EXPECT_EQ(Pixel(5, 30), kBlue);
    EXPECT_EQ(Pixel(30, 60), kRed); // the parent's fill did not cover its child
    paintWith = RGB(0, 255, 0);
    HWND front = Make(100, 100, 100, 100);
    Pump();
    EXPECT_EQ(Pixel(150, 150), kGreen);
    // The window behind repaints only where it shows: the front one stays.
    paintWith = RGB(0, 0, 255);
    InvalidateRect(back, nullptr, TRUE);
    Pump();
    EXPECT_EQ(Pixel(150, 150), kGreen);
    EXPECT_EQ(Pixel(90, 150), kBlue);
    ShowWindow(front, SW_HIDE);
    Pump();
    EXPECT_EQ(Pixel(150, 150), kBlue);
    DestroyWindow(back);
    Pump();
    EXPECT_EQ(Pixel(150, 150), kWhite); // the desktop's
}

TEST_F(Paint, AParentChoosesItsControlsBackground) {
    HWND parent = Make(0, 26, 240, 100);
    staticBrush = CreateSolidBrush(RGB(0, 255, 0));
    CreateWindowExW(0, u"Static", u"", WS_CHILD | WS_VISIBLE, 10, 10, 50, 20, parent, nullptr,
                    nullptr, nullptr);
    Pump();
    EXPECT_EQ(Pixel(20, 40), kGreen);
    DeleteObject(staticBrush);
}

// Each kind of control asks its parent for its colours with its own message, and a dialog asks
// itself for its background; RedrawWindow paints a window and its children at once.
HBRUSH green = nullptr;
std::vector<UINT> asked;
LRESULT CALLBACK Colourer(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg >= WM_CTLCOLOREDIT && msg <= WM_CTLCOLORSTATIC) {
        asked.push_back(msg);
        if (msg != WM_CTLCOLORBTN)
            return reinterpret_cast<LRESULT>(green);
    }
    if (msg == WM_PAINT)
        heard.push_back(msg);
    return DefWindowProcW(h, msg, wp, lp);
}
BOOL CALLBACK GreenDialog(HWND, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_CTLCOLORDLG)
        return BOOL(reinterpret_cast<INT_PTR>(green));
    return FALSE;
}

TEST_F(Paint, ControlsAskForTheirColoursAndRedrawWindowPaintsAtOnce) {
    green = CreateSolidBrush(RGB(0, 255, 0));
    asked.clear();
    WNDCLASSW wc{};
    wc.lpfnWndProc = Colourer;
    wc.lpszClassName = u"Colourer";
    RegisterClassW(&wc);
    HWND parent = CreateWindowExW(0, u"Colourer", u"", WS_VISIBLE, 0, 26, 240, 200, nullptr,
                                  nullptr, nullptr, nullptr);
    auto child = [parent](const char16_t *cls, DWORD style, int y) {
        return CreateWindowExW(0, cls, u"", WS_CHILD | WS_VISIBLE | style, 10, y, 100, 20, parent,
                               nullptr, nullptr, nullptr);
    };
    child(u"Edit", WS_BORDER, 10);         // screen 10,36
    child(u"Button", BS_PUSHBUTTON, 40);   // screen 10,66
    child(u"Button", BS_AUTOCHECKBOX, 70); // screen 10,96
    Pump();
    EXPECT_EQ(Pixel(60, 46), kGreen);   // inside the edit box's border
    EXPECT_NE(Pixel(60, 76), kGreen);   // a push button keeps its face
    EXPECT_EQ(Pixel(100, 106), kGreen); // beside the check box's label
    for (UINT m : {WM_CTLCOLOREDIT, WM_CTLCOLORBTN, WM_CTLCOLORSTATIC})
        EXPECT_NE(std::find(asked.begin(), asked.end(), m), asked.end()) << m;

    // A dialog's background is its own answer to WM_CTLCOLORDLG.
    alignas(4) uint16_t words[16] = {};
    DLGTEMPLATE t{};
    t.style = WS_POPUP | WS_VISIBLE;
    t.x = 0, t.y = 130, t.cx = 100, t.cy = 40;
    std::memcpy(words, &t, sizeof t);
    HWND dlg = CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(words),
                                          nullptr, GreenDialog, 0);
    ASSERT_NE(dlg, nullptr);
    Pump();
    RECT r{};
    GetWindowRect(dlg, &r);
    EXPECT_EQ(Pixel(r.left + 5, r.top + 5), kGreen);
    DestroyWindow(dlg);

    // Everything asked of RedrawWindow is painted before it returns, children included.
    Pump();
    heard.clear();
    asked.clear();
    RedrawWindow(parent, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    EXPECT_EQ(Count(WM_PAINT), 1u);
    EXPECT_EQ(asked.size(), 3u);
    // RDW_VALIDATE takes back what was asked: nothing is left to paint.
    InvalidateRect(parent, nullptr, TRUE);
    RedrawWindow(parent, nullptr, nullptr, RDW_VALIDATE);
    EXPECT_FALSE(GetUpdateRect(parent, nullptr, FALSE));
    DestroyWindow(parent);
    DeleteObject(green);
}

// A built-in control given a font with WM_SETFONT draws and measures its text in it, and goes
// back to the dialog font once that font is deleted.
TEST_F(Paint, ABuiltInControlDrawsInTheFontItIsGiven) {
    HWND parent = Make(0, 26, 240, 200);
    auto child = [parent](const char16_t *cls, const char16_t *text, DWORD style, int y) {
        return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 10, y, 220, 40, parent,
                               nullptr, nullptr, nullptr);
    };
    HWND label = child(u"Static", u"Wide", 0, 10), edit = child(u"Edit", u"abc", WS_BORDER, 60);
    // How far right the label's black text reaches on the screen.
    auto reach = [this] {
        Pump();
        int right = 0;
        for (int y = 36; y < 76; ++y)
            for (int x = 10; x < 230; ++x)
                if (Pixel(x, y) == 0)
                    right = std::max(right, x);
        return right;
    };
    auto endOf = [edit] { return int(LOWORD(SendMessageW(edit, EM_POSFROMCHAR, 3, 0))); };
    int small = reach(), smallEnd = endOf();
    LOGFONTW lf{};
    lf.lfHeight = -24;
    lf.lfWeight = FW_BOLD;
    std::copy_n(u"Tahoma", 7, lf.lfFaceName);
    HFONT big = CreateFontIndirectW(&lf);
    for (HWND c : {label, edit})
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(big), TRUE);
    EXPECT_EQ(SendMessageW(label, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(big));
    EXPECT_GT(reach() - 10, 3 * (small - 10) / 2);
    EXPECT_GT(endOf(), 3 * smallEnd / 2);
    DeleteObject(big);
    InvalidateRect(label, nullptr, TRUE);
    EXPECT_EQ(reach(), small);
    EXPECT_EQ(endOf(), smallEnd);
    DestroyWindow(parent);
}

// The input panel stands above every window while it is up: it takes the pen there, and what
// it covered is painted again when it goes. A program's window made meanwhile stays below it.
TEST_F(Paint, TheInputPanelCoversTheWindowsBelowItUntilItGoes) {
    HWND w = Make(0, 26, 240, 268);
    Pump();
    EXPECT_EQ(Pixel(120, 250), kBlue);
    EXPECT_TRUE(SipShowIM(SIPF_ON));
    Pump();
    EXPECT_NE(Pixel(120, 250), kBlue);
    EXPECT_EQ(Pixel(120, 200), kBlue); // above the panel
    EXPECT_NE(WindowFromPoint(POINT{120, 250}), w);
    Make(0, 26, 240, 268);
    InvalidateRect(w, nullptr, TRUE);
    Pump();
    EXPECT_NE(Pixel(120, 250), kBlue);
    EXPECT_TRUE(SipShowIM(SIPF_OFF));
    Pump();
    EXPECT_EQ(Pixel(120, 250), kBlue);
    EXPECT_NE(WindowFromPoint(POINT{120, 250}), nullptr);
}

} // namespace
