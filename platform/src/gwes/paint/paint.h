// Painting inside the window system: update regions, WM_PAINT's place among a thread's messages,
// what a window's device context may draw on, and the look of the built-in controls.
#pragma once

#include "gwes/win_internal.h"

#include "emul/graphics.h"

namespace emul {

// A combo box shows its field; its window reaches down over the rows its list opens on.
constexpr int kComboFieldHeight = 20;
// The pixels a window covers (for a combo box, its field), in screen coordinates.
RECT coveredRect(const Window *w);

// The area of `w` that needs painting grows by `r` (relative to the window; null: all of it).
void invalidate(Window *w, const RECT *r, bool erase);
// Every window that shows part of `r` (screen coordinates) paints that part again: what a
// window uncovers when it goes, hides or moves.
void exposeScreen(const RECT &r);
// Everything on the screen paints again (the device's start).
void paintScreen();
// The area of `w` that needs painting shrinks by `r` (null: nothing is left).
void validate(Window *w, const RECT *r);
// Only when nothing else waits for the thread: WM_PAINT for one of its windows that needs it.
bool paintWaiting(Queue &q, HWND filter, UINT lo, UINT hi);
bool takePaint(Queue &q, MSG *out, HWND filter, UINT lo, UINT hi);
// A built-in control handled `msg`: it paints again when the message may have changed its look.
void afterControlMessage(Window *w, UINT msg, WPARAM wp);
// The window system's answers to the device contexts of windows.
WindowDcSource &dcSourceOf(WindowSystem::Impl &ws);

// What DefWindowProcW does for painting.
LRESULT defaultPaint(Window *w);
LRESULT defaultErase(Window *w, HDC dc);
LRESULT defaultCtlColor(Window *w, UINT msg, HDC dc);
// The task bar shows the foreground program's title.
void foregroundChanged();
// The program whose title the task bar shows: the one in front, or the one beneath the task
// bar's own pop-up (the Start menu) while that is open; null for none or the desktop.
Window *taskBarProgram(WindowSystem::Impl &ws);
// The task bar in `bar`: the Start button's place and the foreground program's title.
void paintTaskBar(Window *w, HDC dc, const RECT &bar, bool withStart);
// Whether x, y (screen) on `hit`, the task bar or the desktop's strip in its place, is on the
// bar's OK button, which the program in front shows while its caption has one
// (WS_EX_CAPTIONOKBTN).
bool onTaskBarOk(Window *hit, int x, int y);
// The button drawn pressed or not.
void pressTaskBarOk(bool pressed);
// The program the bar names is sent IDOK.
void taskBarOk();
// The input panel's window (painted by gwes/panel_keys.h's paintInputPanel).
constexpr const char16_t *kInputPanelClass = u"SipWndClass";
// Icons of static controls (STM_SETIMAGE, STM_GETIMAGE, STM_SETICON, STM_GETICON).
LRESULT staticImage(Window *w, UINT msg, WPARAM wp, LPARAM lp);
HANDLE staticImageOf(Window *w);

// The look of a built-in control in its client area; false for a window that is no control.
bool paintControl(Window *w, HDC dc, const RECT &client);
// How deep the window system is in painting its own controls (their questions to themselves
// then change nothing).
int paintingNow();
struct PaintingNow {
    PaintingNow();
    ~PaintingNow();
};
// An edit box's text in lines, kept between paints: typing at the end lays out only the last
// line again, so a long document costs no more to paint than a short one.
struct EditLayout {
    std::u16string text;
    int width = -1;
    bool wrap = false;
    std::vector<std::pair<size_t, size_t>> lines; // start and length in `text`
    // Where the last paint put them: the first line shown, its top and the lines' height.
    size_t first = 0;
    int top = 0, lineHeight = 0, shift = 0;
    // Laid out afresh (not just at its end) since the last paint, by a tap's measuring.
    bool relaid = false;
    // A box with WS_VSCROLL shows its scroll bar while its text has more lines than fit. The
    // bar scrolls the view away from the caret until the caret or the text changes.
    bool bar = false;
    size_t pinCaret = size_t(-1), pinSize = 0;
    int thumbGrab = -1; // the pen holds the thumb this far below its top
};
EditLayout &editLayoutOf(uintptr_t hwnd);
// Where an edit box shows its characters, in client coordinates, as its paint places them:
// the top left of the caret before character `i`, and the character boundary nearest a point.
POINT editPointOf(Window *w, size_t i);
size_t editCharAt(Window *w, int x, int y);
// The pen (WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP at x, y) on a multi-line box's scroll bar:
// true when the bar took it.
bool editScrollPen(Window *w, UINT msg, int x, int y);
// Whether a multi-line box can show `after` in place of `before` without more lines than fit
// in it (or than `before` already had).
bool editHasRoomFor(Window *w, const std::u16string &before, const std::u16string &after);
// The caret moved by `lines` shown lines (pages of them when `pages`; negative: up), keeping its
// place across; and the start and end of the shown line it stands on.
size_t editLineMove(Window *w, size_t caret, int lines, bool pages);
void editLineBounds(Window *w, size_t caret, size_t *start, size_t *end);
// The font controls draw with: the dialog font, or while a control that was given one with
// WM_SETFONT paints (ControlsFont), that one.
HFONT controlFont();
HFONT fontOf(const Window *w);
class ControlsFont {
  public:
    explicit ControlsFont(const Window *w);
    ~ControlsFont();
    ControlsFont(const ControlsFont &) = delete;
    ControlsFont &operator=(const ControlsFont &) = delete;

  private:
    HFONT before_ = nullptr;
};

} // namespace emul
