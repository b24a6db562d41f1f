// The trackbar ("msctls_trackbar32"): a thumb on a channel between a minimum and a maximum.
// A drag sends the parent WM_HSCROLL (WM_VSCROLL when vertical) with TB_THUMBTRACK at every
// position the thumb reaches, then TB_THUMBPOSITION with the final position and TB_ENDTRACK when
// the finger lifts, as the platform's trackbar does. Programmatic changes send nothing.
#include "gwes/win_internal.h"
#include "kernel/user_pointers.h"

#include <commctrl.h>

#include <algorithm>

namespace emul {

namespace {

constexpr int kThumbHalf = 5; // the thumb is 11 pixels wide; the channel ends half a thumb in
// The pen held beside the thumb pages again at this interval until the thumb reaches it.
constexpr UINT_PTR kPageTimer = 1;
constexpr UINT kPageRepeatMs = 500;

struct TrackData : ControlData {
    int min = 0, max = 100, pos = 0;
    int lineSize = 1;
    int pageSize = -1; // until a program sets it: a fifth of the range, at least 1
    bool dragging = false, paging = false;
    int pageWay = 0; // while paging: -1 towards the minimum, 1 towards the maximum
    int penAt = 0;   // while paging: where the pen is along the channel
    void inspect(const Window &, WindowInfo &s) const override {
        s.pos = pos;
        s.min = min;
        s.max = max;
    }
};

TrackData *data(Window *w) {
    return controlData<TrackData>(w);
}

bool vertical(const Window *w) {
    return (w->style & TBS_VERT) != 0;
}

// The channel along which the thumb's centre moves, in client coordinates.
RECT channel(const Window *w) {
    int cx = w->right - w->left, cy = w->bottom - w->top;
    if (vertical(w))
        return RECT{cx / 2 - 2, kThumbHalf, cx / 2 + 2, std::max(kThumbHalf, cy - kThumbHalf)};
    return RECT{kThumbHalf, cy / 2 - 2, std::max(kThumbHalf, cx - kThumbHalf), cy / 2 + 2};
}

// The position under a point of the channel: the nearest one.
int positionAt(Window *w, int x, int y) {
    TrackData *d = data(w);
    RECT c = channel(w);
    int from = vertical(w) ? c.top : c.left, to = vertical(w) ? c.bottom : c.right;
    int at = vertical(w) ? y : x;
    if (to <= from || d->max <= d->min)
        return d->min;
    at = std::clamp(at, from, to);
    return d->min + MulDiv(at - from, d->max - d->min, to - from);
}

void notify(Window *w, int code, int pos) {
    // A control made without WS_CHILD tells its owner, as GetParent names it.
    if (Window *to = w->parent ? w->parent : w->owner)
        wins().send(to, vertical(w) ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, pos), LPARAM(w->h));
}

int pageOf(const TrackData *d) {
    return d->pageSize >= 0 ? d->pageSize : std::max(1, (d->max - d->min) / 5);
}

void clampPos(TrackData *d) {
    d->pos = std::clamp(d->pos, d->min, std::max(d->min, d->max));
}

// The thumb's rectangle in client coordinates, across the whole control.
RECT thumbRect(Window *w) {
    TrackData *d = data(w);
    RECT c = channel(w);
    int span = vertical(w) ? c.bottom - c.top : c.right - c.left;
    int off = d->max > d->min ? MulDiv(d->pos - d->min, span, d->max - d->min) : 0;
    int cx = w->right - w->left, cy = w->bottom - w->top;
    return vertical(w) ? RECT{0, c.top + off - kThumbHalf, cx, c.top + off + kThumbHalf + 1}
                       : RECT{c.left + off - kThumbHalf, 0, c.left + off + kThumbHalf + 1, cy};
}

// The TBM_ messages by which a program sets and reads the range, position and step sizes.
bool trackMessage(Window *w, UINT msg, LPARAM lp, LRESULT *result) {
    TrackData *d = data(w);
    *result = 0;
    switch (msg) {
    case TBM_GETPOS:
        *result = d->pos;
        return true;
    case TBM_GETRANGEMIN:
        *result = d->min;
        return true;
    case TBM_GETRANGEMAX:
        *result = d->max;
        return true;
    case TBM_SETPOS:
        d->pos = int(lp);
        break;
    case TBM_SETRANGE:
        d->min = int16_t(LOWORD(lp));
        d->max = int16_t(HIWORD(lp));
        break;
    case TBM_SETRANGEMIN:
        d->min = int(lp);
        break;
    case TBM_SETRANGEMAX:
        d->max = int(lp);
        break;
    case TBM_SETPAGESIZE:
        *result = pageOf(d);
        d->pageSize = int(lp);
        return true;
    case TBM_GETPAGESIZE:
        *result = pageOf(d);
        return true;
    case TBM_SETLINESIZE:
        *result = d->lineSize;
        d->lineSize = int(lp);
        return true;
    case TBM_GETLINESIZE:
        *result = d->lineSize;
        return true;
    case TBM_SETTICFREQ:
    case TBM_CLEARTICS:
    case TBM_SETTIC:
        *result = TRUE;
        return true;
    case TBM_GETCHANNELRECT:
        if (lp && !refusedParam(lp))
            *reinterpret_cast<RECT *>(lp) = channel(w);
        return true;
    case TBM_GETTHUMBRECT:
        if (lp && !refusedParam(lp))
            *reinterpret_cast<RECT *>(lp) = thumbRect(w);
        return true;
    default:
        return false;
    }
    clampPos(d); // a new position or range
    return true;
}

// A page towards where the pen is held, unless the thumb has reached it.
void page(Window *w) {
    TrackData *d = data(w);
    RECT t = thumbRect(w);
    int from = vertical(w) ? t.top : t.left, to = vertical(w) ? t.bottom : t.right;
    if (d->pageWay < 0 ? d->penAt >= from : d->penAt < to)
        return;
    d->pos += d->pageWay * pageOf(d);
    clampPos(d);
    InvalidateRect(toHwnd(w), nullptr, TRUE); // also when a timer, which changes no look, paged
    wins().changed();
    notify(w, d->pageWay < 0 ? TB_PAGEUP : TB_PAGEDOWN, 0);
}

// On the thumb the finger takes it along; beside it, the thumb moves a page that way, and on
// while the pen stays down there.
void penDown(Window *w, LPARAM lp) {
    TrackData *d = data(w);
    if (w->style & WS_DISABLED)
        return;
    SetFocus(toHwnd(w));
    int x = int16_t(LOWORD(lp)), y = int16_t(HIWORD(lp));
    RECT t = thumbRect(w);
    SetCapture(toHwnd(w));
    if (x >= t.left && x < t.right && y >= t.top && y < t.bottom) {
        d->dragging = true;
        return;
    }
    bool before = vertical(w) ? y < t.top : x < t.left;
    d->paging = true;
    d->pageWay = before ? -1 : 1;
    d->penAt = vertical(w) ? y : x;
    SetTimer(toHwnd(w), kPageTimer, kPageRepeatMs, nullptr);
    page(w);
}

void penMove(Window *w, LPARAM lp) {
    TrackData *d = data(w);
    if (d->paging)
        d->penAt = vertical(w) ? int16_t(HIWORD(lp)) : int16_t(LOWORD(lp));
    if (!d->dragging)
        return;
    int p = positionAt(w, int16_t(LOWORD(lp)), int16_t(HIWORD(lp)));
    if (p != d->pos) {
        d->pos = p;
        notify(w, TB_THUMBTRACK, p);
    }
}

void penUp(Window *w) {
    TrackData *d = data(w);
    bool paging = d->paging, dragging = d->dragging;
    d->paging = d->dragging = false;
    KillTimer(toHwnd(w), kPageTimer);
    if (GetCapture() == toHwnd(w))
        ReleaseCapture();
    if (paging) {
        notify(w, TB_ENDTRACK, 0);
        return;
    }
    if (!dragging)
        return;
    notify(w, TB_THUMBPOSITION, d->pos);
    notify(w, TB_ENDTRACK, 0);
}

void keyDown(Window *w, WPARAM wp) {
    TrackData *d = data(w);
    int p = d->pos, code = -1;
    switch (wp) {
    case VK_LEFT:
    case VK_UP:
        p -= d->lineSize, code = TB_LINEUP;
        break;
    case VK_RIGHT:
    case VK_DOWN:
        p += d->lineSize, code = TB_LINEDOWN;
        break;
    case VK_PRIOR:
        p -= pageOf(d), code = TB_PAGEUP;
        break;
    case VK_NEXT:
        p += pageOf(d), code = TB_PAGEDOWN;
        break;
    case VK_HOME:
        p = d->min, code = TB_TOP;
        break;
    case VK_END:
        p = d->max, code = TB_BOTTOM;
        break;
    }
    if (code < 0)
        return;
    d->pos = p;
    clampPos(d);
    notify(w, code, 0);
}

} // namespace

