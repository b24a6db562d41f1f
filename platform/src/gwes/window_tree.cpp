// The window tree: creation and destruction, z-order, the foreground's succession, showing and
// enabling, and walking the tree.
#include "gwes/paint/paint.h"
#include "gwes/win_internal.h"

#include "emul/process.h"
#include "emul/text.h"
#include "kernel/user_pointers.h"

#include <algorithm>

namespace emul {

WindowSystem::WindowSystem() : impl_(std::make_unique<Impl>()), view_(*this) {
    registerBuiltinControls(*impl_);
    WndClass desk;
    desk.name = u"DesktopExplorerWindow";
    desk.builtin = true;
    impl_->classes[foldCase(desk.name)] = desk;
    // The shell's desktop always exists, below every top-level window.
    Window *d = impl_->make(desk.name, nullptr, 0, 0, screen::kWidth, screen::kHeight);
    d->style = WS_VISIBLE;
    impl_->topLevel.clear(); // the desktop is below the top-level list, not in it
    impl_->desktop = d;
}

WindowSystem::~WindowSystem() = default;

Window *WindowSystem::Impl::make(const std::u16string &className, Window *parent, int l, int t,
                                 int r, int b, uintptr_t handle) {
    changed();
    auto w = std::make_unique<Window>();
    w->h = handle;
    if (!handle) {
        w->h = nextHandle;
        nextHandle += 4;
    }
    w->className = className;
    auto c = classes.find(foldCase(className));
    if (c != classes.end()) {
        w->className = c->second.name;
        w->proc = c->second.proc;
        w->builtinClass = c->second.builtin;
    }
    w->left = l;
    w->top = t;
    w->right = r;
    w->bottom = b;
    w->parent = parent;
    Window *raw = w.get();
    windows[raw->h] = raw;
    store.push_back(std::move(w));
    if (parent)
        parent->children.push_back(raw);
    else
        raise(raw);
    return raw;
}

void WindowSystem::Impl::raise(Window *w) {
    if (w->parent || w == desktop)
        return;
    std::vector<Window *> before = topLevel;
    topLevel.erase(std::remove(topLevel.begin(), topLevel.end(), w), topLevel.end());
    auto pos = topLevel.begin();
    if (!w->topmost)
        while (pos != topLevel.end() && (*pos)->topmost)
            ++pos;
    topLevel.insert(pos, w);
    // The windows it owns stay above it, in their order.
    std::vector<Window *> owned;
    for (Window *o : topLevel)
        if (o->owner == w && o->topmost == w->topmost)
            owned.push_back(o);
    if (!owned.empty()) {
        auto gone = [&](Window *o) {
            return std::find(owned.begin(), owned.end(), o) != owned.end();
        };
        topLevel.erase(std::remove_if(topLevel.begin(), topLevel.end(), gone), topLevel.end());
        topLevel.insert(std::find(topLevel.begin(), topLevel.end(), w), owned.begin(), owned.end());
    }
    if (topLevel != before && (w->style & WS_VISIBLE))
        exposeScreen(RECT{w->left, w->top, w->right, w->bottom});
}

void WindowSystem::Impl::activate(Window *w) {
    w = topLevelOf(w);
    if (!w)
        return;
    if (foreground != w->h) {
        Window *before = get(foreground);
        foreground = w->h;
        foregroundChanged();
        // A pop-up that had the front (the Start menu) goes when another window takes it.
        if (before && before != w && before->owner && before->topmost && (before->style & WS_POPUP))
            post(before, WM_CANCELMODE, 0, 0);
    }
    raise(w);
    if (w->thread)
        queue(w->thread).active = w->h;
}

Window *WindowSystem::Impl::pickForeground() const {
    // A program's window before the windows it owns: a menu bar stands above its program's
    // window but never takes the front.
    Window *owned = nullptr;
    for (Window *w : topLevel)
        if (w->thread && !w->thread->exited() && (w->style & WS_VISIBLE)) {
            if (!w->owner)
                return w;
            if (!owned && w->className != u"menu_worker")
                owned = w;
        }
    return owned;
}

void WindowSystem::Impl::destroy(Window *w) {
    if (w->destroyed)
        return;
    changed();
    w->destroyed = true;
    ++destroying;
    if (w->thread && !w->thread->exited())
        call(w, WM_DESTROY, 0, 0);
    // Children go after their parent has heard WM_DESTROY, the last one first.
    std::vector<Window *> kids = w->children;
    for (auto it = kids.rbegin(); it != kids.rend(); ++it)
        destroy(*it);
    // Owned pop-ups go with their owner.
    std::vector<Window *> owned;
    for (auto &e : windows)
        if (e.second->owner == w && !e.second->destroyed)
            owned.push_back(e.second);
    for (Window *o : owned)
        destroy(o);
    unlink(w);
    if (--destroying == 0)
        reap();
}

void WindowSystem::Impl::unlink(Window *w) {
    changed();
    bool shown = !w->unlinked && isVisibleChain(w);
    w->destroyed = true;
    w->unlinked = true;
    ++unlinks;
    if (w->parent) {
        auto &sib = w->parent->children;
        sib.erase(std::remove(sib.begin(), sib.end(), w), sib.end());
    } else {
        topLevel.erase(std::remove(topLevel.begin(), topLevel.end(), w), topLevel.end());
    }
    windows.erase(w->h);
    if (capture == w->h)
        capture = 0;
    if (penOwner == w->h)
        penOwner = 0;
    for (auto &q : queues) {
        if (q.second.focus == w->h)
            q.second.focus = 0;
        if (q.second.active == w->h)
            q.second.active = 0;
        auto &t = q.second.timers;
        t.erase(std::remove_if(t.begin(), t.end(), [&](const Timer &x) { return x.hwnd == w->h; }),
                t.end());
    }
    if (foreground == w->h) {
        foreground = 0;
        if (Window *next = pickForeground())
            activate(next);
        else
            foregroundChanged(); // the task bar names no program any more
    }
    if (shown)
        exposeScreen(RECT{w->left, w->top, w->right, w->bottom});
}

void WindowSystem::Impl::threadEnded(Thread *t) {
    // A thread's windows end with the thread, and so do the children other threads made in
    // them.
    auto threadGone = [](const Window *w) { return w->thread && w->thread->exited(); };
    std::vector<Window *> dead;
    for (auto &e : windows)
        if (e.second->thread == t || threadGone(e.second) ||
            (e.second->parent && threadGone(e.second->parent)))
            dead.push_back(e.second);
    for (Window *w : dead)
        unlink(w);
    queues.erase(t);
    reap();
}

void WindowSystem::Impl::reap() {
    if (unlinks == reapedUnlinks)
        return;
    reapedUnlinks = unlinks;
    auto threadGone = [](const Window *w) { return w->thread && w->thread->exited(); };
    // A window still being destroyed (its parent's WM_DESTROY running) keeps its record here.
    auto gone = [&](const Window *w) { return threadGone(w) || w->unlinked; };
    // The records go to the bounded list of ended windows; nothing kept refers to them.
    auto firstGone =
        std::stable_partition(store.begin(), store.end(),
                              [&](const std::unique_ptr<Window> &w) { return !gone(w.get()); });
    if (firstGone == store.end())
        return;
    for (auto &w : store) {
        if (w->parent && gone(w->parent))
            w->parent = nullptr;
        if (w->owner && gone(w->owner))
            w->owner = nullptr;
        auto &c = w->children;
        c.erase(std::remove_if(c.begin(), c.end(), gone), c.end());
    }
    for (auto it = firstGone; it != store.end(); ++it) {
        // Owned by no thread now: a late caller's message goes nowhere.
        Window &w = **it;
        w.destroyed = true;
        w.thread = nullptr;
        w.threadRecord.reset();
        w.program = nullptr;
        ended.push_back(std::move(*it));
    }
    store.erase(firstGone, store.end());
    while (ended.size() > kEndedKept)
        ended.pop_front();
}

uintptr_t WindowSystem::Impl::focusOfForeground() const {
    Window *fg = get(foreground);
    if (!fg)
        return 0;
    if (fg->thread) {
        auto q = queues.find(fg->thread);
        if (q != queues.end() && q->second.focus && get(q->second.focus))
            return q->second.focus;
    }
    return fg->h;
}

WNDPROC WindowSystem::Impl::tokenProc(uintptr_t v) const {
    if (v >= 0x7F000000u && v < 0x7F000000u + procTokens.size())
        return procTokens[v - 0x7F000000u];
    return reinterpret_cast<WNDPROC>(v);
}

LONG WindowSystem::Impl::procToken(WNDPROC p) {
    if (!p)
        return 0;
    for (size_t i = 0; i < procTokens.size(); ++i)
        if (procTokens[i] == p)
            return LONG(0x7F000000u + i);
    procTokens.push_back(p);
    return LONG(0x7F000000u + procTokens.size() - 1);
}

} // namespace emul

