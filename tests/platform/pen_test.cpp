// The pen on the glass: where a tap lands (labels and group boxes let it through, disabled
// windows do not take it), the window that keeps the pen until it lifts, and capture.
#include <aygshell.h>
#include <windows.h>

#include "emul/device.h"
#include "emul/graphics.h"
#include "emul/windows_sys.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Pen = emul::WindowSystem::Pen;

struct Got {
    HWND hwnd;
    UINT msg;
    int x, y; // client coordinates, or the new capture's handle for WM_CAPTURECHANGED
};
std::vector<Got> got;

LRESULT CALLBACK Logger(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_LBUTTONDOWN || msg == WM_MOUSEMOVE || msg == WM_LBUTTONUP)
        got.push_back({h, msg, int16_t(LOWORD(lp)), int16_t(HIWORD(lp))});
    if (msg == WM_CAPTURECHANGED)
        got.push_back({h, msg, int(lp != 0), 0});
    if (msg == WM_COMMAND)
        got.push_back({h, msg, LOWORD(wp), HIWORD(wp)});
    return DefWindowProcW(h, msg, wp, lp);
}

void Pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&m);
}

class PenTest : public ::testing::Test {
  protected:
    PenTest() {
        got.clear();
        WNDCLASSW wc{};
        wc.lpfnWndProc = Logger;
        wc.lpszClassName = u"Logger";
        RegisterClassW(&wc);
        top = CreateWindowExW(0, u"Logger", u"", WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr,
                              nullptr, nullptr);
    }
    HWND Child(const char16_t *cls, DWORD style, int x, int y, int cx, int cy, HWND in = nullptr) {
        return CreateWindowExW(0, cls, u"", WS_CHILD | WS_VISIBLE | style, x, y, cx, cy,
                               in ? in : top, nullptr, nullptr, nullptr);
    }
    void Tap(int x, int y) {
        device.windows().pen(Pen::Down, x, y);
        device.windows().pen(Pen::Up, x, y);
        Pump();
    }
    emul::Device device;
    HWND top = nullptr;
};

TEST_F(PenTest, LabelsAndGroupBoxesLetThePenThroughDisabledWindowsDoNotTakeIt) {
    HWND label = Child(u"Static", SS_LEFT, 10, 10, 100, 20);              // screen 10,36
    HWND notify = Child(u"Static", SS_LEFT | SS_NOTIFY, 10, 40, 100, 20); // screen 10,66
    HWND group = Child(u"Button", 7 /* BS_GROUPBOX */, 0, 100, 200, 100); // screen 0,126
    HWND inGroup = Child(u"Logger", 0, 20, 120, 50, 20);                  // screen 20,146
    HWND off = Child(u"Logger", WS_DISABLED, 120, 120, 50, 20);           // screen 120,146
    EXPECT_EQ(WindowFromPoint(POINT{20, 40}), top);
    EXPECT_EQ(WindowFromPoint(POINT{20, 70}), notify);
    EXPECT_EQ(WindowFromPoint(POINT{5, 130}), top); // the group box's frame
    EXPECT_EQ(WindowFromPoint(POINT{30, 150}), inGroup);
    EXPECT_EQ(WindowFromPoint(POINT{130, 150}), top); // a disabled child gives it to its parent
    (void)label, (void)group, (void)off;

    Tap(20, 40);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].hwnd, top);
    EXPECT_EQ(got[0].msg, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(got[0].x, 20);
    EXPECT_EQ(got[0].y, 14); // in the top window's client area
    EXPECT_EQ(got[1].msg, UINT(WM_LBUTTONUP));
    got.clear();
    Tap(20, 70); // the label that asks to hear of taps tells its parent
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].msg, UINT(WM_COMMAND));
    EXPECT_EQ(got[0].y, STN_CLICKED);

    // A disabled top-level window (the owner of a modal dialog) swallows the tap: nothing
    // beneath it, the desktop included, hears of it.
    got.clear();
    EnableWindow(top, FALSE);
    EXPECT_EQ(WindowFromPoint(POINT{20, 40}), nullptr);
    EXPECT_EQ(device.windows().pen(Pen::Down, 20, 40), 0u);
    EXPECT_EQ(device.windows().pen(Pen::Up, 20, 40), 0u);
    Pump();
    EXPECT_TRUE(got.empty());
    // Off the top window the desktop is hit; off the screen, the nearest edge.
    EXPECT_EQ(WindowFromPoint(POINT{20, 10}), GetDesktopWindow());
    EXPECT_EQ(WindowFromPoint(POINT{20, 400}), nullptr);
}

