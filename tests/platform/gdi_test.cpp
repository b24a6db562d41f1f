// The graphics calls against the platform's documented behaviour: stock objects and system
// colours, fills and their edges, clipping and regions, raster operations and colour
// conversions of blits, lines and shapes, saved DC states, and window DCs on the screen.
#include <windows.h>

#include "emul/device.h"
#include "emul/graphics.h"
#include "support/gdi_canvas.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using testgdi::Canvas;

class GdiTest : public ::testing::Test {
  protected:
    emul::Device device;
};

COLORREF brushColor(HGDIOBJ b) {
    LOGBRUSH lb{};
    EXPECT_EQ(GetObjectW(b, sizeof lb, &lb), int(sizeof lb));
    return lb.lbColor;
}

TEST_F(GdiTest, StockObjectsAreFixedSharedAndNeverDeleted) {
    EXPECT_EQ(brushColor(GetStockObject(WHITE_BRUSH)), RGB(255, 255, 255));
    EXPECT_EQ(brushColor(GetStockObject(LTGRAY_BRUSH)), RGB(192, 192, 192));
    EXPECT_EQ(brushColor(GetStockObject(GRAY_BRUSH)), RGB(128, 128, 128));
    EXPECT_EQ(brushColor(GetStockObject(DKGRAY_BRUSH)), RGB(64, 64, 64));
    EXPECT_EQ(brushColor(GetStockObject(BLACK_BRUSH)), RGB(0, 0, 0));
    EXPECT_EQ(GetObjectType(GetStockObject(NULL_PEN)), DWORD(OBJ_PEN));
    EXPECT_EQ(GetObjectType(GetStockObject(SYSTEM_FONT)), DWORD(OBJ_FONT));
    EXPECT_EQ(GetStockObject(LTGRAY_BRUSH), GetStockObject(LTGRAY_BRUSH));
    EXPECT_EQ(GetStockObject(-1), nullptr);
    EXPECT_EQ(GetStockObject(99), nullptr);
    // Deleting a stock object is allowed and changes nothing.
    EXPECT_TRUE(DeleteObject(GetStockObject(LTGRAY_BRUSH)));
    Canvas c(4, 4);
    RECT r{0, 0, 4, 4};
    FillRect(c.dc, &r, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    EXPECT_EQ(c.at(1, 1), RGB(192, 192, 192));
}

TEST_F(GdiTest, SystemColoursHaveTheirDefaultsWithOrWithoutTheIndexFlag) {
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW & ~SYS_COLOR_INDEX_FLAG), RGB(255, 255, 255));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(192, 192, 192));
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), RGB(0, 0, 128));
    EXPECT_EQ(GetSysColor(COLOR_STATIC), RGB(192, 192, 192));
    EXPECT_EQ(GetSysColor(C_SYS_COLOR_TYPES), DWORD(0));
    EXPECT_EQ(GetSysColorBrush(C_SYS_COLOR_TYPES), nullptr);
    // The system colour brushes follow SetSysColors; a class background of COLOR_x + 1 too.
    Canvas c(4, 4);
    RECT r{0, 0, 4, 4};
    INT which = COLOR_WINDOW;
    COLORREF green = RGB(0, 255, 0);
    ASSERT_TRUE(SetSysColors(1, &which, &green));
    FillRect(c.dc, &r, GetSysColorBrush(COLOR_WINDOW));
    EXPECT_EQ(c.at(0, 0), green);
    FillRect(c.dc, &r, reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_BTNSHADOW + 1)));
    EXPECT_EQ(c.at(0, 0), RGB(128, 128, 128));
}

