// How the input panel looks: a small keyboard, five rows of key caps on the panel's grey, each a
// white face in a dark frame with its label; a key that is down (under the pen, a latched
// modifier, caps lock, the accented layout) is drawn dark with a white label.
#include "gwes/paint/look.h"
#include "gwes/panel_keys.h"

namespace emul {

namespace {

// Labels in a size smaller than the dialog font, so "Esc" and "Del" fit their caps.
HFONT panelFont(PanelState &state) {
    if (!state.font) {
        LOGFONTW lf{};
        lf.lfHeight = -9;
        lf.lfWeight = FW_NORMAL;
        const char16_t face[] = u"Tahoma";
        std::copy(std::begin(face), std::end(face), lf.lfFaceName);
        state.font = CreateFontIndirectW(&lf);
    }
    return state.font;
}

} // namespace

void paintInputPanel(HDC dc, const RECT &panel, PanelState &state) {
    using namespace look;
    fill(dc, panel, sys(COLOR_BTNFACE));
    hline(dc, panel.left, panel.right, panel.top, sys(COLOR_WINDOWFRAME));
    const PanelRows &rows = panelLayout(state.accents);
    HGDIOBJ old = SelectObject(dc, panelFont(state));
    SetBkMode(dc, TRANSPARENT);
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t i = 0; i < rows[r].size(); ++i) {
            const PanelKey &k = rows[r][i];
            RECT cap = panelKeyRect(panel, rows, r, i);
            bool down = panelKeyDown(state, k, int(r), int(i));
            fill(dc, cap, sys(down ? COLOR_WINDOWTEXT : COLOR_WINDOW));
            frame(dc, cap, sys(COLOR_BTNSHADOW));
            std::u16string label = panelLabel(state, k);
            SetTextColor(dc, sys(down ? COLOR_WINDOW : COLOR_WINDOWTEXT));
            DrawTextW(dc, reinterpret_cast<LPCWSTR>(label.c_str()), int(label.size()), &cap,
                      DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        }
    SelectObject(dc, old);
}

} // namespace emul
