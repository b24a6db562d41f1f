// The screen as the terminal draws it and as a click reaches it: a click at the centre of every
// control drawn on each page of the settings program, and of every button and entry of the
// questions put to the person, reaches that one and no other; a click on a tab label picks that
// tab, and a click on empty space reaches nothing.
#include "handheld/frontends/questions.h"
#include "handheld/frontends/recorder.h"
#include "handheld/frontends/screen_actions.h"
#include "handheld/frontends/screen_picture.h"
#include "handheld/image/install.h"
#include "handheld/scenario/scenario.h"

#include <windows.h>

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

// The controls of the program in front: what the screen draws after its top-level window.
std::vector<handheld::Drawn> controlsInFront(const ScreenModel &m) {
    std::vector<handheld::Drawn> out;
    bool front = false;
    for (const handheld::Drawn &d : m.drawn) {
        if (d.topLevel)
            front = d.hwnd == m.foreground;
        else if (front && d.actionable())
            out.push_back(d);
    }
    return out;
}

void expectEveryControlHitAtItsCentre(const ScreenModel &m, const std::string &page) {
    std::vector<handheld::Drawn> controls = controlsInFront(m);
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

// The questions a program puts to the person at the terminal: a click at the centre of every
// button or entry drawn reaches that one and no other.
class QuestionScreen : public ::testing::Test {
  protected:
    QuestionScreen() : questions(device, recorder) { handheld::install(device); }
    // Asks on a thread of its own, as a program does, and waits until the question is up.
    template <class Ask> void ask(Ask fn) {
        answered = false;
        device.kernel().spawn("asker", [this, fn] {
            fn();
            answered = true;
            return 0u;
        });
        device.kernel().block([this] { return questions.pending(); }, emul::kNever);
    }
    void waitAnswered() {
        device.kernel().block([this] { return answered; }, emul::kNever);
    }
    handheld::Picture drawn() {
        handheld::Picture p;
        questions.draw(p, 2);
        return p;
    }
    static std::string at(const handheld::Picture &p, const CellRect &c) {
        return emul::utf8(p.line(c.row).substr(size_t(c.col), size_t(c.cols)));
    }
    emul::Device device;
    handheld::SessionRecorder recorder;
    handheld::Questions questions;
    bool answered = false;
};

TEST_F(QuestionScreen, EachButtonOfTheResetQuestionIsClickedWhereItIsDrawn) {
    const int buttons[] = {IDYES, IDNO};
    const char *labels[] = {"[ Yes ]", "[ No ]"};
    for (int i = 0; i < 2; ++i) {
        int result = 0;
        ask([&] {
            result = questions.messageBox(u"Do you want to reset your device now?", u"Keyboard",
                                          MB_YESNO);
        });
        handheld::Picture p = drawn();
        std::vector<CellRect> cells = questions.clickable();
        ASSERT_EQ(cells.size(), 2u);
        EXPECT_EQ(at(p, cells[0]), labels[0]);
        EXPECT_EQ(at(p, cells[1]), labels[1]);
        // Beside the buttons, nothing.
        questions.click(cells[0].col - 1, cells[0].row);
        questions.click(cells[1].col + cells[1].cols + 1, cells[1].row);
        EXPECT_TRUE(questions.pending());
        const CellRect &c = cells[size_t(i)];
        questions.click(c.col + c.cols / 2, c.row);
        waitAnswered();
        EXPECT_EQ(result, buttons[i]);
    }
}

TEST_F(QuestionScreen, TheFileDialogOpensTheEntryClickedAndCancelsAtItsButton) {
    std::optional<std::u16string> chosen;
    ask([&] { chosen = questions.openFile(u"\\Windows"); });
    handheld::Picture p = drawn();
    std::vector<CellRect> cells = questions.clickable();
    ASSERT_GT(cells.size(), 3u);
    EXPECT_EQ(at(p, cells[0]), "[ Cancel ]");
    // The entries after the button, one row each: "..", then the folders, then the files.
    size_t file = 0;
    for (size_t i = 1; i < cells.size(); ++i)
        if (at(p, cells[i]).find("Lumakey.htm") != std::string::npos)
            file = i;
    ASSERT_NE(file, 0u);
    questions.click(cells[file].col + cells[file].cols / 2, cells[file].row);
    waitAnswered();
    EXPECT_EQ(chosen, std::optional<std::u16string>(u"\\Windows\\Lumakey.htm"));

    ask([&] { chosen = questions.openFile(u"\\Windows"); });
    drawn();
    cells = questions.clickable();
    questions.click(cells[0].col + cells[0].cols / 2, cells[0].row);
    waitAnswered();
    EXPECT_FALSE(chosen);
}

} // namespace
