// A click becomes the command of the control it reaches: a tab label picks that tab, a slider
// goes to the position under the pen, a text box takes the typing.
#include "frontends/screen_actions.h"

#include "frontends/recorder.h"

#include <windows.h>

#include "emul/text.h"

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
        r.startMenu = p.x < kCellWidth * 7;
        return r;
    }
    if (!d->actionable())
        return r;
    std::string id = std::to_string(d->id);
    switch (d->kind) {
    case ControlKind::Tabs:
        for (size_t i = 0; i < d->itemBoxes.size(); ++i)
            if (d->itemBoxes[i].contains(p.x, p.y))
                r.command = "tab " + std::to_string(i);
        break;
    case ControlKind::Trackbar:
        if (d->pos && d->min && d->max) {
            int width = std::max(1, d->px.right - d->px.left - 1);
            int to = *d->min + (p.x - d->px.left) * (*d->max - *d->min) / width;
            r.command = "slide " + id + " " + std::to_string(std::clamp(to, *d->min, *d->max));
        }
        break;
    case ControlKind::ComboBox:
        // The next entry: what a tap does until the list drops down.
        if (!d->items.empty()) {
            size_t at = d->selected < 0 ? 0 : (size_t(d->selected) + 1) % d->items.size();
            r.command = "select " + id + " " + scenarioWord(emul::utf8(d->items[at]));
        }
        break;
    case ControlKind::Edit:
    case ControlKind::Ink:
        r.typing = true;
        r.command = "click " + id;
        break;
    default:
        r.command = "click " + id;
    }
    return r;
}

} // namespace handheld
