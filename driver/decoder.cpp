// The scan-code decoder: one key code (make, or break = make + 128) in, the system's input out,
// chosen from a table indexed by make code and the held modifiers and layers.
#include "keys.h"

#include <sipapi.h>

#define LAUNCH_POWER_DOWN 12
#define LAUNCH_POWER_UP 13

// Row builders. Bits: KEYS(n) / LETTERS(n) / NOBIT. Cmd: DIGIT(d) / CMD(lower, upper) / NOCMD.
// Symbol: SYM(lower, upper) by mixed case, SYM1(c) in both cases, SYMSH(without, with Shift).
#define KEYS(n) BITS_KEYS, n
#define LETTERS(n) BITS_LETTERS, n
#define NOBIT BITS_NONE, 0
#define DIGIT(d) d, 0, 0
#define CMD(lower, upper) NO_DIGIT, lower, upper
#define NOCMD NO_DIGIT, 0, 0
#define SYM(lower, upper) SYM_MIXED, lower, upper
#define SYM1(c) SYM_MIXED, c, c
#define SYMSH(without, with) SYM_BY_SHIFT, without, with
#define NOSYM SYM_NONE, 0, 0

#define CHARKEY(vk, bits, flags, cmd, sym, num)                                                    \
    { KEY_CHAR, vk, bits, flags, cmd, sym, num, 0, 0, 0 }
#define CHARKEY_FN(vk, bits, flags, cmd, sym, num, fnvk)                                           \
    { KEY_CHAR, vk, bits, flags, cmd, sym, num, fnvk, 0, 0 }
#define SPECIAL(kind, bits)                                                                        \
    { kind, 0, bits, 0, NOCMD, NOSYM, 0, 0, 0, 0 }
#define APPKEY(plain, fn)                                                                          \
    { KEY_APP, 0, NOBIT, 0, NOCMD, NOSYM, 0, 0, plain, fn }
#define NOKEY SPECIAL(KEY_NONE, NOBIT)

// What the builds differ in: the older builds' Symbol layer has fewer upper-case and shifted
// characters, holds back more releases under NumLock and presses F7 for Fn with equals.
#if IRK_BUILD == 420
#define SYM_LETTER(base, older) SYM1(base)
#define SYM_UNSHIFTED(c) SYM1(c)
#define SYM_SHIFTED(c) SYM1(c)
#define NUMPAD_HOLDS 0
#define EQUALS_FN_VK 0
#else
#define SYM_LETTER(base, older) SYM(older, 0)
#define SYM_UNSHIFTED(c) SYMSH(c, 0)
#define SYM_SHIFTED(c) SYMSH(0, c)
#define NUMPAD_HOLDS KF_NUMLOCK_HOLDS
#define EQUALS_FN_VK VK_F7
#endif
#if IRK_BUILD == 300
#define MINUS_FLAGS KF_NUMLOCK_NO_BIT
#else
#define MINUS_FLAGS 0
#endif
#define HOLDS KF_NUMLOCK_HOLDS
#define CTRL KF_CTRL_READY