using namespace emul;

namespace {

bool activatingShow(int cmd) {
    return cmd == SW_SHOWNORMAL || cmd == SW_SHOW || cmd == SW_SHOWMAXIMIZED || cmd == SW_RESTORE;
}

} // namespace

// ---- creation and destruction ----

CEAPI HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x,
                           int y, int cx, int cy, HWND parentH, HMENU menu, HINSTANCE instance,
                           LPVOID param) {
    if (refusedPointer(title))
        return nullptr;
    auto &ws = wins();
    auto cls = findClass(className);
    if (cls == ws.classes.end()) {
        SetLastError(kErrorCannotFindClass);
        return nullptr;
    }
    Window *parent = nullptr, *owner = nullptr;
    if (parentH) {
        Window *p = ws.get(parentH);
        if (!p) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        // With a parent and without WS_POPUP the platform makes a child window (CE has no
        // overlapped windows owned by another); programs create controls that way.
        if ((style & WS_CHILD) || !(style & WS_POPUP))
            parent = p;
        else
            owner = ws.topLevelOf(p);
    } else if (style & WS_CHILD) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (x == CW_USEDEFAULT || cx == CW_USEDEFAULT) {
        // The work area below the navigation bar. A program's menu bar is not taken off: a
        // program that has one makes room for it itself.
        if (!parent) {
            if (x == CW_USEDEFAULT)
                x = 0, y = screen::kTaskBarHeight;
            if (cx == CW_USEDEFAULT)
                cx = screen::kWidth, cy = screen::kHeight - screen::kTaskBarHeight;
        } else {
            if (x == CW_USEDEFAULT)
                x = 0, y = 0;
            if (cx == CW_USEDEFAULT)
                cx = 0, cy = 0;
        }
    }
    if (y == CW_USEDEFAULT)
        y = parent ? 0 : screen::kTaskBarHeight;
    if (cy == CW_USEDEFAULT)
        cy = parent ? 0 : screen::kHeight - screen::kTaskBarHeight;
    int ox = parent ? parent->left : 0, oy = parent ? parent->top : 0;
    Window *w = ws.make(cls->second.name, parent, ox + x, oy + y, ox + x + cx, oy + y + cy);
    w->text = str16(title);
    w->style = style;
    w->exStyle = exStyle;
    w->owner = owner;
    w->id = parent ? int(reinterpret_cast<intptr_t>(menu)) : 0;
    Thread *self = kern().self();
    w->thread = self;
    w->threadRecord = self->shared_from_this();
    w->program = self->program;
    CREATESTRUCTW cs{param, instance, menu,        parentH, cy,        cx,
                     y,     x,        LONG(style), title,   className, exStyle};
    if (ws.call(w, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        ws.destroy(w);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (w->destroyed)
        return nullptr;
    if (!parent && (w->style & WS_VISIBLE))
        ws.activate(w);
    invalidate(w, nullptr, true);
    return toHwnd(w);
}

CEAPI BOOL DestroyWindow(HWND h) {
    Window *w = needWindow(h);
    if (!w || w == wins().desktop)
        return FALSE;
    wins().destroy(w);
    return TRUE;
}

CEAPI BOOL IsWindow(HWND h) {
    return wins().get(h) != nullptr;
}

CEAPI BOOL IsWindowVisible(HWND h) {
    Window *w = wins().get(h);
    return w && isVisibleChain(w);
}

CEAPI BOOL IsWindowEnabled(HWND h) {
    Window *w = wins().get(h);
    return w && !(w->style & WS_DISABLED);
}

namespace {

// Keys must not go on reaching a control the user cannot see: a hidden child that holds the
// focus, itself or in a window inside it, hands it to its parent.
void focusLeavesHidden(Window *w) {
    Window *f = wins().get(wins().queue(w->thread).focus);
    while (f && f != w)
        f = f->parent;
    if (f)
        SetFocus(toHwnd(w->parent));
}

} // namespace

CEAPI BOOL ShowWindow(HWND h, int cmd) {
    Window *w = needWindow(h);
    if (!w)
        return FALSE;
    BOOL was = (w->style & WS_VISIBLE) != 0;
    if (cmd == SW_HIDE || cmd == SW_MINIMIZE)
        w->style &= ~WS_VISIBLE;
    else
        w->style |= WS_VISIBLE;
    if (was != ((w->style & WS_VISIBLE) != 0))
        exposeScreen(RECT{w->left, w->top, w->right, w->bottom});
    if (cmd == SW_HIDE && w->parent && w->thread == kern().self()) {
        focusLeavesHidden(w);
        if (!(w = wins().get(h))) // the focus messages' handlers may have destroyed it
            return was;
    }
    if (cmd == SW_HIDE && wins().foreground == w->h) {
        wins().foreground = 0;
        if (Window *next = wins().pickForeground())
            wins().activate(next);
        else
            foregroundChanged();
    }
    if (!w->parent && w->thread && activatingShow(cmd))
        wins().activate(w);
    return was;
}

CEAPI BOOL EnableWindow(HWND h, BOOL enable) {
    Window *w = needWindow(h);
    if (!w)
        return FALSE;
    BOOL wasDisabled = (w->style & WS_DISABLED) != 0;
    if (enable)
        w->style &= ~WS_DISABLED;
    else
        w->style |= WS_DISABLED;
    return wasDisabled;
}

// ---- tree ----

CEAPI HWND GetWindow(HWND h, UINT cmd) {
    auto &ws = wins();
    Window *w = needWindow(h);
    if (!w)
        return nullptr;
    if (cmd == GW_CHILD) {
        if (w == ws.desktop)
            return ws.topLevel.empty() ? nullptr : toHwnd(ws.topLevel.front());
        return w->children.empty() ? nullptr : toHwnd(w->children.front());
    }
    if (cmd == GW_OWNER)
        return toHwnd(w->owner);
    if (w == ws.desktop)
        return nullptr;
    const std::vector<Window *> &sib = w->parent ? w->parent->children : ws.topLevel;
    auto it = std::find(sib.begin(), sib.end(), w);
    if (it == sib.end())
        return nullptr;
    switch (cmd) {
    case GW_HWNDFIRST:
        return toHwnd(sib.front());
    case GW_HWNDLAST:
        return toHwnd(sib.back());
    case GW_HWNDNEXT:
        return it + 1 == sib.end() ? nullptr : toHwnd(*(it + 1));
    case GW_HWNDPREV:
        return it == sib.begin() ? nullptr : toHwnd(*(it - 1));
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
}

CEAPI HWND GetParent(HWND h) {
    Window *w = needWindow(h);
    if (!w)
        return nullptr;
    return toHwnd(w->parent ? w->parent : w->owner);
}

CEAPI HWND GetDesktopWindow(void) {
    return toHwnd(wins().desktop);
}

CEAPI HWND FindWindowW(LPCWSTR cls, LPCWSTR title) {
    if (refusedPointer(title))
        return nullptr;
    auto &ws = wins();
    // A class may be named by its atom.
    auto byAtom = reservedPointer(cls) ? findClass(cls) : ws.classes.end();
    if (reservedPointer(cls) && byAtom == ws.classes.end()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    if (byAtom != ws.classes.end())
        cls = byAtom->second.name.c_str();
    std::vector<Window *> all = ws.topLevel;
    all.push_back(ws.desktop);
    for (Window *w : all) {
        if (cls && !equalsNoCase(w->className, cls))
            continue;
        if (title && w->text != title)
            continue;
        return toHwnd(w);
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
}
