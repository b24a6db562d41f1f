// The screen as the terminal draws it and as a click reaches it: a click at the centre of every
// control drawn on each page of the settings program, and of every button and entry of the
// questions put to the person, reaches that one and no other; a click on a tab label picks that
// tab, and a click on empty space reaches nothing.
#include "handheld/frontends/screen_actions.h"
#include "handheld/frontends/screen_picture.h"
#include "handheld/frontends/session.h"
#include "handheld/image/install.h"
#include "handheld/scenario/scenario.h"

#include <windows.h>

#include "emul/process.h"
#include "emul/text.h"
#include "emul/windows_sys.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using handheld::CellRect;
using handheld::ScreenModel;

class SettingsScreen : public ::testing::Test {
  protected:
    SettingsScreen() : runner(device) {
        handheld::install(device);
        handheld::installStartMenu(device); // the programs the Hot-Key page offers
        play("boot\nrun explorer\nrun notes\nrun kbsettings\n");
    }
    void play(const std::string &text) {
        handheld::ScnError err;
        ASSERT_TRUE(runner.playText(text, &err)) << err.line << ": " << err.message;
    }
    ScreenModel model() { return handheld::screenModel(device.windows().view()); }
    emul::Device device;
    handheld::ScenarioRunner runner;
};

void expectEveryControlHitAtItsCentre(const ScreenModel &m, const std::string &page) {
    std::vector<handheld::Drawn> controls = handheld::controlsInFront(m);
    ASSERT_FALSE(controls.empty()) << page;
    for (const handheld::Drawn &d : controls) {
        if (d.kind == emul::ControlKind::Tabs)
            continue; // its labels are the places a click acts on; see below
        CellRect c = handheld::cellsOf(d.px);
        handheld::ClickResult r = handheld::clickAt(m, c.col + c.cols / 2, c.row + c.rows / 2);
        EXPECT_EQ(r.hwnd, d.hwnd) << page << ": control " << d.id << " drawn at " << c.col << ","
                                  << c.row;
        EXPECT_FALSE(r.command.empty()) << page << ": control " << d.id;
    }
}

TEST_F(SettingsScreen, AClickAtTheCentreOfEveryDrawnControlReachesThatControl) {
    const char *pages[] = {"Config", "Hot-Key", "About"};
    for (int page = 0; page < 3; ++page) {
        play("tab " + std::to_string(page) + "\n");
        expectEveryControlHitAtItsCentre(model(), pages[page]);
    }
}

TEST_F(SettingsScreen, AClickOnATabLabelPicksThatTab) {
    // From each page to each other: a click moves to the tab clicked, not the next one.
    for (int from = 0; from < 3; ++from) {
        for (int to = 0; to < 3; ++to) {
            play("tab " + std::to_string(from) + "\n");
            ScreenModel m = model();
            const handheld::Drawn *tabs = nullptr;
            for (const handheld::Drawn &d : m.drawn) {
                if (d.kind == emul::ControlKind::Tabs)
                    tabs = &d;
            }
            ASSERT_TRUE(tabs);
            ASSERT_EQ(tabs->itemBoxes.size(), 3u);
            CellRect c = handheld::cellsOf(tabs->itemBoxes[size_t(to)]);
            handheld::ClickResult r = handheld::clickAt(m, c.col + c.cols / 2, c.row);
            ASSERT_EQ(r.hwnd, tabs->hwnd);
            play(r.command + "\n");
            for (const handheld::Drawn &d : model().drawn) {
                if (d.kind == emul::ControlKind::Tabs) {
                    EXPECT_EQ(d.selected, to) << "from " << from;
                }
            }
        }
    }
}

