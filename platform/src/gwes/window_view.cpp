// The read-only look at the screen. Nothing here sends a message, tidies the tree or makes a
// queue: it may run inside a kernel wake condition.
#include "gwes/paint/paint.h"
#include "gwes/win_internal.h"

#include "emul/text.h"

#include <commctrl.h>

#include <algorithm>

namespace emul {

namespace {

ControlKind kindOf(const Window &w) {
    struct Named {
        const char16_t *name;
        ControlKind kind;
    };
    static const Named table[] = {
        {u"Static", ControlKind::Static},        {u"Edit", ControlKind::Edit},
        {u"richink", ControlKind::Ink},          {u"ComboBox", ControlKind::ComboBox},
        {u"ComboLBox", ControlKind::ListBox},    {u"FileDialogList", ControlKind::ListBox},
        {u"StartMenu", ControlKind::ListBox},    {u"msctls_trackbar32", ControlKind::Trackbar},
        {u"SysTabControl32", ControlKind::Tabs}, {u"menu_worker", ControlKind::MenuBar},
        {u"Dialog", ControlKind::Dialog},
    };
    if (equalsNoCase(w.className, u"Button")) {
        switch (w.style & 0xF) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case 5: // BS_3STATE
        case 6: // BS_AUTO3STATE
            return ControlKind::CheckBox;
        case 4: // BS_RADIOBUTTON
        case BS_AUTORADIOBUTTON:
            return ControlKind::RadioButton;
        case 7: // BS_GROUPBOX
            return ControlKind::GroupBox;
        }
        return ControlKind::PushButton;
    }
    for (const Named &n : table)
        if (equalsNoCase(w.className, n.name))
            return n.kind;
    return ControlKind::Window;
}

WindowInfo infoOf(const Window &w, uintptr_t focus) {
    WindowInfo i;
    i.hwnd = w.h;
    i.parent = w.parent ? w.parent->h : 0;
    i.owner = w.owner ? w.owner->h : 0;
    i.program = w.program;
    i.unowned = !w.thread;
    i.kind = kindOf(w);
    i.className = w.className;
    i.text = w.text;
    i.label = w.text;
    i.style = w.style;
    i.exStyle = w.exStyle;
    i.id = w.id;
    i.left = w.left, i.top = w.top, i.right = w.right, i.bottom = w.bottom;
    i.visible = isVisibleChain(&w);
    i.enabled = !(w.style & WS_DISABLED);
    i.focused = w.h == focus;
    i.topmost = w.topmost;
    if (w.control)
        w.control->inspect(w, i);
    return i;
}

WindowInfo treeOf(const Window &w, uintptr_t focus) {
    WindowInfo i = infoOf(w, focus);
    for (const Window *c : w.children)
        i.children.push_back(treeOf(*c, focus));
    return i;
}

void flatten(const Window &w, uintptr_t focus, std::vector<WindowInfo> &out) {
    out.push_back(infoOf(w, focus));
    for (const Window *c : w.children)
        flatten(*c, focus, out);
}

std::vector<const Window *> topsOf(const WindowSystem::Impl &ws, const Program *program) {
    std::vector<const Window *> tops;
    if (!program)
        return tops;
    for (const Window *top : ws.topLevel)
        if (top->program == program)
            tops.push_back(top);
    return tops;
}

const Window *findTabControl(const Window *w) {
    for (const Window *c : w->children) {
        if (equalsNoCase(c->className, u"SysTabControl32"))
            return c;
        if (const Window *t = findTabControl(c))
            return t;
    }
    return nullptr;
}

const Window *tabControl(const WindowSystem::Impl &ws, const Program *program) {
    // A tab control made without WS_CHILD is a top-level window owned by the program's window.
    for (const Window *top : topsOf(ws, program))
        if (equalsNoCase(top->className, u"SysTabControl32"))
            return top;
    for (const Window *top : topsOf(ws, program))
        if (const Window *t = findTabControl(top))
            return t;
    return nullptr;
}

void collect(const Window *w, int id, std::vector<const Window *> &out) {
    for (const Window *c : w->children) {
        if (c->id == id)
            out.push_back(c);
        collect(c, id, out);
    }
}

} // namespace