TEST_F(PenTest, TheWindowThePenWentDownOnKeepsItUntilItLifts) {
    HWND a = Child(u"Logger", 0, 0, 0, 100, 50);   // screen 0,26 .. 100,76
    HWND b = Child(u"Logger", 0, 0, 100, 100, 50); // screen 0,126 .. 100,176
    device.windows().pen(Pen::Down, 10, 30);
    device.windows().pen(Pen::Move, 10, 130); // over b, still a's
    device.windows().pen(Pen::Up, 10, 140);
    device.windows().pen(Pen::Move, 10, 30); // lifted: no hover on a touch screen
    Pump();
    ASSERT_EQ(got.size(), 3u);
    for (const Got &g : got)
        EXPECT_EQ(g.hwnd, a);
    EXPECT_EQ(got[1].y, 104);
    EXPECT_EQ(got[2].msg, UINT(WM_LBUTTONUP));
    EXPECT_EQ(got[2].y, 114);

    // Moves not yet read are merged into one to the pen's latest point.
    got.clear();
    device.windows().pen(Pen::Down, 10, 130);
    for (int y = 131; y < 140; ++y)
        device.windows().pen(Pen::Move, 10, y);
    Pump();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].hwnd, b);
    EXPECT_EQ(got[1].msg, UINT(WM_MOUSEMOVE));
    EXPECT_EQ(got[1].y, 13);
    device.windows().pen(Pen::Up, 10, 139);
    Pump();
}

TEST_F(PenTest, CaptureTakesEveryPenMessageUntilReleased) {
    HWND a = Child(u"Logger", 0, 0, 0, 100, 50);
    HWND b = Child(u"Logger", 0, 0, 100, 100, 50);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(SetCapture(a), nullptr);
    EXPECT_EQ(GetCapture(), a);
    Tap(10, 130); // on b, but a holds the pen: in a's coordinates
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].hwnd, a);
    EXPECT_EQ(got[0].y, 104);

    // Taking the capture over tells the window that loses it; so does releasing it.
    got.clear();
    EXPECT_EQ(SetCapture(b), a);
    EXPECT_TRUE(ReleaseCapture());
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].hwnd, a);
    EXPECT_EQ(got[0].msg, UINT(WM_CAPTURECHANGED));
    EXPECT_EQ(got[0].x, 1); // to another window
    EXPECT_EQ(got[1].hwnd, b);
    EXPECT_EQ(got[1].x, 0); // to none
    EXPECT_EQ(GetCapture(), nullptr);

    // A window that goes takes its capture with it.
    SetCapture(b);
    DestroyWindow(b);
    EXPECT_EQ(GetCapture(), nullptr);
    got.clear();
    Tap(10, 30);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].hwnd, a);
}

// The task bar along the top shows an OK button while the window in front has one in its
// caption; a tap on it is that window's OK, and it goes when the window drops it.
TEST_F(PenTest, TheTaskBarsOkButtonAnswersForTheWindowInFront) {
    auto bar = [this](int x, int y) { return device.graphics().frame()[y * 240 + x]; };
    SetForegroundWindow(top);
    Pump();
    EXPECT_EQ(bar(224, 4), 0); // black: no button
    Tap(224, 13);
    EXPECT_TRUE(got.empty());
    SHDoneButton(top, SHDB_SHOW);
    Pump();
    EXPECT_EQ(bar(224, 4), 0xFFFF); // its white outline
    Tap(224, 13);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].hwnd, top);
    EXPECT_EQ(got[0].msg, UINT(WM_COMMAND));
    EXPECT_EQ(got[0].x, IDOK);
    got.clear();
    Tap(120, 13); // the title beside it is no button
    EXPECT_TRUE(got.empty());
    SHDoneButton(top, SHDB_HIDE);
    Pump();
    EXPECT_EQ(bar(224, 4), 0);
    Tap(224, 13);
    EXPECT_TRUE(got.empty());
}

} // namespace
