// Coordinates and rectangles far beyond a bitmap, up to the ends of int: what lies on the bitmap
// is drawn as for any nearer figure, the rest is clipped, and no call overflows or runs long.
#include <windows.h>

#include "emul/device.h"
#include "support/gdi_canvas.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using testgdi::Canvas;

class FarCoordinates : public ::testing::Test {
  protected:
    emul::Device device;
    Canvas c{20, 20};
    const COLORREF white = RGB(255, 255, 255);
};

TEST_F(FarCoordinates, LinesFromFarAwayAreClippedNotDropped) {
    const struct {
        POINT from, to;
    } lines[] = {
        {{INT_MIN, 5}, {INT_MAX, 5}},
        {{-1000000000, -1000000000}, {1000000000, 1000000000}},
        {{1000000000, 1000000000}, {-1000000000, -1000000000}},
        {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}},
        {{7, INT_MAX}, {7, INT_MIN}},
    };
    for (const auto &l : lines) {
        c.clear(white);
        MoveToEx(c.dc, l.from.x, l.from.y, nullptr);
        LineTo(c.dc, l.to.x, l.to.y);
        EXPECT_EQ(c.ink(RECT{0, 0, 20, 20}), 20) << l.from.x << "," << l.from.y;
        EXPECT_NE(c.at(l.from.x == 7 ? 7 : 5, 5), white) << l.from.x << "," << l.from.y;
    }
    // A dashed line keeps its dashes in step however far away it starts: six on, two off.
    HPEN dash = CreatePen(PS_DASH, 1, RGB(0, 0, 0));
    HGDIOBJ old = SelectObject(c.dc, dash);
    for (int from : {-8, -(1 << 20), INT_MIN}) {
        c.clear(white);
        MoveToEx(c.dc, from, 5, nullptr);
        LineTo(c.dc, INT_MAX, 5);
        EXPECT_EQ(c.ink(RECT{0, 5, 20, 6}), 6 + 6 + 4) << from;
        EXPECT_EQ(c.at(6, 5), white) << from;
    }
    // The top edge of a dashed rectangle wider than any surface.
    c.clear(white);
    SelectObject(c.dc, GetStockObject(NULL_BRUSH));
    Rectangle(c.dc, -1000000000, 2, 1000000000, 10);
    EXPECT_GT(c.ink(RECT{0, 2, 20, 3}), 10);
    SelectObject(c.dc, old);
    DeleteObject(dash);
}

// Every drawing call with every corner among the extremes: a bitmap beside it stays as it was,
// and what lands on the canvas stays on it.
TEST_F(FarCoordinates, EveryCallTakesTheEndsOfInt) {
    Canvas source(20, 20, RGB(0, 0, 255));
    const int v[] = {INT_MIN, INT_MIN / 2, -100000, -1, 0, 7, 100000, INT_MAX / 2, INT_MAX};
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
    for (int a : v)
        for (int b : v) {
            RECT r{a, b, b, a};
            POINT pts[] = {{a, b}, {b, a}, {a, a}};
            Polyline(c.dc, pts, 3);
            Polygon(c.dc, pts, 3);
            Rectangle(c.dc, a, b, b, a);
            FillRect(c.dc, &r, black);
            BitBlt(c.dc, a, b, b, a, source.dc, a, b, SRCCOPY);
            StretchBlt(c.dc, a, b, b, a, source.dc, 0, 0, 20, 20, SRCCOPY);
            StretchBlt(c.dc, 0, 0, 20, 20, source.dc, a, b, b, a, SRCINVERT);
            PatBlt(c.dc, a, b, b, a, PATINVERT);
            SetPixel(c.dc, a, b, 0);
            ExtTextOutW(c.dc, a, b, ETO_OPAQUE | ETO_CLIPPED, &r, u"Wide", 4, nullptr);
            DrawTextW(c.dc, u"Hello &world, and more", -1, &r, DT_WORDBREAK | DT_END_ELLIPSIS);
            DrawTextW(c.dc, u"Hello", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            if (icon)
                DrawIconEx(c.dc, a, b, icon, 0, 0, 0, nullptr, DI_NORMAL);
            HRGN rgn = CreateRectRgn(a, b, b, a);
            FillRgn(c.dc, rgn, black);
            DeleteObject(rgn);
            EXPECT_EQ(IntersectClipRect(c.dc, a, b, b, a) == ERROR, false);
            SelectClipRgn(c.dc, nullptr);
        }
    EXPECT_EQ(source.ink(RECT{0, 0, 20, 20}, RGB(0, 0, 255)), 0);
}

} // namespace
