// The task bar's Start menu as a person works it: its entries by name from both folders, an
// entry started by the pen or by the keys, and every way of closing it without starting
// anything, the program in front staying there.
#include "support/golden.h"
#include "support/installed_device.h"

#include <windows.h>

#include "emul/device.h"
#include "emul/files.h"
#include "emul/process.h"
#include "emul/windows_sys.h"

#include <gtest/gtest.h>

namespace {

class StartMenu : public ::testing::Test, protected test_support::InstalledDevice {
  protected:
    StartMenu() {
        Play("file \"\\Windows\\Start Menu\\Programs\\Mail.lnk\" \"9#tmail.exe\"\n"
             "file \"\\Windows\\Start Menu\\Programs\\clock.lnk\" \"9#clock.exe\"\n"
             "file \"\\Windows\\Start Menu\\Programs\\Calculator.lnk\" \"9#pword.exe\"\n"
             "file \"\\Windows\\Start Menu\\Calculator.lnk\" \"8#calc.exe\"\n"
             "file \"\\Windows\\Start Menu\\Programs\\Contacts.lnk\" "
             "\"21#poutlook.exe contacts\"\n"
             "run explorer\nrun notes\n");
    }
    // Every open list, the last opened first.
    std::vector<emul::WindowInfo> Menus() {
        std::vector<emul::WindowInfo> out;
        for (const emul::WindowInfo &w : device.windows().view().snapshot())
            if (w.className == u"StartMenu" && w.visible)
                out.push_back(w);
        return out;
    }
    // A tap on entry `i` of a list.
    void TapEntry(const emul::WindowInfo &menu, size_t i) {
        emul::WindowInfo::Box b = menu.itemBoxes.at(i);
        Play("tap " + std::to_string(b.left + 10) + " " + std::to_string((b.top + b.bottom) / 2) +
             "\nwait 10\n");
    }
    std::optional<emul::WindowInfo> Menu() {
        for (const emul::WindowInfo &w : device.windows().view().snapshot())
            if (w.className == u"StartMenu" && w.visible)
                return w;
        return std::nullopt;
    }
    void Key(BYTE vk) {
        keybd_event(vk, 0, 0, 0);
        keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
        Play("wait 10\n");
    }
    std::u16string Front() {
        const emul::Program *p = device.windows().foregroundProgram();
        return p ? p->name + u" " + p->cmdLine : u"";
    }
};

TEST_F(StartMenu, ATapOnStartListsTheShortcutsAndATapOnOneStartsIt) {
    Play("tap 20 12\n");
    std::optional<emul::WindowInfo> menu = Menu();
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->kind, emul::ControlKind::ListBox);
    // The Start menu folder's own "Calculator" wins over the one of the same name below it.
    EXPECT_EQ(*menu->items,
              (std::vector<std::u16string>{u"Calculator", u"clock", u"Contacts", u"Mail"}));
    EXPECT_EQ(menu->selected, -1);
    ASSERT_EQ(menu->itemBoxes.size(), 4u);
    emul::WindowInfo::Box b = menu->itemBoxes[2];
    Play("tap " + std::to_string(b.left + 10) + " " + std::to_string((b.top + b.bottom) / 2) +
         "\nwait 10\n");
    EXPECT_FALSE(Menu());
    EXPECT_EQ(Front(), u"poutlook.exe contacts");
    Play("tap 20 12\n");
    b = Menu()->itemBoxes[0];
    Play("tap 30 " + std::to_string((b.top + b.bottom) / 2) + "\nwait 10\n");
    EXPECT_EQ(Front(), u"calc.exe ");
}

TEST_F(StartMenu, TheKeysMarkAndStartAnEntryAndALetterAloneStartsIt) {
    // "c" begins three entries: it marks the next of them; "m" begins only Mail: it starts it.
    Play("tap 20 12\n");
    Key('C');
    Key('C');
    EXPECT_EQ(Menu()->selected, 1);
    Key('M');
    EXPECT_FALSE(Menu());
    EXPECT_EQ(Front(), u"tmail.exe ");
    Play("tap 20 12\n");
    Key(VK_DOWN);
    Key(VK_DOWN);
    EXPECT_EQ(Menu()->selected, 1);
    Key(VK_UP);
    Key(VK_UP); // round to the last
    EXPECT_EQ(Menu()->selected, 3);
    Key(VK_ESCAPE);
    EXPECT_FALSE(Menu());
    EXPECT_EQ(Front(), u"tmail.exe ");
    Play("tap 20 12\n");
    Key(VK_DOWN);
    Key(VK_RETURN);
    EXPECT_FALSE(Menu());
    EXPECT_EQ(Front(), u"calc.exe ");
}

