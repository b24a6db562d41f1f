// The input panel's keyboard under the pen. A key goes down when the pen touches its cap and up
// when the pen lifts, through the same calls the keyboards use, to the focus of the program in
// front; the panel takes neither the focus nor the front. Shift and Ctl hold for the next key
// only; CAP is the keyboard's own caps lock; "áü" swaps in the accented letters.
#include "gwes/panel_keys.h"

#include "gwes/paint/paint.h"

namespace emul {

namespace {

using A = PanelAction;

constexpr PanelKey key(const char16_t *label, int units, uint16_t vk,
                       const char16_t *shifted = nullptr) {
    return PanelKey{label, shifted, units, A::Key, vk};
}
constexpr PanelKey letter(const char16_t *label, const char16_t *capital) {
    return PanelKey{label, capital, 2, A::Key, uint16_t(capital[0])};
}
// A character of the accented layout: `capital` is what Shift or caps lock type.
constexpr PanelKey accented(const char16_t *label, const char16_t *capital, int units = 2) {
    return PanelKey{label, capital, units, A::Char, uint16_t(label[0])};
}

const std::vector<PanelKey> &bottomRow() {
    static const std::vector<PanelKey> row = {
        {u"Ctl", nullptr, 3, A::Ctrl, VK_CONTROL},
        {u"\u00e1\u00fc", nullptr, 3, A::Accents, 0},
        key(u"`", 2, VK_BACKQUOTE, u"~"),
        key(u"", 8, VK_SPACE),
        key(u"\u2193", 2, VK_DOWN),
        key(u"\u2191", 2, VK_UP),
        key(u"\u2190", 2, VK_LEFT),
        key(u"\u2192", 2, VK_RIGHT),
        key(u"Ins", 3, VK_INSERT),
        key(u"Del", 3, VK_DELETE),
    };
    return row;
}

PanelRows plainRows() {
    PanelRows rows(5);
    rows[0] = {key(u"Esc", 2, VK_ESCAPE)};
    const char16_t *digits = u"1234567890", *symbols = u"!@#$%^&*()";
    static char16_t labels[10][2][2];
    for (int i = 0; i < 10; ++i) {
        labels[i][0][0] = digits[i];
        labels[i][1][0] = symbols[i];
        rows[0].push_back(key(labels[i][0], 2, uint16_t(digits[i]), labels[i][1]));
    }
    rows[0].insert(rows[0].end(), {key(u"-", 2, VK_HYPHEN, u"_"), key(u"=", 2, VK_EQUAL, u"+"),
                                   key(u"Bksp", 4, VK_BACK)});
    rows[1] = {key(u"Tab", 3, VK_TAB),
               letter(u"q", u"Q"),
               letter(u"w", u"W"),
               letter(u"e", u"E"),
               letter(u"r", u"R"),
               letter(u"t", u"T"),
               letter(u"y", u"Y"),
               letter(u"u", u"U"),
               letter(u"i", u"I"),
               letter(u"o", u"O"),
               letter(u"p", u"P"),
               key(u"[", 2, VK_LBRACKET, u"{"),
               key(u"]", 2, VK_RBRACKET, u"}"),
               key(u"\\", 3, VK_BACKSLASH, u"|")};
    rows[2] = {{u"CAP", nullptr, 4, A::Caps, VK_CAPITAL},
               letter(u"a", u"A"),
               letter(u"s", u"S"),
               letter(u"d", u"D"),
               letter(u"f", u"F"),
               letter(u"g", u"G"),
               letter(u"h", u"H"),
               letter(u"j", u"J"),
               letter(u"k", u"K"),
               letter(u"l", u"L"),
               key(u";", 2, VK_SEMICOLON, u":"),
               key(u"'", 2, VK_APOSTROPHE, u"\""),
               key(u"Enter", 4, VK_RETURN)};
    rows[3] = {{u"Shift", nullptr, 5, A::Shift, VK_SHIFT},
               letter(u"z", u"Z"),
               letter(u"x", u"X"),
               letter(u"c", u"C"),
               letter(u"v", u"V"),
               letter(u"b", u"B"),
               letter(u"n", u"N"),
               letter(u"m", u"M"),
               key(u",", 2, VK_COMMA, u"<"),
               key(u".", 2, VK_PERIOD, u">"),
               key(u"/", 2, VK_SLASH, u"?"),
               {u"Shift", nullptr, 5, A::Shift, VK_SHIFT}};
    rows[4] = bottomRow();
    return rows;
}

// Western European letters and the signs a keyboard of the US layout lacks.
PanelRows accentedRows() {
    PanelRows rows(5);
    rows[0] = {key(u"Esc", 2, VK_ESCAPE)};
    const char16_t *small = u"\u00e0\u00e1\u00e2\u00e4\u00e3\u00e5\u00e6\u00e7\u00e8\u00e9\u00ea"
                            u"\u00eb\u00ec\u00ed\u00ee\u00ef\u00f1\u00f2\u00f3\u00f4\u00f6\u00f5"
                            u"\u00f8\u0153\u00f9\u00fa\u00fb\u00fc\u00fd\u00ff";
    const char16_t *capital = u"\u00c0\u00c1\u00c2\u00c4\u00c3\u00c5\u00c6\u00c7\u00c8\u00c9"
                              u"\u00ca\u00cb\u00cc\u00cd\u00ce\u00cf\u00d1\u00d2\u00d3\u00d4"
                              u"\u00d6\u00d5\u00d8\u0152\u00d9\u00da\u00db\u00dc\u00dd\u0178";
    const char16_t *signs = u"\u00a1\u00bf\u00ab\u00bb\u00b0\u20ac\u00a3\u00a5\u00a2\u00a7"
                            u"\u00b6\u00a9\u00ae\u00b1\u00f7";
    static char16_t letters[30][2][2], marks[15][2];
    for (int i = 0; i < 30; ++i) {
        letters[i][0][0] = small[i];
        letters[i][1][0] = capital[i];
    }
    for (int i = 0; i < 15; ++i)
        marks[i][0] = signs[i];
    auto letterKey = [&](int i) { return accented(letters[i][0], letters[i][1]); };
    auto markKey = [&](int i) { return accented(marks[i], marks[i]); };
    for (int i = 0; i < 12; ++i)
        rows[0].push_back(letterKey(i));
    rows[0].push_back(key(u"Bksp", 4, VK_BACK));
    rows[1] = {key(u"Tab", 3, VK_TAB)};
    for (int i = 12; i < 24; ++i)
        rows[1].push_back(letterKey(i));
    rows[1].push_back(accented(u"\u00df", u"\u00df", 3));
    rows[2] = {{u"CAP", nullptr, 4, A::Caps, VK_CAPITAL}};
    for (int i = 24; i < 30; ++i)
        rows[2].push_back(letterKey(i));
    for (int i = 0; i < 5; ++i)
        rows[2].push_back(markKey(i));
    rows[2].push_back(key(u"Enter", 4, VK_RETURN));
    rows[3] = {{u"Shift", nullptr, 5, A::Shift, VK_SHIFT}};
    for (int i = 5; i < 15; ++i)
        rows[3].push_back(markKey(i));
    rows[3].push_back({u"Shift", nullptr, 5, A::Shift, VK_SHIFT});
    rows[4] = bottomRow();
    return rows;
}

bool isLetter(const PanelKey &k) {
    if (k.action == A::Key)
        return k.code >= 'A' && k.code <= 'Z';
    return k.action == A::Char && k.shifted && k.shifted[0] != k.label[0];
}

PanelState &stateOf(Window *panel) {
    return *controlData<PanelState>(panel);
}

void redraw(Window *panel) {
    invalidate(panel, nullptr, true);
}

void sendKey(uint16_t vk, bool up) {
    keybd_event(BYTE(vk), 0, up ? KEYEVENTF_KEYUP : 0, 0);
}

// A character of the accented layout, as an input method types what no key makes.
void sendChar(char16_t c) {
    UINT shift = KeyStateDownFlag, ch = c;
    PostKeybdMessage(reinterpret_cast<HWND>(-1), 0, KeyStateDownFlag, 1, &shift, &ch);
}

void pressKey(Window *panel, int row, int index) {
    PanelState &s = stateOf(panel);
    const PanelKey &k = panelLayout(s.accents)[size_t(row)][size_t(index)];
    switch (k.action) {
    case A::Shift:
        s.shift = !s.shift;
        break;
    case A::Ctrl:
        s.ctrl = !s.ctrl;
        break;
    case A::Accents:
        s.accents = !s.accents;
        break;
    case A::Caps:
        s.row = row;
        s.index = index;
        sendKey(VK_CAPITAL, false);
        break;
    case A::Char:
        s.row = row;
        s.index = index;
        sendChar(panelLabel(s, k)[0]);
        break;
    case A::Key:
        s.row = row;
        s.index = index;
        s.sentCtrl = s.ctrl;
        s.sentShift = s.shift;
        if (s.sentCtrl)
            sendKey(VK_CONTROL, false);
        if (s.sentShift)
            sendKey(VK_SHIFT, false);
        sendKey(k.code, false);
        break;
    }
    redraw(panel);
}

// The pen lifts: the held key goes up, and the one-shot modifiers with it.
void releaseKey(Window *panel) {
    PanelState &s = stateOf(panel);
    if (s.row < 0)
        return;
    const PanelKey &k = panelLayout(s.accents)[size_t(s.row)][size_t(s.index)];
    s.row = s.index = -1;
    if (k.action == A::Caps) {
        sendKey(VK_CAPITAL, true);
    } else if (k.action == A::Key) {
        sendKey(k.code, true);
        if (s.sentShift)
            sendKey(VK_SHIFT, true);
        if (s.sentCtrl)
            sendKey(VK_CONTROL, true);
    }
    if (k.action == A::Key || k.action == A::Char)
        s.shift = s.ctrl = s.sentShift = s.sentCtrl = false;
    redraw(panel);
}

} // namespace

const PanelRows &panelLayout(bool accents) {
    static const PanelRows plain = plainRows(), withAccents = accentedRows();
    return accents ? withAccents : plain;
}

RECT panelKeyRect(const RECT &panel, const PanelRows &rows, size_t row, size_t index) {
    int width = panel.right - panel.left, height = panel.bottom - panel.top - 1;
    int n = int(rows.size());
    int top = panel.top + 1 + height * int(row) / n;
    int bottom = panel.top + 1 + height * int(row + 1) / n;
    int units = 0;
    for (size_t i = 0; i < index; ++i)
        units += rows[row][i].units;
    int left = panel.left + width * units / kPanelRowUnits;
    int right = panel.left + width * (units + rows[row][index].units) / kPanelRowUnits;
    // Caps one pixel apart.
    return RECT{left + 1, top + 1, right, bottom};
}

bool panelKeyAt(const RECT &panel, const PanelRows &rows, int x, int y, int *row, int *index) {
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t i = 0; i < rows[r].size(); ++i) {
            RECT k = panelKeyRect(panel, rows, r, i);
            if (x >= k.left && x < k.right && y >= k.top && y < k.bottom) {
                *row = int(r);
                *index = int(i);
                return true;
            }
        }
    return false;
}

