// Character keys through the layers: plain, Ctrl shortcuts, Cmd, Symbol and the NumLock overlay;
// releases decided at break time; modifier and lock keys; repeats; codes without a key.
#include "decoder/builds.h"
#include "support/keys_harness.h"

namespace keytest {
namespace {

using LayersTest = KeysTest;

TEST_F(LayersTest, PlainLetterPressesAndReleasesItsVirtualKey) {
    Make(17);
    EXPECT_CALLS(Press(65));
    EXPECT_EQ(kd.lettersDown, 1u << 0);
    Break(17);
    EXPECT_CALLS(Release(65));
    EXPECT_EQ(kd.lettersDown, 0u);
}

TEST_F(LayersTest, OnlyTheFiveShortcutLettersPassWithCtrl) {
    Make(26);
    EXPECT_CALLS(Press(17));
    for (int make : {17, 44, 9, 45, 16}) { // A C Q V X
        Make(make);
        Break(make);
    }
    EXPECT_CALLS(Press(65) + Release(65) + Press(67) + Release(67) + Press(81) + Release(81) +
                 Press(86) + Release(86) + Press(88) + Release(88));

    Make(18); // S: nothing, but its bit is set, so its break is consumed silently
    EXPECT_CALLS(None());
    EXPECT_EQ(kd.lettersDown, 1u << 18);
    Break(18);
    EXPECT_CALLS(None());
    EXPECT_EQ(kd.lettersDown, 0u);

    Make(35); // Alt stops even the shortcut letters
    Take();
    Make(17);
    EXPECT_CALLS(None());
}

TEST_F(LayersTest, ReleaseFollowsTheStateAtBreakTime) {
    Make(18);
    EXPECT_CALLS(Press(83));
    Make(26);
    Break(18); // released while Ctrl is held: no release
    EXPECT_CALLS(Press(17));
    Break(26);
    Take();

    Make(34);
    Make(18); // pressed with Fn: nothing
    Break(34);
    Break(18); // released after Fn came up: the plain release
    EXPECT_CALLS(Release(83));
}

TEST_F(LayersTest, BreakWithoutItsMakeDoesNothing) {
    Key(129);
    Key(145);
    EXPECT_CALLS(None());
    kd.keysDown = 0xFFFF0000u;
    Make(48);
    EXPECT_EQ(kd.keysDown, 0xFFFF0000u | (1u << 10));
}

TEST_F(LayersTest, GraveAccentIgnoresEveryModifierAndLayer) {
    Make(34);
    Make(24); // NumLock on
    Break(24);
    for (int layer : {26, 35, 8, 79}) // Ctrl, Alt, Cmd, Symbol, with Fn still held
        Make(layer);
    Take();
    Make(15);
    Break(15);
    EXPECT_CALLS(Press(192) + Release(192));
}

TEST_F(LayersTest, CmdLettersFollowShiftAndCapsLockAndRepeat) {
    Make(8); // Cmd
    const struct {
        DWORD shift, caps;
        int ch;
    } cases[] = {{0, 0, 249}, {1, 0, 217}, {0, 1, 217}, {1, 1, 249}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.ch);
        kd.shiftDown = c.shift;
        kd.capsLock = c.caps;
        Make(3);
        Repeat(3);
        EXPECT_CALLS(Char(c.ch) + Char(c.ch));
    }
    kd.shiftDown = 1;
    kd.capsLock = 0;
    Make(76); // M: the upper case lies outside Latin-1
    EXPECT_CALLS(Char(376));
    Break(76); // nothing is posted on a break, and Cmd is no plain state
    EXPECT_CALLS(None());
}

TEST_F(LayersTest, CmdEmitsNothingWithOtherLayersOrOnKeysWithoutCmdCharacter) {
    Make(8); // Cmd
    for (DWORD *other : {&kd.ctrlDown, &kd.altDown, &kd.fnDown, &kd.symbolDown}) {
        *other = 1;
        Make(3);
        Make(93);
        *other = 0;
    }
    Make(48); // minus has no Cmd character
    Make(71);
    EXPECT_CALLS(None());
    EXPECT_EQ(kd.lettersDown, 1u << 25);
    EXPECT_EQ(kd.keysDown, (1u << 1) | (1u << 10) | (1u << 15));
}

TEST_F(LayersTest, CmdDigitStartsItsProgramOnlyFreshAndWithoutShift) {
    SetString(u"Fn-1", u"\\My Documents\\list.txt");
    Make(8); // Cmd
    Make(93);
    EXPECT_CALLS(Launch("\\My Documents\\list.txt"));
    Repeat(93);
    EXPECT_CALLS(None());
    Make(88); // Shift
    Take();
    Make(93);
    EXPECT_CALLS(None());
    Break(88);
    Take();
    Make(54); // digit 0, nothing assigned: the launch finds nothing but still reports activity
    EXPECT_CALLS(Notify());
}

TEST_F(LayersTest, SymbolMixedCaseAndShiftChosenPairs) {
    Make(79); // Symbol
    Make(4);
    kd.capsLock = 1;
    Make(4); // Caps Lock plays no part in a Shift-chosen pair
    kd.shiftDown = 1;
    Make(4);
    EXPECT_CALLS(Char(188) + Char(188) + Char(162));

    kd.shiftDown = 0;
    Make(94); // O by mixed case: Caps Lock alone gives the upper case
    kd.shiftDown = 1;
    Make(94);
    Make(3); // Z with Caps Lock and Shift: lower case in every build
    EXPECT_CALLS(Char(216) + Char(248) + Char(339));

    kd.shiftDown = kd.capsLock = 0;
    Make(11); // the euro sign goes out as one code unit, not truncated
    Repeat(11);
    EXPECT_CALLS(Char(8364) + Char(8364));
}

TEST_F(LayersTest, SymbolNeedsCtrlAltAndFnUp) {
    Make(79); // Symbol
    for (DWORD *other : {&kd.ctrlDown, &kd.altDown, &kd.fnDown}) {
        *other = 1;
        Make(17);
        *other = 0;
    }
    Make(22); // H has no Symbol character
    EXPECT_CALLS(None());
    EXPECT_EQ(kd.lettersDown, (1u << 0) | (1u << 7));
    Break(17);
    EXPECT_CALLS(None());
}

TEST_F(LayersTest, OlderBuildsGiveFewerSymbolCharacters) {
    Make(79); // Symbol
    const struct {
        int make;
        DWORD shift;
        int baseline, older;
    } cases[] = {
        {9, 0, 164, 164},  {9, 1, 164, 0},    // Q
        {19, 0, 730, 176}, {19, 1, 730, 0},   // D: a ring above, a degree sign in the older builds
        {93, 0, 161, 0},   {93, 1, 161, 161}, // 1
        {49, 0, 177, 0},   {49, 1, 177, 177}, // equals
        {1, 0, 189, 189},  {1, 1, 189, 0},    // 2
        {72, 0, 191, 0},   {72, 1, 191, 191}, // slash
        {3, 1, 338, 338},                     // Z keeps both cases
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.make);
        kd.shiftDown = c.shift;
        Make(c.make);
        int expected = ByBuild(c.baseline, c.older, c.older);
        EXPECT_CALLS(expected ? Char(expected) : None());
    }
}

