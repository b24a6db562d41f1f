// Each kind of control drawn in its cells. The device's letters are narrower than a cell, so a
// label may run on into the free cells to its right; a control that acts on a tap keeps to its
// own cells, so that what is drawn of it is where a tap reaches it.
#include "frontends/screen_picture.h"

#include "emul/text.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>

namespace handheld {

using emul::ControlKind;

Picture::Picture(int cols, int rows)
    : cols_(cols), rows_(rows), cells_(size_t(std::max(0, cols * rows))) {}

void Picture::put(int col, int row, const std::u16string &text, int width, uint8_t attr) {
    if (row < 0 || row >= rows_)
        return;
    int n = std::min(int(text.size()), width);
    for (int i = 0; i < n; ++i) {
        int x = col + i;
        if (x < 0 || x >= cols_)
            continue;
        char16_t ch = text[size_t(i)];
        cells_[size_t(row * cols_ + x)] = Cell{ch < u' ' ? u' ' : ch, attr};
    }
}

void Picture::fill(const CellRect &r, uint8_t attr) {
    for (int y = std::max(0, r.row); y < std::min(rows_, r.row + r.rows); ++y)
        for (int x = std::max(0, r.col); x < std::min(cols_, r.col + r.cols); ++x)
            cells_[size_t(y * cols_ + x)] = Cell{u' ', attr};
}

void Picture::attr(const CellRect &r, uint8_t attr) {
    for (int y = std::max(0, r.row); y < std::min(rows_, r.row + r.rows); ++y)
        for (int x = std::max(0, r.col); x < std::min(cols_, r.col + r.cols); ++x)
            cells_[size_t(y * cols_ + x)].attr |= attr;
}

std::u16string Picture::line(int row) const {
    std::u16string s;
    for (int x = 0; x < cols_; ++x)
        s += at(x, row).ch;
    return s;
}

std::u16string controlText(const Drawn &d) {
    switch (d.kind) {
    case ControlKind::CheckBox:
        return std::u16string(d.checked.value_or(false) ? u"[x] " : u"[ ] ") + d.text;
    case ControlKind::RadioButton:
        return std::u16string(d.checked.value_or(false) ? u"(o) " : u"( ) ") + d.text;
    case ControlKind::PushButton:
        return u"[ " + d.text + u" ]";
    case ControlKind::ComboBox:
        return u"[" + d.text + u" v]";
    case ControlKind::Trackbar:
        return d.pos ? emul::utf16(std::to_string(*d.pos)) : u"";
    default:
        return d.text;
    }
}

namespace {

// Text cut into lines of at most `width` cells: at line breaks, and at the last blank that fits
// where a line is too long.
std::vector<std::u16string> wrapped(const std::u16string &text, int width, bool atBlanks) {
    std::vector<std::u16string> lines;
    std::u16string cur;
    size_t w = size_t(std::max(1, width));
    for (char16_t c : text) {
        if (c == u'\r')
            continue;
        if (c == u'\n') {
            lines.push_back(cur);
            cur.clear();
            continue;
        }
        cur += c == u'\t' ? u' ' : c;
        if (cur.size() > w) {
            size_t cut = atBlanks ? cur.rfind(u' ', w) : std::u16string::npos;
            if (cut == std::u16string::npos || cut == 0) {
                lines.push_back(cur.substr(0, w));
                cur = cur.substr(w);
            } else {
                lines.push_back(cur.substr(0, cut));
                cur = cur.substr(cut + 1);
            }
        }
    }
    lines.push_back(cur);
    return lines;
}

// How many cells a label may fill: up to the nearest window beside it on its first row, or to
// its parent's right edge.
int freeCells(const ScreenModel &m, const Drawn &d, const CellRect &c) {
    int edge = emul::screen::kWidth;
    for (const Drawn &o : m.drawn) {
        if (o.hwnd == d.parent)
            edge = std::min(edge, o.px.right);
        else if (o.parent == d.parent && o.hwnd != d.hwnd && o.px.left >= d.px.left + kCellWidth &&
                 o.px.top < d.px.top + kCellHeight && o.px.bottom > d.px.top)
            edge = std::min(edge, o.px.left);
    }
    int free = std::max(0, (edge - c.col * kCellWidth) / kCellWidth);
    return std::max(c.cols, std::min(free, kScreenCols - c.col));
}

// A question's text (in a message box of the platform's own) is read whole: it may run down
// over the rows its box leaves free below it.
int questionRows(const ScreenModel &m, const Drawn &d, const CellRect &c) {
    const Drawn *box = m.find(d.parent);
    if (!box || !box->topLevel || box->kind != ControlKind::Dialog)
        return 0;
    int edge = box->px.bottom;
    for (const Drawn &o : m.drawn)
        if (o.parent == d.parent && o.hwnd != d.hwnd && o.px.top >= d.px.bottom &&
            o.px.left < d.px.right && o.px.right > d.px.left)
            edge = std::min(edge, o.px.top);
    return (edge - kCellHeight / 2 + kCellHeight - 1) / kCellHeight - c.row;
}

void drawLabel(const ScreenModel &m, const Drawn &d, const CellRect &c, Picture &p, uint8_t a) {
    if (d.text.empty())
        return;
    int len = int(d.text.size());
    if ((d.style & 0x1F) == SS_RIGHT && len <= c.cols) {
        p.put(c.col + c.cols - len, c.row, d.text, len, a);
        return;
    }
    if ((d.style & 0x1F) == SS_CENTER && len <= c.cols) {
        p.put(c.col + (c.cols - len) / 2, c.row, d.text, len, a);
        return;
    }
    int width = len > c.cols ? freeCells(m, d, c) : c.cols;
    // Whole words on each of its rows; the last is cut like any label.
    int rows = std::max(1, (d.px.bottom - d.px.top + kCellHeight / 2) / kCellHeight);
    std::vector<std::u16string> lines = wrapped(d.text, width, true);
    if (int(lines.size()) > rows)
        rows = std::max(rows, questionRows(m, d, c));
    for (int i = 0; i < rows && i < int(lines.size()); ++i)
        p.put(c.col, c.row + i, lines[size_t(i)], width, a);
}

void drawText(const Drawn &d, const CellRect &c, Picture &p, uint8_t a) {
    // The whole box, so an empty one shows too.
    if (a & kReverse)
        p.fill(c, kReverse);
    else if (d.kind == ControlKind::Edit)
        p.fill(c, kUnderline);
    a |= d.kind == ControlKind::Edit ? kUnderline : 0;
    // Where each letter stands, lines broken at line breaks and at the box's width; the caret
    // after the last letter stands in a cell of its own.
    int n = int(d.text.size()), caret = d.caret < 0 ? n : std::min(d.caret, n);
    int cols = std::max(1, c.cols);
    std::vector<std::pair<int, int>> at(size_t(n) + 1);
    int row = 0, col = 0;
    for (int i = 0; i <= n; ++i) {
        char16_t ch = i < n ? d.text[size_t(i)] : u' ';
        if (col >= cols && ch != u'\r' && ch != u'\n') {
            ++row;
            col = 0;
        }
        at[size_t(i)] = {row, col};
        if (ch == u'\n') {
            ++row;
            col = 0;
        } else if (ch != u'\r') {
            ++col;
        }
    }
    // The box scrolls so that its caret shows.
    int first = std::max(0, at[size_t(caret)].first - c.rows + 1);
    for (int i = 0; i <= n; ++i) {
        auto [r, x] = at[size_t(i)];
        if (r < first || r >= first + c.rows)
            continue;
        char16_t ch = i < n ? d.text[size_t(i)] : u' ';
        if (ch == u'\r' || ch == u'\n')
            ch = u' ';
        uint8_t cell = a;
        if (i >= d.selStart && i < d.selEnd)
            cell ^= kReverse;
        if (d.focused && i == caret) {
            if (i == n)
                ch = u'_'; // past the end: where the next letter goes
            else
                cell |= kUnderline | kBold;
        }
        if (i < n || (d.focused && i == caret))
            p.put(c.col + x, c.row + r - first, std::u16string(1, ch == u'\t' ? u' ' : ch), 1,
                  cell);
    }
}

void drawTrackbar(const Drawn &d, const CellRect &c, Picture &p, uint8_t a) {
    int inner = std::max(1, c.cols - 2);
    int at = 0;
    if (d.pos && d.min && d.max && *d.max > *d.min)
        at = (*d.pos - *d.min) * (inner - 1) / (*d.max - *d.min);
    std::u16string bar = u"[" + std::u16string(size_t(inner), u'-') + u"]";
    bar[size_t(1 + std::clamp(at, 0, inner - 1))] = u'|';
    p.put(c.col, c.row + (c.rows - 1) / 2, bar, c.cols, a);
}

void drawTabs(const Drawn &d, Picture &p, uint8_t a) {
    for (size_t i = 0; i < d.itemBoxes.size() && i < d.items.size(); ++i) {
        CellRect t = cellsOf(d.itemBoxes[i]);
        bool sel = int(i) == d.selected;
        std::u16string label = d.items[i];
        if (int(label.size()) > t.cols)
            label.resize(size_t(std::max(0, t.cols)));
        p.fill(CellRect{t.col, t.row, t.cols, 1}, sel ? kReverse : 0);
        p.put(t.col + (t.cols - int(label.size())) / 2, t.row, label, t.cols,
              uint8_t((sel ? kReverse : 0) | (a & ~kReverse)));
    }
    if (a & kReverse && !d.itemBoxes.empty())
        p.attr(cellsOf(d.itemBoxes.front()), kBold);
}

// An open list: its entries a row each, the marked one reversed, and its scroll bar.
void drawList(const Drawn &d, const CellRect &c, Picture &p) {
    p.fill(c);
    CellRect bar = listScrollBar(d);
    for (int i = 0; i < c.rows; ++i) {
        int entry = listEntryAt(d, c.col, c.row + i);
        size_t item = size_t(d.topIndex + entry);
        if (entry < 0 || item >= d.items.size())
            continue;
        bool marked = int(item) == d.selected;
        p.fill(CellRect{c.col, c.row + i, c.cols - bar.cols, 1}, marked ? kReverse : 0);
        p.put(c.col, c.row + i, d.items[item], c.cols - bar.cols, marked ? kReverse : 0);
    }
    if (bar.cols > 0 && bar.rows > 0) {
        for (int y = bar.row; y < bar.row + bar.rows; ++y)
            p.put(bar.col, y, std::u16string(size_t(bar.cols), u'|'), bar.cols, kDim);
        p.put(bar.col, bar.row, std::u16string(size_t(bar.cols), u'^'), bar.cols, kReverse);
        p.put(bar.col, bar.row + bar.rows - 1, std::u16string(size_t(bar.cols), u'v'), bar.cols,
              kReverse);
    }
}

void drawOne(const ScreenModel &m, const Drawn &d, Picture &p, const DrawOptions &o) {
    if (d.px.empty())
        return;
    CellRect c = cellsOf(d.px);
    if (d.kind == ControlKind::ListBox) {
        drawList(d, c, p);
        return;
    }
    if (d.topLevel) {
        p.fill(c);
        // The input panel: its keys' letters, a row of them a row of cells.
        static const char16_t *const kPanelRows[] = {
            u"Esc 1 2 3 4 5 6 7 8 9 0 - = Bksp", u"Tab q w e r t y u i o p [ ] \\",
            u"CAP a s d f g h j k l ; ' Enter", u"Shift z x c v b n m , . / Shift",
            u"Ctl \u00e1\u00fc `    v ^ < > Ins Del"};
        if (d.className == u"SipWndClass")
            for (int r = 0; r < c.rows && r < int(std::size(kPanelRows)); ++r)
                p.put(c.col + 1, c.row + r, kPanelRows[r], c.cols - 1, kDim);
        // A program's menu bar: its text, and the input panel's button in its last cells.
        if (d.kind == ControlKind::MenuBar && c.cols > 5) {
            p.put(c.col + 1, c.row + c.rows - 1, d.text, c.cols - 6);
            p.put(c.col + c.cols - 4, c.row + c.rows - 1, u"[kb]", 4, kReverse);
        }
        // A dialog of the platform's own (a message box, the file dialog) has its caption bar.
        if (d.kind == ControlKind::Dialog && (d.style & WS_CAPTION) == WS_CAPTION) {
            std::u16string bar = u" " + d.text;
            bar.resize(std::max(bar.size(), size_t(std::max(0, c.cols))), u' ');
            p.put(c.col, c.row, bar, c.cols, kReverse);
        }
        return;
    }
    uint8_t a =
        uint8_t((o.selected && o.selected == d.hwnd ? kReverse : 0) | (d.enabled ? 0 : kDim));
    switch (d.kind) {
    case ControlKind::Static:
    case ControlKind::GroupBox:
        drawLabel(m, d, c, p, a);
        break;
    case ControlKind::Edit:
    case ControlKind::Ink:
        drawText(d, c, p, a);
        break;
    case ControlKind::Trackbar:
        drawTrackbar(d, c, p, a);
        break;
    case ControlKind::Tabs:
        drawTabs(d, p, a);
        break;
    case ControlKind::PushButton: {
        std::u16string t = controlText(d);
        if (int(t.size()) > c.cols && d.text.size() + 2 <= size_t(c.cols))
            t = u"[" + d.text + u"]"; // "[ Help ]" in 7 cells
        p.put(c.col + std::max(0, (c.cols - int(t.size())) / 2), c.row + (c.rows - 1) / 2, t,
              c.cols, a);
        break;
    }
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
    case ControlKind::ComboBox:
        p.put(c.col, c.row + (c.rows - 1) / 2, controlText(d), c.cols, a);
        break;
    default:
        break;
    }
}

} // namespace

void drawModel(const ScreenModel &model, Picture &picture, const DrawOptions &options) {
    bool menuOpen = std::any_of(model.drawn.begin(), model.drawn.end(),
                                [](const Drawn &d) { return d.className == u"StartMenu"; });
    for (const Drawn &d : model.drawn) {
        drawOne(model, d, picture, options);
        // The task bar names the program in front, after its Start button.
        if (d.topLevel && d.className == u"HHTaskBar" && !model.title.empty() &&
            model.foreground != d.hwnd)
            picture.put(7, cellsOf(d.px).row, model.title, kScreenCols - 7);
        // Start stands out while its menu is open, as the pixels show it pressed.
        const Drawn *bar = model.find(d.parent);
        if (menuOpen && bar && bar->className == u"HHTaskBar" && d.text == u"Start") {
            CellRect c = cellsOf(d.px);
            c.cols = std::min(c.cols, int(d.text.size()));
            picture.attr(c, kReverse);
        }
    }
}

} // namespace handheld
