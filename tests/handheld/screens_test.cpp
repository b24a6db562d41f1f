// The device's screen pixel for pixel against the golden pictures in tests/golden: the settings
// program's three pages, Notes after typing, and every platform program as it starts.
#include "handheld/keyboard/virtual_keyboard.h"
#include "support/golden.h"
#include "support/installed_device.h"

#include <windows.h>

#include "emul/device.h"
#include "emul/graphics.h"
#include "emul/windows_sys.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

class Screens : public ::testing::Test, protected test_support::InstalledDevice {
  protected:
    ::testing::AssertionResult ScreenIs(const std::string &name) {
        return testgdi::matchesGolden(name, 240, 320, testgdi::screenPixels());
    }
};

TEST_F(Screens, TheSettingsProgramsPages) {
    // A stored assignment, so a row of the Hot-Key page shows an entry.
    Play("set \"Drivers\\BuiltIn\\Norvel\" Fn-1 sz Notes\n"
         "set \"Drivers\\BuiltIn\\Norvel\" \"Delay Time\" dword 1050\n"
         "run kbsettings\n");
    EXPECT_TRUE(ScreenIs("settings_config"));
    Play("tab 1\n");
    EXPECT_TRUE(ScreenIs("settings_hotkey"));
    Play("tab 2\n");
    EXPECT_TRUE(ScreenIs("settings_about"));
    // Back on a page painted before, after a slider moved and the check box was cleared.
    Play("tab 0\nslide 1000 1\nclick 1005\n");
    EXPECT_TRUE(ScreenIs("settings_config_changed"));
}

TEST_F(Screens, TheHotKeyPageWithARowsListOpen) {
    // More shortcuts than the list has rows for: it scrolls.
    for (const char *name : {"Notes", "Calculator", "Mail", "Word", "Clock", "Tasks", "Contacts",
                             "Calendar", "Reader", "Money", "Player", "Explorer", "Help"})
        Play(std::string("file \"\\Windows\\Start Menu\\Programs\\") + name +
             ".lnk\" \"9#x.exe\"\n");
    // Cmd-4's box holds "Clock": its list opens with that entry marked.
    Play("set \"Drivers\\BuiltIn\\Norvel\" Fn-4 sz Clock\n"
         "run kbsettings\ntap 74 285\ntap 130 119\nwait 10\n");
    EXPECT_TRUE(ScreenIs("settings_hotkey_list"));
    // Cmd-2's list opened and closed by a tap beside it: Clock's field shows no mark any more,
    // and Cmd-2's empty field is marked across, as the focused box.
    Play("tap 20 250\ntap 130 77\ntap 20 250\n");
    EXPECT_TRUE(ScreenIs("settings_hotkey_focus"));
}

TEST_F(Screens, TheTaskBarForgetsAProgramThatClosed) {
    Play("run kbsettings\n");
    auto litInTitle = [] {
        // The strip right of Start, where the title and the OK button stand: black when empty.
        std::vector<uint8_t> rgb = testgdi::screenPixels();
        int lit = 0;
        for (int y = 0; y < 26; ++y)
            for (int x = 52; x < 240; ++x)
                lit += rgb[size_t(y * 240 + x) * 3] != 0;
        return lit;
    };
    EXPECT_GT(litInTitle(), 0);
    Play("cancel\n");
    EXPECT_EQ(litInTitle(), 0);
}

TEST_F(Screens, TheSettingsProgramsQuestions) {
    // The reset question over the Config page, as the first switch-on's OK asks it.
    Play("set \"Drivers\\BuiltIn\\Norvel\" \"Enable Keyboard\" dword 0\n"
         "run kbsettings\nclick 1005\nanswer open\nok\n");
    EXPECT_TRUE(ScreenIs("settings_reset_question"));
}

TEST_F(Screens, TheFileDialogFromTheHotKeyPage) {
    // A row's list opened with the pen, and its "Choose Data File..." tapped.
    Play("file \"\\My Documents\\Letters\\to the bank.txt\" x\n"
         "file \"\\My Documents\\Notes.txt\" x\n"
         "file \"\\My Documents\\quarterly report.psw\" x\n"
         "run kbsettings\ntab 1\nchoose open\ntap 130 56\ntap 130 80\n");
    EXPECT_TRUE(ScreenIs("settings_file_dialog"));
}

TEST_F(Screens, TheFileDialogsScrollBarShowsWhereTheListStands) {
    for (int i = 1; i <= 25; ++i)
        Play("file \"\\My Documents\\doc" + std::to_string(100 + i).substr(1) + ".txt\" x\n");
    // A tap on the bar below its thumb: a page down, and the thumb follows.
    Play("run kbsettings\ntab 1\nchoose open\ntap 130 56\ntap 130 80\ntap 228 150\n");
    EXPECT_TRUE(ScreenIs("settings_file_dialog_scrolled"));
}

TEST_F(Screens, TheFileDialogMakesRoomForTheInputPanelAndTakesItBack) {
    Play("file \"\\My Documents\\Notes.txt\" x\n"
         "run kbsettings\ntab 1\nchoose open\ntap 130 56\ntap 130 80\nsip on\nwait 10\n");
    HWND dlg = GetForegroundWindow();
    for (int id : {1104, IDOK, IDCANCEL}) { // the name field and the buttons
        RECT r{};
        GetWindowRect(GetDlgItem(dlg, id), &r);
        EXPECT_LE(r.bottom, 214) << id; // above the panel
    }
    RECT list{};
    GetWindowRect(GetDlgItem(dlg, 1102), &list);
    EXPECT_GT(list.bottom - list.top, 50);
    Play("sip off\nwait 10\n");
    RECT name{};
    GetWindowRect(GetDlgItem(dlg, 1104), &name);
    EXPECT_GT(name.top, 214);
}

