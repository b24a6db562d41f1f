// CE kernel calls: last error, memory, threads, events, waits, time, version, strings.
#include <windows.h>

#include "emul/device.h"
#include "emul/faults.h"
#include "emul/process.h"
#include "emul/text.h"
#include "kernel/user_pointers.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <typeinfo>

using namespace emul;

namespace {

struct EventObject final : KObject {
    bool manual = false, state = false;
    std::u16string name;
    std::string name8;       // the name as the journal writes it, made once
    bool name8Plain = false; // it needs no escaping, so records refer to it
    const char *kind() const override { return "event"; }
    bool signalled() const override { return state; }
    void consume() override {
        if (!manual)
            state = false;
    }
};

struct ThreadObject : KObject {
    std::shared_ptr<Thread> thread;
    const char *kind() const override { return "thread"; }
    bool signalled() const override { return thread->exited(); }
};

} // namespace

void *emul::newThreadHandle(Thread *t) {
    auto obj = std::make_shared<ThreadObject>();
    obj->thread = t->shared_from_this();
    return dev().handles().add(obj);
}

namespace {

uint64_t deadlineAfter(DWORD ms) {
    return ms == INFINITE ? kNever : kern().now() + ms;
}

} // namespace

CEAPI DWORD GetLastError(void) {
    return kern().self()->lastError;
}

CEAPI void SetLastError(DWORD e) {
    kern().self()->lastError = e;
}

CEAPI HLOCAL LocalAlloc(UINT flags, UINT bytes) {
    if (failing("LocalAlloc")) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    void *p = (flags & LMEM_ZEROINIT) ? std::calloc(1, bytes ? bytes : 1)
                                      : std::malloc(bytes ? bytes : 1);
    if (!p)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return p;
}

CEAPI HLOCAL LocalFree(HLOCAL h) {
    std::free(h);
    return nullptr;
}

namespace {

// An exception that nothing in the thread handled: the journal says so, and in a program it
// ends the whole program with the exception's code, as an unhandled exception ends a process.
// A thread of the Device Manager's (a driver's) just ends; the device goes on.
void endFaultedThread(uint32_t fault) {
    Kernel &k = kern();
    Thread *self = k.self();
    Fields f;
    if (self->program)
        f.str("program", utf8(self->program->name));
    dev().journal().event("exception", f.num("thread", self->id).num("code", fault));
    if (self->program)
        for (Thread *t : k.threads())
            if (t != self && t->program == self->program)
                k.kill(t, fault);
}

} // namespace

CEAPI HANDLE CreateThread(LPSECURITY_ATTRIBUTES, DWORD, LPTHREAD_START_ROUTINE start, LPVOID param,
                          DWORD, LPDWORD id) {
    if (failing("CreateThread") || !start) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    Kernel &k = kern();
    Program *program = k.self()->program;
    auto t = k.spawn("thread", [start, param] {
        DWORD code = 0;
        if (uint32_t fault = runGuarded([&] { code = start(param); })) {
            endFaultedThread(fault);
            return fault;
        }
        return uint32_t(code);
    });
    t->program = program;
    if (id)
        *id = t->id;
    return newThreadHandle(t.get());
}

CEAPI BOOL TerminateThread(HANDLE h, DWORD code) {
    auto t = dev().handles().getAs<ThreadObject>(h);
    if (!t) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    kern().kill(t->thread.get(), code);
    return TRUE;
}

CEAPI void ExitThread(DWORD code) {
    Thread *t = kern().self();
    t->exitCode = code;
    kern().kill(t, code);
}

CEAPI BOOL GetExitCodeThread(HANDLE h, LPDWORD code) {
    auto t = dev().handles().getAs<ThreadObject>(h);
    if (!t || !code) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *code = t->thread->exited() ? t->thread->exitCode : STILL_ACTIVE;
    return TRUE;
}

CEAPI DWORD ResumeThread(HANDLE) {
    return 0;
}

CEAPI HANDLE GetCurrentThread(void) {
    return reinterpret_cast<HANDLE>(intptr_t(-2));
}

CEAPI DWORD GetCurrentThreadId(void) {
    return kern().self()->id;
}

CEAPI BOOL CloseHandle(HANDLE h) {
    Device &d = dev();
    auto obj = d.handles().get(h);
    if (!obj) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!obj->journalName.empty())
        d.journal().call("CloseHandle", Fields().str("name", obj->journalName));
    obj.reset(); // onClose runs only when the table holds the last reference
    d.handles().close(h);
    return TRUE;
}

