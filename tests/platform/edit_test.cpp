// The edit box's caret and selection as a user and a program move them: the keys, typing over
// a selection, EM_SETSEL/EM_GETSEL/EM_REPLACESEL, the text limit, the change notifications and
// a tap that puts the caret where it lands.
#include <windows.h>

#include "support/program_window.h"

#include "emul/device.h"
#include "emul/graphics.h"
#include "emul/windows_sys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<int> heard; // the edit box's notification codes

LRESULT CALLBACK Parent(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && LOWORD(wp) == 1008)
        heard.push_back(HIWORD(wp));
    return DefWindowProcW(h, msg, wp, lp);
}

using test_support::Pump;

class Edit : public ::testing::Test {
  protected:
    Edit() {
        heard.clear();
        parent = test_support::ProgramWindow(Parent);
    }
    HWND Make(DWORD style) {
        HWND e = CreateWindowExW(0, u"Edit", u"", WS_CHILD | WS_VISIBLE | WS_BORDER | style, 10, 10,
                                 200, 100, parent, reinterpret_cast<HMENU>(1008), nullptr, nullptr);
        SetFocus(e);
        return e;
    }
    // Keys as the keyboard presses them; `shift` holds Shift meanwhile.
    void Press(std::initializer_list<BYTE> keys, bool shift = false) {
        if (shift)
            keybd_event(VK_SHIFT, 0, 0, 0);
        for (BYTE vk : keys) {
            keybd_event(vk, 0, 0, 0);
            keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
        }
        if (shift)
            keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
        Pump();
    }
    void Type(const std::u16string &s, HWND e) {
        for (char16_t c : s)
            SendMessageW(e, WM_CHAR, c, 1);
    }
    std::u16string Text(HWND e) { return device.windows().text(reinterpret_cast<uintptr_t>(e)); }
    std::pair<DWORD, DWORD> SelOf(HWND e) {
        DWORD from = 0xdeadbeef, to = 0xdeadbeef;
        LRESULT r = SendMessageW(e, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                                 reinterpret_cast<LPARAM>(&to));
        EXPECT_EQ(r, MAKELONG(from, to));
        return {from, to};
    }
    emul::Device device;
    HWND parent = nullptr;
};

using Sel = std::pair<DWORD, DWORD>;

TEST_F(Edit, ArrowsMoveTheCaretShiftSelectsAndTypingReplacesTheSelection) {
    HWND e = Make(0);
    Type(u"helo wrld", e);
    EXPECT_EQ(SelOf(e), Sel(9, 9));
    Press({VK_LEFT, VK_LEFT, VK_LEFT});
    Type(u"o", e);
    Press({VK_HOME, VK_RIGHT, VK_RIGHT, VK_RIGHT});
    Type(u"l", e);
    EXPECT_EQ(Text(e), u"hello world");
    Press({VK_END});
    Press({VK_LEFT, VK_LEFT, VK_LEFT, VK_LEFT, VK_LEFT}, true);
    EXPECT_EQ(SelOf(e), Sel(6, 11));
    std::optional<emul::WindowInfo> info = device.windows().view().window(uintptr_t(e));
    EXPECT_EQ(info->selStart, 6);
    EXPECT_EQ(info->selEnd, 11);
    EXPECT_EQ(info->caret, 6); // the end the Shift moved
    Type(u"there", e);
    EXPECT_EQ(Text(e), u"hello there");
    // Left on a selection goes to its start; Up and Down on one line are Left and Right.
    SendMessageW(e, EM_SETSEL, 2, 4);
    Press({VK_LEFT});
    EXPECT_EQ(SelOf(e), Sel(2, 2));
    Press({VK_DOWN, VK_DOWN});
    EXPECT_EQ(SelOf(e), Sel(4, 4));
    // Delete takes the letter after the caret, Backspace the one before.
    Press({VK_DELETE});
    Type(u"\b", e);
    EXPECT_EQ(Text(e), u"hel there");
    EXPECT_EQ(SelOf(e), Sel(3, 3));
}

