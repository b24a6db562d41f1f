// What the device's window shows: the screen's pixels at 1x, 2x or 3x in a bezel, the hardware
// keys beside it and the keyboard's status, drawn into an SDL window's surface. It knows
// nothing of the device; the window's front end tells it what to show.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace handheld {

// The buttons beside the screen: the device's power key and the keyboard's keys that a host
// keyboard lacks (the same ones as the F-keys).
enum class Button { None, Power, Connect, Fn, Cmd, Symbol, Caps, Hold, Pen };

class WindowView {
  public:
    static constexpr int kScreenW = 240, kScreenH = 320;

    // Opens the window; null with `error` set when there is no display to open it on.
    static std::unique_ptr<WindowView> open(int scale, const std::string &title,
                                            std::string *error);
    ~WindowView();
    WindowView(const WindowView &) = delete;
    WindowView &operator=(const WindowView &) = delete;

    SDL_Window *window() const { return window_; }
    // The display went away with the window: the view is freed without a call to it.
    void forgetWindow() { window_ = nullptr; }
    int scale() const { return scale_; }
    // Where the device's screen stands in the window.
    SDL_Rect screenRect() const {
        return SDL_Rect{margin_, margin_, kScreenW * scale_, kScreenH * scale_};
    }

    // Copies a rectangle of the device's RGB565 frame (kScreenW pixels a row) into the window,
    // each pixel a square of scale x scale; shown at the next present().
    void screen(const uint16_t *frame, int left, int top, int right, int bottom);
    // The screen dark, with a line that says how to switch it on (a device that is off).
    void screenOff(const std::string &note);
    // The status lines under the buttons; redrawn only when they change.
    void status(const std::vector<std::string> &lines);
    // The buttons drawn lit: a layer waiting for the next key, Caps Lock, a key held.
    void lit(const std::vector<Button> &buttons);
    // The button at a window position.
    Button buttonAt(int x, int y) const;
    // Shows what changed since the last present; `all` after the window was uncovered.
    void present(bool all = false);

  private:
    WindowView() = default;
    static SDL_Point sizeFor(int scale);
    bool setUp(std::string *error);
    void drawPanel();
    void fill(const SDL_Rect &r, uint8_t red, uint8_t green, uint8_t blue);
    int text(int x, int y, const std::string &utf8, int maxWidth, SDL_Color color);
    int width(const std::string &utf8);
    // A line cut into pieces no wider than `maxWidth`.
    std::vector<std::string> wrap(const std::string &line, int maxWidth);
    void addDirty(const SDL_Rect &r);

    struct Font;
    SDL_Window *window_ = nullptr;
    SDL_Surface *surface_ = nullptr;
    std::unique_ptr<Font> font_;
    std::vector<uint32_t> lut_; // RGB565 to the window surface's pixel
    int scale_ = 2, margin_ = 0, panelX_ = 0, panelW_ = 0;
    struct Key {
        Button which;
        const char *label;
        SDL_Rect rect;
    };
    std::vector<Key> keys_;
    std::vector<std::string> status_;
    std::vector<Button> lit_;
    int statusTop_ = 0;
    std::vector<SDL_Rect> dirty_;
};

} // namespace handheld
