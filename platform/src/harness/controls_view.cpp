// The state of a control that `show` journals, mapped from the window system's own look at it.
#include "emul/device.h"
#include "emul/harness.h"
#include "emul/text.h"
#include "emul/windows_sys.h"

namespace emul::harness {

std::optional<ControlState> controlState(uintptr_t hwnd) {
    std::optional<WindowInfo> w = dev().windows().view().window(hwnd);
    if (!w)
        return std::nullopt;
    return controlState(*w);
}

ControlState controlState(const WindowInfo &w) {
    ControlState s;
    s.id = w.id;
    s.className = utf8(w.className);
    s.text = utf8(w.label);
    s.visible = w.visible;
    s.checked = w.checked;
    s.pos = w.pos;
    s.min = w.min;
    s.max = w.max;
    if (w.items) {
        std::vector<std::string> items;
        for (const std::u16string &i : *w.items)
            items.push_back(utf8(i));
        s.hasSelection = true;
        if (w.selected >= 0)
            s.selected = items[size_t(w.selected)];
        s.items = std::move(items);
    }
    return s;
}

uintptr_t findControl(int id) {
    const WindowView &view = dev().windows().view();
    return view.findControl(view.foregroundProgram(), id);
}

} // namespace emul::harness