static const KeyEntry keyTable[KEY_TABLE_SIZE] = {
    /*  0 */ NOKEY,
    /*  1 2 */ CHARKEY(50, KEYS(2), 0, DIGIT(2), SYM_UNSHIFTED(189), 0),
    /*  2 */ NOKEY,
    /*  3 Z */ CHARKEY(90, LETTERS(25), 0, CMD(249, 217), SYM(339, 338), 0),
    /*  4 4 */ CHARKEY(52, KEYS(4), 0, DIGIT(4), SYMSH(188, 162), 0),
    /*  5 5 */ CHARKEY(53, KEYS(5), 0, DIGIT(5), NOSYM, 0),
    /*  6 6 */ CHARKEY(54, KEYS(6), 0, DIGIT(6), NOSYM, 0),
    /*  7 7 */ CHARKEY(55, KEYS(7), NUMPAD_HOLDS, DIGIT(7), NOSYM, 55),
    /*  8 Cmd */ SPECIAL(KEY_CMD, NOBIT),
    /*  9 Q */ CHARKEY(81, LETTERS(16), CTRL, CMD(224, 192), SYM_LETTER(164, 164), 0),
    /* 10 W */ CHARKEY(87, LETTERS(22), 0, CMD(225, 193), SYM_LETTER(240, 240), 0),
    /* 11 E */ CHARKEY(69, LETTERS(4), 0, CMD(226, 194), SYM_LETTER(8364, 8364), 0),
    /* 12 R */ CHARKEY(82, LETTERS(17), 0, CMD(227, 195), SYM_LETTER(174, 174), 0),
    /* 13 T */ CHARKEY(84, LETTERS(19), 0, CMD(228, 196), SYM_LETTER(8482, 8482), 0),
    /* 14 Y */ CHARKEY(89, LETTERS(24), 0, CMD(229, 197), SYM_LETTER(165, 165), 0),
    /* 15 ` */ {KEY_GRAVE, 192, KEYS(21), 0, NOCMD, NOSYM, 0, 0, 0, 0},
    /* 16 X */ CHARKEY(88, LETTERS(23), CTRL, CMD(250, 218), NOSYM, 0),
    /* 17 A */ CHARKEY(65, LETTERS(0), CTRL, CMD(236, 204), SYM(230, 198), 0),
    /* 18 S */ CHARKEY(83, LETTERS(18), 0, CMD(237, 205), SYM_LETTER(167, 167), 0),
    /* 19 D */ CHARKEY(68, LETTERS(3), 0, CMD(238, 206), SYM_LETTER(730, 176), 0),
    /* 20 F */ CHARKEY(70, LETTERS(5), 0, CMD(239, 207), SYM_LETTER(402, 402), 0),
    /* 21 G */ CHARKEY(71, LETTERS(6), 0, CMD(242, 210), SYM_LETTER(169, 169), 0),
    /* 22 H */ CHARKEY(72, LETTERS(7), 0, CMD(243, 211), NOSYM, 0),
    /* 23 Space */ SPECIAL(KEY_SPACE, KEYS(22)),
    /* 24 Caps Lock */ SPECIAL(KEY_CAPS, NOBIT),
    /* 25 Tab */ SPECIAL(KEY_TAB, KEYS(19)),
    /* 26 Ctrl */ SPECIAL(KEY_CTRL, NOBIT),
    /* 27 */ NOKEY,
    /* 28 */ NOKEY,
    /* 29 */ NOKEY,
    /* 30 */ NOKEY,
    /* 31 */ NOKEY,
    /* 32 */ NOKEY,
    /* 33 */ NOKEY,
    /* 34 Fn */ SPECIAL(KEY_FN, NOBIT),
    /* 35 Alt */ SPECIAL(KEY_ALT, NOBIT),
    /* 36 */ NOKEY,
    /* 37 */ NOKEY,
    /* 38 */ NOKEY,
    /* 39 */ NOKEY,
    /* 40 */ NOKEY,
    /* 41 */ NOKEY,
    /* 42 */ NOKEY,
    /* 43 */ NOKEY,
    /* 44 C */ CHARKEY(67, LETTERS(2), CTRL, CMD(251, 219), SYM(231, 199), 0),
    /* 45 V */ CHARKEY(86, LETTERS(21), CTRL, CMD(252, 220), NOSYM, 0),
    /* 46 B */ CHARKEY(66, LETTERS(1), 0, CMD(241, 209), SYM_LETTER(223, 223), 0),
    /* 47 N */ CHARKEY(78, LETTERS(13), 0, CMD(253, 221), NOSYM, 0),
    /* 48 - */ CHARKEY(189, KEYS(10), MINUS_FLAGS, NOCMD, SYM_UNSHIFTED(247), 45),
    /* 49 = */ CHARKEY_FN(187, KEYS(11), 0, NOCMD, SYM_SHIFTED(177), 0, EQUALS_FN_VK),
    /* 50 Backspace */ SPECIAL(KEY_BACKSPACE, KEYS(26)),
    /* 51 */ APPKEY(1, 2),
    /* 52 8 */ CHARKEY(56, KEYS(8), NUMPAD_HOLDS, DIGIT(8), NOSYM, 56),
    /* 53 9 */ CHARKEY(57, KEYS(9), NUMPAD_HOLDS, DIGIT(9), NOSYM, 57),
    /* 54 0 */ CHARKEY(48, KEYS(0), 0, DIGIT(0), NOSYM, 47),
    /* 55 pen tap */ SPECIAL(KEY_PEN, KEYS(23)),
    /* 56 [ */ CHARKEY(219, KEYS(12), 0, NOCMD, SYMSH(96, 171), 0),
    /* 57 ] */ CHARKEY(221, KEYS(13), 0, NOCMD, SYMSH(180, 187), 0),
    /* 58 \ */ CHARKEY(220, KEYS(14), 0, NOCMD, SYM_UNSHIFTED(182), 0),
    /* 59 */ APPKEY(3, 4),
    /* 60 U */ CHARKEY(85, LETTERS(20), HOLDS, CMD(232, 200), SYM_LETTER(181, 181), 52),
    /* 61 I */ CHARKEY(73, LETTERS(8), HOLDS, CMD(233, 201), NOSYM, 53),
    /* 62 */ NOKEY,
    /* 63 */ NOKEY,
    /* 64 ' */ CHARKEY(222, KEYS(20), 0, NOCMD, NOSYM, 0),
    /* 65 Enter */ SPECIAL(KEY_ENTER, KEYS(27)),
    /* 66 */ APPKEY(5, 6),
    /* 67 */ NOKEY,
    /* 68 J */ CHARKEY(74, LETTERS(9), HOLDS, CMD(244, 212), NOSYM, 49),
    /* 69 K */ CHARKEY(75, LETTERS(10), HOLDS, CMD(245, 213), NOSYM, 50),
    /* 70 L */ CHARKEY(76, LETTERS(11), HOLDS, CMD(246, 214), NOSYM, 51),
    /* 71 ; */ CHARKEY(186, KEYS(15), 0, NOCMD, NOSYM, 0),
    /* 72 / */ CHARKEY(191, KEYS(18), HOLDS, NOCMD, SYM_SHIFTED(191), 43),
    /* 73 Up */ SPECIAL(KEY_UP, KEYS(28)),
    /* 74 */ APPKEY(7, 9),
    /* 75 */ NOKEY,
    /* 76 M */ CHARKEY(77, LETTERS(12), HOLDS, CMD(255, 376), NOSYM, 48),
    /* 77 , */ CHARKEY(188, KEYS(16), NUMPAD_HOLDS, NOCMD, NOSYM, 44),
    /* 78 . */ CHARKEY(190, KEYS(17), NUMPAD_HOLDS, NOCMD, NOSYM, 46),
    /* 79 Symbol */ SPECIAL(KEY_SYMBOL, NOBIT),
    /* 80 Delete */ SPECIAL(KEY_DELETE, KEYS(25)),
    /* 81 Left */ SPECIAL(KEY_LEFT, KEYS(30)),
    /* 82 Down */ SPECIAL(KEY_DOWN, KEYS(29)),
    /* 83 Right */ SPECIAL(KEY_RIGHT, KEYS(31)),
    /* 84 */ NOKEY,
    /* 85 */ NOKEY,
    /* 86 */ NOKEY,
    /* 87 */ NOKEY,
    /* 88 Shift */ SPECIAL(KEY_SHIFT, NOBIT),
    /* 89 */ NOKEY,
    /* 90 */ NOKEY,
    /* 91 */ NOKEY,
    /* 92 3 */ CHARKEY(51, KEYS(3), 0, DIGIT(3), SYM_UNSHIFTED(190), 0),
    /* 93 1 */ CHARKEY(49, KEYS(1), 0, DIGIT(1), SYM_SHIFTED(161), 0),
    /* 94 O */ CHARKEY(79, LETTERS(14), HOLDS, CMD(234, 202), SYM(248, 216), 54),
    /* 95 P */ CHARKEY(80, LETTERS(15), HOLDS, CMD(235, 203), SYM_LETTER(163, 163), 42),
};

