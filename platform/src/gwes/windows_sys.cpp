// The window system: the window tree, classes, foreground and focus, and the window calls of
// coredll that act on them. Messages are in win_msg.cpp, controls in win_controls.cpp.
#include "gwes/win_internal.h"

#include "emul/devmgr.h"
#include "emul/text.h"

#include <algorithm>

namespace emul {

WindowSystem::Impl &wins() {
    WindowSystem::Impl &ws = dev().windows().impl();
    ws.reap();
    return ws;
}

WindowSystem::WindowSystem() : impl_(new Impl) {
    registerBuiltinControls(*impl_);
    registerMoreClasses(*impl_);
    WndClass desk;
    desk.name = u"DesktopExplorerWindow";
    desk.builtin = true;
    impl_->classes[foldCase(desk.name)] = desk;
    // The shell's desktop always exists, below every top-level window.
    Window *d = impl_->make(desk.name, nullptr, 0, 0, kScreenWidth, kScreenHeight);
    d->style = WS_VISIBLE;
    impl_->topLevel.clear(); // the desktop is below the top-level list, not in it
    impl_->desktop = d;
}

WindowSystem::~WindowSystem() {
    delete impl_;
}

Window *WindowSystem::Impl::make(const std::u16string &className, Window *parent, int l, int t,
                                 int r, int b) {
    auto w = std::make_unique<Window>();
    w->h = nextHandle;
    nextHandle += 4;
    w->className = className;
    auto c = classes.find(foldCase(className));
    if (c != classes.end()) {
        w->className = c->second.name;
        w->proc = c->second.proc;
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
    topLevel.erase(std::remove(topLevel.begin(), topLevel.end(), w), topLevel.end());
    auto pos = topLevel.begin();
    if (!w->topmost)
        while (pos != topLevel.end() && (*pos)->topmost)
            ++pos;
    topLevel.insert(pos, w);
}

void WindowSystem::Impl::activate(Window *w) {
    w = topLevelOf(w);
    if (!w)
        return;
    foreground = w->h;
    raise(w);
    if (w->thread)
        queue(w->thread).active = w->h;
}

Window *WindowSystem::Impl::pickForeground() const {
    for (Window *w : topLevel)
        if (w->thread && !w->thread->exited && (w->style & WS_VISIBLE))
            return w;
    return nullptr;
}

void WindowSystem::Impl::destroy(Window *w) {
    if (w->destroyed)
        return;
    w->destroyed = true;
    if (w->thread && !w->thread->exited)
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
}

void WindowSystem::Impl::unlink(Window *w) {
    w->destroyed = true;
    if (w->parent) {
        auto &sib = w->parent->children;
        sib.erase(std::remove(sib.begin(), sib.end(), w), sib.end());
    } else {
        topLevel.erase(std::remove(topLevel.begin(), topLevel.end(), w), topLevel.end());
    }
    windows.erase(w->h);
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
    }
}

void WindowSystem::Impl::reap() {
    // A thread's windows end with the thread.
    std::vector<Window *> dead;
    for (auto &e : windows)
        if (e.second->thread && e.second->thread->exited)
            dead.push_back(e.second);
    for (Window *w : dead)
        unlink(w);
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

// ---- host API ----

std::string WindowSystem::journalName(uintptr_t h) const {
    Window *w = impl_->get(h);
    if (!w)
        return "";
    return w->sceneName.empty() ? utf8(w->className) : w->sceneName;
}

uintptr_t WindowSystem::createSceneWindow(const std::string &name, const std::u16string &className,
                                          uintptr_t parent, int left, int top, int right,
                                          int bottom) {
    Window *p = parent ? impl_->get(parent) : nullptr;
    if (p) {
        left += p->left;
        right += p->left;
        top += p->top;
        bottom += p->top;
    }
    Window *w = impl_->make(className, p, left, top, right, bottom);
    w->sceneName = name;
    w->className = className; // a scene window keeps the spelling it was given
    w->proc = nullptr;
    w->style = WS_VISIBLE | (p ? WS_CHILD : 0);
    return w->h;
}

uintptr_t WindowSystem::findByName(const std::string &name) const {
    for (auto &e : impl_->windows)
        if (e.second->sceneName == name)
            return e.first;
    return 0;
}

void WindowSystem::setForeground(uintptr_t hwnd) {
    if (Window *w = impl_->get(hwnd))
        impl_->activate(w);
}

uintptr_t WindowSystem::foreground() const {
    return impl_->get(impl_->foreground) ? impl_->foreground : 0;
}

Program *WindowSystem::foregroundProgram() const {
    Window *w = impl_->get(impl_->foreground);
    return w ? static_cast<Program *>(w->program) : nullptr;
}

std::u16string WindowSystem::text(uintptr_t hwnd) const {
    Window *w = impl_->get(hwnd);
    return w ? w->text : std::u16string();
}

uintptr_t WindowSystem::focus() const {
    return impl_->focusOfForeground();
}

bool WindowSystem::isWindow(uintptr_t hwnd) const {
    return impl_->get(hwnd) != nullptr;
}

std::u16string WindowSystem::className(uintptr_t hwnd) const {
    Window *w = impl_->get(hwnd);
    return w ? w->className : std::u16string();
}

std::vector<WindowSystem::Received> WindowSystem::received(uintptr_t hwnd) const {
    std::vector<Received> out;
    if (Window *w = impl_->get(hwnd))
        for (const MSG &m : w->received)
            out.push_back(Received{m.message, uintptr_t(m.wParam), intptr_t(m.lParam)});
    return out;
}

intptr_t WindowSystem::send(uintptr_t hwnd, uint32_t msg, uintptr_t wp, intptr_t lp) {
    Window *w = impl_->get(hwnd);
    return w ? impl_->send(w, msg, wp, lp) : 0;
}

bool WindowSystem::post(uintptr_t hwnd, uint32_t msg, uintptr_t wp, intptr_t lp) {
    Window *w = impl_->get(hwnd);
    return w && impl_->post(w, msg, wp, lp);
}

void WindowSystem::broadcast(uint32_t msg, uintptr_t wp, intptr_t lp) {
    impl_->reap();
    std::vector<Window *> tops = impl_->topLevel;
    for (Window *w : tops)
        if (w->thread)
            impl_->post(w, msg, wp, lp);
}

uintptr_t WindowSystem::desktop() const {
    return impl_->desktop->h;
}

std::vector<uintptr_t> WindowSystem::windowsOf(const Program *program) const {
    std::vector<uintptr_t> out;
    for (auto &e : impl_->windows)
        if (e.second->program == program && program)
            out.push_back(e.first);
    return out;
}

} // namespace emul

using namespace emul;

namespace {

std::u16string str16(LPCWSTR s) {
    return s ? std::u16string(s) : std::u16string();
}

Window *needWindow(HWND h) {
    Window *w = wins().get(h);
    if (!w)
        setLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

bool isVisibleChain(const Window *w) {
    for (; w; w = w->parent)
        if (!(w->style & WS_VISIBLE))
            return false;
    return true;
}

bool contains(const Window *w, int x, int y) {
    return x >= w->left && x < w->right && y >= w->top && y < w->bottom;
}

Window *deepestAt(Window *w, int x, int y) {
    for (Window *c : w->children)
        if ((c->style & WS_VISIBLE) && !(c->style & WS_DISABLED) && contains(c, x, y))
            return deepestAt(c, x, y);
    return w;
}

void moveTree(Window *w, int dx, int dy) {
    w->left += dx;
    w->right += dx;
    w->top += dy;
    w->bottom += dy;
    for (Window *c : w->children)
        moveTree(c, dx, dy);
}

// Moves and sizes a window; x/y relative to the parent's client area (screen for top-level).
void place(Window *w, int x, int y, int cx, int cy) {
    int ox = w->parent ? w->parent->left : 0, oy = w->parent ? w->parent->top : 0;
    moveTree(w, ox + x - w->left, oy + y - w->top);
    w->right = w->left + cx;
    w->bottom = w->top + cy;
}

bool activatingShow(int cmd) {
    return cmd == SW_SHOWNORMAL || cmd == SW_SHOW || cmd == SW_SHOWMAXIMIZED || cmd == SW_RESTORE;
}

} // namespace

Window *WindowSystem::Impl::at(int x, int y) {
    for (Window *w : topLevel)
        if ((w->style & WS_VISIBLE) && !(w->style & WS_DISABLED) && contains(w, x, y))
            return deepestAt(w, x, y);
    return contains(desktop, x, y) ? deepestAt(desktop, x, y) : nullptr;
}

// ---- classes ----

CEAPI ATOM RegisterClassW(const WNDCLASSW *wc) {
    if (!wc || !wc->lpszClassName || !*wc->lpszClassName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto &ws = wins();
    std::u16string key = foldCase(wc->lpszClassName);
    if (ws.classes.count(key)) {
        SetLastError(kErrorClassExists);
        return 0;
    }
    WndClass c;
    c.name = wc->lpszClassName;
    c.proc = wc->lpfnWndProc;
    c.style = wc->style;
    c.wndExtra = wc->cbWndExtra;
    c.instance = wc->hInstance;
    ws.classes[key] = c;
    return ATOM(0xC000 + ws.classes.size());
}

CEAPI BOOL UnregisterClassW(LPCWSTR name, HINSTANCE) {
    auto &ws = wins();
    auto it = name ? ws.classes.find(foldCase(name)) : ws.classes.end();
    if (it == ws.classes.end() || it->second.builtin) {
        SetLastError(kErrorCannotFindClass);
        return FALSE;
    }
    for (auto &e : ws.windows)
        if (equalsNoCase(e.second->className, it->second.name)) {
            SetLastError(kErrorClassHasWindows);
            return FALSE;
        }
    ws.classes.erase(it);
    return TRUE;
}

// ---- creation and destruction ----

CEAPI HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x,
                           int y, int cx, int cy, HWND parentH, HMENU menu, HINSTANCE instance,
                           LPVOID param) {
    auto &ws = wins();
    auto cls = className ? ws.classes.find(foldCase(className)) : ws.classes.end();
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
        // The visible desktop between the navigation bar and the menu bar.
        if (!parent) {
            if (x == CW_USEDEFAULT)
                x = 0, y = 26;
            if (cx == CW_USEDEFAULT)
                cx = kScreenWidth, cy = 268;
        } else {
            if (x == CW_USEDEFAULT)
                x = 0, y = 0;
            if (cx == CW_USEDEFAULT)
                cx = 0, cy = 0;
        }
    }
    if (y == CW_USEDEFAULT)
        y = parent ? 0 : 26;
    if (cy == CW_USEDEFAULT)
        cy = parent ? 0 : 268;
    int ox = parent ? parent->left : 0, oy = parent ? parent->top : 0;
    Window *w = ws.make(cls->second.name, parent, ox + x, oy + y, ox + x + cx, oy + y + cy);
    w->text = str16(title);
    w->style = style;
    w->exStyle = exStyle;
    w->owner = owner;
    w->id = parent ? int(reinterpret_cast<intptr_t>(menu)) : 0;
    Thread *self = kern().self();
    w->thread = self;
    self->keepRecord = true;
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

CEAPI BOOL ShowWindow(HWND h, int cmd) {
    Window *w = needWindow(h);
    if (!w)
        return FALSE;
    BOOL was = (w->style & WS_VISIBLE) != 0;
    if (cmd == SW_HIDE || cmd == SW_MINIMIZE)
        w->style &= ~WS_VISIBLE;
    else
        w->style |= WS_VISIBLE;
    if (cmd == SW_HIDE && wins().foreground == w->h) {
        wins().foreground = 0;
        if (Window *next = wins().pickForeground())
            wins().activate(next);
    }
    if (!w->parent && w->thread && activatingShow(cmd))
        wins().activate(w);
    return was;
}

CEAPI BOOL UpdateWindow(HWND h) {
    return wins().get(h) != nullptr;
}

CEAPI BOOL InvalidateRect(HWND, const RECT *, BOOL) {
    return TRUE;
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

CEAPI int GetClassNameW(HWND h, LPWSTR buf, int max) {
    Window *w = needWindow(h);
    if (!w || !buf || max <= 0) {
        if (w)
            SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = std::min(w->className.size(), size_t(max - 1));
    std::copy(w->className.begin(), w->className.begin() + n, buf);
    buf[n] = 0;
    return int(n);
}

CEAPI HWND FindWindowW(LPCWSTR cls, LPCWSTR title) {
    auto &ws = wins();
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

// ---- foreground, focus ----

CEAPI HWND GetForegroundWindow(void) {
    auto &ws = wins();
    return ws.get(ws.foreground) ? toHwnd(ws.foreground) : nullptr;
}

CEAPI BOOL SetForegroundWindow(HWND h) {
    // Programs pass the handle with bit 0 set to bring owned pop-ups along.
    uintptr_t v = reinterpret_cast<uintptr_t>(h) & ~uintptr_t(1);
    dev().journal().call("SetForegroundWindow", Fields().hwnd("hwnd", v));
    Window *w = needWindow(toHwnd(v));
    if (!w)
        return FALSE;
    wins().activate(w);
    return TRUE;
}

CEAPI HWND SetFocus(HWND h) {
    auto &ws = wins();
    Queue &mine = ws.queue(kern().self());
    HWND previous = toHwnd(ws.get(mine.focus));
    if (!h) {
        mine.focus = 0;
        return previous;
    }
    Window *w = needWindow(h);
    if (!w)
        return nullptr;
    if (w->thread) {
        Queue &q = ws.queue(w->thread);
        if (w->thread != kern().self())
            previous = toHwnd(ws.get(q.focus));
        uintptr_t old = q.focus;
        q.focus = w->h;
        if (Window *top = ws.topLevelOf(w))
            q.active = top->h;
        if (old != w->h && w->thread == kern().self()) {
            if (Window *o = ws.get(old))
                ws.send(o, WM_KILLFOCUS, w->h, 0);
            ws.send(w, WM_SETFOCUS, old, 0);
        }
    }
    return previous;
}

CEAPI HWND GetFocus(void) {
    auto &ws = wins();
    return toHwnd(ws.get(ws.queue(kern().self()).focus));
}

CEAPI HWND GetActiveWindow(void) {
    auto &ws = wins();
    return toHwnd(ws.get(ws.queue(kern().self()).active));
}

CEAPI HWND SetActiveWindow(HWND h) {
    auto &ws = wins();
    Queue &q = ws.queue(kern().self());
    HWND previous = toHwnd(ws.get(q.active));
    Window *w = needWindow(h);
    if (!w)
        return nullptr;
    q.active = ws.topLevelOf(w)->h;
    return previous;
}

// ---- geometry ----

CEAPI BOOL SetWindowPos(HWND h, HWND after, int x, int y, int cx, int cy, UINT flags) {
    auto &ws = wins();
    uintptr_t a = reinterpret_cast<uintptr_t>(after);
    Fields f;
    f.hwnd("hwnd", reinterpret_cast<uintptr_t>(h));
    if (ws.get(a))
        f.hwnd("after", a);
    else
        f.num("after", int64_t(intptr_t(a)));
    dev().journal().call("SetWindowPos",
                         f.num("x", x).num("y", y).num("cx", cx).num("cy", cy).num("flags", flags));
    Window *w = needWindow(h);
    if (!w || w == ws.desktop)
        return FALSE;
    int nx = x, ny = y, ncx = cx, ncy = cy;
    int ox = w->parent ? w->parent->left : 0, oy = w->parent ? w->parent->top : 0;
    if (flags & SWP_NOMOVE)
        nx = w->left - ox, ny = w->top - oy;
    if (flags & SWP_NOSIZE)
        ncx = w->right - w->left, ncy = w->bottom - w->top;
    place(w, nx, ny, ncx, ncy);
    if (flags & SWP_SHOWWINDOW)
        w->style |= WS_VISIBLE;
    if (flags & SWP_HIDEWINDOW)
        w->style &= ~WS_VISIBLE;
    if (!(flags & SWP_NOZORDER) && !w->parent) {
        if (after == HWND_TOPMOST)
            w->topmost = true;
        else if (after == HWND_NOTOPMOST)
            w->topmost = false;
        if (after == HWND_BOTTOM) {
            ws.topLevel.erase(std::remove(ws.topLevel.begin(), ws.topLevel.end(), w),
                              ws.topLevel.end());
            ws.topLevel.push_back(w);
        } else if (Window *ref = ws.get(a)) {
            if (ref != w && !ref->parent) {
                ws.topLevel.erase(std::remove(ws.topLevel.begin(), ws.topLevel.end(), w),
                                  ws.topLevel.end());
                auto pos = std::find(ws.topLevel.begin(), ws.topLevel.end(), ref);
                ws.topLevel.insert(pos == ws.topLevel.end() ? pos : pos + 1, w);
            }
        } else {
            ws.raise(w);
        }
    }
    return TRUE;
}

CEAPI BOOL MoveWindow(HWND h, int x, int y, int cx, int cy, BOOL) {
    Window *w = needWindow(h);
    if (!w || w == wins().desktop)
        return FALSE;
    place(w, x, y, cx, cy);
    wins().send(w, WM_SIZE, 0, MAKELPARAM(cx, cy));
    return TRUE;
}

CEAPI BOOL GetWindowRect(HWND h, LPRECT r) {
    Window *w = needWindow(h);
    if (!w || !r)
        return FALSE;
    *r = RECT{w->left, w->top, w->right, w->bottom};
    return TRUE;
}

CEAPI BOOL GetClientRect(HWND h, LPRECT r) {
    Window *w = needWindow(h);
    if (!w || !r)
        return FALSE;
    *r = RECT{0, 0, w->right - w->left, w->bottom - w->top};
    return TRUE;
}

CEAPI HWND WindowFromPoint(POINT p) {
    return toHwnd(wins().at(p.x, p.y));
}

CEAPI BOOL ScreenToClient(HWND h, LPPOINT p) {
    Window *w = needWindow(h);
    if (!w || !p)
        return FALSE;
    p->x -= w->left;
    p->y -= w->top;
    return TRUE;
}

CEAPI BOOL ClientToScreen(HWND h, LPPOINT p) {
    Window *w = needWindow(h);
    if (!w || !p)
        return FALSE;
    p->x += w->left;
    p->y += w->top;
    return TRUE;
}

// ---- window data ----

namespace {

LONG_PTR getLong(HWND h, int index, bool narrow) {
    Window *w = needWindow(h);
    if (!w)
        return 0;
    switch (index) {
    case GWL_WNDPROC:
        return narrow ? LONG_PTR(wins().procToken(w->proc)) : reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_STYLE:
        return LONG_PTR(LONG(w->style));
    case GWL_EXSTYLE:
        return LONG_PTR(LONG(w->exStyle));
    case GWL_ID:
        return w->id;
    case GWL_USERDATA:
        return w->userData;
    }
    if (index < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto it = w->longs.find(index);
    return it == w->longs.end() ? 0 : it->second;
}

LONG_PTR setLong(HWND h, int index, LONG_PTR v, bool narrow) {
    Window *w = needWindow(h);
    if (!w)
        return 0;
    LONG_PTR old = getLong(h, index, narrow);
    switch (index) {
    case GWL_WNDPROC:
        w->proc = narrow ? wins().tokenProc(uintptr_t(uint32_t(v))) : reinterpret_cast<WNDPROC>(v);
        return old;
    case GWL_STYLE:
        w->style = uint32_t(v);
        return old;
    case GWL_EXSTYLE:
        w->exStyle = uint32_t(v);
        return old;
    case GWL_ID:
        w->id = int(v);
        return old;
    case GWL_USERDATA:
        w->userData = v;
        return old;
    }
    if (index < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    w->longs[index] = v;
    return old;
}

} // namespace

CEAPI LONG GetWindowLongW(HWND h, int index) {
    return LONG(getLong(h, index, true));
}
CEAPI LONG SetWindowLongW(HWND h, int index, LONG v) {
    return LONG(setLong(h, index, v, true));
}
CEAPI LONG_PTR GetWindowLongPtrW(HWND h, int index) {
    return getLong(h, index, false);
}
CEAPI LONG_PTR SetWindowLongPtrW(HWND h, int index, LONG_PTR v) {
    return setLong(h, index, v, false);
}

CEAPI int GetWindowTextW(HWND h, LPWSTR buf, int max) {
    Window *w = needWindow(h);
    if (!w || !buf || max <= 0)
        return 0;
    return int(wins().send(w, WM_GETTEXT, WPARAM(max), reinterpret_cast<LPARAM>(buf)));
}

CEAPI int GetWindowTextLengthW(HWND h) {
    Window *w = needWindow(h);
    return w ? int(wins().send(w, WM_GETTEXTLENGTH, 0, 0)) : 0;
}

CEAPI BOOL SetWindowTextW(HWND h, LPCWSTR text) {
    Window *w = needWindow(h);
    if (!w)
        return FALSE;
    return BOOL(wins().send(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : u"")));
}

// ---- dialog helpers ----

CEAPI HWND GetDlgItem(HWND dlg, int id) {
    Window *w = needWindow(dlg);
    if (!w)
        return nullptr;
    for (Window *c : w->children)
        if (c->id == id)
            return toHwnd(c);
    SetLastError(1421); // ERROR_CONTROL_ID_NOT_FOUND
    return nullptr;
}

CEAPI int GetDlgCtrlID(HWND h) {
    Window *w = needWindow(h);
    return w && w->parent ? w->id : 0;
}

CEAPI BOOL SetDlgItemTextW(HWND dlg, int id, LPCWSTR text) {
    HWND c = GetDlgItem(dlg, id);
    return c ? SetWindowTextW(c, text) : FALSE;
}

CEAPI UINT GetDlgItemTextW(HWND dlg, int id, LPWSTR buf, int max) {
    HWND c = GetDlgItem(dlg, id);
    if (!c) {
        if (buf && max > 0)
            buf[0] = 0;
        return 0;
    }
    return UINT(GetWindowTextW(c, buf, max));
}

CEAPI LRESULT SendDlgItemMessageW(HWND dlg, int id, UINT msg, WPARAM wp, LPARAM lp) {
    HWND c = GetDlgItem(dlg, id);
    return c ? SendMessageW(c, msg, wp, lp) : 0;
}

CEAPI BOOL CheckDlgButton(HWND dlg, int id, UINT check) {
    HWND c = GetDlgItem(dlg, id);
    if (!c)
        return FALSE;
    SendMessageW(c, BM_SETCHECK, check, 0);
    return TRUE;
}

CEAPI UINT IsDlgButtonChecked(HWND dlg, int id) {
    HWND c = GetDlgItem(dlg, id);
    return c ? UINT(SendMessageW(c, BM_GETCHECK, 0, 0)) : 0;
}
