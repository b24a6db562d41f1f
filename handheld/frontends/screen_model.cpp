// The screen model: the view's windows in drawing order, and the cells they map to.
#include "frontends/screen_model.h"

#include <algorithm>

namespace handheld {

namespace {

using emul::ControlKind;

// A label as people read it: "&Enable" underlines the E on the device; "&&" is one "&".
std::u16string withoutMarks(const std::u16string &text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        out += text[i];
    }
    return out;
}

Drawn drawnOf(const emul::WindowInfo &w, bool topLevel) {
    Drawn d;
    d.hwnd = w.hwnd;
    d.parent = w.parent;
    d.program = w.program;
    d.kind = w.kind;
    d.id = w.id;
    d.className = w.className;
    d.px = PixelRect{w.left, w.top, w.right, w.bottom};
    d.text =
        w.kind == ControlKind::Edit || w.kind == ControlKind::Ink ? w.label : withoutMarks(w.label);
    d.style = w.style;
    d.topLevel = topLevel;
    d.focused = w.focused;
    d.enabled = w.enabled;
    d.checked = w.checked;
    d.pos = w.pos;
    d.min = w.min;
    d.max = w.max;
    if (w.items)
        d.items = *w.items;
    d.selected = w.selected;
    d.topIndex = w.topIndex.value_or(0);
    d.caret = w.caret.value_or(-1);
    d.selStart = w.selStart.value_or(0);
    d.selEnd = w.selEnd.value_or(0);
    for (const emul::WindowInfo::Box &b : w.itemBoxes)
        d.itemBoxes.push_back(PixelRect{b.left, b.top, b.right, b.bottom});
    return d;
}

// A window, then its children from the last to the first: the first child is on top, as the
// window system's hit test finds it.
void walk(const emul::WindowInfo &w, bool topLevel, std::vector<Drawn> &out) {
    if (!w.visible)
        return;
    out.push_back(drawnOf(w, topLevel));
    for (auto it = w.children.rbegin(); it != w.children.rend(); ++it)
        walk(*it, false, out);
}

int floorDiv(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The cells along one axis whose centre lies in [from, to).
void cellSpan(int from, int to, int size, int limit, int *first, int *count) {
    int half = size / 2;
    int a = std::max(0, -floorDiv(-(from - half), size)); // ceil((from - half) / size)
    int b = std::min(limit - 1, floorDiv(to - 1 - half, size));
    if (b >= a) {
        *first = a;
        *count = b - a + 1;
        return;
    }
    // Too thin for any cell's centre: the cell its own centre is in.
    *first = std::clamp(floorDiv(from + to, 2 * size), 0, limit - 1);
    *count = 1;
}

} // namespace

bool Drawn::actionable() const {
    switch (kind) {
    case ControlKind::PushButton:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
    case ControlKind::Edit:
    case ControlKind::Ink:
    case ControlKind::ComboBox:
    case ControlKind::Trackbar:
    case ControlKind::Tabs:
    case ControlKind::ListBox:
    case ControlKind::MenuBar: // its input panel button
        return enabled;
    default:
        return false;
    }
}

const Drawn *ScreenModel::find(uintptr_t hwnd) const {
    for (const Drawn &d : drawn)
        if (d.hwnd == hwnd)
            return &d;
    return nullptr;
}

ScreenModel screenModel(const emul::WindowView &view) {
    ScreenModel m;
    m.foreground = view.foreground();
    std::vector<emul::WindowInfo> tops = view.snapshot();
    // The desktop with the windows made in it at the bottom, then the top-level windows from
    // the bottom of the z-order up.
    for (auto it = tops.rbegin(); it != tops.rend(); ++it)
        walk(*it, true, m.drawn);
    // The program the task bar names; with none, the desktop in front is what the shell shows
    // of it: its desktop window.
    uintptr_t fg = view.taskBarProgram();
    if (!fg)
        fg = m.foreground;
    if (fg == view.desktop())
        for (const emul::WindowInfo &t : tops)
            if (t.className == u"DesktopExplorerWindow")
                fg = t.hwnd;
    if (std::optional<emul::WindowInfo> w = view.window(fg))
        m.title = w->text;
    return m;
}

CellRect cellsOf(const PixelRect &px) {
    CellRect c;
    cellSpan(px.left, px.right, kCellWidth, kScreenCols, &c.col, &c.cols);
    cellSpan(px.top, px.bottom, kCellHeight, kScreenRows, &c.row, &c.rows);
    return c;
}

int listEntryAt(const Drawn &list, int col, int row) {
    if (list.kind != ControlKind::ListBox || list.itemBoxes.empty())
        return -1;
    CellRect c = cellsOf(list.px), bar = listScrollBar(list);
    if (!c.contains(col, row) || bar.contains(col, row))
        return -1;
    int i = row - c.row;
    return i < int(list.itemBoxes.size()) ? i : -1;
}

CellRect listScrollBar(const Drawn &list) {
    CellRect c = cellsOf(list.px);
    if (list.itemBoxes.empty() || list.itemBoxes[0].right >= list.px.right - 1)
        return CellRect{c.col + c.cols, c.row, 0, 0};
    // The cells whose centre is right of the entries.
    CellRect entries =
        cellsOf(PixelRect{list.px.left, list.px.top, list.itemBoxes[0].right, list.px.bottom});
    int from = entries.col + entries.cols;
    return CellRect{from, c.row, c.col + c.cols - from, c.rows};
}

PixelPoint tapPoint(const ScreenModel &model, int col, int row) {
    PixelPoint p{col * kCellWidth + kCellWidth / 2, row * kCellHeight + kCellHeight / 2};
    for (auto it = model.drawn.rbegin(); it != model.drawn.rend(); ++it) {
        if (!cellsOf(it->px).contains(col, row))
            continue;
        if (int i = listEntryAt(*it, col, row); i >= 0) {
            const PixelRect &b = it->itemBoxes[size_t(i)];
            p.y = (b.top + b.bottom) / 2;
            break;
        }
        if (!it->px.contains(p.x, p.y)) {
            p.x = std::clamp(p.x, it->px.left, it->px.right - 1);
            p.y = std::clamp(p.y, it->px.top, it->px.bottom - 1);
        }
        break;
    }
    return p;
}

} // namespace handheld
