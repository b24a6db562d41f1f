// Bitmaps and icons from a module's resources: the real formats read, damaged ones refused
// with the platform's error, icons drawn through their mask; and the golden pictures of drawn
// patterns and text.
#include <windows.h>

#include "emul/device.h"
#include "emul/files.h"
#include "emul/graphics.h"
#include "handheld/image/install.h"
#include "platform/resources/images.h"
#include "support/gdi_canvas.h"
#include "support/golden.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

using testgdi::Canvas;

class ImagesTest : public ::testing::Test {
  protected:
    ImagesTest() {
        device.files().linkFile(u"\\Windows\\imgtest.dll", handheld::moduleDir() + "/imgtest.so");
        inst = LoadLibraryW(u"imgtest.dll");
    }
    ~ImagesTest() override { FreeLibrary(inst); }

    emul::Device device;
    HMODULE inst = nullptr;
};

TEST_F(ImagesTest, BitmapsLoadFromTheirResourceInTheScreensFormat) {
    ASSERT_NE(inst, nullptr);
    HBITMAP b = LoadBitmapW(inst, MAKEINTRESOURCEW(IDB_TEST));
    ASSERT_NE(b, nullptr);
    BITMAP bm{};
    ASSERT_EQ(GetObjectW(b, sizeof bm, &bm), int(sizeof bm));
    EXPECT_EQ(bm.bmWidth, 4);
    EXPECT_EQ(bm.bmHeight, 2);
    EXPECT_EQ(bm.bmBitsPixel, 16);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, b);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0)); // the top row comes first
    EXPECT_EQ(GetPixel(dc, 2, 0), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 3, 1), RGB(0, 0, 0));
    DeleteDC(dc);
    EXPECT_TRUE(DeleteObject(b));
    EXPECT_EQ(LoadImageW(inst, MAKEINTRESOURCEW(IDB_TEST), IMAGE_BITMAP, 0, 0, 0) != nullptr, true);
}

TEST_F(ImagesTest, DamagedOrMissingImagesAreRefusedWithTheirError) {
    SetLastError(0);
    EXPECT_EQ(LoadBitmapW(inst, MAKEINTRESOURCEW(IDB_SHORT)), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));
    EXPECT_EQ(LoadIconW(inst, MAKEINTRESOURCEW(IDI_BADGROUP)), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));
    EXPECT_EQ(LoadIconW(inst, MAKEINTRESOURCEW(IDI_ODDGROUP)), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));
    EXPECT_EQ(LoadBitmapW(inst, MAKEINTRESOURCEW(999)), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(1814)); // no resource of that name
    EXPECT_EQ(LoadImageW(inst, MAKEINTRESOURCEW(IDI_MASKED), IMAGE_ICON, 0, 0, LR_LOADFROMFILE),
              nullptr);
    // Headers that lie about their size are never read past the resource's end.
    const uint8_t header[40] = {40, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 1, 0, 24};
    BITMAPINFO bi{};
    std::memcpy(&bi.bmiHeader, header, sizeof header);
    bi.bmiHeader.biWidth = -3;
    EXPECT_EQ(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
}

TEST_F(ImagesTest, IconsAreSharedPickTheirSizeAndDrawThroughTheirMask) {
    HICON a = LoadIconW(inst, MAKEINTRESOURCEW(IDI_MASKED));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(LoadIconW(inst, MAKEINTRESOURCEW(IDI_MASKED)), a);
    EXPECT_TRUE(DestroyIcon(a)); // shared: still usable
    HICON small =
        static_cast<HICON>(LoadImageW(inst, MAKEINTRESOURCEW(IDI_MASKED), IMAGE_ICON, 16, 16, 0));
    ASSERT_NE(small, nullptr);
    ICONINFO ii{};
    ASSERT_TRUE(GetIconInfo(a, &ii));
    BITMAP bm{};
    GetObjectW(ii.hbmColor, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 32); // LoadIconW takes the standard size
    DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);
    ASSERT_TRUE(GetIconInfo(small, &ii));
    GetObjectW(ii.hbmColor, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 16);
    DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);

    Canvas c(20, 20, RGB(0, 255, 0));
    ASSERT_TRUE(DrawIcon(c.dc, 2, 2, small));
    EXPECT_EQ(c.at(2, 2), RGB(0, 255, 0));   // a see-through corner
    EXPECT_EQ(c.at(17, 17), RGB(0, 255, 0)); // the opposite one
    EXPECT_EQ(c.at(6, 6), RGB(255, 0, 0));   // the diagonal
    EXPECT_EQ(c.at(7, 6), RGB(0, 0, 255));   // the square
    EXPECT_EQ(c.at(1, 1), RGB(0, 255, 0));   // outside
    // The mask alone blackens the opaque part; the image alone covers the corners too.
    c.clear(RGB(0, 255, 0));
    DrawIconEx(c.dc, 2, 2, small, 0, 0, 0, nullptr, DI_MASK);
    EXPECT_EQ(c.at(2, 2), RGB(0, 255, 0));
    EXPECT_EQ(c.at(7, 6), RGB(0, 0, 0));
    DrawIconEx(c.dc, 2, 2, small, 0, 0, 0, nullptr, DI_IMAGE);
    EXPECT_EQ(c.at(2, 2), RGB(0, 0, 0));
    // Stretched to the size asked for.
    c.clear(RGB(0, 255, 0));
    DrawIconEx(c.dc, 0, 0, small, 8, 8, 0, nullptr, DI_NORMAL);
    EXPECT_EQ(c.at(9, 9), RGB(0, 255, 0));
    EXPECT_EQ(c.at(4, 4), RGB(255, 0, 0));
    EXPECT_FALSE(DrawIconEx(c.dc, 0, 0, reinterpret_cast<HICON>(uintptr_t(0x99)), 0, 0, 0, nullptr,
                            DI_NORMAL));
}

