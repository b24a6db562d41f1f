// Every character key of the keyboard, row by row, in the build under test: its plain virtual
// key, its Cmd character in both cases (or the program of its digit), its Symbol character in
// every Shift and Caps Lock state and its NumLock character, each driven by key codes.
#include "decoder/builds.h"
#include "support/keys_harness.h"

namespace keytest {
namespace {

// How a row's Symbol layer chooses: one character in every state, lower/upper by the mixed case,
// or without/with Shift.
enum Sym { NONE, ONE, MIXED, SHIFT };

struct Row {
    int make, vk, digit; // digit -1: no program; Cmd characters then in cmdLower/cmdUpper
    int cmdLower, cmdUpper;
    Sym sym;
    int sym1, sym2;
    int num; // NumLock character, 0: none
};

// The keyboard's character keys as the baseline has them (grave accent aside: it ignores every
// layer and has its own test).
const Row kRows[] = {
    {93, 49, 1, 0, 0, ONE, 161, 0, 0},
    {1, 50, 2, 0, 0, ONE, 189, 0, 0},
    {92, 51, 3, 0, 0, ONE, 190, 0, 0},
    {4, 52, 4, 0, 0, SHIFT, 188, 162, 0},
    {5, 53, 5, 0, 0, NONE, 0, 0, 0},
    {6, 54, 6, 0, 0, NONE, 0, 0, 0},
    {7, 55, 7, 0, 0, NONE, 0, 0, 55},
    {52, 56, 8, 0, 0, NONE, 0, 0, 56},
    {53, 57, 9, 0, 0, NONE, 0, 0, 57},
    {54, 48, 0, 0, 0, NONE, 0, 0, 47},
    {48, 189, -1, 0, 0, ONE, 247, 0, 45},
    {49, 187, -1, 0, 0, ONE, 177, 0, 0},
    {9, 81, -1, 224, 192, ONE, 164, 0, 0},
    {10, 87, -1, 225, 193, ONE, 240, 0, 0},
    {11, 69, -1, 226, 194, ONE, 8364, 0, 0},
    {12, 82, -1, 227, 195, ONE, 174, 0, 0},
    {13, 84, -1, 228, 196, ONE, 8482, 0, 0},
    {14, 89, -1, 229, 197, ONE, 165, 0, 0},
    {60, 85, -1, 232, 200, ONE, 181, 0, 52},
    {61, 73, -1, 233, 201, NONE, 0, 0, 53},
    {94, 79, -1, 234, 202, MIXED, 248, 216, 54},
    {95, 80, -1, 235, 203, ONE, 163, 0, 42},
    {56, 219, -1, 0, 0, SHIFT, 96, 171, 0},
    {57, 221, -1, 0, 0, SHIFT, 180, 187, 0},
    {58, 220, -1, 0, 0, ONE, 182, 0, 0},
    {17, 65, -1, 236, 204, MIXED, 230, 198, 0},
    {18, 83, -1, 237, 205, ONE, 167, 0, 0},
    {19, 68, -1, 238, 206, ONE, 730, 0, 0},
    {20, 70, -1, 239, 207, ONE, 402, 0, 0},
    {21, 71, -1, 242, 210, ONE, 169, 0, 0},
    {22, 72, -1, 243, 211, NONE, 0, 0, 0},
    {68, 74, -1, 244, 212, NONE, 0, 0, 49},
    {69, 75, -1, 245, 213, NONE, 0, 0, 50},
    {70, 76, -1, 246, 214, NONE, 0, 0, 51},
    {71, 186, -1, 0, 0, NONE, 0, 0, 0},
    {64, 222, -1, 0, 0, NONE, 0, 0, 0},
    {3, 90, -1, 249, 217, MIXED, 339, 338, 0},
    {16, 88, -1, 250, 218, NONE, 0, 0, 0},
    {44, 67, -1, 251, 219, MIXED, 231, 199, 0},
    {45, 86, -1, 252, 220, NONE, 0, 0, 0},
    {46, 66, -1, 241, 209, ONE, 223, 0, 0},
    {47, 78, -1, 253, 221, NONE, 0, 0, 0},
    {76, 77, -1, 255, 376, NONE, 0, 0, 48},
    {77, 188, -1, 0, 0, NONE, 0, 0, 44},
    {78, 190, -1, 0, 0, NONE, 0, 0, 46},
    {72, 191, -1, 0, 0, ONE, 191, 0, 43},
};

// The older builds' smaller Symbol layer: these letters only in lower case, these other keys only
// without or only with Shift.
Row ForBuild(Row r) {
    if (BaselineBuild())
        return r;
    switch (r.make) {
    case 9:
    case 10:
    case 11:
    case 12:
    case 13:
    case 14:
    case 18:
    case 20:
    case 21:
    case 46:
    case 60:
    case 95:
        r.sym = MIXED, r.sym2 = 0;
        break;
    case 19:
        r.sym = MIXED, r.sym1 = 176, r.sym2 = 0;
        break;
    case 1:
    case 48:
    case 58:
    case 92:
        r.sym = SHIFT, r.sym2 = 0;
        break;
    case 49:
    case 72:
    case 93:
        r.sym = SHIFT, r.sym2 = r.sym1, r.sym1 = 0;
        break;
    default:
        break;
    }
    return r;
}

int SymbolChar(const Row &r, bool shift, bool caps) {
    switch (r.sym) {
    case ONE:
        return r.sym1;
    case MIXED:
        return shift != caps ? r.sym2 : r.sym1;
    case SHIFT:
        return shift ? r.sym2 : r.sym1;
    default:
        return 0;
    }
}

class TableTest : public KeysTest {
  protected:
    TableTest() {
        for (int d = 0; d <= 9; ++d)
            SetString(u"Fn-" + U16(std::to_string(d)), U16("digit" + std::to_string(d) + ".exe"));
    }
    // Make of the key in the given state; what it emitted. Everything set up is undone after.
    Calls Typed(const Row &r, int layer, bool shift, bool caps) {
        if (caps) {
            Make(24);
            Break(24);
        }
        if (shift)
            Make(88);
        if (layer)
            Make(layer);
        Take();
        Make(r.make);
        Calls out = Take();
        Break(r.make);
        if (layer)
            Break(layer);
        if (shift)
            Break(88);
        if (caps) {
            Make(24);
            Break(24);
        }
        Take();
        return out;
    }
};

TEST_F(TableTest, EveryCharacterKeyInEveryLayer) {
    for (Row r : kRows) {
        r = ForBuild(r);
        SCOPED_TRACE("make " + std::to_string(r.make));
        Make(r.make);
        Break(r.make);
        EXPECT_CALLS(Press(r.vk) + Release(r.vk));

        for (bool shift : {false, true}) {
            for (bool caps : {false, true}) {
                SCOPED_TRACE(std::string(shift ? "Shift " : "") + (caps ? "Caps Lock" : ""));
                Calls cmd = None();
                if (r.digit >= 0 && !shift)
                    cmd = Launch("digit" + std::to_string(r.digit) + ".exe");
                else if (r.cmdLower)
                    cmd = Char(shift != caps ? r.cmdUpper : r.cmdLower);
                EXPECT_EQ(Typed(r, 8, shift, caps), cmd) << "Cmd";
                int sym = SymbolChar(r, shift, caps);
                EXPECT_EQ(Typed(r, 79, shift, caps), sym ? Char(sym) : None()) << "Symbol";
            }
        }

        // NumLock on (Fn with Caps Lock), then off again.
        Make(34);
        Make(24);
        Break(24);
        Break(34);
        Take();
        Make(r.make);
        Calls num = Take();
        Break(r.make);
        Make(34);
        Make(24);
        Break(24);
        Break(34);
        Take();
        if (r.num)
            EXPECT_EQ(num, Char(r.num)) << "NumLock";
        else
            EXPECT_EQ(num, Press(r.vk)) << "NumLock";
        EXPECT_EQ(kd.keysDown | kd.lettersDown, 0u);
    }
}

TEST_F(TableTest, FnWithTheCtrlReadyLettersGivesNothing) {
    for (int make : {17, 44, 9, 45, 16}) {
        SCOPED_TRACE(make);
        Make(34);
        Make(make);
        Break(make);
        Break(34);
        EXPECT_CALLS(None());
        EXPECT_EQ(kd.lettersDown, 0u);
    }
}

} // namespace
} // namespace keytest