const KeyEntry *KeyTableEntry(DWORD make) {
    return make < KEY_TABLE_SIZE ? &keyTable[make] : NULL;
}

// The virtual key a handler chose; sent at the end of the call.
typedef struct KeyChoice {
    DWORD vk;
    DWORD flags;
} KeyChoice;

static void Choose(KeyChoice *out, DWORD vk, DWORD flags) {
    out->vk = vk;
    out->flags = flags;
}

// Ctrl, Alt, Fn, Cmd and Symbol up; Shift does not matter.
static int PlainReady(const KeyboardDevice *dev) {
    return !dev->ctrlDown && !dev->altDown && !dev->fnDown && !dev->cmdDown && !dev->symbolDown;
}

// Plain-ready, or Ctrl-ready for the letters that Ctrl shortcuts need.
static int KeyReady(const KeyboardDevice *dev, const KeyEntry *e) {
    if (e->flags & KF_CTRL_READY)
        return !dev->altDown && !dev->fnDown && !dev->cmdDown && !dev->symbolDown;
    return PlainReady(dev);
}

// Fn held, Ctrl, Alt, Cmd and Symbol up.
static int FnReady(const KeyboardDevice *dev) {
    return dev->fnDown && !dev->ctrlDown && !dev->altDown && !dev->cmdDown && !dev->symbolDown;
}