// The task bar's Start: a click opens the platform's Start menu, drawn as a list with an entry
// a row; a click on an entry starts that program, and the keys go to the device meanwhile.
TEST_F(SettingsScreen, AClickOnStartOpensThePlatformsMenuAndAClickOnAnEntryStartsIt) {
    play("close kbsettings\n");
    handheld::ClickResult r = handheld::clickAt(model(), 0, 0);
    EXPECT_TRUE(r.typing);
    ASSERT_EQ(r.command, handheld::tapStart(model()));
    play(r.command + "\n");
    // The task bar goes on naming the program beneath the menu, and Start stands out.
    EXPECT_EQ(model().title, u"Notes");
    handheld::Picture open;
    handheld::drawModel(model(), open, {});
    EXPECT_EQ(open.line(0).substr(0, 12), u" Start Notes");
    EXPECT_TRUE(open.at(1, 0).attr & handheld::kReverse);
    EXPECT_FALSE(open.at(7, 0).attr & handheld::kReverse);
    handheld::Drawn menu;
    for (const handheld::Drawn &d : model().drawn)
        if (d.kind == emul::ControlKind::ListBox)
            menu = d;
    ASSERT_EQ(menu.className, u"StartMenu");
    auto at = std::find(menu.items.begin(), menu.items.end(), u"Calculator");
    ASSERT_NE(at, menu.items.end());
    CellRect c = handheld::cellsOf(menu.px);
    r = handheld::clickAt(model(), c.col + 2, c.row + int(at - menu.items.begin()));
    play(r.command + "\nwait 10\n");
    EXPECT_EQ(device.windows().foregroundProgram()->name, u"calc.exe");
}

TEST_F(SettingsScreen, AClickOnTheMenuBarsKeyboardCellsShowsAndHidesTheInputPanel) {
    play("close kbsettings\nwait 10\n");
    handheld::Picture picture(handheld::kScreenCols, handheld::kScreenRows);
    handheld::drawModel(model(), picture, {});
    int row = handheld::kScreenRows - 1, col = handheld::kScreenCols - 3;
    EXPECT_EQ(picture.at(col, row).ch, u'k');
    for (bool shown : {true, false}) {
        handheld::ClickResult r = handheld::clickAt(model(), col, row);
        ASSERT_FALSE(r.command.empty());
        play(r.command + "\n");
        EXPECT_EQ(device.windows().inputPanelShown(), shown);
    }
}

// The Hot-Key page's first combo box: a click opens its list over the page, each entry drawn
// on a row of its own; a click on an entry picks that one, a click beside the list closes it.
TEST_F(SettingsScreen, AClickOnAnEntryOfAnOpenListPicksThatEntry) {
    play("tab 1\n");
    auto combo = [this] {
        for (const handheld::Drawn &d : model().drawn) {
            if (d.id == 1009)
                return d;
        }
        return handheld::Drawn{};
    };
    auto openList = [this, &combo] {
        CellRect c = handheld::cellsOf(combo().px);
        handheld::ClickResult r = handheld::clickAt(model(), c.col + c.cols / 2, c.row);
        play(r.command + "\n");
        for (const handheld::Drawn &d : model().drawn) {
            if (d.kind == emul::ControlKind::ListBox)
                return d;
        }
        return handheld::Drawn{};
    };
    for (int round = 0; round < 2; ++round) {
        handheld::Drawn list = openList();
        ASSERT_EQ(list.kind, emul::ControlKind::ListBox);
        ASSERT_GT(list.itemBoxes.size(), 3u);
        // A program other than the one chosen ("Choose Data File..." asks for a file instead).
        int pick = round == 0 ? 2 : 0;
        while (list.items[size_t(list.topIndex + pick)] == combo().text ||
               list.items[size_t(list.topIndex + pick)] == u"Choose Data File...")
            ++pick;
        ScreenModel m = model();
        handheld::Picture p;
        handheld::drawModel(m, p);
        CellRect c = handheld::cellsOf(list.px);
        std::u16string entry = list.items[size_t(list.topIndex + pick)];
        EXPECT_EQ(p.line(c.row + pick).substr(size_t(c.col), entry.size()), entry);
        handheld::ClickResult r = handheld::clickAt(m, c.col + 2, c.row + pick);
        EXPECT_EQ(r.hwnd, list.hwnd);
        play(r.command + "\n");
        EXPECT_EQ(combo().text, entry);
    }
    // Beside the open list, on an empty part of the page: the list closes, nothing is picked.
    std::u16string before = combo().text;
    openList();
    handheld::ClickResult r = handheld::clickAt(model(), 1, 17);
    ASSERT_FALSE(r.command.empty());
    play(r.command + "\n");
    for (const handheld::Drawn &d : model().drawn)
        EXPECT_NE(d.kind, emul::ControlKind::ListBox);
    EXPECT_EQ(combo().text, before);
}

