// The scenario runner's view of the foreground program's controls: look-up by id and the state
// that `show` journals.
#include "gwes/controls/controls.h"
#include "gwes/win_internal.h"

#include "emul/harness.h"
#include "emul/text.h"

namespace emul::harness {

namespace {

void collect(Window *w, int id, std::vector<Window *> &out) {
    for (Window *c : w->children) {
        if (c->id == id)
            out.push_back(c);
        collect(c, id, out);
    }
}

} // namespace

uintptr_t findControl(int id) {
    WindowSystem::Impl &ws = wins();
    Program *p = dev().windows().foregroundProgram();
    if (!p)
        return 0;
    std::vector<Window *> found;
    for (Window *top : ws.topLevel)
        if (top->program == p)
            collect(top, id, found);
    // A control on a shown page wins over one on a hidden page.
    for (Window *w : found)
        if (isVisibleChain(w))
            return w->h;
    return found.empty() ? 0 : found.front()->h;
}

std::optional<ControlState> controlState(uintptr_t hwnd) {
    Window *w = dev().windows().impl().get(hwnd);
    if (!w)
        return std::nullopt;
    ControlState s;
    s.id = w->id;
    s.className = utf8(w->className);
    s.text = utf8(w->text);
    s.visible = isVisibleChain(w);
    if (const ControlClass *c = controlClass(w->className))
        if (c->describe)
            c->describe(*w, s);
    return s;
}

} // namespace emul::harness