TEST_F(LayersTest, NumLockOverlayWinsOverEveryModifier) {
    Make(34);
    Make(24); // Fn + Caps Lock: the overlay, no key event
    Break(34);
    EXPECT_CALLS(None());
    EXPECT_EQ(kd.numLock, 1u);

    for (int layer : {26, 35, 8}) // Ctrl, Alt, Cmd
        Make(layer);
    Take();
    Make(60);
    Repeat(60);
    EXPECT_CALLS(Char(52) + Char(52));
    for (int layer : {26, 35, 8})
        Break(layer);
    Take();
    Break(60); // U keeps its release back under the overlay
    EXPECT_CALLS(None());
    EXPECT_EQ(kd.lettersDown, 0u);

    Make(54);
    Break(54);
    EXPECT_CALLS(Char(47) + Release(48));

    Make(7);
    Break(7);
    EXPECT_CALLS(ByBuild(Char(55) + Release(55), Char(55), Char(55)));

    Make(48);
    EXPECT_EQ(kd.keysDown & (1u << 10), ByBuild(1u << 10, 1u << 10, 0u));
    Break(48);
    EXPECT_CALLS(ByBuild(Char(45) + Release(189), Char(45) + Release(189), Char(45)));
}

TEST_F(LayersTest, OverlayKeyReleasesOnceTheOverlayIsOff) {
    Make(34); // Fn with Caps Lock: NumLock on
    Make(24);
    Break(24);
    Break(34);
    Make(68); // J gives 1
    Make(34); // and NumLock off again
    Make(24);
    Break(24);
    Break(34);
    Break(68);
    EXPECT_CALLS(Char(49) + Release(74));
}

