// Message queues: one per emulated thread, with sent messages, posted messages, the quit flag
// and timers. A thread waiting in GetMessageW (or in a SendMessageW to another thread) handles
// the messages other threads send to it.
#include "gwes/paint/paint.h"
#include "gwes/win_internal.h"

#include "gwes/message_params.h"

#include "emul/process.h"

#include <algorithm>

namespace emul {

namespace {

MSG makeMsg(uintptr_t h, UINT msg, WPARAM wp, LPARAM lp) {
    MSG m{};
    m.hwnd = toHwnd(h);
    m.message = msg;
    m.wParam = wp;
    m.lParam = lp;
    m.time = kern().tick();
    auto &ws = wins();
    m.pt = POINT{ws.cursorX, ws.cursorY};
    return m;
}

struct InputWait {
    Queue &q;
    explicit InputWait(Queue &q) : q(q) { q.waitingForInput = true; }
    ~InputWait() { q.waitingForInput = false; }
};

} // namespace

LRESULT WindowSystem::Impl::call(Window *w, UINT msg, WPARAM wp, LPARAM lp) {
    WNDPROC p = w->proc;
    if (!w->thread || !p)
        return defaultProc(w, msg, wp, lp);
    uintptr_t h = w->h;
    LRESULT r = p(toHwnd(w), msg, wp, lp);
    if (w->builtinClass && (w = get(h)) != nullptr)
        afterControlMessage(w, msg, wp);
    return r;
}

void WindowSystem::Impl::processSent(Queue &q) {
    while (!q.sent.empty()) {
        std::shared_ptr<SentMessage> sm = q.sent.front();
        q.sent.pop_front();
        Window *w = get(sm->hwnd);
        sm->result = w ? call(w, sm->msg, sm->wp, sm->lp) : 0;
        sm->done = true;
    }
}

LRESULT WindowSystem::Impl::send(Window *w, UINT msg, WPARAM wp, LPARAM lp, bool fromUser) {
    Thread *self = kern().self();
    if (w->destroyed && !w->thread)
        return 0; // a window of an ended thread, or a scene window that is gone
    if (!w->thread) {
        if (unowned)
            received(w, makeMsg(w->h, msg, wp, lp));
        return defaultProc(w, msg, wp, lp);
    }
    if (w->thread == self)
        return call(w, msg, wp, lp);
    // Held while waiting: the target may end meanwhile, and its queue go with it.
    std::shared_ptr<Thread> target = w->thread->shared_from_this();
    if (target->exited())
        return 0;
    auto sm = std::make_shared<SentMessage>();
    sm->hwnd = w->h;
    sm->msg = msg;
    sm->wp = wp;
    sm->lp = lp;
    Queue &targetQueue = queue(target.get());
    targetQueue.sent.push_back(sm);
    changed();
    targetQueue.waitingForInput = false; // it has something to do now
    Queue &mine = queue(self);
    // The user's input does not wait for a program that went on to wait for more input (a
    // question it put up while handling it).
    auto waitsForUser = [&] {
        auto theirs = queues.find(target.get());
        return fromUser && theirs != queues.end() && theirs->second.waitingForInput;
    };
    for (;;) {
        processSent(mine);
        if (sm->done)
            return sm->result;
        if (waitsForUser())
            return 0;
        if (target->exited()) {
            auto theirs = queues.find(target.get());
            if (theirs != queues.end()) {
                auto &s = theirs->second.sent;
                s.erase(std::remove(s.begin(), s.end(), sm), s.end());
            }
            return 0;
        }
        kern().block(
            [&] { return sm->done || target->exited() || !mine.sent.empty() || waitsForUser(); },
            kNever);
    }
}

bool WindowSystem::Impl::post(Window *w, UINT msg, WPARAM wp, LPARAM lp, bool translate,
                              uint32_t mods) {
    if (w->destroyed && !w->thread)
        return false;
    if (!w->thread) {
        if (unowned)
            received(w, makeMsg(w->h, msg, wp, lp));
        return true;
    }
    if (w->thread->exited())
        return false;
    QueuedMessage q;
    q.m = makeMsg(w->h, msg, wp, lp);
    q.translate = translate;
    q.mods = mods;
    Queue &theirs = queue(w->thread);
    theirs.posted.push_back(q);
    changed();
    theirs.waitingForInput = false; // it has something to do now
    return true;
}

} // namespace emul

using namespace emul;