CEAPI HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manual, BOOL initial, LPCWSTR name) {
    if (refusedPointer(name))
        return nullptr;
    if (failing("CreateEventW")) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    Device &d = dev();
    if (name && *name) {
        auto it = d.namedObjects.find(name);
        if (it != d.namedObjects.end()) {
            if (auto existing = it->second.lock()) {
                if (!std::dynamic_pointer_cast<EventObject>(existing)) {
                    SetLastError(ERROR_INVALID_HANDLE);
                    return nullptr;
                }
                SetLastError(ERROR_ALREADY_EXISTS);
                return d.handles().add(existing);
            }
        }
    }
    auto ev = std::make_shared<EventObject>();
    ev->manual = manual != 0;
    ev->state = initial != 0;
    if (name && *name) {
        ev->name = name;
        d.namedObjects[name] = ev;
    }
    ev->name8 = utf8(ev->name);
    ev->name8Plain = isPlainText(ev->name8);
    SetLastError(0);
    return d.handles().add(ev);
}

namespace {

// Releases the threads waiting now, then leaves the event reset. The event is held while the
// others run, as one of them may close the handle.
BOOL pulseEvent(HANDLE h) {
    std::shared_ptr<KObject> obj = dev().handles().get(h);
    auto *ev = dynamic_cast<EventObject *>(obj.get());
    if (!ev) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    ev->state = true;
    kern().yield();
    ev->state = false;
    return TRUE;
}

} // namespace

