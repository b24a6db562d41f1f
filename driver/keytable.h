// The decoder's table, indexed by make code, with the row builders and what the builds differ
// in. Included by the decoder; the build settings must come first.
#ifndef IRK_KEYTABLE_H
#define IRK_KEYTABLE_H

#include "keys.h"

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
    /* 51 */ APPKEY(LAUNCH_MAIL, LAUNCH_NOTES),
    /* 52 8 */ CHARKEY(56, KEYS(8), NUMPAD_HOLDS, DIGIT(8), NOSYM, 56),
    /* 53 9 */ CHARKEY(57, KEYS(9), NUMPAD_HOLDS, DIGIT(9), NOSYM, 57),
    /* 54 0 */ CHARKEY(48, KEYS(0), 0, DIGIT(0), NOSYM, 47),
    /* 55 pen tap */ SPECIAL(KEY_PEN, KEYS(23)),
    /* 56 [ */ CHARKEY(219, KEYS(12), 0, NOCMD, SYMSH(96, 171), 0),
    /* 57 ] */ CHARKEY(221, KEYS(13), 0, NOCMD, SYMSH(180, 187), 0),
    /* 58 \ */ CHARKEY(220, KEYS(14), 0, NOCMD, SYM_UNSHIFTED(182), 0),
    /* 59 */ APPKEY(LAUNCH_CONTACTS, LAUNCH_WORD),
    /* 60 U */ CHARKEY(85, LETTERS(20), HOLDS, CMD(232, 200), SYM_LETTER(181, 181), 52),
    /* 61 I */ CHARKEY(73, LETTERS(8), HOLDS, CMD(233, 201), NOSYM, 53),
    /* 62 */ NOKEY,
    /* 63 */ NOKEY,
    /* 64 ' */ CHARKEY(222, KEYS(20), 0, NOCMD, NOSYM, 0),
    /* 65 Enter */ SPECIAL(KEY_ENTER, KEYS(27)),
    /* 66 */ APPKEY(LAUNCH_CALENDAR, LAUNCH_EXCEL),
    /* 67 */ NOKEY,
    /* 68 J */ CHARKEY(74, LETTERS(9), HOLDS, CMD(244, 212), NOSYM, 49),
    /* 69 K */ CHARKEY(75, LETTERS(10), HOLDS, CMD(245, 213), NOSYM, 50),
    /* 70 L */ CHARKEY(76, LETTERS(11), HOLDS, CMD(246, 214), NOSYM, 51),
    /* 71 ; */ CHARKEY(186, KEYS(15), 0, NOCMD, NOSYM, 0),
    /* 72 / */ CHARKEY(191, KEYS(18), HOLDS, NOCMD, SYM_SHIFTED(191), 43),
    /* 73 Up */ SPECIAL(KEY_UP, KEYS(28)),
    /* 74 */ APPKEY(LAUNCH_TASKS, LAUNCH_DESKTOP),
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

#endif