TEST_F(Edit, AMultiLineBoxMovesByLinesAndTreatsALineBreakAsOneCharacter) {
    HWND e = Make(ES_MULTILINE);
    Type(u"first line\rab\rthird", e);
    EXPECT_EQ(Text(e), u"first line\r\nab\r\nthird");
    Press({VK_UP}); // from column 5 of "third" to the end of "ab"
    EXPECT_EQ(SelOf(e), Sel(14, 14));
    Press({VK_UP}); // to the letter of the line above nearest its place across: "fir|st"
    EXPECT_EQ(SelOf(e), Sel(3, 3));
    Press({VK_END, VK_RIGHT}); // over the line break in one step
    EXPECT_EQ(SelOf(e), Sel(12, 12));
    Type(u"\b", e); // takes the whole break
    EXPECT_EQ(Text(e), u"first lineab\r\nthird");
    Press({VK_DOWN}, true); // column 10 on a line of 5: its end
    EXPECT_EQ(SelOf(e), Sel(10, 19));
    // A position between "\r" and "\n" is never taken: it moves to before the break.
    SendMessageW(e, EM_SETSEL, 13, 13);
    EXPECT_EQ(SelOf(e), Sel(12, 12));
    Press({VK_HOME}, true); // Ctrl is not held: the start of the line only
    EXPECT_EQ(SelOf(e), Sel(0, 12));
}

TEST_F(Edit, SetSelReplaceSelAndTheirEdges) {
    HWND e = Make(0);
    SetWindowTextW(e, u"abcdef");
    EXPECT_EQ(SelOf(e), Sel(0, 0));   // a new text puts the caret at its start
    SendMessageW(e, EM_SETSEL, 4, 1); // the caret goes to the second number
    EXPECT_EQ(SelOf(e), Sel(1, 4));
    EXPECT_EQ(device.windows().view().window(uintptr_t(e))->caret, 1);
    SendMessageW(e, EM_SETSEL, 0, -1); // everything
    EXPECT_EQ(SelOf(e), Sel(0, 6));
    SendMessageW(e, EM_SETSEL, WPARAM(-1), 0); // no selection, the caret where it was
    EXPECT_EQ(SelOf(e), Sel(6, 6));
    SendMessageW(e, EM_SETSEL, 2, 99); // past the end: the end
    EXPECT_EQ(SelOf(e), Sel(2, 6));
    heard.clear();
    SendMessageW(e, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u"XY"));
    EXPECT_EQ(Text(e), u"abXY");
    EXPECT_EQ(SelOf(e), Sel(4, 4));
    EXPECT_EQ(heard, std::vector<int>{EN_CHANGE});
}

TEST_F(Edit, TheLimitStopsTypingAndSaysSo) {
    HWND e = Make(0);
    SendMessageW(e, EM_LIMITTEXT, 5, 0);
    EXPECT_EQ(SendMessageW(e, EM_GETLIMITTEXT, 0, 0), 5);
    Type(u"abcdefg", e);
    EXPECT_EQ(Text(e), u"abcde");
    EXPECT_EQ(heard, (std::vector<int>{EN_CHANGE, EN_CHANGE, EN_CHANGE, EN_CHANGE, EN_CHANGE,
                                       EN_MAXTEXT, EN_MAXTEXT}));
    // Typing over a selection needs no more room; a replacement gets what fits.
    SendMessageW(e, EM_SETSEL, 0, 2);
    Type(u"Z", e);
    EXPECT_EQ(Text(e), u"Zcde");
    SendMessageW(e, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u"123"));
    EXPECT_EQ(Text(e), u"Z1cde");
    // A program's own text is not cut to the limit.
    SetWindowTextW(e, u"longer than five");
    EXPECT_EQ(Text(e), u"longer than five");
}