TEST_F(StartMenu, ATapOffTheMenuOrOnStartClosesItAndTheProgramInFrontStays) {
    uintptr_t notes = device.windows().foreground();
    for (const char *off : {"tap 200 300\n", "tap 20 12\n", "tap 120 12\n"}) {
        Play("tap 20 12\n");
        ASSERT_TRUE(Menu());
        EXPECT_NE(device.windows().foreground(), notes); // the menu has the keys
        Play(off);
        EXPECT_FALSE(Menu()) << off;
        EXPECT_EQ(device.windows().foreground(), notes) << off;
    }
    // A tap on the task bar beside Start leaves the program in front.
    Play("tap 120 12\n");
    EXPECT_EQ(device.windows().foreground(), notes);
    // A program that comes to the front meanwhile (an application key) closes the menu and
    // stays in front.
    Play("tap 20 12\nrun calc\nwait 10\n");
    EXPECT_FALSE(Menu());
    EXPECT_EQ(Front(), u"calc.exe ");
}

TEST_F(StartMenu, TheTaskBarKeepsTheTitleAndOkOfTheProgramBeneathTheMenu) {
    // The settings program has a menu bar, which stands above its window, and an OK button.
    Play("run kbsettings\nwait 10\n");
    auto titleAndOk = [] {
        std::vector<uint8_t> rgb = testgdi::screenPixels(), bar;
        for (size_t y = 0; y < 26; ++y)
            bar.insert(bar.end(), rgb.begin() + long((y * 240 + 52) * 3),
                       rgb.begin() + long((y + 1) * 240 * 3));
        return bar;
    };
    std::vector<uint8_t> before = titleAndOk();
    // Start is drawn pressed (in the highlight colour) while its menu is open, and only then.
    auto startCorner = [] {
        std::vector<uint8_t> rgb = testgdi::screenPixels();
        return RGB(rgb[(2 * 240 + 2) * 3], rgb[(2 * 240 + 2) * 3 + 1], rgb[(2 * 240 + 2) * 3 + 2]);
    };
    EXPECT_EQ(startCorner(), RGB(0, 0, 0));
    Play("tap 20 12\nwait 10\n");
    ASSERT_TRUE(Menu());
    EXPECT_TRUE(titleAndOk() == before);
    EXPECT_EQ(startCorner(), GetSysColor(COLOR_HIGHLIGHT));
    Play("tap 120 200\nwait 10\n");
    EXPECT_FALSE(Menu());
    EXPECT_EQ(startCorner(), RGB(0, 0, 0));
}

TEST_F(StartMenu, ClosingTheProgramInFrontBringsBackTheOneBeneathWithItsTitle) {
    Play("wait 10\n");
    std::vector<uint8_t> before = testgdi::screenPixels();
    // Its menu bar stands above Notes' window, but Notes is the program that comes back.
    Play("run tasks\nwait 10\nclose tasks\nwait 10\n");
    EXPECT_EQ(GetForegroundWindow(), FindWindowW(u"Notes", nullptr));
    EXPECT_TRUE(testgdi::screenPixels() == before);
}

TEST_F(StartMenu, TheTaskBarStaysInPlaceWhenTheInputPanelComesAndGoes) {
    // Notes' menu bar button shows the panel and hides it again.
    Play("tap 225 307\nwait 10\ntap 225 307\nwait 10\n");
    HWND bar = FindWindowW(u"HHTaskBar", nullptr);
    RECT r{};
    GetWindowRect(bar, &r);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom, 26);
    Play("tap 20 12\n");
    EXPECT_TRUE(Menu());
}

// More shortcuts than rows below the task bar: the menu scrolls, by its scroll bar or to keep
// the marked entry shown, and an entry scrolled into view starts as any other.
TEST_F(StartMenu, AMenuLongerThanTheScreenScrolls) {
    for (int i = 0; i < 20; ++i)
        Play("file \"\\Windows\\Start Menu\\Programs\\Zz" + std::to_string(10 + i) +
             ".lnk\" \"9#clock.exe\"\n");
    Play("tap 20 12\n");
    std::optional<emul::WindowInfo> menu = Menu();
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->items->size(), 24u);
    ASSERT_EQ(menu->itemBoxes.size(), 16u); // as many as fit below the bar
    EXPECT_LE(menu->bottom, 320);
    EXPECT_LT(menu->itemBoxes[0].right, menu->right - 1); // room for the scroll bar
    Play("tap " + std::to_string(menu->right - 5) + " " + std::to_string(menu->bottom - 5) + "\n");
    EXPECT_EQ(Menu()->topIndex, 1); // its bottom square: a row down
    Key(VK_END);
    EXPECT_EQ(Menu()->topIndex, 8);
    EXPECT_EQ(Menu()->selected, 23);
    emul::WindowInfo::Box last = Menu()->itemBoxes.back();
    Play("tap 30 " + std::to_string((last.top + last.bottom) / 2) + "\nwait 10\n");
    EXPECT_FALSE(Menu());
    EXPECT_EQ(Front(), u"clock.exe ");
}

// Subfolders of the Start menu folders open as cascaded lists beside their rows: by the pen
// on the row or sliding across it, by Right or Enter, by their letter. Their shortcuts start
// as the first list's do, closing every list, and a tap off the lists closes them all.
class StartMenuFolders : public StartMenu {
  protected:
    StartMenuFolders() {
        Play("file \"\\Windows\\Start Menu\\Programs\\Games\\Solitaire.lnk\" \"9#clock.exe\"\n"
             "file \"\\Windows\\Start Menu\\Programs\\Games\\Cards\\Hearts.lnk\" "
             "\"8#calc.exe\"\n");
        device.files().makeFolders(u"\\Windows\\Start Menu\\Empty");
    }
    std::vector<std::u16string> Items(const emul::WindowInfo &w) { return *w.items; }
};

