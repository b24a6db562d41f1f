// What the device's screen shows, for drawing and for hits: the window system's view walked into
// the things drawn, each at its pixel rectangle, and the terminal's cells those map to. Every
// front end draws from it, and a click on a cell taps the pixel that cell stands for, which the
// window system hit tests: so a click lands on what is drawn there, and empty space hits nothing.
#pragma once

#include "emul/screen_layout.h"
#include "emul/window_view.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace handheld {

struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool empty() const { return right <= left || bottom <= top; }
};

// One window as the screen draws it.
struct Drawn {
    uintptr_t hwnd = 0, parent = 0;
    const emul::Program *program = nullptr; // null: the platform's own window
    emul::ControlKind kind = emul::ControlKind::Window;
    int id = 0;
    std::u16string className;
    PixelRect px;        // screen pixels
    std::u16string text; // what it reads: "&" marks taken out, a combo box's selected entry
    uint32_t style = 0;
    bool topLevel = false; // a window of its own: its area is cleared before its children
    bool focused = false, enabled = true;
    std::optional<bool> checked;
    std::optional<int> pos, min, max;
    std::vector<std::u16string> items;
    int selected = -1;
    std::vector<PixelRect> itemBoxes; // tabs: where each stands; an open list: each entry shown
    int topIndex = 0;                 // an open list: the entry its first box shows
    // A text box: the caret and the selection, positions in `text`; -1: the caret at the end.
    int caret = -1, selStart = 0, selEnd = 0;
    // A control that a tap does something to (not a label, a frame or a container).
    bool actionable() const;
};

struct ScreenModel {
    uintptr_t foreground = 0;
    std::u16string title;     // the foreground window's, as the task bar names it
    std::vector<Drawn> drawn; // bottom first: each is drawn over the ones before it
    // The window drawn for `hwnd`, or null.
    const Drawn *find(uintptr_t hwnd) const;
};

// Reads the view only: safe anywhere, also inside a wake condition.
ScreenModel screenModel(const emul::WindowView &view);

// The terminal draws the device's pixels in cells of 6 x 16: a cell is as wide as a letter of
// the device's dialog font, so a label fits where the device draws it.
constexpr int kCellWidth = 6, kCellHeight = 16;
constexpr int kScreenCols = emul::screen::kWidth / kCellWidth;
constexpr int kScreenRows = emul::screen::kHeight / kCellHeight;

struct CellRect {
    int col = 0, row = 0, cols = 0, rows = 0;
    bool contains(int c, int r) const {
        return c >= col && c < col + cols && r >= row && r < row + rows;
    }
};

// The cells a rectangle is drawn in: those whose centre pixel lies inside it. A rectangle too
// thin to hold one takes the cell its own centre is in.
CellRect cellsOf(const PixelRect &px);

struct PixelPoint {
    int x = 0, y = 0;
};

// The pixel a click on a cell taps: the cell's centre, unless something is drawn in the cell
// without its centre pixel (a thin rectangle), which is then tapped at its nearest pixel.
PixelPoint tapPoint(const ScreenModel &model, int col, int row);

// An open list's entries are a little lower than a cell: each shown entry takes a row of the
// list's cells of its own, from its first, as many as there are rows; a click there taps the
// entry. The entry (an index into itemBoxes) drawn at a cell of the list, or -1.
int listEntryAt(const Drawn &list, int col, int row);
// The cells of an open list's scroll bar, along its right edge (none when it does not scroll).
CellRect listScrollBar(const Drawn &list);

} // namespace handheld