// A multi-line box without ES_AUTOVSCROLL, as the settings program's test box is: one line high,
// it refuses a line break; wrapped, it refuses what would run onto a line below its bottom.
TEST_F(Edit, AMultiLineBoxThatDoesNotScrollUpTakesNoMoreLinesThanItShows) {
    HWND e = CreateWindowExW(0, u"Edit", u"",
                             WS_CHILD | WS_VISIBLE | WS_BORDER | ES_MULTILINE | ES_AUTOHSCROLL, 10,
                             10, 200, 20, parent, reinterpret_cast<HMENU>(1008), nullptr, nullptr);
    Type(u"aa\rbb", e);
    EXPECT_EQ(Text(e), u"aabb");
    EXPECT_EQ(heard, (std::vector<int>{EN_CHANGE, EN_CHANGE, EN_MAXTEXT, EN_CHANGE, EN_CHANGE}));
    for (int i = 0; i < 60; ++i) // sideways it scrolls
        Type(u"x", e);
    EXPECT_EQ(Text(e).size(), 64u);
    SetWindowLongW(e, GWL_STYLE, GetWindowLongW(e, GWL_STYLE) | ES_AUTOVSCROLL);
    Type(u"\r", e);
    EXPECT_EQ(Text(e).size(), 66u);

    HWND wrapped = CreateWindowExW(0, u"Edit", u"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 10, 40,
                                   60, 26, parent, nullptr, nullptr, nullptr);
    for (int i = 0; i < 200; ++i)
        Type(u"w", wrapped);
    size_t n = Text(wrapped).size();
    EXPECT_GT(n, 10u);                            // two lines' worth,
    EXPECT_LT(n, 40u);                            // not more
    SetWindowTextW(wrapped, u"a\r\nb\r\nc\r\nd"); // a program's own text is not cut
    SendMessageW(wrapped, EM_SETSEL, 1, 1);
    Type(u"x", wrapped); // and typing that adds no line goes in
    EXPECT_EQ(Text(wrapped), u"ax\r\nb\r\nc\r\nd");
}

TEST_F(Edit, OnlyASingleLineBoxCallsANewTextAChange) {
    HWND single = Make(0);
    SetWindowTextW(single, u"one");
    EXPECT_EQ(heard, std::vector<int>{EN_CHANGE});
    heard.clear();
    HWND multi = Make(ES_MULTILINE);
    SetWindowTextW(multi, u"one\r\ntwo");
    EXPECT_TRUE(heard.empty());
    Type(u"x", multi);
    EXPECT_EQ(heard, std::vector<int>{EN_CHANGE});
}

TEST_F(Edit, ATapPutsTheCaretAtTheNearestCharacter) {
    HWND e = Make(ES_MULTILINE);
    SetWindowTextW(e, u"hello\r\nworld");
    // Where the caret stands before "r" on the second line, and a tap right there.
    LRESULT p = SendMessageW(e, EM_POSFROMCHAR, 9, 0);
    int x = LOWORD(p), y = HIWORD(p);
    EXPECT_GT(y, 0);
    EXPECT_EQ(SendMessageW(e, EM_CHARFROMPOS, 0, MAKELPARAM(x + 1, y + 2)), MAKELONG(9, 1));
    device.windows().pen(emul::WindowSystem::Pen::Down, 10 + x + 1, 36 + y + 2);
    device.windows().pen(emul::WindowSystem::Pen::Up, 10 + x + 1, 36 + y + 2);
    SetFocus(parent);
    Pump();
    EXPECT_EQ(GetFocus(), e);
    EXPECT_EQ(SelOf(e), Sel(9, 9));
    // Beyond a line's end, its end; below the last line, the last line.
    EXPECT_EQ(SendMessageW(e, EM_CHARFROMPOS, 0, MAKELPARAM(190, 2)), MAKELONG(5, 0));
    EXPECT_EQ(SendMessageW(e, EM_CHARFROMPOS, 0, MAKELPARAM(2, 90)), MAKELONG(7, 1));
}

