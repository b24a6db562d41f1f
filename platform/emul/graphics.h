// The device's screen as the host sees it: one frame buffer of 240 x 320 pixels at 16 bits a
// pixel (RGB565), drawn by the platform's graphics calls and read by every viewer (the window,
// the terminal screen, screenshots, tests).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct tagRECT;
struct HWND__;

namespace emul {

class ChangeCount;

// What a window's device context needs from the window system: where the window is on the
// screen and which parts of it may be drawn on. The window system implements it and hands it
// to Graphics::setWindowSource; until then the graphics calls ask the public window calls.
class WindowDcSource {
  public:
    struct Rect {
        int left, top, right, bottom;
    };
    struct Geometry {
        int originX = 0, originY = 0; // screen position of the DC's (0, 0)
        std::vector<Rect> visible;    // screen rectangles the DC may draw on, not overlapping
    };
    virtual ~WindowDcSource() = default;
    // False when `hwnd` is no live window. `whole`: the window's rectangle (GetWindowDC), else
    // its client area (GetDC, BeginPaint).
    virtual bool geometry(HWND__ *hwnd, bool whole, Geometry *out) = 0;
    // BeginPaint: the update region in screen coordinates (empty: nothing to paint) and whether
    // the background wants erasing; the window counts as validated afterwards.
    virtual bool takeUpdate(HWND__ *hwnd, std::vector<Rect> *update, bool *erase) = 0;
    // BeginPaint's WM_ERASEBKGND: true when the window erased its background.
    virtual bool eraseBackground(HWND__ *hwnd, void *dc);
    // EndPaint: the paint is over (the caret may be shown again).
    virtual void endPaint(HWND__ *hwnd) { (void)hwnd; }
};

class Graphics {
  public:
    static constexpr int kWidth = 240, kHeight = 320;

    Graphics();
    ~Graphics();
    Graphics(const Graphics &) = delete;
    Graphics &operator=(const Graphics &) = delete;

    // Pixels in rows of kWidth, top row first, RGB565.
    const uint16_t *frame() const;
    // The bounding box of what was drawn on the screen since the last call (empty when none),
    // so a viewer uploads only that.
    WindowDcSource::Rect takeDamage();
    // Changes whenever something is drawn on the screen.
    uint64_t drawCount() const;
    // The same as a count that a wake condition can name (see Kernel::block).
    const ChangeCount &draws() const;
    // Null: the default source, which asks the window calls.
    void setWindowSource(WindowDcSource *source);
    // The screen as 8-bit R, G, B bytes, top row first.
    std::vector<uint8_t> rgb() const;
    // Writes the screen as a PNG file; false with `error` set when it cannot be written.
    bool savePng(const std::string &path, std::string *error) const;

    struct Impl;
    Impl &impl() { return *impl_; }

  private:
    Impl *impl_;
};

// A bitmap (an HBITMAP) as a PNG file, for tests and tools.
bool saveBitmapPng(void *bitmap, const std::string &path, std::string *error);
// PNG files of 8-bit R, G, B bytes, top row first: what golden-image comparisons read and write.
bool readPng(const std::string &path, int *width, int *height, std::vector<uint8_t> *rgb,
             std::string *error);
bool writePng(const std::string &path, int width, int height, const std::vector<uint8_t> &rgb,
              std::string *error);

// One line naming the Debian package of a missing font file; empty when every font is there.
// The device's start calls it and stops with that line.
std::string missingFontPackage();

// Dialog base units of a dialog font (typeface, points): the average width of the letters A to
// Z and a to z, and the font's height, in pixels. False when the font cannot be had.
bool dialogBaseUnitsOf(const std::u16string &face, int points, int *x, int *y);

} // namespace emul