TEST_F(StartMenuFolders, TheFoldersComeFirstAndOpenUnderThePen) {
    Play("tap 20 12\n");
    std::vector<emul::WindowInfo> open = Menus();
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(Items(open[0]), (std::vector<std::u16string>{u"Empty", u"Games", u"Calculator",
                                                           u"clock", u"Contacts", u"Mail"}));
    TapEntry(open[0], 1);
    open = Menus();
    ASSERT_EQ(open.size(), 2u);
    EXPECT_EQ(Items(open[0]), (std::vector<std::u16string>{u"Cards", u"Solitaire"}));
    // Beside the folder's row, level with it.
    EXPECT_EQ(open[0].left, open[1].right - 1);
    EXPECT_EQ(open[0].itemBoxes[0].top, open[1].itemBoxes[1].top);
    TapEntry(open[0], 0);
    open = Menus();
    ASSERT_EQ(open.size(), 3u);
    EXPECT_EQ(Items(open[0]), (std::vector<std::u16string>{u"Hearts"}));
    // Another folder of the first list closes what the first one opened.
    TapEntry(open[2], 0);
    open = Menus();
    ASSERT_EQ(open.size(), 2u);
    EXPECT_EQ(Items(open[0]), (std::vector<std::u16string>{u"(Empty)"}));
    TapEntry(open[1], 1);
    TapEntry(Menus()[0], 0);
    TapEntry(Menus()[0], 0); // Hearts
    EXPECT_TRUE(Menus().empty());
    EXPECT_EQ(Front(), u"calc.exe ");
}

TEST_F(StartMenuFolders, ATapOffTheListsOrOnAShortcutOfTheFirstClosesThemAll) {
    uintptr_t notes = device.windows().foreground();
    Play("tap 20 12\n");
    TapEntry(Menus()[0], 1);
    ASSERT_EQ(Menus().size(), 2u);
    Play("tap 200 300\n");
    EXPECT_TRUE(Menus().empty());
    EXPECT_EQ(device.windows().foreground(), notes);
    Play("tap 20 12\n");
    TapEntry(Menus()[0], 1);
    TapEntry(Menus()[1], 5); // Mail, in the first list
    EXPECT_TRUE(Menus().empty());
    EXPECT_EQ(Front(), u"tmail.exe ");
}

TEST_F(StartMenuFolders, ThePenSlidFromStartOpensAFolderAndLiftsOnAShortcut) {
    Play("tap 20 12\n");
    int games = (Menus()[0].itemBoxes[1].top + Menus()[0].itemBoxes[1].bottom) / 2;
    Play("tap 20 12\n"); // closed again
    // Down on Start, across Empty onto Games: lifted on a folder, its list stays open.
    Play("drag 20 12 40 " + std::to_string(games) + "\n");
    std::vector<emul::WindowInfo> open = Menus();
    ASSERT_EQ(open.size(), 2u);
    // In that list, down on Cards (its list opens) and along to Solitaire (it closes again).
    emul::WindowInfo::Box cards = open[0].itemBoxes[0], solitaire = open[0].itemBoxes[1];
    int x = cards.left + 20;
    Play("drag " + std::to_string(x) + " " + std::to_string(cards.top + 5) + " " +
         std::to_string(x) + " " + std::to_string(solitaire.top + 5) + "\nwait 10\n");
    EXPECT_TRUE(Menus().empty());
    EXPECT_EQ(Front(), u"clock.exe ");
}

TEST_F(StartMenuFolders, TheKeysOpenAndLeaveAFolder) {
    Play("tap 20 12\n");
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_RIGHT);
    std::vector<emul::WindowInfo> open = Menus();
    ASSERT_EQ(open.size(), 2u);
    EXPECT_EQ(open[0].selected, 0); // Cards
    Key(VK_DOWN);
    Key(VK_LEFT); // back to the first list, Games still marked
    open = Menus();
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].selected, 1);
    Key(VK_RETURN);
    EXPECT_EQ(Menus().size(), 2u);
    Key(VK_ESCAPE); // one list at a time
    EXPECT_EQ(Menus().size(), 1u);
    Key('G'); // the only entry with G: its folder opens
    EXPECT_EQ(Menus().size(), 2u);
    Key('S');
    EXPECT_TRUE(Menus().empty());
    EXPECT_EQ(Front(), u"clock.exe ");
}

TEST_F(StartMenuFolders, AnOpenFolderOnTheScreen) {
    // The settings program is a module with its own icon; the others get the plain one.
    Play("file \"\\Windows\\Start Menu\\Programs\\Keyboard.lnk\" \"14#kbsettings.exe\"\n"
         "tap 20 12\n");
    TapEntry(Menus()[0], 1);
    EXPECT_TRUE(testgdi::matchesGolden("start_menu_submenu", 240, 320, testgdi::screenPixels()));
}

} // namespace