// The screen's pixel at a point of the edit box's client area after it painted, and a colour in
// the screen's format.
uint16_t ScreenAt(emul::Device &device, HWND e, int x, int y) {
    Pump();
    POINT p{x, y};
    ClientToScreen(e, &p);
    return device.graphics().frame()[p.y * 240 + p.x];
}
uint16_t Rgb565(COLORREF c) {
    return uint16_t((GetRValue(c) >> 3) << 11 | (GetGValue(c) >> 2) << 5 | GetBValue(c) >> 3);
}

TEST_F(Edit, APenDragSelectsFromWhereItWentDownAndTheCaretIsDrawnWhereItStands) {
    HWND e = Make(0);
    SetWindowTextW(e, u"hello world");
    SendMessageW(e, EM_SETSEL, 11, 11);
    auto at = [&](size_t i) {
        LRESULT p = SendMessageW(e, EM_POSFROMCHAR, i, 0);
        POINT s{int16_t(LOWORD(p)), int16_t(HIWORD(p))};
        ClientToScreen(e, &s);
        return s;
    };
    // Down between "h" and "e", dragged out of the box to the right, back onto "w", lifted.
    POINT down = at(1), mid = at(6);
    auto &pen = device.windows();
    pen.pen(emul::WindowSystem::Pen::Down, down.x, down.y + 3);
    pen.pen(emul::WindowSystem::Pen::Move, 235, down.y + 3);
    Pump();
    EXPECT_EQ(SelOf(e), Sel(1, 11));
    pen.pen(emul::WindowSystem::Pen::Move, mid.x + 1, mid.y + 3);
    pen.pen(emul::WindowSystem::Pen::Up, mid.x + 1, mid.y + 3);
    Pump();
    EXPECT_EQ(SelOf(e), Sel(1, 6));
    EXPECT_EQ(GetCapture(), nullptr);
    // Two taps on "world" select it; a third puts the caret there; a tap far from the last
    // one is a tap of its own.
    POINT w = at(8);
    auto tap = [&pen](POINT p) {
        pen.pen(emul::WindowSystem::Pen::Down, p.x, p.y + 3);
        pen.pen(emul::WindowSystem::Pen::Up, p.x, p.y + 3);
        Pump();
    };
    tap(w);
    tap(POINT{w.x + 2, w.y});
    EXPECT_EQ(SelOf(e), Sel(6, 11));
    tap(w);
    EXPECT_EQ(SelOf(e), Sel(8, 8));
    tap(at(2));
    EXPECT_EQ(SelOf(e), Sel(2, 2));
    SendMessageW(e, EM_SETSEL, 1, 6);
    // The selection in the highlight colour, the caret at its end where EM_POSFROMCHAR says.
    LRESULT p5 = SendMessageW(e, EM_POSFROMCHAR, 5, 0), p6 = SendMessageW(e, EM_POSFROMCHAR, 6, 0);
    int y = HIWORD(p6) + 2;
    EXPECT_EQ(ScreenAt(device, e, LOWORD(p5), y), Rgb565(GetSysColor(COLOR_HIGHLIGHT)));
    EXPECT_EQ(ScreenAt(device, e, LOWORD(p6), y), Rgb565(RGB(0, 0, 0))); // the caret on white
    // A selection made backwards has the caret at its start, where it inverts the highlight;
    // Shift+Right takes the caret along and shrinks the selection.
    SendMessageW(e, EM_SETSEL, 11, 5);
    EXPECT_EQ(ScreenAt(device, e, LOWORD(p5), y), uint16_t(~Rgb565(GetSysColor(COLOR_HIGHLIGHT))));
    Press({VK_RIGHT}, true);
    EXPECT_EQ(SelOf(e), Sel(6, 11));
    EXPECT_EQ(ScreenAt(device, e, LOWORD(p5), y), Rgb565(RGB(255, 255, 255)));
    EXPECT_EQ(ScreenAt(device, e, LOWORD(p6) + 1, y), Rgb565(GetSysColor(COLOR_HIGHLIGHT)));
    // Without the focus the selection is not shown.
    SetFocus(parent);
    EXPECT_EQ(ScreenAt(device, e, LOWORD(p6) + 1, y), Rgb565(RGB(255, 255, 255)));
}