CEAPI BOOL EventModify(HANDLE h, DWORD func) {
    Device &d = dev();
    // Keys set an event each: the exact type is checked, which costs less than a cast, and the
    // table's reference serves until the call gives up the turn.
    KObject *obj = d.handles().borrow(h);
    if (!obj || typeid(*obj) != typeid(EventObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto *ev = static_cast<EventObject *>(obj);
    switch (func) {
    case EVENT_SET:
        if (ev->name8.empty())
            d.journal().call("SetEvent", Fields().null("name"));
        else if (ev->name8Plain)
            d.journal().call("SetEvent", Fields().plain("name", ev->name8));
        else
            d.journal().call("SetEvent", Fields().str("name", ev->name8));
        ev->state = true;
        return TRUE;
    case EVENT_RESET:
        ev->state = false;
        return TRUE;
    case EVENT_PULSE:
        return pulseEvent(h);
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

CEAPI DWORD WaitForSingleObject(HANDLE h, DWORD ms) {
    auto obj = dev().handles().get(h);
    if (!obj) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    if (!obj->signalled()) {
        if (ms == 0 || !kern().block([obj] { return obj->signalled(); }, deadlineAfter(ms)))
            return WAIT_TIMEOUT;
    }
    obj->consume();
    return WAIT_OBJECT_0;
}

CEAPI DWORD WaitForMultipleObjects(DWORD n, const HANDLE *hs, BOOL all, DWORD ms) {
    if (all || n == 0 || !hs) {
        SetLastError(ERROR_INVALID_PARAMETER); // CE supports only waiting for any one object
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<KObject>> objs;
    for (DWORD i = 0; i < n; ++i) {
        auto o = dev().handles().get(hs[i]);
        if (!o) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objs.push_back(o);
    }
    auto first = [&objs]() -> int {
        for (size_t i = 0; i < objs.size(); ++i)
            if (objs[i]->signalled())
                return int(i);
        return -1;
    };
    if (first() < 0 && (ms == 0 || !kern().block([&] { return first() >= 0; }, deadlineAfter(ms))))
        return WAIT_TIMEOUT;
    int i = first();
    objs[i]->consume();
    return WAIT_OBJECT_0 + i;
}

CEAPI void Sleep(DWORD ms) {
    if (ms == 0)
        kern().yield();
    else
        kern().block(nullptr, deadlineAfter(ms));
}

CEAPI DWORD GetTickCount(void) {
    Kernel &k = kern();
    k.preemptionPoint(); // a thread that waits by watching the clock lets time move on
    return k.tick();
}

CEAPI void GetLocalTime(LPSYSTEMTIME st) {
    // Device time starts at a fixed date so that runs are repeatable.
    uint64_t s = kern().now() / 1000;
    *st = SYSTEMTIME{2004,
                     1,
                     4,
                     1,
                     WORD(s / 3600 % 24),
                     WORD(s / 60 % 60),
                     WORD(s % 60),
                     WORD(kern().now() % 1000)};
}

CEAPI void GetSystemTime(LPSYSTEMTIME st) {
    GetLocalTime(st);
}

CEAPI BOOL DisableThreadLibraryCalls(HMODULE) {
    return TRUE;
}

CEAPI BOOL GetVersionExW(LPOSVERSIONINFOW v) {
    if (!v || v->dwOSVersionInfoSize < sizeof(OSVERSIONINFOW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Device &d = dev();
    v->dwMajorVersion = d.options().majorVersion;
    v->dwMinorVersion = d.options().minorVersion;
    v->dwBuildNumber = d.buildNumber();
    v->dwPlatformId = VER_PLATFORM_WIN32_CE;
    v->szCSDVersion[0] = 0;
    return TRUE;
}

CEAPI void OutputDebugStringW(LPCWSTR s) {
    dev().debugLog().push_back(s ? s : u"");
}

/* ---- run-time wide strings ---- */

size_t wcslen(const WCHAR *s) {
    size_t n = 0;
    while (s[n])
        ++n;
    return n;
}

int wcscmp(const WCHAR *a, const WCHAR *b) {
    while (*a && *a == *b)
        ++a, ++b;
    return int(*a) - int(*b);
}

int wcsncmp(const WCHAR *a, const WCHAR *b, size_t n) {
    for (; n; --n, ++a, ++b) {
        if (*a != *b)
            return int(*a) - int(*b);
        if (!*a)
            return 0;
    }
    return 0;
}

int _wcsicmp(const WCHAR *a, const WCHAR *b) {
    auto low = [](WCHAR c) { return (c >= u'A' && c <= u'Z') ? WCHAR(c + 32) : c; };
    while (*a && low(*a) == low(*b))
        ++a, ++b;
    return int(low(*a)) - int(low(*b));
}

WCHAR *wcscpy(WCHAR *d, const WCHAR *s) {
    WCHAR *r = d;
    while ((*d++ = *s++))
        ;
    return r;
}

WCHAR *wcsncpy(WCHAR *d, const WCHAR *s, size_t n) {
    size_t i = 0;
    for (; i < n && s[i]; ++i)
        d[i] = s[i];
    for (; i < n; ++i)
        d[i] = 0;
    return d;
}

WCHAR *wcscat(WCHAR *d, const WCHAR *s) {
    wcscpy(d + wcslen(d), s);
    return d;
}

WCHAR *wcsrchr(const WCHAR *s, WCHAR c) {
    const WCHAR *r = nullptr;
    for (;; ++s) {
        if (*s == c)
            r = s;
        if (!*s)
            break;
    }
    return const_cast<WCHAR *>(r);
}

WCHAR *wcschr(const WCHAR *s, WCHAR c) {
    for (;; ++s) {
        if (*s == c)
            return const_cast<WCHAR *>(s);
        if (!*s)
            return nullptr;
    }
}

WCHAR *wcsstr(const WCHAR *s, const WCHAR *sub) {
    size_t n = wcslen(sub);
    for (; *s; ++s)
        if (wcsncmp(s, sub, n) == 0)
            return const_cast<WCHAR *>(s);
    return n == 0 ? const_cast<WCHAR *>(s) : nullptr;
}

// wsprintfW: %[-][0][width](d|i|u|x|X|c|s|S|ls|hs|%); output limited to 1024 characters.
CEAPI int wsprintfW(LPWSTR out, LPCWSTR fmt, ...) {
    if (refusedPointer(out, fmt))
        return 0;
    va_list ap;
    va_start(ap, fmt);
    std::u16string r;
    for (const WCHAR *p = fmt; *p; ++p) {
        if (*p != u'%') {
            r += *p;
            continue;
        }
        ++p;
        bool left = false, zero = false;
        for (; *p == u'-' || *p == u'0'; ++p)
            (*p == u'-' ? left : zero) = true;
        int width = 0;
        for (; *p >= u'0' && *p <= u'9'; ++p)
            width = width * 10 + (*p - u'0');
        bool narrow = false;
        if (*p == u'l')
            ++p;
        else if (*p == u'h')
            narrow = true, ++p;
        std::u16string field;
        switch (*p) {
        case u'd':
        case u'i': {
            long long v = va_arg(ap, int);
            std::string s = std::to_string(v);
            field.assign(s.begin(), s.end());
            break;
        }
        case u'u':
        case u'x':
        case u'X': {
            unsigned v = va_arg(ap, unsigned);
            char buf[16];
            std::snprintf(buf, sizeof buf, *p == u'u' ? "%u" : *p == u'x' ? "%x" : "%X", v);
            field.assign(buf, buf + std::strlen(buf));
            break;
        }
        case u'c':
            field += WCHAR(va_arg(ap, int));
            break;
        case u's':
        case u'S': {
            if (narrow || *p == u'S') {
                const char *s = va_arg(ap, const char *);
                if (!s)
                    s = "(null)";
                field.assign(s, s + std::strlen(s));
            } else {
                const WCHAR *s = va_arg(ap, const WCHAR *);
                field = s ? s : u"(null)";
            }
            break;
        }
        case u'%':
            field = u"%";
            break;
        case 0:
            --p;
            break;
        default:
            field += *p;
        }
        while (int(field.size()) < width)
            field = left ? field + u' ' : (zero ? u'0' : u' ') + field;
        r += field;
    }
    va_end(ap);
    if (r.size() > 1023)
        r.resize(1023);
    for (size_t i = 0; i < r.size(); ++i)
        out[i] = r[i];
    out[r.size()] = 0;
    return int(r.size());
}