TEST_F(GdiTest, FillsLeaveTheRightAndBottomEdgesAndHugeRectanglesAreClipped) {
    Canvas c(10, 10);
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    RECT r{2, 2, 5, 6};
    FillRect(c.dc, &r, black);
    EXPECT_EQ(c.inkBox().left, 2);
    EXPECT_EQ(c.inkBox().right, 5);
    EXPECT_EQ(c.inkBox().bottom, 6);
    EXPECT_EQ(c.ink(RECT{0, 0, 10, 10}), 3 * 4);
    // Inside out: nothing. Far beyond the bitmap on every side: all of it.
    c.clear(RGB(255, 255, 255));
    RECT inside{5, 5, 2, 2};
    FillRect(c.dc, &inside, black);
    EXPECT_EQ(c.ink(RECT{0, 0, 10, 10}), 0);
    RECT huge{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    FillRect(c.dc, &huge, black);
    EXPECT_EQ(c.ink(RECT{0, 0, 10, 10}), 100);
    EXPECT_TRUE(PatBlt(c.dc, INT_MAX - 1, INT_MAX - 1, INT_MIN, INT_MIN, WHITENESS));
    EXPECT_EQ(c.ink(RECT{0, 0, 10, 10}), 0);
}

TEST_F(GdiTest, ClipRectanglesNarrowWhatIsDrawnAndGetClipBoxReportsIt) {
    Canvas c(20, 20);
    RECT box;
    EXPECT_EQ(GetClipBox(c.dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 20);
    EXPECT_EQ(IntersectClipRect(c.dc, 5, 5, 15, 15), SIMPLEREGION);
    EXPECT_EQ(ExcludeClipRect(c.dc, 8, 8, 10, 10), COMPLEXREGION);
    GetClipBox(c.dc, &box);
    EXPECT_TRUE(EqualRect(&box, &(const RECT &)RECT{5, 5, 15, 15}));
    RECT all{0, 0, 20, 20};
    FillRect(c.dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SaveDC(c.dc);
    SelectClipRgn(c.dc, nullptr); // pixels outside the clip cannot be read
    EXPECT_EQ(c.ink(all), 100 - 4);
    EXPECT_EQ(c.at(8, 8), RGB(255, 255, 255));
    EXPECT_EQ(c.at(4, 4), RGB(255, 255, 255));
    RestoreDC(c.dc, -1);
    EXPECT_EQ(GetPixel(c.dc, 4, 4), CLR_INVALID);
    EXPECT_EQ(IntersectClipRect(c.dc, 30, 30, 40, 40), NULLREGION);
    EXPECT_EQ(GetClipBox(c.dc, &box), NULLREGION);
    // A selected region is copied: changing or deleting it later leaves the DC's clip alone.
    SelectClipRgn(c.dc, nullptr);
    c.clear(RGB(255, 255, 255));
    HRGN rgn = CreateRectRgn(0, 0, 2, 2);
    EXPECT_EQ(SelectClipRgn(c.dc, rgn), SIMPLEREGION);
    SetRectRgn(rgn, 0, 0, 20, 20);
    DeleteObject(rgn);
    FillRect(c.dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(SelectClipRgn(c.dc, nullptr), SIMPLEREGION);
    EXPECT_EQ(c.ink(all), 4);
    EXPECT_EQ(GetClipBox(c.dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 20);
}

TEST_F(GdiTest, RegionsCombineAsSetsOfPixels) {
    HRGN a = CreateRectRgn(0, 0, 10, 10), b = CreateRectRgn(5, 5, 15, 15),
         d = CreateRectRgn(0, 0, 0, 0);
    RECT box;
    EXPECT_EQ(GetRgnBox(d, &box), NULLREGION);
    EXPECT_EQ(CombineRgn(d, a, b, RGN_AND), SIMPLEREGION);
    GetRgnBox(d, &box);
    EXPECT_TRUE(EqualRect(&box, &(const RECT &)RECT{5, 5, 10, 10}));
    EXPECT_EQ(CombineRgn(d, a, b, RGN_OR), COMPLEXREGION);
    GetRgnBox(d, &box);
    EXPECT_TRUE(EqualRect(&box, &(const RECT &)RECT{0, 0, 15, 15}));
    EXPECT_TRUE(PtInRegion(d, 12, 12));
    EXPECT_FALSE(PtInRegion(d, 12, 2));
    EXPECT_EQ(CombineRgn(d, a, b, RGN_XOR), COMPLEXREGION);
    EXPECT_FALSE(PtInRegion(d, 7, 7));
    EXPECT_EQ(CombineRgn(d, a, b, RGN_DIFF), COMPLEXREGION);
    EXPECT_TRUE(PtInRegion(d, 2, 2));
    EXPECT_FALSE(PtInRegion(d, 12, 12));
    // Two pieces that make one rectangle are the same pixels as the rectangle.
    HRGN left = CreateRectRgn(0, 0, 5, 10), right = CreateRectRgn(5, 0, 10, 10);
    CombineRgn(d, left, right, RGN_OR);
    EXPECT_TRUE(EqualRgn(d, a));
    EXPECT_EQ(CombineRgn(d, a, b, 99), ERROR);
    EXPECT_EQ(CombineRgn(d, a, reinterpret_cast<HRGN>(uintptr_t(0x1234)), RGN_OR), ERROR);
    for (HRGN r : {a, b, d, left, right})
        EXPECT_TRUE(DeleteObject(r));
    // Inverted corners are put in order.
    HRGN inv = CreateRectRgn(10, 10, 0, 0);
    GetRgnBox(inv, &box);
    EXPECT_TRUE(EqualRect(&box, &(const RECT &)RECT{0, 0, 10, 10}));
    DeleteObject(inv);
}

// RGB565 values chosen so every colour survives the screen's format unchanged.
struct RopCase {
    DWORD rop;
    uint16_t expected; // from pattern 0xF81F, source 0x07E0 | 0x001F, destination 0xF800 | 0x07E0
};

COLORREF of565(uint16_t v) {
    uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
    return RGB((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}

TEST_F(GdiTest, RasterOperationsCombinePatternSourceAndDestinationBitwise) {
    const uint16_t P = 0xF81F, S = 0x07FF, D = 0xFFE0;
    const RopCase cases[] = {
        {SRCCOPY, S},
        {SRCPAINT, uint16_t(S | D)},
        {SRCAND, uint16_t(S & D)},
        {SRCINVERT, uint16_t(S ^ D)},
        {SRCERASE, uint16_t(S & ~D)},
        {NOTSRCCOPY, uint16_t(~S)},
        {NOTSRCERASE, uint16_t(~(S | D))},
        {MERGECOPY, uint16_t(P & S)},
        {MERGEPAINT, uint16_t(~S | D)},
        {PATCOPY, P},
        {PATPAINT, uint16_t(P | ~S | D)},
        {PATINVERT, uint16_t(P ^ D)},
        {DSTINVERT, uint16_t(~D)},
        {BLACKNESS, 0},
        {WHITENESS, 0xFFFF},
        {0x00AA0029, D}, // the destination left as it is, from the truth table alone
    };
    Canvas src(1, 1, of565(S)), dst(1, 1);
    HBRUSH pattern = CreateSolidBrush(of565(P));
    HGDIOBJ old = SelectObject(dst.dc, pattern);
    for (const RopCase &c : cases) {
        SetPixel(dst.dc, 0, 0, of565(D));
        ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, c.rop)) << std::hex << c.rop;
        EXPECT_EQ(dst.at(0, 0), of565(c.expected)) << std::hex << c.rop;
    }
    // PatBlt takes the operations without a source only.
    EXPECT_FALSE(PatBlt(dst.dc, 0, 0, 1, 1, SRCCOPY));
    EXPECT_TRUE(PatBlt(dst.dc, 0, 0, 1, 1, PATCOPY));
    EXPECT_EQ(dst.at(0, 0), of565(P));
    SelectObject(dst.dc, old);
    DeleteObject(pattern);
}

TEST_F(GdiTest, MonochromeBlitsUseTextAndBackgroundColours) {
    // A 2x1 monochrome bitmap: one black (0) and one white (1) pixel.
    const BYTE bits[2] = {0x40, 0};
    HBITMAP mono = CreateBitmap(2, 1, 1, 1, bits);
    HDC mdc = CreateCompatibleDC(nullptr);
    SelectObject(mdc, mono);
    Canvas c(2, 1);
    SetTextColor(c.dc, RGB(255, 0, 0));
    SetBkColor(c.dc, RGB(0, 0, 255));
    BitBlt(c.dc, 0, 0, 2, 1, mdc, 0, 0, SRCCOPY);
    EXPECT_EQ(c.at(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(c.at(1, 0), RGB(0, 0, 255));
    // Colour to monochrome: the source's background colour becomes white, the rest black.
    SetBkColor(c.dc, RGB(255, 0, 0));
    BitBlt(mdc, 0, 0, 2, 1, c.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(GetPixel(mdc, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(mdc, 1, 0), RGB(0, 0, 0));
    // A bitmap is drawn through one DC at a time.
    HDC other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(other, mono), nullptr);
    EXPECT_FALSE(DeleteObject(mono)); // still selected
    DeleteDC(mdc);
    EXPECT_NE(SelectObject(other, mono), nullptr);
    DeleteDC(other);
    EXPECT_TRUE(DeleteObject(mono));
}

TEST_F(GdiTest, StretchBltScalesAndMirrors) {
    Canvas src(2, 1), dst(4, 2);
    SetPixel(src.dc, 0, 0, RGB(0, 0, 0));
    ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 4, 2, src.dc, 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(dst.ink(RECT{0, 0, 2, 2}), 4);
    EXPECT_EQ(dst.ink(RECT{2, 0, 4, 2}), 0);
    dst.clear(RGB(255, 255, 255));
    ASSERT_TRUE(StretchBlt(dst.dc, 4, 0, -4, 1, src.dc, 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(dst.ink(RECT{2, 0, 4, 1}), 2);
    EXPECT_EQ(dst.ink(RECT{0, 0, 2, 1}), 0);
    // A copy within one bitmap reads what was there before.
    Canvas c(4, 1);
    SetPixel(c.dc, 0, 0, RGB(0, 0, 0));
    BitBlt(c.dc, 1, 0, 3, 1, c.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(c.ink(RECT{0, 0, 4, 1}), 2);
}

TEST_F(GdiTest, LinesLeaveOutTheirLastPixelAndShapesUseThePenAndBrush) {
    Canvas c(10, 10);
    MoveToEx(c.dc, 1, 1, nullptr);
    LineTo(c.dc, 5, 1);
    EXPECT_EQ(c.ink(RECT{0, 0, 10, 10}), 4);
    EXPECT_EQ(c.at(5, 1), RGB(255, 255, 255));
    LineTo(c.dc, 1, 5); // diagonal back
    EXPECT_EQ(c.at(1, 5), RGB(255, 255, 255));
    EXPECT_NE(c.at(3, 3), RGB(255, 255, 255));
    c.clear(RGB(255, 255, 255));
    HGDIOBJ old = SelectObject(c.dc, GetStockObject(GRAY_BRUSH));
    Rectangle(c.dc, 0, 0, 5, 5);
    EXPECT_EQ(c.at(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(c.at(4, 4), RGB(0, 0, 0));
    EXPECT_EQ(c.at(2, 2), RGB(128, 128, 128));
    EXPECT_EQ(c.at(5, 5), RGB(255, 255, 255));
    // Without a pen the rectangle is filled one pixel short on the right and bottom.
    c.clear(RGB(255, 255, 255));
    SelectObject(c.dc, GetStockObject(NULL_PEN));
    Rectangle(c.dc, 0, 0, 5, 5);
    EXPECT_EQ(c.ink(RECT{0, 0, 10, 10}), 16);
    SelectObject(c.dc, old);
    SelectObject(c.dc, GetStockObject(BLACK_PEN));
    const POINT pts[] = {{0, 8}, {4, 8}, {4, 9}};
    Polyline(c.dc, pts, 3);
    EXPECT_EQ(c.ink(RECT{0, 8, 10, 10}), 5);
    EXPECT_FALSE(Polyline(c.dc, pts, 1));
}

TEST_F(GdiTest, SaveAndRestoreBringBackObjectsColoursAndClip) {
    Canvas c(10, 10);
    HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    int first = SaveDC(c.dc);
    EXPECT_EQ(first, 1);
    SelectObject(c.dc, red);
    SetTextColor(c.dc, RGB(1, 2, 3));
    SetBkMode(c.dc, TRANSPARENT);
    IntersectClipRect(c.dc, 0, 0, 2, 2);
    EXPECT_EQ(SaveDC(c.dc), 2);
    SetBkColor(c.dc, RGB(9, 9, 9));
    // A pen in use (or kept in a saved state) cannot be deleted.
    EXPECT_FALSE(DeleteObject(red));
    EXPECT_TRUE(RestoreDC(c.dc, -1));
    EXPECT_EQ(GetBkColor(c.dc), RGB(255, 255, 255));
    EXPECT_EQ(GetCurrentObject(c.dc, OBJ_PEN), red);
    EXPECT_TRUE(RestoreDC(c.dc, first));
    EXPECT_EQ(GetCurrentObject(c.dc, OBJ_PEN), GetStockObject(BLACK_PEN));
    EXPECT_EQ(GetTextColor(c.dc), RGB(0, 0, 0));
    EXPECT_EQ(GetBkMode(c.dc), OPAQUE);
    RECT box;
    GetClipBox(c.dc, &box);
    EXPECT_EQ(box.right, 10);
    EXPECT_FALSE(RestoreDC(c.dc, 1)); // nothing saved any more
    EXPECT_FALSE(RestoreDC(c.dc, 0));
    EXPECT_TRUE(DeleteObject(red));
}

TEST_F(GdiTest, PixelsRoundTripThroughTheScreensFormat) {
    Canvas c(2, 2);
    EXPECT_EQ(SetPixel(c.dc, 0, 0, RGB(0x12, 0x34, 0x56)), RGB(0x10, 0x34, 0x50));
    EXPECT_EQ(GetPixel(c.dc, 0, 0), RGB(0x10, 0x34, 0x50));
    EXPECT_EQ(SetPixel(c.dc, 2, 0, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(c.dc, -1, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(c.dc, INT_MAX, INT_MIN), CLR_INVALID);
    EXPECT_EQ(GetPixel(reinterpret_cast<HDC>(uintptr_t(0x77)), 0, 0), CLR_INVALID);
}

TEST_F(GdiTest, DibSectionsShowTheirBitsBottomUpOrTopDown) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = 2;
    bi.bmiHeader.biHeight = 2; // bottom-up
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void *bits = nullptr;
    HBITMAP b = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(b, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, b);
    SetPixel(dc, 0, 0, RGB(1, 2, 3));
    EXPECT_EQ(static_cast<uint32_t *>(bits)[2], 0x010203u); // the top row is the last in memory
    BITMAP bm;
    EXPECT_EQ(GetObjectW(b, sizeof bm, &bm), int(sizeof bm));
    EXPECT_EQ(bm.bmBits, bits);
    EXPECT_EQ(bm.bmWidthBytes, 8);
    DeleteDC(dc);
    DeleteObject(b);
    bi.bmiHeader.biBitCount = 16; // plain 5-5-5 is not the screen's format
    EXPECT_EQ(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
    EXPECT_EQ(CreateBitmap(0, 5, 1, 16, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(100000, 100000, 1, 16, nullptr), nullptr);
}

TEST_F(GdiTest, WindowDcsDrawAtTheWindowOnTheScreenAndNowhereElse) {
    HWND w = CreateWindowExW(0, u"Static", u"", WS_VISIBLE | WS_POPUP, 10, 20, 30, 40, nullptr,
                             nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    emul::Graphics &g = device.graphics();
    g.takeDamage();
    HDC dc = GetDC(w);
    ASSERT_NE(dc, nullptr);
    RECT box;
    GetClipBox(dc, &box);
    EXPECT_TRUE(EqualRect(&box, &(const RECT &)RECT{0, 0, 30, 40}));
    RECT all{-100, -100, 1000, 1000};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const uint16_t *f = g.frame();
    EXPECT_EQ(f[20 * emul::Graphics::kWidth + 10], 0xFFFF);
    EXPECT_EQ(f[59 * emul::Graphics::kWidth + 39], 0xFFFF);
    EXPECT_EQ(f[19 * emul::Graphics::kWidth + 10], 0);
    EXPECT_EQ(f[20 * emul::Graphics::kWidth + 40], 0);
    auto d = g.takeDamage();
    EXPECT_EQ(d.left, 10);
    EXPECT_EQ(d.bottom, 60);
    EXPECT_EQ(ReleaseDC(w, dc), 1);
    EXPECT_EQ(ReleaseDC(w, dc), 0);
    DestroyWindow(w);
    EXPECT_EQ(GetDC(w), nullptr);
}

} // namespace
