// The Static control: text only. A label lets the pen through to what lies beneath it unless
// it asks to hear of taps (SS_NOTIFY).
#include "gwes/controls/controls.h"

namespace emul {

LRESULT CALLBACK staticProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = wins().get(h);
    if (!w)
        return 0;
    if (msg == WM_NCHITTEST)
        return (w->style & SS_NOTIFY) ? HTCLIENT : HTTRANSPARENT;
    return defaultProc(w, msg, wp, lp);
}

} // namespace emul