TEST_F(ImagesTest, AnyIconSizeAskedForGivesTheNearestImage) {
    for (int size : {INT_MIN, -1, 1, INT_MAX}) {
        HICON i = static_cast<HICON>(
            LoadImageW(inst, MAKEINTRESOURCEW(IDI_MASKED), IMAGE_ICON, size, size, 0));
        EXPECT_NE(i, nullptr) << size;
    }
}

TEST_F(ImagesTest, IconsMadeFromBitmapsKeepTheirMask) {
    const BYTE maskBits[4] = {0x80, 0, 0, 0}; // 2x2: top-left see-through
    HBITMAP mask = CreateBitmap(2, 2, 1, 1, maskBits);
    Canvas colour(2, 2, RGB(255, 0, 0));
    ICONINFO ii{TRUE, 0, 0, mask, colour.bitmap};
    HICON icon = CreateIconIndirect(&ii);
    ASSERT_NE(icon, nullptr);
    Canvas c(2, 2, RGB(0, 0, 255));
    DrawIcon(c.dc, 0, 0, icon);
    // Where the mask is set the screen is XORed with the image: red over blue makes magenta.
    EXPECT_EQ(c.at(0, 0), RGB(255, 0, 255));
    EXPECT_EQ(c.at(1, 1), RGB(255, 0, 0));
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(DestroyIcon(icon));
    DeleteObject(mask);
}

void drawPatterns(HDC dc, HICON icon) {
    RECT all{0, 0, 240, 320};
    FillRect(dc, &all, GetSysColorBrush(COLOR_STATIC));
    const COLORREF colours[] = {RGB(255, 0, 0),   RGB(0, 255, 0),    RGB(0, 0, 255),
                                RGB(255, 255, 0), RGB(0, 255, 255),  RGB(255, 0, 255),
                                RGB(0, 0, 0),     RGB(255, 255, 255)};
    for (int i = 0; i < 8; ++i) {
        HBRUSH b = CreateSolidBrush(colours[i]);
        RECT r{4 + i * 29, 4, 4 + i * 29 + 25, 24};
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 128));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    for (int i = 0; i <= 8; ++i) {
        MoveToEx(dc, 4, 30 + i * 5, nullptr);
        LineTo(dc, 4 + i * 12, 70);
    }
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    Rectangle(dc, 110, 30, 150, 70);
    const POINT tri[] = {{160, 70}, {185, 30}, {210, 70}};
    SelectObject(dc, GetStockObject(GRAY_BRUSH));
    Polygon(dc, tri, 3);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    RECT focus{214, 30, 236, 70};
    DrawFocusRect(dc, &focus);
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    PatBlt(dc, 4, 76, 60, 20, PATINVERT);
    PatBlt(dc, 24, 80, 60, 12, DSTINVERT);
    DrawIconEx(dc, 100, 76, icon, 0, 0, 0, nullptr, DI_NORMAL);
    DrawIconEx(dc, 140, 76, icon, 16, 16, 0, nullptr, DI_NORMAL);
    DrawIconEx(dc, 160, 76, icon, 64, 32, 0, nullptr, DI_NORMAL);
}

