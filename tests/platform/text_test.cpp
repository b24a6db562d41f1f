// Fonts and text: the dialog font's metrics, the font mapper, text extents, ExtTextOutW's
// rectangle options, DrawTextW's layout flags and mnemonics, and text that is not valid UTF-16.
#include <windows.h>

#include "emul/device.h"
#include "emul/graphics.h"
#include "support/gdi_canvas.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using testgdi::Canvas;

class TextTest : public ::testing::Test {
  protected:
    TextTest() {
        LOGFONTW lf{};
        lf.lfHeight = -11; // 8 points at 96 dots an inch
        lf.lfWeight = FW_NORMAL;
        std::memcpy(lf.lfFaceName, u"Tahoma", 7 * sizeof(WCHAR));
        font = CreateFontIndirectW(&lf);
    }
    ~TextTest() override { DeleteObject(font); }

    int extent(HDC dc, const std::u16string &s) {
        SIZE sz{};
        EXPECT_TRUE(GetTextExtentPoint32W(dc, s.c_str(), int(s.size()), &sz));
        return sz.cx;
    }
    RECT calc(HDC dc, const std::u16string &s, UINT flags, int width = 1000) {
        RECT r{0, 0, width, 0};
        DrawTextW(dc, s.c_str(), -1, &r, flags | DT_CALCRECT);
        return r;
    }

    emul::Device device;
    HFONT font = nullptr;
};

TEST_F(TextTest, TheDialogFontHasThePlatformsMetricsAndBaseUnits) {
    Canvas c(10, 10);
    SelectObject(c.dc, font);
    TEXTMETRICW tm{};
    ASSERT_TRUE(GetTextMetricsW(c.dc, &tm));
    EXPECT_EQ(tm.tmHeight, 13);
    EXPECT_EQ(tm.tmAscent, 11);
    EXPECT_EQ(tm.tmDescent, 2);
    EXPECT_EQ(tm.tmInternalLeading, 2);
    EXPECT_EQ(tm.tmWeight, FW_NORMAL);
    WCHAR face[LF_FACESIZE];
    EXPECT_EQ(GetTextFaceW(c.dc, LF_FACESIZE, face), 6);
    EXPECT_EQ(std::u16string(face), u"Tahoma");
    int x = 0, y = 0;
    ASSERT_TRUE(emul::dialogBaseUnitsOf(u"Tahoma", 8, &x, &y));
    EXPECT_EQ(x, 6);
    EXPECT_EQ(y, 13);
    // A positive height is the cell's: 13 is the same font as -11.
    LOGFONTW lf{};
    lf.lfHeight = 13;
    lf.lfWeight = FW_BOLD;
    std::memcpy(lf.lfFaceName, u"MS Sans Serif", 14 * sizeof(WCHAR));
    HFONT bold = CreateFontIndirectW(&lf);
    SelectObject(c.dc, bold);
    GetTextMetricsW(c.dc, &tm);
    EXPECT_EQ(tm.tmHeight, 13);
    EXPECT_EQ(tm.tmWeight, FW_BOLD);
    EXPECT_EQ(GetTextFaceW(c.dc, LF_FACESIZE, face), 6); // mapped onto the platform's font
    EXPECT_GT(extent(c.dc, u"Keyboard"), 0);
    SelectObject(c.dc, GetStockObject(SYSTEM_FONT));
    EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(uintptr_t(0x5))));
    EXPECT_TRUE(DeleteObject(bold));
}

TEST_F(TextTest, ExtentsAddUpAndSayHowMuchFits) {
    Canvas c(10, 10);
    SelectObject(c.dc, font);
    int ab = extent(c.dc, u"ab");
    EXPECT_EQ(ab, extent(c.dc, u"a") + extent(c.dc, u"b"));
    SIZE sz{};
    ASSERT_TRUE(GetTextExtentPoint32W(c.dc, u"", 0, &sz));
    EXPECT_EQ(sz.cx, 0);
    EXPECT_EQ(sz.cy, 13);
    int fit = -1, dx[4] = {};
    ASSERT_TRUE(GetTextExtentExPointW(c.dc, u"abab", 4, ab, &fit, dx, &sz));
    EXPECT_EQ(fit, 2);
    EXPECT_EQ(dx[1], ab);
    EXPECT_EQ(dx[3], sz.cx);
    EXPECT_FALSE(GetTextExtentPoint32W(c.dc, nullptr, 3, &sz));
}