TEST_F(LayersTest, FnWithEqualsPressesF7OnlyInOlderBuilds) {
    Make(34); // Fn
    Make(49);
    Repeat(49);
    Break(49);
    EXPECT_CALLS(ByBuild(None(), Press(118) + Press(118), Press(118) + Press(118)));
}

TEST_F(LayersTest, ShiftCtrlAndAltPressOnlyWhenFresh) {
    const struct {
        int make, vk;
        DWORD KeyboardDevice::*flag;
    } mods[] = {{88, 16, &KeyboardDevice::shiftDown},
                {26, 17, &KeyboardDevice::ctrlDown},
                {35, 18, &KeyboardDevice::altDown}};
    for (const auto &m : mods) {
        SCOPED_TRACE(m.make);
        Make(m.make);
        EXPECT_CALLS(Press(m.vk));
        kd.*m.flag = 0; // as after a link reset
        Repeat(m.make);
        EXPECT_CALLS(None());
        EXPECT_EQ(kd.*m.flag, 1u);
        Break(m.make);
        Key(m.make + 128, 0);
        EXPECT_CALLS(Release(m.vk));
        Break(m.make); // already up: nothing
        EXPECT_CALLS(None());
    }
}

TEST_F(LayersTest, CapsLockTogglesOnRepeatsAndItsBreakRepeats) {
    Make(24);
    Repeat(24);
    EXPECT_CALLS(Press(20) + Press(20));
    EXPECT_EQ(kd.capsLock, 0u);
    Break(24);
    Key(24 + 128, 0); // the one break that acts again when repeated
    EXPECT_CALLS(Release(20) + Release(20));

    Make(34); // Fn
    Repeat(24);
    Repeat(24);
    Repeat(24);
    Break(24);
    EXPECT_CALLS(None());
    EXPECT_EQ(kd.numLock, 1u);

    Make(26); // Fn with Ctrl is no overlay switch
    Take();
    Make(24);
    EXPECT_CALLS(Press(20));
    EXPECT_EQ(kd.capsLock, 1u);
    EXPECT_EQ(kd.numLock, 1u);
}

TEST_F(LayersTest, RepeatedCharacterKeyPressesAgainAndRepeatedBreakIsIgnored) {
    Make(47);
    Repeat(47);
    Break(47);
    Key(47 + 128, 0);
    EXPECT_CALLS(Press(78) + Press(78) + Release(78));
}

TEST_F(LayersTest, CodesWithoutAKeyChangeNothingInAnyState) {
    std::vector<int> codes = {0,   2,   62,  63,  67,  75,  128, 130,
                              179, 187, 190, 191, 194, 195, 202, 203};
    for (int c = 27; c <= 33; ++c)
        codes.push_back(c);
    for (int c = 36; c <= 43; ++c)
        codes.push_back(c);
    for (int c : {84, 85, 86, 87, 89, 90, 91})
        codes.push_back(c);
    for (int c = 96; c <= 127; ++c)
        codes.push_back(c);
    for (int c : {155, 156, 157, 158, 159, 160, 161, 164, 165, 166, 167,
                  168, 169, 170, 171, 212, 213, 214, 215, 217, 218, 219})
        codes.push_back(c);
    for (int c = 224; c <= 255; ++c)
        codes.push_back(c);

    DWORD KeyboardDevice::*layers[] = {nullptr,
                                       &KeyboardDevice::shiftDown,
                                       &KeyboardDevice::ctrlDown,
                                       &KeyboardDevice::fnDown,
                                       &KeyboardDevice::cmdDown,
                                       &KeyboardDevice::symbolDown,
                                       &KeyboardDevice::numLock};
    SetString(u"Fn-0", u"x.exe");
    for (auto layer : layers) {
        memset(&kd.capsLock, 0,
               offsetof(KeyboardDevice, richInkWindow) - offsetof(KeyboardDevice, capsLock));
        if (layer)
            kd.*layer = 1;
        kd.keysDown = 0xFFFFFFFFu; // every break would find its bit
        kd.lettersDown = 0x03FFFFFFu;
        KeyboardDevice before = kd;
        for (int code : codes) {
            SCOPED_TRACE(code);
            Key(code, 1);
            Key(code, 0);
            Key(code | 0x100, 1); // only the low 8 bits count, so none of these may act either
            EXPECT_EQ(memcmp(&before, &kd, sizeof(kd)), 0);
        }
    }
    EXPECT_CALLS(None());
}

TEST_F(LayersTest, OnlyTheLowEightBitsOfTheCodeCount) {
    Key(0x100 + 17);
    Key(0xFF00 + 145);
    EXPECT_CALLS(Press(65) + Release(65));
}

} // namespace
} // namespace keytest