// No layer held: the arrows take Ctrl, Alt and Shift along.
static int NoLayer(const KeyboardDevice *dev) {
    return !dev->fnDown && !dev->cmdDown && !dev->symbolDown;
}

// Mixed case of the Cmd and Symbol layers: Caps Lock inverts Shift.
static int UpperCase(const KeyboardDevice *dev) {
    return (dev->shiftDown != 0) != (dev->capsLock != 0);
}

static DWORD *BitSet(KeyboardDevice *dev, const KeyEntry *e) {
    return e->bitSet == BITS_LETTERS ? &dev->lettersDown : &dev->keysDown;
}

// Left and Right press and release the same key, chosen by the state at that moment: Home and
// End with Fn, the arrows with no layer held, nothing with Cmd or Symbol.
static DWORD SideArrowVk(const KeyboardDevice *dev, const KeyEntry *e) {
    if (dev->cmdDown)
        return 0;
    if (FnReady(dev))
        return e->kind == KEY_LEFT ? VK_HOME : VK_END;
    if (NoLayer(dev))
        return e->kind == KEY_LEFT ? VK_LEFT : VK_RIGHT;
    return 0;
}

static void PostToRichInk(KeyboardDevice *dev, DWORD vk, DWORD flags, UINT ch) {
    UINT shiftState[1] = {0};
    UINT chars[1] = {ch};
    PostKeybdMessage(dev->richInkWindow, vk, flags, ch ? 1 : 0, shiftState, chars);
}

// Before a release of a key whose press went to the ink control, give that control the focus so
// the release reaches it too.
static void FocusRichInk(KeyboardDevice *dev) {
    if (dev->richInkFound == 1)
        SetFocus(dev->richInkWindow);
}

static void ToggleInputPanel(void) {
    SIPINFO si;
    memset(&si, 0, sizeof(si));
    si.cbSize = sizeof(SIPINFO);
    if (SipGetInfo(&si))
        SipShowIM((si.fdwFlags & SIPF_ON) ? SIPF_OFF : SIPF_ON);
}

// Make of a character key. Returns 0 when the key's bit must stay clear.
static int CharMake(KeyboardDevice *dev, const KeyEntry *e, DWORD fresh, KeyChoice *out) {
    if (e->numLockChar && dev->numLock) {
        PostCharacter(dev, e->numLockChar, 1);
        return (e->flags & KF_NUMLOCK_NO_BIT) ? 0 : 1;
    }
    if (dev->cmdDown) {
        if (dev->ctrlDown || dev->altDown || dev->fnDown || dev->symbolDown)
            return 1;
        if (e->cmdDigit != NO_DIGIT) {
            if (fresh && !dev->shiftDown)
                LaunchUserProgram(dev, e->cmdDigit);
        } else if (e->cmdLower) {
            PostCharacter(dev, UpperCase(dev) ? e->cmdUpper : e->cmdLower, 1);
        }
        return 1;
    }
    if (dev->symbolDown) {
        WCHAR ch = 0;
        if (dev->ctrlDown || dev->altDown || dev->fnDown)
            return 1;
        if (e->symChoice == SYM_MIXED)
            ch = UpperCase(dev) ? e->symSecond : e->symFirst;
        else if (e->symChoice == SYM_BY_SHIFT)
            ch = dev->shiftDown ? e->symSecond : e->symFirst;
        if (ch)
            PostCharacter(dev, ch, 1);
        return 1;
    }
    if (KeyReady(dev, e))
        Choose(out, e->vk, 0);
    else if (e->fnVk && FnReady(dev))
        Choose(out, e->fnVk, 0);
    return 1;
}

static void CharBreak(KeyboardDevice *dev, const KeyEntry *e, KeyChoice *out) {
    if (!KeyReady(dev, e))
        return;
    if ((e->flags & KF_NUMLOCK_HOLDS) && dev->numLock)
        return;
    Choose(out, e->vk, KEYEVENTF_KEYUP);
}