// Text typed on the keyboard as scenario lines: every byte it sends on the line, 40 ms apart.
std::string Typed(const std::u16string &text) {
    handheld::KeyMap map("ce420");
    std::string lines;
    handheld::VirtualKeyboard kb(map, [&lines](const std::vector<uint8_t> &bytes) {
        for (uint8_t b : bytes) {
            char line[32];
            std::snprintf(line, sizeof line, "rx %02X\nwait 40\n", b);
            lines += line;
        }
    });
    EXPECT_EQ(kb.typeText(text), u"");
    return lines;
}

TEST_F(Screens, NotesAfterTypingPlainAndAccentedText) {
    std::ifstream in(std::string(TESTS_SOURCE_DIR) + "/scenarios/hello_notes.scn");
    std::stringstream hello;
    hello << in.rdbuf();
    Play(hello.str());
    // Accented letters from the keyboard's Cmd and Symbol layers; the one it lacks, from the
    // input panel, which gives it as a character.
    Play(Typed(u"\r\u00c9t\u00e9 \u00e0 Z\u00fcrich, \u00f1and\u00fa, Stra\u00dfe "));
    device.windows().post(device.windows().focus(), WM_CHAR, u'\u2260', 1);
    Play(Typed(u" \u00bfqu\u00e9?") + "wait 10\n");
    EXPECT_TRUE(ScreenIs("notes_hello"));
}

TEST_F(Screens, NotesWithTheInputPanelUp) {
    Play("run notes\nsip on\nwait 10\n");
    EXPECT_TRUE(ScreenIs("notes_input_panel"));
}

TEST_F(Screens, TheStartMenuAsTheScenarioOpensIt) {
    std::string dir = ::testing::TempDir() + "start-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    runner->outDir = dir;
    std::ifstream in(std::string(TESTS_SOURCE_DIR) + "/scenarios/start_menu.scn");
    std::stringstream scenario;
    scenario << in.rdbuf();
    Play(scenario.str());
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    std::string error;
    ASSERT_TRUE(emul::readPng(dir + "/start_menu.png", &w, &h, &rgb, &error)) << error;
    EXPECT_TRUE(testgdi::matchesGolden("start_menu", w, h, rgb));
    std::filesystem::remove_all(dir);
}

TEST_F(Screens, AScreenshotRightAfterRunShowsTheTaskBarNamingTheProgram) {
    std::string dir = ::testing::TempDir() + "run-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    runner->outDir = dir;
    Play("run explorer\nrun notes\nscreenshot notes.png\n");
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    std::string error;
    ASSERT_TRUE(emul::readPng(dir + "/notes.png", &w, &h, &rgb, &error)) << error;
    std::filesystem::remove_all(dir);
    // The title's white letters on the black bar, right of Start.
    int lit = 0;
    for (int y = 0; y < 26; ++y)
        for (int x = 52; x < 120; ++x)
            lit += rgb[(size_t(y) * 240 + size_t(x)) * 3] > 128;
    EXPECT_GT(lit, 20);
}

TEST_F(Screens, EveryPlatformProgramAsItStarts) {
    const char *programs[] = {"tmail",  "pword",    "pxl",      "tasks",
                              "calc",   "clock",    "iexplore", "fexplore",
                              "player", "peghelp",  "iTask",    "moneyce",
                              "Qstart", "msreader", "poutlook", "poutlook calendar"};
    for (const char *p : programs) {
        std::string name = p;
        Play("run " + name + "\n");
        for (char &c : name)
            c = c == ' ' ? '_' : char(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(ScreenIs("program_" + name)) << p;
        Play("wait 10\n");
        HWND front = reinterpret_cast<HWND>(device.windows().foreground());
        device.windows().post(reinterpret_cast<uintptr_t>(front), WM_CLOSE, 0, 0);
        Play("wait 10\n");
    }
}

} // namespace

namespace {

TEST_F(Screens, AScreenshotIsWrittenWhereAskedAndNowhereElse) {
    std::string dir = ::testing::TempDir() + "shots-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    runner->outDir = dir;
    Play("run notes\nscreenshot notes.png\n");
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    std::string error;
    ASSERT_TRUE(emul::readPng(dir + "/notes.png", &w, &h, &rgb, &error)) << error;
    EXPECT_EQ(rgb, testgdi::screenPixels());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                            std::filesystem::directory_iterator()),
              1);
    // Names that would lead out of the folder are refused before anything is written.
    handheld::ScnError err;
    for (const char *bad : {"screenshot ../up.png\n", "screenshot sub/x.png\n", "screenshot .png\n",
                            "screenshot notes.bmp\n"})
        EXPECT_FALSE(runner->playText(bad, &err)) << bad;
    // A folder that is not there is an error.
    runner->outDir = dir + "/missing";
    EXPECT_FALSE(runner->playText("screenshot x.png\n", &err));
    EXPECT_NE(err.message.find("screenshot"), std::string::npos);
    std::filesystem::remove_all(dir);
}

} // namespace