TEST_F(Edit, TapsFindTheLetterWhereAWrappedAndScrolledBoxShowsIt) {
    HWND e = Make(ES_MULTILINE);
    // Wider than the box: the words wrap. Enough lines to scroll the first ones out of view.
    std::u16string text;
    for (int i = 0; i < 12; ++i)
        text += u"word" + std::u16string(1, char16_t(u'a' + i)) + u" and more words here ";
    SetWindowTextW(e, text.c_str());
    SendMessageW(e, EM_SETSEL, text.size(), text.size());
    ScreenAt(device, e, 0, 0);
    // Every letter tapped where the box says it stands gets the caret before it.
    for (size_t i : {text.size() - 5, text.size() - 30, text.size() - 60}) {
        LRESULT p = SendMessageW(e, EM_POSFROMCHAR, i, 0);
        int x = int16_t(LOWORD(p)), y = int16_t(HIWORD(p));
        ASSERT_GE(y, 0) << i;
        ASSERT_LT(y, 100) << i;
        EXPECT_EQ(LOWORD(SendMessageW(e, EM_CHARFROMPOS, 0, MAKELPARAM(x + 1, y + 3))), i) << i;
        POINT s{x + 1, y + 3};
        ClientToScreen(e, &s);
        device.windows().pen(emul::WindowSystem::Pen::Down, s.x, s.y);
        device.windows().pen(emul::WindowSystem::Pen::Up, s.x, s.y);
        Pump();
        EXPECT_EQ(SelOf(e), Sel(DWORD(i), DWORD(i)));
    }
}

TEST_F(Edit, UpDownHomeAndEndGoByTheLinesAsTheBoxShowsThemWrapped) {
    HWND e = Make(ES_MULTILINE);
    std::u16string text = u"one paragraph long enough to wrap over several lines of this box, "
                          u"with words and more words until it wraps a third time and more";
    SetWindowTextW(e, text.c_str());
    auto caretAt = [&] {
        DWORD c = SelOf(e).second;
        LRESULT p = SendMessageW(e, EM_POSFROMCHAR, c, 0);
        return POINT{int16_t(LOWORD(p)), int16_t(HIWORD(p))};
    };
    POINT start = caretAt();
    Press({VK_RIGHT, VK_RIGHT, VK_RIGHT, VK_DOWN});
    POINT second = caretAt();
    int lineHeight = second.y - start.y;
    EXPECT_GT(lineHeight, 0); // the next line shown, not the next paragraph
    EXPECT_LT(SelOf(e).second, text.size());
    Press({VK_DOWN});
    EXPECT_EQ(caretAt().y, start.y + 2 * lineHeight);
    Press({VK_HOME});
    EXPECT_EQ(caretAt().x, start.x);
    EXPECT_EQ(caretAt().y, start.y + 2 * lineHeight);
    Press({VK_END}, true); // the line's end, before the space it wraps at
    EXPECT_EQ(caretAt().y, start.y + 2 * lineHeight);
    EXPECT_EQ(text[SelOf(e).second], u' ');
    Press({VK_PRIOR});
    EXPECT_EQ(caretAt().y, start.y);
    EXPECT_EQ(SelOf(e).first, SelOf(e).second);
}

