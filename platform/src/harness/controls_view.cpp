// The state of a control that `show` journals.
#include "gwes/win_internal.h"

#include "emul/harness.h"
#include "emul/text.h"

namespace emul::harness {

std::optional<ControlState> controlState(uintptr_t hwnd) {
    Window *w = dev().windows().impl().get(hwnd);
    if (!w)
        return std::nullopt;
    ControlState s;
    s.id = w->id;
    s.className = utf8(w->className);
    s.text = utf8(w->text);
    s.visible = isVisibleChain(w);
    if (w->control)
        w->control->describe(*w, s);
    return s;
}

} // namespace emul::harness