LRESULT CALLBACK trackbarProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = wins().get(h);
    if (!w)
        return 0;
    LRESULT result;
    if (trackMessage(w, msg, lp, &result))
        return result;
    switch (msg) {
    case WM_LBUTTONDOWN:
        penDown(w, lp);
        return 0;
    case WM_MOUSEMOVE:
        penMove(w, lp);
        return 0;
    case WM_LBUTTONUP:
        penUp(w);
        return 0;
    case WM_CAPTURECHANGED: {
        // Another window took the pen: the drag ends where the thumb is.
        TrackData *d = data(w);
        if (LPARAM(lp) != LPARAM(w->h) && (d->dragging || d->paging)) {
            d->dragging = d->paging = false;
            KillTimer(h, kPageTimer);
            notify(w, TB_ENDTRACK, 0);
        }
        return 0;
    }
    case WM_TIMER:
        if (wp == kPageTimer && data(w)->paging)
            page(w);
        else if (wp == kPageTimer)
            KillTimer(h, kPageTimer);
        return 0;
    case WM_KEYDOWN:
        keyDown(w, wp);
        return 0;
    case WM_KEYUP:
        if (wp == VK_LEFT || wp == VK_RIGHT || wp == VK_UP || wp == VK_DOWN || wp == VK_PRIOR ||
            wp == VK_NEXT || wp == VK_HOME || wp == VK_END)
            notify(w, TB_ENDTRACK, 0);
        return 0;
    case WM_GETDLGCODE:
        return 0x0001; // DLGC_WANTARROWS
    }
    return defaultProc(w, msg, wp, lp);
}

} // namespace emul