TEST_F(Edit, TheStyleSaysWhatTheUserMayTypeAndHowTheBoxShowsIt) {
    HWND fixed = Make(ES_READONLY);
    Type(u"abc", fixed);
    SetWindowTextW(fixed, u"kept");
    SendMessageW(fixed, EM_SETSEL, 4, 4);
    Type(u"\b", fixed);
    Press({VK_HOME, VK_DELETE});
    EXPECT_EQ(Text(fixed), u"kept");
    SendMessageW(fixed, EM_SETREADONLY, FALSE, 0);
    Type(u"!", fixed);
    EXPECT_EQ(Text(fixed), u"!kept");
    HWND number = Make(ES_NUMBER), upper = Make(ES_UPPERCASE), lower = Make(ES_LOWERCASE);
    Type(u"a1b2", number);
    Type(u"ab\u00e9", upper);
    Type(u"AB\u00c9", lower);
    EXPECT_EQ(Text(number), u"12");
    EXPECT_EQ(Text(upper), u"AB\u00c9");
    EXPECT_EQ(Text(lower), u"ab\u00e9");

    // A password box keeps its text and shows a star for each character, as a box of stars
    // would show them; a read-only box has a label's background.
    HWND secret = Make(ES_PASSWORD), stars = Make(0);
    SetWindowPos(secret, nullptr, 10, 120, 200, 30, SWP_NOZORDER);
    SetWindowPos(stars, nullptr, 10, 160, 200, 30, SWP_NOZORDER);
    SetWindowPos(fixed, nullptr, 10, 200, 200, 30, SWP_NOZORDER);
    SetWindowTextW(secret, u"secret");
    SetWindowTextW(stars, u"******");
    SendMessageW(fixed, EM_SETREADONLY, TRUE, 0);
    SetFocus(parent);
    EXPECT_EQ(Text(secret), u"secret");
    EXPECT_EQ(SendMessageW(secret, EM_GETPASSWORDCHAR, 0, 0), u'*');
    EXPECT_EQ(SendMessageW(secret, EM_POSFROMCHAR, 6, 0),
              SendMessageW(stars, EM_POSFROMCHAR, 6, 0));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(ScreenAt(device, secret, x, y), ScreenAt(device, stars, x, y))
                << x << "," << y;
    EXPECT_EQ(ScreenAt(device, fixed, 150, 15), Rgb565(GetSysColor(COLOR_STATIC)));
    EXPECT_EQ(ScreenAt(device, stars, 150, 15), Rgb565(GetSysColor(COLOR_WINDOW)));
}

TEST_F(Edit, ALineOfOneThatFitsIsPlacedAsItsStyleSays) {
    HWND left = Make(0), right = Make(ES_RIGHT), centre = Make(ES_CENTER);
    for (HWND e : {left, right, centre})
        SetWindowTextW(e, u"abc");
    auto x = [](HWND e, size_t i) {
        return int(int16_t(LOWORD(SendMessageW(e, EM_POSFROMCHAR, i, 0))));
    };
    int width = x(left, 3) - x(left, 0);
    // The room inside a 200-pixel box: its border, the margins and the caret's pixels.
    int from = 3, room = 200 - 7;
    EXPECT_EQ(x(left, 0), from);
    EXPECT_EQ(x(right, 3), from + room);
    EXPECT_EQ(x(centre, 0), from + (room - width) / 2);
    // A tap lands on the letter where it is shown.
    EXPECT_EQ(LOWORD(SendMessageW(right, EM_CHARFROMPOS, 0, MAKELPARAM(x(right, 1) + 1, 8))), 1);
}

