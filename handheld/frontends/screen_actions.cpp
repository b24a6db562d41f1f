// A click is a tap of the pen where the cell stands, on a control the window system finds there;
// the task bar beside its Start button is the screen's own list of running programs.
#include "frontends/screen_actions.h"

#include <windows.h>

#include <algorithm>

namespace handheld {

using emul::ControlKind;

ClickResult clickAt(const ScreenModel &model, int col, int row) {
    ClickResult r;
    if (col < 0 || row < 0 || col >= kScreenCols || row >= kScreenRows)
        return r;
    PixelPoint p = tapPoint(model, col, row);
    r.hwnd = reinterpret_cast<uintptr_t>(WindowFromPoint(POINT{p.x, p.y}));
    const Drawn *d = model.find(r.hwnd);
    if (!d)
        return r;
    const Drawn *parent = model.find(d->parent);
    if (d->className == u"HHTaskBar" || (parent && parent->className == u"HHTaskBar")) {
        // Start is the platform's: its menu then has the keys.
        r.programs = p.x >= kCellWidth * 7;
        r.command = r.programs ? "" : tapStart(model);
        r.typing = !r.programs;
        return r;
    }
    // An open list holds the pen: a tap anywhere else closes it.
    bool listOpen = std::any_of(model.drawn.begin(), model.drawn.end(),
                                [](const Drawn &w) { return w.kind == ControlKind::ListBox; });
    if (!d->actionable() && !listOpen)
        return r;
    // The pen on the glass: the control does with it what it does with a tap.
    r.command = "tap " + std::to_string(p.x) + " " + std::to_string(p.y);
    r.typing = d->kind == ControlKind::Edit || d->kind == ControlKind::Ink;
    return r;
}

std::string tapStart(const ScreenModel &model) {
    for (const Drawn &d : model.drawn) {
        const Drawn *bar = model.find(d.parent);
        if (bar && bar->className == u"HHTaskBar" && d.text == u"Start" && !d.px.empty())
            return "tap " + std::to_string((d.px.left + d.px.right) / 2) + " " +
                   std::to_string((d.px.top + d.px.bottom) / 2);
    }
    return "";
}

} // namespace handheld
