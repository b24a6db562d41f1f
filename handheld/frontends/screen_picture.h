// The device's screen as cells of text with attributes, drawn from the screen model: what the
// terminal shows and what `play --screen` prints.
#pragma once

#include "frontends/screen_model.h"

#include <cstdint>
#include <string>
#include <vector>

namespace handheld {

enum CellAttr : uint8_t {
    kReverse = 1, // selected, a caption, a highlighted button
    kBold = 2,
    kDim = 4,       // a disabled control
    kUnderline = 8, // the field of a text box
};

struct Cell {
    char16_t ch = u' ';
    uint8_t attr = 0;
};

class Picture {
  public:
    Picture(int cols = kScreenCols, int rows = kScreenRows);
    int cols() const { return cols_; }
    int rows() const { return rows_; }
    const Cell &at(int col, int row) const { return cells_[size_t(row * cols_ + col)]; }
    // Writes text from a cell on, at most `width` cells of it, clipped to the picture.
    void put(int col, int row, const std::u16string &text, int width, uint8_t attr = 0);
    // Blanks a block of cells.
    void fill(const CellRect &r, uint8_t attr = 0);
    void attr(const CellRect &r, uint8_t attr); // adds an attribute to a block
    std::u16string line(int row) const;

  private:
    int cols_, rows_;
    std::vector<Cell> cells_;
};

struct DrawOptions {
    uintptr_t selected = 0; // the control the screen's keys are at, shown reversed
};

// Draws every window of the model at its cells, bottom first.
void drawModel(const ScreenModel &model, Picture &picture, const DrawOptions &options = {});

// What a control shows in one line of text ("[x] Enable", "[COM2: v]", "[ OK ]").
std::u16string controlText(const Drawn &d);

} // namespace handheld
