// The soft input panel typing into Notes under the pen, as a person taps its key caps: the
// one-shot Shift and Ctl, caps lock, the accented letters, the editing keys, the keys drawn
// down, and the program in front keeping the front and the focus.
#include "support/golden.h"
#include "support/installed_device.h"

#include <sipapi.h>
#include <windows.h>

#include "emul/device.h"
#include "emul/windows_sys.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

namespace {

// Where a person taps each key cap of the panel docked above the menu bar.
struct Spot {
    int x, y;
};
const std::map<std::string, Spot> &caps() {
    static const std::map<std::string, Spot> spots = {
        {"esc", {8, 223}},       {"1", {24, 223}},        {"bksp", {224, 223}},
        {"a", {40, 254}},        {"b", {112, 270}},       {"c", {80, 270}},
        {"d", {72, 254}},        {"h", {120, 254}},       {"i", {144, 238}},
        {"cap", {16, 254}},      {"enter", {224, 254}},   {"shift", {20, 270}},
        {"ctl", {12, 286}},      {"accents", {36, 286}},  {"space", {96, 286}},
        {"left", {168, 286}},    {"right", {184, 286}},   {"del", {228, 286}},
        {"e-acute", {168, 223}}, {"sharp-s", {228, 238}},
    };
    return spots;
}

class InputPanel : public ::testing::Test, protected test_support::InstalledDevice {
  protected:
    InputPanel() {
        Play("run notes\nsip on\n");
        notes = device.windows().foreground();
        document = device.windows().focus();
    }
    void Tap(std::initializer_list<const char *> keys) {
        for (const char *k : keys) {
            Spot s = caps().at(k);
            Play("tap " + std::to_string(s.x) + " " + std::to_string(s.y) + "\n");
        }
        Play("wait 10\n");
    }
    std::u16string Typed() { return device.windows().text(document); }
    // A key cap is drawn down: its face dark where a white face would be, in the face's top
    // line, above the label.
    bool DrawnDown(const char *key) {
        Spot s = caps().at(key);
        int row = (s.y - 215) * 5 / 79, faceTop = 217 + 79 * row / 5;
        std::vector<uint8_t> rgb = testgdi::screenPixels();
        return rgb[(size_t(faceTop) * 240 + size_t(s.x)) * 3] < 128;
    }
    uintptr_t notes = 0, document = 0;
};

TEST_F(InputPanel, ShiftHoldsForOneKeyAndCapsLockUntilTappedAgain) {
    Tap({"shift"});
    EXPECT_TRUE(DrawnDown("shift"));
    Tap({"h", "i", "1"});
    EXPECT_EQ(Typed(), u"Hi1");
    EXPECT_FALSE(DrawnDown("shift"));
    Tap({"cap", "a", "b"});
    EXPECT_TRUE(DrawnDown("cap"));
    // Shift with caps lock on types the small letter, as the keyboard does.
    Tap({"shift", "c", "d", "cap", "a"});
    EXPECT_EQ(Typed(), u"Hi1ABcDa");
    EXPECT_FALSE(DrawnDown("cap"));
    // Tapped twice, Shift lets go without typing anything.
    Tap({"shift", "shift", "h"});
    EXPECT_EQ(Typed(), u"Hi1ABcDah");
}

TEST_F(InputPanel, CtlGoesDownWithTheNextKeyOnly) {
    device.journal().clear();
    Tap({"ctl", "a", "b"});
    std::vector<std::string> keys = device.journal().grep("keybd_event");
    // Ctl down, A down and up, Ctl up; then B alone.
    std::vector<std::string> want = {
        "\"vk\":17,\"scan\":0,\"flags\":0", "\"vk\":65,\"scan\":0,\"flags\":0",
        "\"vk\":65,\"scan\":0,\"flags\":2", "\"vk\":17,\"scan\":0,\"flags\":2",
        "\"vk\":66,\"scan\":0,\"flags\":0", "\"vk\":66,\"scan\":0,\"flags\":2"};
    ASSERT_EQ(keys.size(), want.size());
    for (size_t i = 0; i < keys.size(); ++i)
        EXPECT_NE(keys[i].find(want[i]), std::string::npos) << keys[i];
}

TEST_F(InputPanel, TheAccentedLettersTypeAsCharactersWithCapitalsUnderShift) {
    Tap({"accents"});
    EXPECT_TRUE(DrawnDown("accents"));
    Tap({"e-acute", "shift", "e-acute", "sharp-s", "accents", "a"});
    EXPECT_EQ(Typed(), u"\u00e9\u00c9\u00dfa");
    EXPECT_EQ(device.journal().grep("PostKeybdMessage").size(), 3u);
}

TEST_F(InputPanel, TheEditingKeysDoWhatTheySay) {
    Tap({"a", "b", "c", "left", "left", "bksp", "right", "del", "space", "enter", "d"});
    EXPECT_EQ(Typed(), u"b \r\nd");
    // Escape reaches the document too, and types nothing there.
    Tap({"esc"});
    EXPECT_EQ(Typed(), u"b \r\nd");
}

TEST_F(InputPanel, TheProgramKeepsTheFrontAndTheFocusAndAKeyIsDownWhileThePenIs) {
    Play("drag 40 254 40 255\n"); // a held key, lifted after a move
    Spot a = caps().at("a");
    Play("tap 120 150\n"); // the pen on the document puts its caret back there
    device.journal().clear();
    device.windows().pen(emul::WindowSystem::Pen::Down, a.x, a.y);
    Play("wait 10\n");
    EXPECT_TRUE(DrawnDown("a"));
    EXPECT_EQ(device.journal().grep("keybd_event").size(), 1u); // down, not yet up
    device.windows().pen(emul::WindowSystem::Pen::Up, a.x, a.y);
    Play("wait 10\n");
    EXPECT_FALSE(DrawnDown("a"));
    EXPECT_EQ(device.journal().grep("keybd_event").size(), 2u);
    EXPECT_EQ(Typed(), u"aa");
    EXPECT_EQ(device.windows().foreground(), notes);
    EXPECT_EQ(device.windows().focus(), document);
}

TEST_F(InputPanel, TapsBetweenTheCapsAndOnTheHiddenPanelTypeNothing) {
    device.journal().clear();
    // The line between Esc and 1, the panel's top edge, the gap between two rows.
    Play("tap 16 223\ntap 100 214\ntap 40 246\n");
    EXPECT_TRUE(device.journal().grep("keybd_event").empty());
    Play("sip off\n");
    Tap({"a"});
    EXPECT_TRUE(device.journal().grep("keybd_event").empty());
    EXPECT_EQ(Typed(), u"");
}

TEST_F(InputPanel, TheMenuBarsButtonShowsAndHidesThePanel) {
    Play("sip off\nrun kbsettings\n");
    SIPINFO si{};
    si.cbSize = sizeof(si);
    Play("tap 225 307\n");
    ASSERT_TRUE(SipGetInfo(&si));
    EXPECT_TRUE(si.fdwFlags & SIPF_ON);
    Play("tap 225 307\n");
    ASSERT_TRUE(SipGetInfo(&si));
    EXPECT_FALSE(si.fdwFlags & SIPF_ON);
}

TEST_F(InputPanel, NotesOwnMenuBarButtonShowsItAndNotesMakesRoomForIt) {
    Play("sip off\n");
    auto bottom = [](uintptr_t w) {
        RECT r{};
        GetWindowRect(reinterpret_cast<HWND>(w), &r);
        return r.bottom;
    };
    EXPECT_EQ(bottom(notes), 294); // above its menu bar
    device.journal().clear();
    Play("tap 225 307\n");
    EXPECT_EQ(device.journal().grep("SipShowIM").size(), 1u);
    EXPECT_EQ(bottom(notes), 214);
    EXPECT_EQ(bottom(document), 214);
    // Lines typed on the panel stay in view above it.
    for (int i = 0; i < 14; ++i)
        Tap({"a", "enter"});
    Tap({"b"});
    EXPECT_TRUE(testgdi::matchesGolden("notes_panel_lines", 240, 320, testgdi::screenPixels()));
    Play("tap 225 307\n");
    EXPECT_EQ(bottom(notes), 294);
    EXPECT_EQ(bottom(document), 294);
    EXPECT_EQ(device.windows().focus(), document);
}

TEST_F(InputPanel, TheScenarioTypesHiWithAnAccentOnTheScreen) {
    std::ifstream in(std::string(TESTS_SOURCE_DIR) + "/scenarios/panel_typing.scn");
    std::stringstream scenario;
    scenario << in.rdbuf();
    // The scenario shows the panel itself: hide it first, as a new device has it.
    Play("sip off\n" + scenario.str());
    EXPECT_EQ(Typed(), u"Hi, \u00e9!");
    EXPECT_TRUE(testgdi::matchesGolden("notes_panel_typed", 240, 320, testgdi::screenPixels()));
}

} // namespace