// Make of every key but the character keys. Returns 0 when the key's bit must stay clear.
static int SpecialMake(KeyboardDevice *dev, const KeyEntry *e, DWORD fresh, KeyChoice *out) {
    DWORD vk;
    switch (e->kind) {
    case KEY_GRAVE:
        Choose(out, e->vk, 0);
        break;
    case KEY_SHIFT:
        dev->shiftDown = 1;
        if (fresh)
            Choose(out, VK_SHIFT, 0);
        break;
    case KEY_CTRL:
        dev->ctrlDown = 1;
        if (fresh)
            Choose(out, VK_CONTROL, 0);
        break;
    case KEY_ALT:
        dev->altDown = 1;
        if (fresh)
            Choose(out, VK_MENU, 0);
        break;
    case KEY_FN:
        dev->fnDown = 1;
        break;
    case KEY_CMD:
        dev->cmdDown = 1;
        break;
    case KEY_SYMBOL:
        dev->symbolDown = 1;
        break;
    case KEY_CAPS:
        if (FnReady(dev)) {
            dev->numLock = !dev->numLock;
        } else {
            dev->capsLock = !dev->capsLock;
            Choose(out, VK_CAPITAL, 0);
        }
        break;
    case KEY_TAB:
        if (dev->cmdDown)
            break;
        if (FnReady(dev))
            Choose(out, VK_ESCAPE, 0);
        else if (PlainReady(dev)) {
            if (ForegroundHasRichInk(dev))
                PostToRichInk(dev, VK_TAB, KeyStateDownFlag, VK_TAB);
            else
                Choose(out, VK_TAB, 0);
        }
        break;
    case KEY_ENTER:
        if (FnReady(dev))
            SendMessageW(GetForegroundWindow(), WM_COMMAND, IDOK, 0);
        else if (PlainReady(dev)) {
            if (ForegroundHasRichInk(dev))
                PostToRichInk(dev, VK_RETURN, KeyStateDownFlag, VK_RETURN);
            else
                Choose(out, VK_RETURN, 0);
        }
        break;
    case KEY_UP:
    case KEY_DOWN:
        if (dev->cmdDown)
            break;
        if (FnReady(dev))
            Choose(out, e->kind == KEY_UP ? VK_PRIOR : VK_NEXT, 0);
        else if (NoLayer(dev)) {
            vk = e->kind == KEY_UP ? VK_UP : VK_DOWN;
            if (ForegroundHasRichInk(dev)) {
                DWORD flags = KeyStateDownFlag;
                if (dev->shiftDown)
                    flags |= KeyShiftAnyShiftFlag;
                if (dev->ctrlDown)
                    flags |= KeyShiftAnyCtrlFlag;
                if (dev->altDown)
                    flags |= KeyShiftAnyAltFlag;
                PostToRichInk(dev, vk, flags, 0);
            } else {
                Choose(out, vk, 0);
            }
        }
        break;
    case KEY_LEFT:
    case KEY_RIGHT:
        Choose(out, SideArrowVk(dev, e), 0);
        break;
    case KEY_SPACE:
        if (FnReady(dev)) {
            if (fresh)
                ToggleInputPanel();
        } else if (PlainReady(dev)) {
            Choose(out, VK_SPACE, 0);
        }
        break;
    case KEY_BACKSPACE:
        // The power key clears Fn, but the Backspace that pressed it stays in the Fn layer until
        // its break: its repeats press the power key again and it never types a Backspace.
        if (FnReady(dev) || (!fresh && dev->powerKeyHeld)) {
            dev->powerKeyHeld = 1;
            LaunchHotKey(dev, LAUNCH_POWER_DOWN);
        } else {
            dev->powerKeyHeld = 0;
            if (PlainReady(dev))
                Choose(out, VK_BACK, 0);
        }
        break;
    case KEY_DELETE:
        if (PlainReady(dev))
            Choose(out, VK_DELETE, 0);
        break;
    case KEY_PEN:
        // One pen-down at a time: a second one would leave the first without its pen-up.
        if (fresh && PlainReady(dev) && !dev->penDown) {
            mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN, 5, 5, 0, 0);
            dev->penDown = 1;
        }
        break;
    case KEY_APP:
        if (!fresh)
            break;
        if (PlainReady(dev))
            LaunchHotKey(dev, e->launchPlain);
        else if (FnReady(dev))
            LaunchHotKey(dev, e->launchFn);
        break;
    default:
        break;
    }
    return 1;
}

