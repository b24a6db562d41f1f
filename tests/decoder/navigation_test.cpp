// Navigation, system and application keys: the Fn layer, delivery into an ink control, the
// input panel, the power key, the pen tap and the hot keys.
#include "decoder/builds.h"
#include "support/keys_harness.h"

namespace keytest {
namespace {

class NavigationTest : public KeysTest {
  protected:
    // A program whose ink control lies three levels down, behind a window whose class differs
    // from "richink" only in letter case.
    void InkScene(int inkTop = 0, int inkBottom = 250) {
        app = Window("app", u"App");
        Window("bar", u"toolbar", app, 0, 0, 240, 26);
        uintptr_t pane = Window("pane", u"pane", app, 0, 26, 240, 300);
        uintptr_t frame = Window("frame", u"frame", pane, 0, 0, 240, 274);
        Window("wrong", u"RichInk", frame, 0, 250, 240, 274);
        uintptr_t deep = Window("deep", u"deep", frame, 0, 0, 240, 250);
        ink = Window("ink", u"richink", deep, 0, inkTop, 240, inkBottom);
        Foreground(app);
    }
    uintptr_t app = 0, ink = 0;
};

TEST_F(NavigationTest, FnTurnsTabIntoEscapeButTheReleaseFollowsTheBreakState) {
    Make(34);
    Make(25);
    EXPECT_CALLS(Press(27));
    Break(34);
    Break(25);
    EXPECT_CALLS(Release(9));

    Make(8); // Cmd
    Make(25);
    Break(25);
    EXPECT_CALLS(None());
    EXPECT_EQ(kd.keysDown, 0u);
}

TEST_F(NavigationTest, InkControlGetsTabEnterUpAndDownDirectly) {
    InkScene();
    Make(25);
    EXPECT_CALLS({"PostKeybdMessage ink 9 128 [9] [0]"});
    EXPECT_EQ(kd.richInkWindow, (HWND)ink);
    Break(25);
    EXPECT_CALLS(Release(9));

    Make(65);
    Repeat(65); // every press searches again and posts again
    Break(65);
    EXPECT_CALLS(
        Calls{"PostKeybdMessage ink 13 128 [13] [0]", "PostKeybdMessage ink 13 128 [13] [0]"} +
        Release(13));

    Make(88);
    Make(26);
    Take();
    Make(73);
    EXPECT_CALLS({"PostKeybdMessage ink 38 1610612864 [] []"}); // 0x60000080, no character
    Break(73);
    EXPECT_CALLS(Release(38));
    Break(88);
    Break(26);
    Make(35); // Alt
    Take();
    Make(82);
    EXPECT_CALLS({"PostKeybdMessage ink 40 268435584 [] []"}); // 0x10000080
}

TEST_F(NavigationTest, WithoutInkControlTheKeysAreInjected) {
    app = Window("app", u"App");
    Window("list", u"listbox", app, 0, 26, 240, 300);
    Foreground(app);
    Make(88);
    Make(26);
    Take();
    Make(73);
    Break(73);
    Make(65);
    EXPECT_CALLS(Press(38) + Release(38));
    Break(26);
    Break(88);
    Take();
    Make(65);
    Break(65);
    EXPECT_CALLS(Press(13) + Release(13));
}

TEST_F(NavigationTest, OlderInkControlMustBeTallEnoughAndCoverTheWorkArea) {
    InkScene(0, 19);
    Make(25);
    const Calls toInk{"PostKeybdMessage ink 9 128 [9] [0]"};
    EXPECT_CALLS(ByBuild(toInk, Press(9), toInk));
    EXPECT_EQ(kd.richInkWindow, (HWND)ink); // the found window is kept, only the flag drops
    EXPECT_EQ(kd.richInkFound, ByBuild(1u, 0u, 1u));
}

TEST_F(NavigationTest, OlderInkControlAwayFromTheTopIsPassedOver) {
    InkScene(100, 200); // tall enough, but (30, 50) is another window
    Make(25);
    const Calls toInk{"PostKeybdMessage ink 9 128 [9] [0]"};
    EXPECT_CALLS(ByBuild(toInk, Press(9), toInk));
}

TEST_F(NavigationTest, InkControlOfTwentyPixelsAtTheWorkAreaTopIsUsedInEveryBuild) {
    InkScene(10, 30); // screen rows 36 to 56: covers (30, 50)
    Make(25);
    EXPECT_CALLS({"PostKeybdMessage ink 9 128 [9] [0]"});
}

TEST_F(NavigationTest, RichInkSearchIsPreOrderOverTheForegroundsDescendants) {
    app = Window("app", u"App");
    uintptr_t first = Window("first", u"first", app);
    uintptr_t inner = Window("inner", u"inner", first);
    uintptr_t inkA = Window("inkA", u"richink", inner);
    Window("inkB", u"richink", app);
    Foreground(app);
    EXPECT_EQ(ForegroundHasRichInk(&kd), 1u);
    EXPECT_EQ(kd.richInkWindow, (HWND)inkA);

    // The first child itself.
    uintptr_t other = Window("other", u"Other");
    uintptr_t direct = Window("direct", u"richink", other);
    Window("later", u"richink", other);
    Foreground(other);
    EXPECT_EQ(ForegroundHasRichInk(&kd), 1u);
    EXPECT_EQ(kd.richInkWindow, (HWND)direct);

    // A later sibling of the first child, below a subtree without a match.
    uintptr_t third = Window("third", u"Third");
    uintptr_t a =
        Window("a", u"a", third, 0, 0, 240, 26); // clear of (30, 50) for the CE 4.00 build
    Window("a1", u"RICHINK", a, 0, 0, 120, 26);
    Window("a2", u"richinkx", a, 120, 0, 240, 26);
    uintptr_t b = Window("b", u"b", third);
    uintptr_t b1 = Window("b1", u"richink", b);
    Foreground(third);
    EXPECT_EQ(ForegroundHasRichInk(&kd), 1u);
    EXPECT_EQ(kd.richInkWindow, (HWND)b1);
    EXPECT_CALLS(None()); // the search itself has no effect
}

TEST_F(NavigationTest, RichInkSearchIgnoresTheForegroundWindowItself) {
    kd.richInkWindow = (HWND)0x1234;
    kd.richInkFound = 1;
    Foreground(Window("alone", u"richink"));
    EXPECT_EQ(ForegroundHasRichInk(&kd), 0u);
    EXPECT_EQ(kd.richInkFound, 0u);
    EXPECT_EQ(kd.richInkWindow, (HWND)0x1234);
    uintptr_t parent = Window("parent", u"richink");
    Window("child", u"Static", parent);
    Foreground(parent);
    EXPECT_EQ(ForegroundHasRichInk(&kd), 0u);
    EXPECT_EQ(kd.richInkWindow, (HWND)0x1234);
}

TEST_F(NavigationTest, FnEnterSendsOkOnEveryPressAndNoRelease) {
    app = Window("app", u"App");
    Foreground(app);
    Make(34);
    Make(65);
    Repeat(65);
    Break(65);
    EXPECT_CALLS({"SendMessageW app 273 1 0", "SendMessageW app 273 1 0"});
}

TEST_F(NavigationTest, FnArrowsPageAndJumpAndArrowsTakeModifiersAlong) {
    Make(34);
    Make(73);
    Make(82);
    Make(81);
    Make(83);
    Break(73);
    EXPECT_CALLS(Press(33) + Press(34) + Press(36) + Press(35) + Release(33));
    Break(34);
    Break(82);
    Break(81);
    EXPECT_CALLS(Release(40) + Release(37));
    Make(35); // Alt
    Take();
    Make(83);
    Break(83);
    EXPECT_CALLS(Press(39) + Release(39));
    Make(34); // Fn with Alt: no page keys, and no plain arrows either
    Make(73);
    Make(81);
    Break(34);
    Make(79); // Symbol
    Make(82);
    Make(83);
    EXPECT_CALLS(None());
}

TEST_F(NavigationTest, FnSpaceTogglesTheInputPanelOncePerFreshPress) {
    Make(34);
    Make(23);
    Repeat(23);
    Repeat(23);
    EXPECT_CALLS({"SipShowIM 1"});
    Break(23);
    Make(23);
    EXPECT_CALLS({"SipShowIM 0"});
    Break(34);
    Break(23);
    Make(23);
    EXPECT_CALLS(Release(32) + Press(32));
}

TEST_F(NavigationTest, HeldFnBackspaceStaysThePowerKeyUntilItsBreak) {
    Make(34);
    Make(50);
    EXPECT_CALLS(Press(223) + Notify());
    EXPECT_EQ(kd.fnDown, 0u);         // the power key clears the held layers
    EXPECT_EQ(kd.keysDown, 1u << 26); // but the key's own bit is set after it
    Repeat(50);
    Repeat(50);
    EXPECT_CALLS(Press(223) + Notify() + Press(223) + Notify()); // never a Backspace
    Break(50);
    const Calls powerUp = Release(223) + Notify(); // the older builds release the power key
    EXPECT_CALLS(ByBuild(None(), powerUp, powerUp));
    EXPECT_EQ(kd.keysDown, 0u);
    Break(34);

    // The next Backspace without Fn is an ordinary one again.
    Make(50);
    Repeat(50);
    Break(50);
    EXPECT_CALLS(Press(8) + Press(8) + Release(8));
}

TEST_F(NavigationTest, PowerKeyClearsTheOtherHeldModifiersForGood) {
    Make(88); // Shift
    Make(34);
    Take();
    Make(50);
    Break(50);
    Break(34);
    Break(88); // Shift was cleared without a release: its break finds nothing to release
    Make(17);
    const Calls powerUp = Release(223) + Notify();
    EXPECT_CALLS(Press(223) + Notify() + ByBuild(None(), powerUp, powerUp) + Press(65));
}

TEST_F(NavigationTest, DeleteOnlyPlain) {
    Make(34);
    Make(80);
    Break(80);
    EXPECT_CALLS(None());
    Break(34);
    Make(80);
    Break(80);
    EXPECT_CALLS(Press(46) + Release(46));
}

TEST_F(NavigationTest, PenTapKeyTapsTheTopLeftCorner) {
    const Calls down{"mouse_event 32770 5 5 0 0"}, up{"mouse_event 32772 5 5 0 0"};
    Make(88); // Shift is no layer
    Take();
    Make(55);
    Repeat(55);
    Break(55);
    EXPECT_CALLS(down + up);
    Break(88);
    Make(26); // Ctrl
    Take();
    Make(55);
    Break(55);
    EXPECT_CALLS(None());
    EXPECT_EQ(kd.keysDown, 0u);
}

TEST_F(NavigationTest, PenTapReleasedUnderALayerStillLiftsThePen) {
    const Calls down{"mouse_event 32770 5 5 0 0"}, up{"mouse_event 32772 5 5 0 0"};
    Make(55);
    Make(34);
    Break(55);
    EXPECT_CALLS(down + up);
    EXPECT_EQ(kd.penDown, 0u);

    // A second fresh make while the pen is down makes no second pen-down.
    Break(34);
    Make(55);
    Make(55);
    Break(55);
    Break(55);
    EXPECT_CALLS(down + up);
}

TEST_F(NavigationTest, ApplicationKeysLaunchOnFreshPressesOnly) {
    Make(51);
    Repeat(51);
    Key(179);
    // This device's build number is below 10000.
    EXPECT_CALLS(ByBuild(Launch("tmail.exe"), Launch("tmail.exe"), Launch("pmail.exe")));
    Make(59);
    Make(66);
    Make(74);
    EXPECT_CALLS(Launch("poutlook.exe", " contacts") +
                 ByBuild(Launch("poutlook.exe", " calendar"), Launch("poutlook.exe", " calendar"),
                         Launch("calendar.exe")) +
                 Launch("tasks.exe"));
    Make(34);
    Make(51);
    Make(59);
    Make(66);
    Make(74); // the fourth key with Fn shows the desktop
    EXPECT_CALLS(Launch("Notes.exe") + Launch("pword.exe") + Launch("pxl.exe") +
                 Calls{"SetForegroundWindow DesktopExplorerWindow"} + Notify());
    Break(34);
    Make(26); // Ctrl
    Take();
    Make(51);
    EXPECT_CALLS(None());
    EXPECT_EQ(kd.keysDown, 0u);
}

} // namespace
} // namespace keytest