namespace {

bool isKeyMessage(UINT m) {
    return m >= WM_KEYDOWN && m <= WM_SYSCHAR;
}

bool matches(const MSG &m, HWND filter, UINT lo, UINT hi) {
    if (lo || hi)
        if (m.message < lo || m.message > hi)
            return false;
    if (!filter)
        return true;
    if (filter == reinterpret_cast<HWND>(intptr_t(-1)))
        return m.hwnd == nullptr;
    // A window filter takes that window's messages and its descendants'.
    auto &ws = wins();
    for (Window *w = ws.get(m.hwnd); w; w = w->parent)
        if (toHwnd(w) == filter)
            return true;
    return false;
}

uint64_t earliestTimer(const Queue &q) {
    uint64_t due = kNever;
    for (const Timer &t : q.timers)
        due = std::min(due, t.due);
    return due;
}

bool hasMessage(Queue &q, HWND filter, UINT lo, UINT hi) {
    if (q.quit || !q.sent.empty())
        return true;
    for (const QueuedMessage &m : q.posted)
        if (matches(m.m, filter, lo, hi))
            return true;
    if (!q.timers.empty()) {
        uint64_t now = kern().now();
        for (const Timer &t : q.timers)
            if (t.due <= now)
                return true;
    }
    return paintWaiting(q, filter, lo, hi);
}

// Takes (or looks at) the next message for the filter: posted and input messages, then the
// quit message, then due timers, and WM_PAINT last, so a burst of keys is painted once.
bool takeMessage(Queue &q, MSG *out, HWND filter, UINT lo, UINT hi, bool remove) {
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (!matches(it->m, filter, lo, hi))
            continue;
        *out = it->m;
        if (isKeyMessage(it->m.message)) {
            q.lastKey = *it;
            q.hasLastKey = true;
        }
        if (remove)
            q.posted.erase(it);
        return true;
    }
    if (q.quit) {
        *out = MSG{};
        out->message = WM_QUIT;
        out->wParam = WPARAM(q.quitCode);
        out->time = kern().tick();
        if (remove)
            q.quit = false;
        return true;
    }
    uint64_t now = kern().now();
    for (Timer &t : q.timers) {
        if (t.due > now)
            continue;
        MSG m{};
        m.hwnd = toHwnd(t.hwnd);
        m.message = WM_TIMER;
        if (!matches(m, filter, lo, hi))
            continue;
        m.wParam = t.id;
        m.lParam = reinterpret_cast<LPARAM>(t.proc);
        m.time = kern().tick();
        *out = m;
        if (remove)
            t.due = now + std::max<uint32_t>(t.elapse, 1);
        return true;
    }
    // WM_PAINT stays until the window is validated, removed or not.
    return takePaint(q, out, filter, lo, hi);
}

} // namespace

CEAPI BOOL GetMessageW(LPMSG msg, HWND h, UINT lo, UINT hi) {
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    auto &ws = wins();
    Thread *self = kern().self();
    Queue &q = ws.queue(self);
    for (;;) {
        ws.processSent(q);
        if (takeMessage(q, msg, h, lo, hi, true))
            return msg->message != WM_QUIT;
        InputWait waiting(q);
        // Asked again only when the window system changed: a timer that comes due meanwhile
        // wakes the thread through its deadline.
        kern().block([&] { return hasMessage(q, h, lo, hi); }, earliestTimer(q), ws.changes);
    }
}

CEAPI BOOL PeekMessageW(LPMSG msg, HWND h, UINT lo, UINT hi, UINT flags) {
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto &ws = wins();
    Queue &q = ws.queue(kern().self());
    ws.processSent(q);
    if (takeMessage(q, msg, h, lo, hi, (flags & PM_REMOVE) != 0))
        return TRUE;
    // A polling loop lets the other threads run, as a real device's scheduler would.
    kern().yield();
    ws.processSent(q);
    return takeMessage(q, msg, h, lo, hi, (flags & PM_REMOVE) != 0);
}

CEAPI BOOL TranslateMessage(const MSG *m) {
    if (!m || (m->message != WM_KEYDOWN && m->message != WM_SYSKEYDOWN))
        return FALSE;
    auto &ws = wins();
    Queue &q = ws.queue(kern().self());
    bool translate = true;
    uint32_t mods = ws.mods;
    const MSG &k = q.lastKey.m;
    if (q.hasLastKey && k.hwnd == m->hwnd && k.message == m->message && k.wParam == m->wParam &&
        k.lParam == m->lParam) {
        translate = q.lastKey.translate;
        mods = q.lastKey.mods;
    }
    if (!translate)
        return TRUE;
    char16_t ch = translateKey(uint8_t(m->wParam), mods);
    if (ch) {
        QueuedMessage c;
        c.m = *m;
        c.m.message = WM_CHAR;
        c.m.wParam = ch;
        c.translate = false;
        c.mods = mods;
        q.posted.push_front(c); // the character comes before anything queued after the key
        wins().changed();
    }
    return TRUE;
}