TEST_F(TextTest, DrawTextMeasuresLinesWithoutThePrefixCharacters) {
    Canvas c(10, 10);
    SelectObject(c.dc, font);
    RECT r = calc(c.dc, u"&Enable Keyboard", DT_SINGLELINE);
    EXPECT_EQ(r.right, extent(c.dc, u"Enable Keyboard"));
    EXPECT_EQ(r.bottom, 13);
    EXPECT_EQ(calc(c.dc, u"A && B", DT_SINGLELINE).right, extent(c.dc, u"A & B"));
    EXPECT_EQ(calc(c.dc, u"A && B", DT_SINGLELINE | DT_NOPREFIX).right, extent(c.dc, u"A && B"));
    EXPECT_EQ(calc(c.dc, u"ends&", DT_SINGLELINE).right, extent(c.dc, u"ends"));
    // Line breaks make lines; a single line keeps them in its one line.
    EXPECT_EQ(calc(c.dc, u"one\r\ntwo\nthree", 0).bottom, 39);
    EXPECT_EQ(calc(c.dc, u"one\r\ntwo", DT_SINGLELINE).bottom, 13);
}

TEST_F(TextTest, WordBreaksWrapAtSpacesAndEllipsesCutWhatDoesNotFit) {
    Canvas c(10, 10);
    SelectObject(c.dc, font);
    const std::u16string label = u"&Test your Key Repeat settings in the Edit box below.";
    int width = MulDiv(107, 6, 4); // the label's width in dialog units, in pixels
    RECT r = calc(c.dc, label, DT_WORDBREAK, width);
    EXPECT_EQ(r.bottom, 26);
    EXPECT_LE(r.right, width);
    EXPECT_GT(r.right, width / 2);
    // A word longer than the line keeps its own line whole.
    r = calc(c.dc, u"a Extraordinarily b", DT_WORDBREAK, 20);
    EXPECT_EQ(r.bottom, 39);
    EXPECT_EQ(r.right, extent(c.dc, u"Extraordinarily"));
    // The end ellipsis makes a line fit its rectangle.
    int full = extent(c.dc, u"Key Repeat Delay:");
    r = calc(c.dc, u"Key Repeat Delay:", DT_SINGLELINE | DT_END_ELLIPSIS, full - 10);
    EXPECT_LE(r.right, full - 10);
    EXPECT_GT(r.right, extent(c.dc, u"..."));
    EXPECT_EQ(calc(c.dc, u"Key Repeat Delay:", DT_SINGLELINE | DT_END_ELLIPSIS, full).right, full);
}

TEST_F(TextTest, MnemonicsAreUnderlinedUnderTheirCharacterOnly) {
    Canvas c(120, 20);
    SelectObject(c.dc, font);
    RECT r{0, 0, 120, 20};
    DrawTextW(c.dc, u"&Enable", -1, &r, DT_SINGLELINE | DT_LEFT | DT_TOP);
    int e = extent(c.dc, u"E");
    // The underline runs below the baseline, under "E" alone.
    int row = -1;
    for (int y = 11; y < 13 && row < 0; ++y)
        if (c.ink(RECT{0, y, e, y + 1}) == e)
            row = y;
    ASSERT_GE(row, 11);
    EXPECT_EQ(c.ink(RECT{e, row, 120, row + 1}), 0);
    // Without the prefix the same text has no underline at all.
    c.clear(RGB(255, 255, 255));
    DrawTextW(c.dc, u"Enable", -1, &r, DT_SINGLELINE);
    EXPECT_LT(c.ink(RECT{0, row, e, row + 1}), e);
    // After an expanded tab the mark stays under its own letter.
    c.clear(RGB(255, 255, 255));
    DrawTextW(c.dc, u"a\t&E", -1, &r, DT_SINGLELINE | DT_EXPANDTABS);
    RECT ink = c.inkBox();
    EXPECT_EQ(c.ink(RECT{ink.right - e, row, ink.right, row + 1}), e);
    EXPECT_EQ(c.ink(RECT{0, row, ink.right - e, row + 1}), 0);
}

TEST_F(TextTest, AlignmentPlacesTheTextInItsRectangle) {
    Canvas c(200, 40);
    SelectObject(c.dc, font);
    SetBkMode(c.dc, TRANSPARENT);
    RECT r{0, 0, 200, 40};
    int w = extent(c.dc, u"OK");
    EXPECT_EQ(DrawTextW(c.dc, u"OK", -1, &r, DT_SINGLELINE | DT_RIGHT | DT_BOTTOM), 40);
    RECT ink = c.inkBox();
    EXPECT_LE(ink.right, 200);
    EXPECT_GE(ink.left, 200 - w);
    EXPECT_GE(ink.top, 40 - 13);
    c.clear(RGB(255, 255, 255));
    EXPECT_EQ(DrawTextW(c.dc, u"OK", -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER), 13 + 13);
    ink = c.inkBox();
    EXPECT_GE(ink.left, (200 - w) / 2);
    EXPECT_LE(ink.right, (200 + w) / 2 + 1);
    EXPECT_GE(ink.top, 13);
    EXPECT_LE(ink.bottom, 13 + 13);
    // Clipped to its rectangle unless told otherwise.
    c.clear(RGB(255, 255, 255));
    RECT small{0, 0, 5, 40};
    DrawTextW(c.dc, u"Wide text", -1, &small, DT_SINGLELINE);
    EXPECT_LE(c.inkBox().right, 5);
    DrawTextW(c.dc, u"Wide text", -1, &small, DT_SINGLELINE | DT_NOCLIP);
    EXPECT_GT(c.inkBox().right, 5);
}

