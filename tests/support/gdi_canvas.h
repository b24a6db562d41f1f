// A memory DC with a bitmap of the screen's format for graphics tests, and ways to read it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

namespace testgdi {

class Canvas {
  public:
    Canvas(int w, int h, COLORREF fill = RGB(255, 255, 255)) : w_(w), h_(h) {
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, w, h);
        ReleaseDC(nullptr, screen);
        old = SelectObject(dc, bitmap);
        clear(fill);
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    void clear(COLORREF c) {
        HBRUSH b = CreateSolidBrush(c);
        RECT r{0, 0, w_, h_};
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
    COLORREF at(int x, int y) const { return GetPixel(dc, x, y); }
    // Pixels in the rectangle that are not `background`.
    int ink(RECT r, COLORREF background = RGB(255, 255, 255)) const {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += at(x, y) != background;
        return n;
    }
    // The smallest rectangle holding every pixel that is not `background`.
    RECT inkBox(COLORREF background = RGB(255, 255, 255)) const {
        RECT b{w_, h_, 0, 0};
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x)
                if (at(x, y) != background) {
                    b.left = std::min<LONG>(b.left, x);
                    b.top = std::min<LONG>(b.top, y);
                    b.right = std::max<LONG>(b.right, x + 1);
                    b.bottom = std::max<LONG>(b.bottom, y + 1);
                }
        return b;
    }
    int width() const { return w_; }
    int height() const { return h_; }

    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;

  private:
    HGDIOBJ old = nullptr;
    int w_, h_;
};

} // namespace testgdi