CEAPI LRESULT DispatchMessageW(const MSG *m) {
    if (!m)
        return 0;
    if (m->message == WM_TIMER && m->lParam) {
        reinterpret_cast<TIMERPROC>(m->lParam)(m->hwnd, WM_TIMER, m->wParam, kern().tick());
        return 0;
    }
    Window *w = wins().get(m->hwnd);
    return w ? wins().call(w, m->message, m->wParam, m->lParam) : 0;
}

CEAPI LRESULT DefWindowProcW(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = wins().get(h);
    return w ? defaultProc(w, msg, wp, lp) : 0;
}

CEAPI LRESULT CallWindowProcW(WNDPROC p, HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    p = wins().tokenProc(reinterpret_cast<uintptr_t>(p));
    return p ? p(h, msg, wp, lp) : 0;
}

CEAPI void PostQuitMessage(int code) {
    Queue &q = wins().queue(kern().self());
    q.quit = true;
    q.quitCode = code;
    wins().changed();
}

CEAPI BOOL PostThreadMessageW(DWORD id, UINT msg, WPARAM wp, LPARAM lp) {
    for (Thread *t : kern().threads()) {
        if (t->id != id || t->exited())
            continue;
        QueuedMessage q;
        q.m = MSG{};
        q.m.message = msg;
        q.m.wParam = wp;
        q.m.lParam = lp;
        q.m.time = kern().tick();
        Queue &theirs = wins().queue(t);
        theirs.posted.push_back(q);
        wins().changed();
        theirs.waitingForInput = false;
        return TRUE;
    }
    SetLastError(1444); // ERROR_INVALID_THREAD_ID
    return FALSE;
}

namespace {

// The calling program's own windows are its business; everything else is journaled.
bool journaled(const Window *w) {
    Program *mine = kern().self()->program;
    return !mine || !w || w->program != mine;
}

void journalMessage(const char *call, HWND h, const Window *w, UINT msg, WPARAM wp, LPARAM lp) {
    if (!journaled(w))
        return;
    MessageParams kinds = messageParams(msg, w ? w->className : std::u16string());
    // Numbers as the 32-bit device has them: WPARAM unsigned, LPARAM signed.
    dev().journal().call(call, Fields()
                                   .hwnd("hwnd", reinterpret_cast<uintptr_t>(h))
                                   .num("msg", msg)
                                   .param("wparam", int64_t(uint32_t(wp)), kinds.wparamIsWindow)
                                   .param("lparam", int64_t(int32_t(lp)), kinds.lparamIsWindow));
}

} // namespace

CEAPI LRESULT SendMessageW(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto &ws = wins();
    Window *w = ws.get(h);
    journalMessage("SendMessageW", h, w, msg, wp, lp);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return ws.send(w, msg, wp, lp);
}

CEAPI BOOL PostMessageW(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto &ws = wins();
    Window *w = ws.get(h);
    journalMessage("PostMessageW", h, w, msg, wp, lp);
    if (!h)
        return PostThreadMessageW(kern().self()->id, msg, wp, lp);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return ws.post(w, msg, wp, lp);
}

CEAPI UINT_PTR SetTimer(HWND h, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    auto &ws = wins();
    Thread *owner = kern().self();
    if (h) {
        Window *w = ws.get(h);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (w->thread)
            owner = w->thread;
    } else {
        id = ws.nextTimerId++;
    }
    Queue &q = ws.queue(owner);
    Timer t;
    t.hwnd = reinterpret_cast<uintptr_t>(h);
    t.id = id;
    t.elapse = elapse;
    t.due = kern().now() + std::max<UINT>(elapse, 1);
    t.proc = proc;
    ws.changed();
    // A thread that waits for messages meanwhile wakes when this timer is due.
    if (owner != kern().self())
        kern().wakeBy(owner, t.due);
    for (Timer &x : q.timers)
        if (x.hwnd == t.hwnd && x.id == id) {
            x = t;
            return id ? id : 1;
        }
    q.timers.push_back(t);
    return id ? id : 1;
}

CEAPI BOOL KillTimer(HWND h, UINT_PTR id) {
    auto &ws = wins();
    uintptr_t hv = reinterpret_cast<uintptr_t>(h);
    for (auto &e : ws.queues) {
        auto &v = e.second.timers;
        auto it = std::find_if(v.begin(), v.end(),
                               [&](const Timer &t) { return t.hwnd == hv && t.id == id; });
        if (it != v.end()) {
            v.erase(it);
            return TRUE;
        }
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}