TEST_F(ImagesTest, GoldenPatterns) {
    HDC dc = GetDC(nullptr);
    drawPatterns(dc, LoadIconW(inst, MAKEINTRESOURCEW(IDI_MASKED)));
    ReleaseDC(nullptr, dc);
    EXPECT_TRUE(testgdi::matchesGolden("gdi_patterns", 240, 320, testgdi::screenPixels()));
}

TEST_F(ImagesTest, GoldenText) {
    HDC dc = GetDC(nullptr);
    RECT all{0, 0, 240, 320};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    // Labels of a settings page at their places: 6 x 13 dialog base units.
    struct Label {
        const char16_t *text;
        int x, y, w, h;
        UINT format;
    } labels[] = {
        {u"&Enable Keyboard", 7, 7, 77, 14, DT_SINGLELINE | DT_VCENTER},
        {u"Key Repeat &Rate:", 7, 33, 76, 10, DT_WORDBREAK},
        {u"2000", 88, 33, 21, 10, DT_RIGHT | DT_WORDBREAK},
        {u"ms", 112, 33, 12, 10, DT_WORDBREAK},
        {u"Fast", 7, 45, 21, 11, DT_WORDBREAK},
        {u"Slow", 126, 45, 18, 11, DT_WORDBREAK},
        {u"Key Repeat &Delay:", 7, 64, 76, 10, DT_WORDBREAK},
        {u"&Test your Key Repeat settings in the Edit box below.", 13, 100, 107, 19, DT_WORDBREAK},
        {u"Lumakey Ir-Keyboard", 17, 130, 130, 10, DT_CENTER | DT_WORDBREAK},
        {u"A && B, cut off by an ellipsis at its end", 7, 145, 100, 10,
         DT_SINGLELINE | DT_END_ELLIPSIS},
    };
    for (const Label &l : labels) {
        RECT r{MulDiv(l.x, 6, 4), MulDiv(l.y, 13, 8), MulDiv(l.x + l.w, 6, 4),
               MulDiv(l.y + l.h, 13, 8)};
        DrawTextW(dc, l.text, -1, &r, l.format);
    }
    LOGFONTW lf{};
    lf.lfHeight = -11;
    lf.lfWeight = FW_BOLD;
    std::memcpy(lf.lfFaceName, u"Tahoma", 7 * sizeof(WCHAR));
    HFONT bold = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(dc, bold);
    SetTextColor(dc, RGB(0, 0, 128));
    ExtTextOutW(dc, 4, 260, 0, nullptr, u"Bold: Hello, World!", 19, nullptr);
    SelectObject(dc, old);
    DeleteObject(bold);
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, RGB(255, 255, 255));
    const std::u16string accented =
        u"Gr\u00fc\u00dfe, \u00e9t\u00e9, \u0141\u00f3d\u017a \u2192 \u20ac5";
    ExtTextOutW(dc, 4, 280, 0, nullptr, accented.c_str(), UINT(accented.size()), nullptr);
    const WCHAR broken[] = {u'b', u'a', u'd', u' ', 0xDC00, u'!'};
    ExtTextOutW(dc, 4, 300, 0, nullptr, broken, 6, nullptr);
    ReleaseDC(nullptr, dc);
    EXPECT_TRUE(testgdi::matchesGolden("gdi_text", 240, 320, testgdi::screenPixels()));
}

TEST_F(ImagesTest, GoldenComparisonReportsTheFirstDifferenceAndWritesPictures) {
    if (std::getenv("UPDATE_JOURNALS"))
        GTEST_SKIP() << "golden files are being rewritten";
    std::vector<uint8_t> rgb = testgdi::screenPixels(); // a black screen
    ::testing::AssertionResult r = testgdi::matchesGolden("gdi_patterns", 240, 320, rgb);
    ASSERT_FALSE(r);
    EXPECT_NE(std::string(r.message()).find("first difference at (0, 0)"), std::string::npos)
        << r.message();
    std::string error;
    int w = 0, h = 0;
    std::vector<uint8_t> diff;
    EXPECT_TRUE(
        emul::readPng(testgdi::diffsDir() + "/gdi_patterns.diff.png", &w, &h, &diff, &error))
        << error;
    EXPECT_EQ(w, 240);
    // A screenshot that cannot be written is an error, and leaves nothing behind.
    EXPECT_FALSE(device.graphics().savePng("/nonexistent-folder/shot.png", &error));
    EXPECT_NE(error.find("/nonexistent-folder/shot.png"), std::string::npos);
}

} // namespace