bool capsLockOn() {
    return (wins().mods & kModCaps) != 0;
}

bool panelKeyDown(const PanelState &s, const PanelKey &k, int row, int index) {
    switch (k.action) {
    case A::Shift:
        return s.shift;
    case A::Ctrl:
        return s.ctrl;
    case A::Accents:
        return s.accents;
    case A::Caps:
        return capsLockOn();
    default:
        return row == s.row && index == s.index;
    }
}

std::u16string panelLabel(const PanelState &s, const PanelKey &k) {
    bool shifted = isLetter(k) ? s.shift != capsLockOn() : s.shift;
    return shifted && k.shifted ? k.shifted : k.label;
}

void panelPen(Window *panel, WindowSystem::Pen what, int x, int y) {
    using Pen = WindowSystem::Pen;
    if (what == Pen::Up) {
        releaseKey(panel);
        return;
    }
    if (what != Pen::Down)
        return;
    // A second pen-down before the lift (a lost lift) lets the first key go first.
    releaseKey(panel);
    RECT whole{0, 0, panel->right - panel->left, panel->bottom - panel->top};
    int row = -1, index = -1;
    if (panelKeyAt(whole, panelLayout(stateOf(panel).accents), x, y, &row, &index))
        pressKey(panel, row, index);
}

} // namespace emul