// Break of every key but the character keys; a key with a bit has found it set and cleared it.
static void SpecialBreak(KeyboardDevice *dev, const KeyEntry *e, KeyChoice *out) {
    switch (e->kind) {
    case KEY_GRAVE:
        Choose(out, e->vk, KEYEVENTF_KEYUP);
        break;
    case KEY_SHIFT:
        if (dev->shiftDown) {
            dev->shiftDown = 0;
            Choose(out, VK_SHIFT, KEYEVENTF_KEYUP);
        }
        break;
    case KEY_CTRL:
        if (dev->ctrlDown) {
            dev->ctrlDown = 0;
            Choose(out, VK_CONTROL, KEYEVENTF_KEYUP);
        }
        break;
    case KEY_ALT:
        if (dev->altDown) {
            dev->altDown = 0;
            Choose(out, VK_MENU, KEYEVENTF_KEYUP);
        }
        break;
    case KEY_FN:
        dev->fnDown = 0;
        break;
    case KEY_CMD:
        dev->cmdDown = 0;
        break;
    case KEY_SYMBOL:
        dev->symbolDown = 0;
        break;
    case KEY_CAPS:
        // Sent on every break, auto-repeated ones included: Caps Lock has no bit.
        if (!dev->fnDown)
            Choose(out, VK_CAPITAL, KEYEVENTF_KEYUP);
        break;
    case KEY_TAB:
        if (dev->cmdDown)
            break;
        if (FnReady(dev))
            Choose(out, VK_ESCAPE, KEYEVENTF_KEYUP);
        else if (PlainReady(dev)) {
            FocusRichInk(dev);
            Choose(out, VK_TAB, KEYEVENTF_KEYUP);
        }
        break;
    case KEY_ENTER:
        if (PlainReady(dev)) {
            FocusRichInk(dev);
            Choose(out, VK_RETURN, KEYEVENTF_KEYUP);
        }
        break;
    case KEY_UP:
    case KEY_DOWN:
        if (dev->cmdDown)
            break;
        if (FnReady(dev))
            Choose(out, e->kind == KEY_UP ? VK_PRIOR : VK_NEXT, KEYEVENTF_KEYUP);
        else if (NoLayer(dev)) {
            FocusRichInk(dev);
            Choose(out, e->kind == KEY_UP ? VK_UP : VK_DOWN, KEYEVENTF_KEYUP);
        }
        break;
    case KEY_LEFT:
    case KEY_RIGHT:
        Choose(out, SideArrowVk(dev, e), KEYEVENTF_KEYUP);
        break;
    case KEY_SPACE:
        if (PlainReady(dev))
            Choose(out, VK_SPACE, KEYEVENTF_KEYUP);
        break;
    case KEY_BACKSPACE:
        if (dev->powerKeyHeld) {
            dev->powerKeyHeld = 0;
#if IRK_BUILD != 420
            LaunchHotKey(dev, LAUNCH_POWER_UP);
#endif
        } else if (PlainReady(dev)) {
            Choose(out, VK_BACK, KEYEVENTF_KEYUP);
        }
#if IRK_BUILD != 420
        else if (FnReady(dev))
            LaunchHotKey(dev, LAUNCH_POWER_UP);
#endif
        break;
    case KEY_DELETE:
        if (PlainReady(dev))
            Choose(out, VK_DELETE, KEYEVENTF_KEYUP);
        break;
    case KEY_PEN:
        // An outstanding pen-down always gets its pen-up, whatever is held now.
        if (dev->penDown || PlainReady(dev)) {
            mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP, 5, 5, 0, 0);
            dev->penDown = 0;
        }
        break;
    default:
        break;
    }
}

void DecodeKey(KeyboardDevice *dev, DWORD code, DWORD fresh) {
    BYTE keyCode = (BYTE)(code & 0xFF);
    const KeyEntry *e = KeyTableEntry(keyCode & 0x7F);
    KeyChoice out = {0, 0};

    if (!e || e->kind == KEY_NONE)
        return;
    if (keyCode & 0x80) {
        if (e->kind == KEY_APP)
            return;
        if (e->bitSet != BITS_NONE) {
            DWORD *bits = BitSet(dev, e);
            DWORD mask = (DWORD)1 << e->bit;
            // A break whose make was not seen does nothing at all.
            if (!(*bits & mask))
                return;
            *bits &= ~mask;
        }
        if (e->kind == KEY_CHAR)
            CharBreak(dev, e, &out);
        else
            SpecialBreak(dev, e, &out);
    } else {
        int setBit =
            e->kind == KEY_CHAR ? CharMake(dev, e, fresh, &out) : SpecialMake(dev, e, fresh, &out);
        if (setBit && e->bitSet != BITS_NONE)
            *BitSet(dev, e) |= (DWORD)1 << e->bit;
    }
    if (out.vk)
        SendVirtualKey(dev, out.vk, out.flags);
}
