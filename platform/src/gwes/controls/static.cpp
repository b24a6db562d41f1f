// The Static control: text only.
#include "gwes/controls/controls.h"

namespace emul {

LRESULT CALLBACK staticProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = wins().get(h);
    return w ? defaultProc(w, msg, wp, lp) : 0;
}

} // namespace emul