TEST_F(SettingsScreen, EmptySpaceAndLabelsReachNothing) {
    ScreenModel m = model();
    handheld::Picture p;
    handheld::drawModel(m, p);
    int blank = 0;
    for (int row = 2; row < handheld::kScreenRows; ++row)
        for (int col = 0; col < handheld::kScreenCols; ++col) {
            handheld::ClickResult r = handheld::clickAt(m, col, row);
            if (p.at(col, row).ch == u' ' && r.command.empty())
                ++blank;
            // Whatever a click acts on is drawn where it was clicked.
            if (!r.command.empty() && m.find(r.hwnd)->kind != emul::ControlKind::Tabs) {
                const handheld::Drawn *d = m.find(r.hwnd);
                ASSERT_TRUE(d);
                EXPECT_TRUE(handheld::cellsOf(d->px).contains(col, row)) << col << "," << row;
            }
        }
    EXPECT_GT(blank, 100);
    // The label of the delay's value is drawn in its cells, and a click on it does nothing.
    const handheld::Drawn *value = nullptr;
    for (const handheld::Drawn &d : m.drawn) {
        if (d.id == 1004)
            value = &d;
    }
    ASSERT_TRUE(value);
    CellRect c = handheld::cellsOf(value->px);
    EXPECT_NE(emul::utf8(p.line(c.row).substr(size_t(c.col), size_t(c.cols))).find("500"),
              std::string::npos);
    EXPECT_TRUE(handheld::clickAt(m, c.col + c.cols / 2, c.row).command.empty());
}

// The questions a program puts to the person, left up as the platform's windows: the terminal
// draws their buttons and entries, and a click at the centre of one reaches that one.
class QuestionScreen : public ::testing::Test {
  protected:
    QuestionScreen() : runner(device) { handheld::install(device); }
    void play(const std::string &text) {
        handheld::ScnError err;
        ASSERT_TRUE(runner.playText(text, &err)) << err.line << ": " << err.message;
    }
    ScreenModel model() { return handheld::screenModel(device.windows().view()); }
    handheld::Picture drawn(const ScreenModel &m) {
        handheld::Picture p;
        handheld::drawModel(m, p, handheld::DrawOptions{});
        return p;
    }
    // The drawn window of this class and text, or of this kind.
    static const handheld::Drawn *find(const ScreenModel &m, emul::ControlKind kind,
                                       const std::u16string &text = u"") {
        for (const handheld::Drawn &d : m.drawn)
            if (d.kind == kind && (text.empty() || d.text == text))
                return &d;
        return nullptr;
    }
    // Clicks the centre of what is drawn there, as the terminal's mouse does.
    void click(const handheld::Drawn &d) {
        CellRect c = handheld::cellsOf(d.px);
        handheld::ClickResult r = handheld::clickAt(model(), c.col + c.cols / 2, c.row);
        ASSERT_EQ(r.hwnd, d.hwnd);
        play(r.command + "\n");
    }
    emul::Device device;
    handheld::ScenarioRunner runner;
};

TEST_F(QuestionScreen, EachButtonOfTheResetQuestionIsDrawnAndClickedWhereItStands) {
    const char16_t *labels[] = {u"No", u"Yes"};
    const int results[] = {IDNO, IDYES};
    for (int i = 0; i < 2; ++i) {
        play("set \"Drivers\\BuiltIn\\Norvel\" \"Enable Keyboard\" dword 0\n"
             "run kbsettings\nclick 1005\nanswer open\nok\n");
        ScreenModel m = model();
        const handheld::Drawn *button = find(m, emul::ControlKind::PushButton, labels[i]);
        ASSERT_TRUE(button);
        handheld::Picture p = drawn(m);
        CellRect c = handheld::cellsOf(button->px);
        std::string row = emul::utf8(p.line(c.row));
        EXPECT_NE(row.find("[ Yes ]"), std::string::npos) << row;
        EXPECT_NE(row.find("[ No ]"), std::string::npos) << row;
        // The caption bar and the question are drawn above the buttons.
        const handheld::Drawn *box = find(m, emul::ControlKind::Dialog, u"IrDA Keyboard");
        ASSERT_TRUE(box);
        EXPECT_NE(emul::utf8(p.line(handheld::cellsOf(box->px).row)).find("IrDA Keyboard"),
                  std::string::npos);
        click(*button);
        std::vector<std::string> asked = device.journal().grep("MessageBoxW");
        ASSERT_EQ(asked.size(), size_t(i + 1));
        EXPECT_NE(asked.back().find("\"result\":" + std::to_string(results[i])), std::string::npos)
            << asked.back();
    }
}