TEST_F(TextTest, ExtTextOutFillsAndClipsToItsRectangle) {
    Canvas c(100, 20);
    SelectObject(c.dc, font);
    SetBkColor(c.dc, RGB(0, 0, 255));
    RECT r{10, 2, 40, 18};
    ASSERT_TRUE(ExtTextOutW(c.dc, 0, 0, ETO_OPAQUE | ETO_CLIPPED, &r, u"Hello world", 11, nullptr));
    EXPECT_EQ(c.at(39, 17), RGB(0, 0, 255));
    EXPECT_EQ(c.at(40, 17), RGB(255, 255, 255));
    EXPECT_EQ(c.ink(RECT{0, 0, 10, 20}), 0);
    EXPECT_EQ(c.ink(RECT{40, 0, 100, 20}), 0);
    // Opaque mode fills the text's cells; transparent mode leaves the background.
    c.clear(RGB(255, 255, 255));
    ExtTextOutW(c.dc, 0, 0, 0, nullptr, u"i", 1, nullptr);
    EXPECT_EQ(c.at(0, 0), RGB(0, 0, 255));
    c.clear(RGB(255, 255, 255));
    SetBkMode(c.dc, TRANSPARENT);
    ExtTextOutW(c.dc, 0, 0, 0, nullptr, u"i", 1, nullptr);
    EXPECT_EQ(c.at(0, 0), RGB(255, 255, 255));
    EXPECT_GT(c.ink(RECT{0, 0, 10, 13}), 0);
    EXPECT_FALSE(ExtTextOutW(c.dc, 0, 0, 0, nullptr, nullptr, 3, nullptr));
}

TEST_F(TextTest, BrokenUtf16DrawsTheReplacementCharacter) {
    Canvas a(40, 20), b(40, 20);
    SelectObject(a.dc, font);
    SelectObject(b.dc, font);
    const WCHAR lone[] = {u'x', 0xD800, u'y'}, replaced[] = {u'x', 0xFFFD, u'y'};
    ExtTextOutW(a.dc, 0, 0, 0, nullptr, lone, 3, nullptr);
    ExtTextOutW(b.dc, 0, 0, 0, nullptr, replaced, 3, nullptr);
    EXPECT_GT(a.ink(RECT{0, 0, 40, 20}), 0);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(a.at(x, y), b.at(x, y)) << x << "," << y;
    // A pair of surrogates is one character: as wide as one glyph, not two.
    const WCHAR pair[] = {0xD83D, 0xDE00};
    SIZE one{}, two{};
    GetTextExtentPoint32W(a.dc, pair, 2, &one);
    GetTextExtentPoint32W(a.dc, lone + 1, 1, &two);
    EXPECT_GT(one.cx, 0);
    EXPECT_LT(one.cx, 2 * two.cx + 1);
}

// Every way UTF-16 can break, through both drawing calls: each broken unit is drawn as the
// replacement character, and a pair is never made with a unit beyond the count given.
TEST_F(TextTest, EveryBrokenSurrogateIsOneReplacementCharacter) {
    const struct {
        std::u16string text, drawn;
        int count;
    } cases[] = {
        {u"x\xDC00y", u"x\xFFFDy", 3},             // a low half alone
        {u"x\xDE00\xD83Dy", u"x\xFFFD\xFFFDy", 4}, // the halves in the wrong order
        {u"x\xD83D\xD83D\xDE00", u"x\xFFFD\U0001F600", 4},
        {u"x\xD83D\xDE00", u"x\xFFFD", 2}, // the count ends between the halves
    };
    for (const auto &c : cases) {
        for (bool drawText : {false, true}) {
            Canvas a(60, 20), b(60, 20);
            SelectObject(a.dc, font);
            SelectObject(b.dc, font);
            RECT ra{0, 0, 60, 20}, rb = ra;
            if (drawText) {
                DrawTextW(a.dc, c.text.c_str(), c.count, &ra, DT_NOPREFIX);
                DrawTextW(b.dc, c.drawn.c_str(), int(c.drawn.size()), &rb, DT_NOPREFIX);
            } else {
                ExtTextOutW(a.dc, 0, 0, 0, nullptr, c.text.c_str(), UINT(c.count), nullptr);
                ExtTextOutW(b.dc, 0, 0, 0, nullptr, c.drawn.c_str(), UINT(c.drawn.size()), nullptr);
            }
            int differ = 0;
            for (int y = 0; y < 20; ++y)
                for (int x = 0; x < 60; ++x)
                    differ += a.at(x, y) != b.at(x, y);
            EXPECT_EQ(differ, 0) << "case " << (&c - cases) << (drawText ? " DrawTextW" : "");
            EXPECT_EQ(extent(a.dc, c.text.substr(0, size_t(c.count))), extent(b.dc, c.drawn));
        }
    }
}

} // namespace
