// How the input panel looks: a small keyboard, five rows of key caps with their letters on the
// panel's grey.
#include "gwes/paint/look.h"

#include <vector>

namespace emul {

namespace {

// One key: its label and its width in half-key units; every row is 30 of them wide.
struct Cap {
    const char16_t *label;
    int units;
};

constexpr int kRowUnits = 30;

const std::vector<std::vector<Cap>> &keyRows() {
    static const std::vector<std::vector<Cap>> rows = {
        {{u"Esc", 2},
         {u"1", 2},
         {u"2", 2},
         {u"3", 2},
         {u"4", 2},
         {u"5", 2},
         {u"6", 2},
         {u"7", 2},
         {u"8", 2},
         {u"9", 2},
         {u"0", 2},
         {u"-", 2},
         {u"=", 2},
         {u"Bksp", 4}},
        {{u"Tab", 3},
         {u"q", 2},
         {u"w", 2},
         {u"e", 2},
         {u"r", 2},
         {u"t", 2},
         {u"y", 2},
         {u"u", 2},
         {u"i", 2},
         {u"o", 2},
         {u"p", 2},
         {u"[", 2},
         {u"]", 2},
         {u"\\", 3}},
        {{u"CAP", 4},
         {u"a", 2},
         {u"s", 2},
         {u"d", 2},
         {u"f", 2},
         {u"g", 2},
         {u"h", 2},
         {u"j", 2},
         {u"k", 2},
         {u"l", 2},
         {u";", 2},
         {u"'", 2},
         {u"Enter", 4}},
        {{u"Shift", 5},
         {u"z", 2},
         {u"x", 2},
         {u"c", 2},
         {u"v", 2},
         {u"b", 2},
         {u"n", 2},
         {u"m", 2},
         {u",", 2},
         {u".", 2},
         {u"/", 2},
         {u"Shift", 5}},
        {{u"Ctl", 3}, {u"\u00e1\u00fc", 3}, {u"`", 2}, {u"", 16}, {u"Ins", 3}, {u"Del", 3}},
    };
    return rows;
}

} // namespace

void paintInputPanel(HDC dc, const RECT &panel) {
    using namespace look;
    fill(dc, panel, sys(COLOR_BTNFACE));
    hline(dc, panel.left, panel.right, panel.top, sys(COLOR_WINDOWFRAME));
    const auto &rows = keyRows();
    int width = panel.right - panel.left, height = panel.bottom - panel.top - 1;
    for (size_t r = 0; r < rows.size(); ++r) {
        int top = panel.top + 1 + height * int(r) / int(rows.size());
        int bottom = panel.top + 1 + height * int(r + 1) / int(rows.size());
        int units = 0;
        for (const Cap &c : rows[r]) {
            int left = panel.left + width * units / kRowUnits;
            units += c.units;
            int right = panel.left + width * units / kRowUnits;
            // Caps one pixel apart, each a white face in a dark frame.
            RECT key{left + 1, top + 1, right, bottom};
            fill(dc, key, sys(COLOR_WINDOW));
            frame(dc, key, sys(COLOR_BTNSHADOW));
            text(dc, c.label, key, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX,
                 sys(COLOR_WINDOWTEXT));
        }
    }
}

} // namespace emul