bool WindowView::isWindow(uintptr_t hwnd) const {
    return ws_.impl_->get(hwnd) != nullptr;
}

std::optional<WindowInfo> WindowView::window(uintptr_t hwnd) const {
    const WindowSystem::Impl &ws = *ws_.impl_;
    const Window *w = ws.get(hwnd);
    if (!w)
        return std::nullopt;
    return infoOf(*w, ws.focusOfForeground());
}

std::vector<WindowInfo> WindowView::snapshot() const {
    const WindowSystem::Impl &ws = *ws_.impl_;
    uintptr_t focus = ws.focusOfForeground();
    std::vector<WindowInfo> out;
    for (const Window *top : ws.topLevel)
        if (ws.get(top->h))
            out.push_back(treeOf(*top, focus));
    out.push_back(treeOf(*ws.desktop, focus));
    return out;
}

std::vector<WindowInfo> WindowView::windowsOf(const Program *program) const {
    const WindowSystem::Impl &ws = *ws_.impl_;
    uintptr_t focus = ws.focusOfForeground();
    std::vector<WindowInfo> out;
    for (const Window *top : topsOf(ws, program))
        flatten(*top, focus, out);
    return out;
}

uintptr_t WindowView::tabControlOf(const Program *program) const {
    const Window *t = tabControl(*ws_.impl_, program);
    return t ? t->h : 0;
}

uintptr_t WindowView::findControl(const Program *program, int id) const {
    const WindowSystem::Impl &ws = *ws_.impl_;
    std::vector<const Window *> found;
    // The pages of the tab control, the shown one first.
    if (const Window *tab = tabControl(ws, program)) {
        std::vector<const Window *> pages(tab->children.begin(), tab->children.end());
        WindowInfo shown;
        if (tab->control)
            tab->control->inspect(*tab, shown);
        int sel = shown.selected;
        if (sel >= 0 && size_t(sel) < pages.size())
            std::rotate(pages.begin(), pages.begin() + sel, pages.begin() + sel + 1);
        for (const Window *page : pages) {
            if (page->id == id)
                found.push_back(page);
            collect(page, id, found);
        }
        if (!found.empty())
            return found.front()->h;
    }
    for (const Window *top : topsOf(ws, program)) {
        if (top->id == id && top->parent)
            found.push_back(top);
        collect(top, id, found);
    }
    // Without pages to tell them apart, a control that is shown wins over a hidden one.
    for (const Window *w : found)
        if (isVisibleChain(w))
            return w->h;
    return found.empty() ? 0 : found.front()->h;
}

uintptr_t WindowView::foreground() const {
    const WindowSystem::Impl &ws = *ws_.impl_;
    return ws.get(ws.foreground) ? ws.foreground : 0;
}

uintptr_t WindowView::taskBarProgram() const {
    Window *w = emul::taskBarProgram(*ws_.impl_);
    return w ? w->h : 0;
}

const Program *WindowView::foregroundProgram() const {
    const WindowSystem::Impl &ws = *ws_.impl_;
    const Window *w = ws.get(ws.foreground);
    return w ? w->program : nullptr;
}

uintptr_t WindowView::focus() const {
    return ws_.impl_->focusOfForeground();
}

uintptr_t WindowView::desktop() const {
    return ws_.impl_->desktop->h;
}

std::string WindowView::journalName(uintptr_t hwnd) const {
    const WindowSystem::Impl &ws = *ws_.impl_;
    const Window *w = ws.get(hwnd);
    if (!w)
        return "";
    if (!w->thread && ws.unowned) {
        std::string name = ws.unowned->name(hwnd);
        if (!name.empty())
            return name;
    }
    return utf8(w->className);
}

} // namespace emul