TEST_F(QuestionScreen, TheFileDialogOpensAFolderAndPicksAFileByClicksOrCancels) {
    play("file \"\\My Documents\\report.txt\" x\nrun kbsettings\ntab 1\nchoose open\n"
         "select 1009 \"Choose Data File...\"\n");
    ScreenModel m = model();
    const handheld::Drawn *list = find(m, emul::ControlKind::ListBox);
    ASSERT_TRUE(list);
    ASSERT_TRUE(find(m, emul::ControlKind::Dialog, u"Open"));
    // From \\My Documents up to the root, where a click on "Windows\\" opens that folder.
    click(*find(m, emul::ControlKind::PushButton, u"Up"));
    auto entryAt = [this](const std::u16string &name) -> std::optional<handheld::Drawn> {
        ScreenModel now = model();
        const handheld::Drawn *l = find(now, emul::ControlKind::ListBox);
        if (!l)
            return std::nullopt;
        for (size_t i = 0; i < l->itemBoxes.size(); ++i)
            if (l->items[size_t(l->topIndex) + i] == name) {
                handheld::Drawn e = *l;
                e.px = l->itemBoxes[i];
                return e;
            }
        return std::nullopt;
    };
    std::optional<handheld::Drawn> windows = entryAt(u"Windows\\");
    ASSERT_TRUE(windows);
    click(*windows);
    // \\Windows has more entries than rows: a click on the scroll bar's lower half pages down
    // until the help page shows; one click on it names it, a second one picks it.
    std::optional<handheld::Drawn> help;
    for (int page = 0; page < 10 && !(help = entryAt(u"Lumakey.htm")); ++page) {
        ScreenModel now = model();
        const handheld::Drawn *l = find(now, emul::ControlKind::ListBox);
        ASSERT_TRUE(l);
        play("tap " + std::to_string(l->px.right - 4) + " " + std::to_string(l->px.bottom - 20) +
             "\n");
    }
    ASSERT_TRUE(help);
    click(*help);
    EXPECT_TRUE(device.journal().grep("GetOpenFileNameW").empty());
    ScreenModel named = model();
    const handheld::Drawn *name = find(named, emul::ControlKind::Edit);
    ASSERT_TRUE(name);
    EXPECT_EQ(name->text, u"Lumakey.htm");
    click(*help);
    std::vector<std::string> asked = device.journal().grep("GetOpenFileNameW");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].find(R"("result":true,"file":"\\Windows\\Lumakey.htm")"), std::string::npos)
        << asked[0];

    play("choose open\nselect 1010 \"Choose Data File...\"\n");
    click(*find(model(), emul::ControlKind::PushButton, u"Cancel"));
    asked = device.journal().grep("GetOpenFileNameW");
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_NE(asked[1].find(R"("result":false)"), std::string::npos) << asked[1];
    ScreenModel after = model();
    EXPECT_FALSE(find(after, emul::ControlKind::ListBox));
}

} // namespace