TEST_F(Edit, EachLineOfAMultiLineBoxIsPlacedAsItsStyleSays) {
    HWND left = Make(ES_MULTILINE), right = Make(ES_MULTILINE | ES_RIGHT),
         centre = Make(ES_MULTILINE | ES_CENTER);
    for (HWND e : {left, right, centre})
        SetWindowTextW(e, u"abc\r\nlonger line");
    auto at = [](HWND e, size_t i) {
        LRESULT p = SendMessageW(e, EM_POSFROMCHAR, i, 0);
        return std::pair<int, int>(int16_t(LOWORD(p)), int16_t(HIWORD(p)));
    };
    int from = 3, room = 200 - 7;
    int first = at(left, 3).first - at(left, 0).first, second = at(left, 16).first - from;
    EXPECT_EQ(at(right, 3).first, from + room);
    EXPECT_EQ(at(right, 16).first, from + room);
    EXPECT_EQ(at(centre, 0).first, from + (room - first) / 2);
    EXPECT_EQ(at(centre, 5).first, from + (room - second) / 2);
    EXPECT_EQ(at(centre, 5).second, at(left, 5).second);
    // A tap lands on the letter where it is shown, on either line.
    auto charAt = [](HWND e, std::pair<int, int> p) {
        return LOWORD(SendMessageW(e, EM_CHARFROMPOS, 0, MAKELPARAM(p.first + 1, p.second + 2)));
    };
    EXPECT_EQ(charAt(right, at(right, 1)), 1);
    EXPECT_EQ(charAt(centre, at(centre, 7)), 7);
    // Down keeps the caret's place on the screen: from the end of the short right-aligned
    // line to the end of the long one.
    SendMessageW(right, EM_SETSEL, 3, 3);
    SetFocus(right);
    Press({VK_DOWN});
    EXPECT_EQ(SelOf(right), Sel(16, 16));
}

TEST_F(Edit, AMultiLineBoxShowsATabAsTheRoomToTheNextStop) {
    HWND e = Make(ES_MULTILINE);
    SetWindowTextW(e, u"a\tb\r\nlonger\tc\r\n\t\td");
    HDC dc = GetDC(e);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(e, WM_GETFONT, 0, 0)));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(e, dc);
    int stop = 8 * tm.tmAveCharWidth; // 32 dialog units
    auto x = [e](size_t i) { return int(int16_t(LOWORD(SendMessageW(e, EM_POSFROMCHAR, i, 0)))); };
    int from = x(0);
    EXPECT_EQ(x(2), from + stop);      // "b", after "a" and its tab
    EXPECT_EQ(x(12), from + stop);     // "c": "longer" is narrower than a stop
    EXPECT_EQ(x(17), from + 2 * stop); // "d" after two tabs
    // A tap in the tab's room lands before or after it, whichever is nearer.
    auto at = [e](int px, int line) {
        return LOWORD(SendMessageW(e, EM_CHARFROMPOS, 0, MAKELPARAM(px, 3 + line * 13)));
    };
    EXPECT_EQ(at(from + stop - 2, 0), 2);
    EXPECT_EQ(at(x(1) + 2, 0), 1);
}

TEST_F(Edit, AScrollBarShowsWhileTheLinesAreMoreThanFitAndScrollsTheView) {
    HWND e = Make(ES_MULTILINE | WS_VSCROLL); // at 10, 10 in the program's window: 200 x 100
    SetWindowTextW(e, u"one\r\ntwo");
    auto top = [e]() { return int(int16_t(HIWORD(SendMessageW(e, EM_POSFROMCHAR, 0, 0)))); };
    uint16_t face = Rgb565(GetSysColor(COLOR_BTNFACE)), paper = Rgb565(GetSysColor(COLOR_WINDOW));
    // The up arrow's square in the top right corner, inside the border: there only with the bar.
    EXPECT_EQ(ScreenAt(device, e, 190, 3), paper);
    std::u16string lines;
    for (int i = 0; i < 20; ++i)
        lines += u"line\r\n";
    SetWindowTextW(e, lines.c_str());
    SendMessageW(e, EM_SETSEL, lines.size(), LPARAM(lines.size()));
    EXPECT_EQ(ScreenAt(device, e, 190, 3), face);
    int bottom = top(); // the caret's line in view: the first lines are above the box
    ASSERT_LT(bottom, 0);
    int height = int(int16_t(HIWORD(SendMessageW(e, EM_POSFROMCHAR, 6, 0)))) - bottom;
    // The up arrow moves the view a line and leaves the caret where it was.
    test_support::Tap(10 + 200 - 7, 36 + 5);
    EXPECT_EQ(top(), bottom + height);
    EXPECT_EQ(SelOf(e), Sel(DWORD(lines.size()), DWORD(lines.size())));
    // The track above the thumb, a page; at the first line it stops.
    for (int i = 0; i < 3; ++i)
        test_support::Tap(10 + 200 - 7, 36 + 20);
    EXPECT_EQ(top(), 1);
    // Typing brings the caret's line back into view.
    SendMessageW(e, WM_CHAR, 'x', 1);
    EXPECT_EQ(top(), bottom);
}

