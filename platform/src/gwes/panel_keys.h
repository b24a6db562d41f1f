// The input panel's keyboard: its two layouts (plain and accented letters), where each key cap
// lies, and what the panel remembers between taps. Drawn by panel_look.cpp, worked by the pen in
// panel_keys.cpp.
#pragma once

#include "gwes/win_internal.h"

#include <vector>

namespace emul {

enum class PanelAction : uint8_t {
    Key,     // a virtual key, through keybd_event
    Char,    // a character with no key of its own, through PostKeybdMessage
    Shift,   // one-shot: applies to the next key
    Ctrl,    // one-shot, like Shift
    Caps,    // caps lock, which the keyboard shares
    Accents, // switches between the two layouts
};

struct PanelKey {
    const char16_t *label;
    const char16_t *shifted; // null: the same as `label`
    int units;               // width in half keys; every row is 30 of them
    PanelAction action;
    uint16_t code; // Key: the virtual key; Char: the character, `shifted`'s first the capital
};

using PanelRows = std::vector<std::vector<PanelKey>>;

constexpr int kPanelRowUnits = 30;

const PanelRows &panelLayout(bool accents);

// What the panel remembers: latched modifiers, the layout, and the key under the pen.
struct PanelState : ControlData {
    bool shift = false, ctrl = false, accents = false;
    int row = -1, index = -1; // the key held down, -1 for none
    bool sentShift = false, sentCtrl = false;
    HFONT font = nullptr; // the labels' font, made at the first paint
};

// A key cap's face inside the panel (`panel` in the panel window's coordinates).
RECT panelKeyRect(const RECT &panel, const PanelRows &rows, size_t row, size_t index);
// The key cap under a point, false for the gaps between caps and the panel's edge.
bool panelKeyAt(const RECT &panel, const PanelRows &rows, int x, int y, int *row, int *index);
// Whether a key is drawn pressed: held by the pen, a latched modifier, caps lock on, the
// accented layout shown.
bool panelKeyDown(const PanelState &s, const PanelKey &k, int row, int index);
// The label as the key would type now: capitals with Shift or caps lock, Shift's symbols.
std::u16string panelLabel(const PanelState &s, const PanelKey &k);
bool capsLockOn();
// The panel drawn in `panel` (panel_look.cpp).
void paintInputPanel(HDC dc, const RECT &panel, PanelState &state);

// The pen on the panel, in the panel window's coordinates.
void panelPen(Window *panel, WindowSystem::Pen what, int x, int y);

} // namespace emul