namespace {

TEST(TerminalLayout, TheScreenFitsFrom42By24WithItsPanelBesideBelowOrNone) {
    handheld::Layout at80 = handheld::layoutFor(80, 24);
    EXPECT_TRUE(at80.fits);
    EXPECT_EQ(at80.panelX, 44); // beside the framed screen, a blank column between
    EXPECT_EQ(at80.panelW, 36);
    EXPECT_EQ(at80.panelH, 22); // between the header and the help line
    handheld::Layout tall = handheld::layoutFor(60, 40);
    EXPECT_TRUE(tall.fits);
    EXPECT_EQ(tall.panelX, 0);
    EXPECT_EQ(tall.panelY, 23);
    EXPECT_EQ(tall.panelH, 16);
    handheld::Layout least = handheld::layoutFor(42, 24);
    EXPECT_TRUE(least.fits);
    EXPECT_EQ(least.panelW, 0);
    EXPECT_FALSE(handheld::layoutFor(41, 24).fits);
    EXPECT_FALSE(handheld::layoutFor(80, 23).fits);
}

// A control too thin to hold a cell's centre pixel is still reached where it is drawn: the
// click taps its nearest pixel.
TEST(ScreenCells, AThinControlBetweenTwoCellCentresIsTappedInside) {
    emul::Program program;
    emul::Device device;
    emul::kern().self()->program = &program;
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"Frame";
    RegisterClassW(&wc);
    HWND frame = CreateWindowExW(0, u"Frame", u"Frame", WS_VISIBLE, 0, 26, 240, 268, nullptr,
                                 nullptr, nullptr, nullptr);
    // Pixel rows 105 to 116: the centres of the cell rows are at 104 and 120.
    HWND thin =
        CreateWindowExW(0, u"Button", u"Thin", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 12,
                        105 - 26, 100, 12, frame, reinterpret_cast<HMENU>(7), nullptr, nullptr);
    ScreenModel m = handheld::screenModel(device.windows().view());
    const handheld::Drawn *d = m.find(reinterpret_cast<uintptr_t>(thin));
    ASSERT_TRUE(d);
    CellRect c = handheld::cellsOf(d->px);
    EXPECT_EQ(c.rows, 1);
    EXPECT_EQ(c.row, 6);
    handheld::PixelPoint p = handheld::tapPoint(m, c.col + 1, c.row);
    EXPECT_TRUE(d->px.contains(p.x, p.y)) << p.x << "," << p.y;
    EXPECT_EQ(handheld::clickAt(m, c.col + 1, c.row).hwnd, reinterpret_cast<uintptr_t>(thin));
    DestroyWindow(frame);
    emul::kern().self()->program = nullptr;
}

} // namespace

namespace {

// A text box shows its caret where it is, its selection reversed, and scrolls to its caret.
TEST(ScreenText, TheCaretAndTheSelectionAreDrawnOnTheirLetters) {
    handheld::ScreenModel m;
    handheld::Drawn box;
    box.hwnd = 1;
    box.kind = emul::ControlKind::Ink;
    box.px = handheld::PixelRect{0, 0, 5 * handheld::kCellWidth, 2 * handheld::kCellHeight};
    box.text = u"Helo\r\nworld, again";
    box.focused = true;
    box.caret = 3;
    box.selStart = 1;
    box.selEnd = 3;
    m.drawn.push_back(box);
    handheld::Picture p;
    handheld::drawModel(m, p);
    EXPECT_EQ(emul::utf8(p.line(0).substr(0, 5)), "Helo ");
    EXPECT_EQ(emul::utf8(p.line(1).substr(0, 5)), "world");
    EXPECT_EQ(p.at(0, 0).attr & handheld::kReverse, 0);
    EXPECT_NE(p.at(1, 0).attr & handheld::kReverse, 0);
    EXPECT_NE(p.at(2, 0).attr & handheld::kReverse, 0);
    EXPECT_EQ(p.at(3, 0).attr & handheld::kReverse, 0);
    EXPECT_NE(p.at(3, 0).attr & handheld::kUnderline, 0); // the caret, before the "o"
    // At the end of a longer text the box shows the caret's line, the caret past the last letter.
    m.drawn[0].caret = -1;
    m.drawn[0].selStart = m.drawn[0].selEnd = 0;
    handheld::Picture end;
    handheld::drawModel(m, end);
    EXPECT_EQ(emul::utf8(end.line(0).substr(0, 5)), ", aga");
    EXPECT_EQ(emul::utf8(end.line(1).substr(0, 5)), "in_  ");
}

} // namespace