TEST_F(Edit, CtrlCXAndVCopyCutAndPasteThroughTheClipboard) {
    auto ctrl = [](BYTE vk) {
        keybd_event(VK_CONTROL, 0, 0, 0);
        keybd_event(vk, 0, 0, 0);
        keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
        keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
        Pump();
    };
    auto clipboard = [] {
        std::u16string s = u"(none)";
        EXPECT_TRUE(OpenClipboard(nullptr));
        if (auto *p = static_cast<const char16_t *>(GetClipboardData(CF_UNICODETEXT)))
            s = p;
        EXPECT_TRUE(CloseClipboard());
        return s;
    };
    HWND e = Make(0);
    SetWindowTextW(e, u"hello world");
    SendMessageW(e, EM_SETSEL, 6, 11);
    ctrl('C');
    EXPECT_EQ(clipboard(), u"world");
    SendMessageW(e, EM_SETSEL, 0, 0);
    ctrl('V');
    EXPECT_EQ(Text(e), u"worldhello world");
    SendMessageW(e, EM_SETSEL, 5, 11);
    ctrl('X');
    EXPECT_EQ(Text(e), u"worldworld");
    EXPECT_EQ(clipboard(), u"hello ");

    // A program's text of two lines: a box of one line takes the first, a multi-line box all.
    ASSERT_TRUE(OpenClipboard(parent));
    EmptyClipboard();
    auto *mem = static_cast<char16_t *>(LocalAlloc(LMEM_FIXED, 10));
    std::copy_n(u"a\r\nb", 5, mem);
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, mem), mem);
    CloseClipboard();
    EXPECT_EQ(GetClipboardOwner(), parent);
    SetWindowTextW(e, u"");
    SendMessageW(e, WM_PASTE, 0, 0);
    EXPECT_EQ(Text(e), u"a");
    HWND multi = Make(ES_MULTILINE);
    SendMessageW(multi, WM_PASTE, 0, 0);
    EXPECT_EQ(Text(multi), u"a\r\nb");

    // A password box gives nothing away; a read-only box copies but takes nothing in.
    HWND secret = Make(ES_PASSWORD), fixed = Make(ES_READONLY);
    SetWindowTextW(secret, u"secret");
    SendMessageW(secret, EM_SETSEL, 0, -1);
    SendMessageW(secret, WM_COPY, 0, 0);
    SendMessageW(secret, WM_CUT, 0, 0);
    EXPECT_EQ(Text(secret), u"secret");
    EXPECT_EQ(clipboard(), u"a\r\nb");
    SetWindowTextW(fixed, u"fixed");
    SendMessageW(fixed, EM_SETSEL, 0, -1);
    SendMessageW(fixed, WM_PASTE, 0, 0);
    SendMessageW(fixed, WM_CUT, 0, 0);
    EXPECT_EQ(Text(fixed), u"fixed");
    EXPECT_EQ(clipboard(), u"a\r\nb");
    SendMessageW(fixed, WM_COPY, 0, 0);
    EXPECT_EQ(clipboard(), u"fixed");
    // Only the thread that opened it may use it.
    EXPECT_FALSE(CloseClipboard());
    EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr);
}

} // namespace
