// The Static control: text, or an icon. A label lets the pen through to what lies beneath it
// unless it asks to hear of taps (SS_NOTIFY): then a tap tells its parent (STN_CLICKED).
#include "gwes/controls/controls.h"
#include "gwes/paint/paint.h"

namespace emul {

LRESULT CALLBACK staticProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = wins().get(h);
    if (!w)
        return 0;
    switch (msg) {
    case STM_SETIMAGE:
    case STM_GETIMAGE:
    case STM_SETICON:
    case STM_GETICON:
        return staticImage(w, msg, wp, lp);
    }
    if (msg == WM_NCHITTEST)
        return (w->style & SS_NOTIFY) ? HTCLIENT : HTTRANSPARENT;
    if (msg == WM_LBUTTONDOWN && (w->style & SS_NOTIFY)) {
        notifyParent(w, STN_CLICKED);
        return 0;
    }
    return defaultProc(w, msg, wp, lp);
}

} // namespace emul
