// Inside the window system: windows, classes, per-thread message queues and the input state.
// For the window system's own sources (gwes/, commctrl/ and the shell's parts of it) only.
#pragma once

#include <windows.h>

#include "emul/device.h"
#include "emul/screen_layout.h"
#include "emul/windows_sys.h"

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace emul {

// Short names of the screen's layout (emul/screen_layout.h).
constexpr int kScreenWidth = screen::kWidth;
constexpr int kScreenHeight = screen::kHeight;
constexpr int kTaskBarHeight = screen::kTaskBarHeight;
constexpr uint32_t kErrorCannotFindClass = 1407;
constexpr uint32_t kErrorClassExists = 1410;
constexpr uint32_t kErrorClassHasWindows = 1412;

struct Window;
struct PaintState;
struct Clipboard;

// Built-in control procedures keep their state behind this.
struct ControlData {
    virtual ~ControlData() = default;
    // What the control shows beyond its window's text and style (a check, entries, a position).
    virtual void inspect(const Window &, WindowInfo &) const {}
};

// The state record of a built-in control, made on first use.
template <class Data> Data *controlData(Window *w);

struct WndClass {
    std::u16string name; // spelled as registered
    WNDPROC proc = nullptr;
    uint32_t style = 0;
    int wndExtra = 0;
    void *instance = nullptr;
    bool builtin = false;
    const Program *program = nullptr; // who registered it; null: the platform or its host side
    HBRUSH background = nullptr;      // WM_ERASEBKGND's brush; null: the background stays
    ATOM atom = 0;                    // what RegisterClassW returned; 0 for the built-in ones
};

struct Window {
    uintptr_t h = 0;
    std::u16string className;
    WNDPROC proc = nullptr;
    std::u16string text;
    uint32_t style = 0, exStyle = 0;
    int left = 0, top = 0, right = 0, bottom = 0; // screen coordinates
    Window *parent = nullptr, *owner = nullptr;
    std::vector<Window *> children; // GW_CHILD first
    int id = 0;
    LONG_PTR userData = 0;
    std::map<int, LONG_PTR> longs;        // extra bytes and the DWL_ slots of dialogs
    Thread *thread = nullptr;             // null: a window of no program (see UnownedWindows)
    std::shared_ptr<Thread> threadRecord; // keeps `thread` valid while the window is kept
    Program *program = nullptr;
    bool destroyed = false;
    bool unlinked = false; // out of the tree: its destruction is complete
    bool topmost = false;
    bool builtinClass = false;            // a control of the window system's own
    HFONT font = nullptr;                 // a built-in control's font, from WM_SETFONT
    std::shared_ptr<ControlData> control; // the state of a built-in control
    // What needs painting, relative to the window's top-left corner (gwes/paint/), and whether
    // its background wants erasing first.
    std::vector<RECT> update;
    bool eraseUpdate = false;
};

template <class Data> Data *controlData(Window *w) {
    if (!w->control)
        w->control = std::make_shared<Data>();
    return static_cast<Data *>(w->control.get());
}

// A message sent to another thread's window, waiting to be handled there.
struct SentMessage {
    uintptr_t hwnd = 0;
    UINT msg = 0;
    WPARAM wp = 0;
    LPARAM lp = 0;
    LRESULT result = 0;
    bool done = false;
};

// A queued message with what TranslateMessage needs from the moment the key was injected.
struct QueuedMessage {
    MSG m{};
    bool translate = true; // PostKeybdMessage keys carry their characters already
    uint32_t mods = 0;     // kMod* bits at injection
};

constexpr uint32_t kModShift = 1, kModCtrl = 2, kModAlt = 4, kModCaps = 8;

struct Timer {
    uintptr_t hwnd = 0;
    UINT_PTR id = 0;
    uint32_t elapse = 0;
    uint64_t due = 0;
    TIMERPROC proc = nullptr;
};

struct Queue {
    std::shared_ptr<Thread> owner; // keeps the map's key valid
    std::deque<QueuedMessage> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    bool quit = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    uintptr_t focus = 0, active = 0;
    QueuedMessage lastKey; // the last keyboard message GetMessageW/PeekMessageW returned
    bool hasLastKey = false;
    // Blocked in GetMessageW with nothing to do: what scenarios and the live device wait for
    // before they type.
    bool waitingForInput = false;
    // A window of this thread may want painting: WM_PAINT is looked for only then.
    bool paintDirty = false;
};

struct WindowSystem::Impl {
    std::map<uintptr_t, Window *> windows; // live windows by handle
    // The windows that are alive, or still being destroyed, of threads that have not ended.
    std::vector<std::unique_ptr<Window>> store;
    // The records of the last windows that were destroyed or whose thread ended, owned by no
    // thread: a caller still in the middle of a call with one finds a dead window rather than
    // freed memory. Bounded; the oldest go first.
    std::deque<std::unique_ptr<Window>> ended;
    static constexpr size_t kEndedKept = 64;
    uint64_t unlinks = 0, reapedUnlinks = 0; // windows taken out of the tree, and at the reap
    int destroying = 0;                      // depth of DestroyWindow's recursion
    // Windows made, destroyed or given another text, and messages, quits and timers queued
    // (see WindowSystem::changes()).
    OwnedChangeCount<Impl> changes;
    void changed() { changes.bump(); }
    std::vector<Window *> topLevel;             // z-order, top first
    std::map<std::u16string, WndClass> classes; // by folded name
    std::map<Thread *, Queue> queues;
    Window *desktop = nullptr;
    std::shared_ptr<UnownedWindows> unowned; // told what windows of no program receive
    uintptr_t foreground = 0;
    uintptr_t nextHandle = 0x10000;
    UINT_PTR nextTimerId = 1; // timers of no window: numbered per device, from 1
    // Injected keyboard state: held modifiers and the Caps Lock toggle.
    uint32_t mods = 0;
    bool keyDown[256] = {};
    int cursorX = 0, cursorY = 0;
    // The pen: whether it is down, the window it went down on (which keeps it until it lifts)
    // and the window that holds it by SetCapture.
    bool penIsDown = false;
    uintptr_t penOwner = 0, capture = 0;
    // The pen went down on the task bar's OK button; it is drawn pressed while the pen is on it.
    bool okTracking = false, okPressed = false;
    bool inputPanel = false; // the soft input panel is shown
    // The window system's side of painting: device contexts' geometry, fonts (gwes/paint/).
    std::shared_ptr<PaintState> paint;
    std::shared_ptr<Clipboard> clipboard; // made at its first use (gwes/clipboard.cpp)
    // Window procedures handed out through the 32-bit GetWindowLongW(GWL_WNDPROC).
    std::vector<WNDPROC> procTokens;

    // A live window; the windows of a thread that has ended are gone with it.
    Window *get(uintptr_t h) const {
        auto it = windows.find(h);
        if (it == windows.end() || (it->second->thread && it->second->thread->exited()))
            return nullptr;
        return it->second;
    }
    Window *get(HWND h) const { return get(reinterpret_cast<uintptr_t>(h)); }
    Queue &queue(Thread *t) {
        Queue &q = queues[t];
        if (!q.owner)
            q.owner = t->shared_from_this();
        return q;
    }
    // `handle` 0: the next free one.
    Window *make(const std::u16string &className, Window *parent, int l, int t, int r, int b,
                 uintptr_t handle = 0);
    Window *topLevelOf(Window *w) const {
        while (w && w->parent)
            w = w->parent;
        return w;
    }
    void raise(Window *w);    // to the top of its z-order band (topmost windows stay above)
    void activate(Window *w); // foreground + active window of its thread, no journal line
    void destroy(Window *w);  // DestroyWindow without its checks
    void unlink(Window *w);   // out of the tree, the queues and the foreground
    // Unlinks the windows of a thread that has ended and those other threads made in them.
    void threadEnded(Thread *t);
    // Lets the records of unlinked windows go (a running thread may make and destroy windows
    // for ever). Only where a window was destroyed or a thread ended: every other call may be
    // asked inside a wake condition and must not change the tree.
    void reap();
    void received(Window *w, const MSG &m); // a window of no program was sent or posted `m`
    Window *at(int x, int y);               // WindowFromPoint: where the pen lands
    uintptr_t pen(WindowSystem::Pen what, int x, int y); // see WindowSystem::pen
    Window *pickForeground() const; // what becomes foreground when the foreground window goes
    // To any window, from any thread. `fromUser`: the user's input, which stops waiting when the
    // window's thread waits for input again before it has answered.
    LRESULT send(Window *w, UINT msg, WPARAM wp, LPARAM lp, bool fromUser = false);
    bool post(Window *w, UINT msg, WPARAM wp, LPARAM lp, bool translate = true, uint32_t mods = 0);
    LRESULT call(Window *w, UINT msg, WPARAM wp, LPARAM lp); // the procedure, on this thread
    void processSent(Queue &q);
    uintptr_t focusOfForeground() const; // where injected keys go
    WNDPROC tokenProc(uintptr_t v) const;
    LONG procToken(WNDPROC p);
};

inline HWND toHwnd(uintptr_t h) {
    return reinterpret_cast<HWND>(h);
}
inline HWND toHwnd(const Window *w) {
    return w ? reinterpret_cast<HWND>(w->h) : nullptr;
}
// The window system of the current device, for the platform's calls.
inline WindowSystem::Impl &wins() {
    return *dev().windows().impl_;
}

inline std::u16string str16(LPCWSTR s) {
    return s ? std::u16string(s) : std::u16string();
}

// A live window, else null with the caller's last error set.
inline Window *needWindow(HWND h) {
    Window *w = wins().get(h);
    if (!w)
        setLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

// Shown: the window and every ancestor visible.
inline bool isVisibleChain(const Window *w) {
    for (; w; w = w->parent)
        if (!(w->style & WS_VISIBLE))
            return false;
    return true;
}

// A registered class by its name or, for a value below 0x10000, by the atom RegisterClassW
// returned; classes.end() for none.
std::map<std::u16string, WndClass>::iterator findClass(LPCWSTR nameOrAtom);

// Built-in controls and the default procedure.
LRESULT defaultProc(Window *w, UINT msg, WPARAM wp, LPARAM lp);
void registerBuiltinControls(WindowSystem::Impl &ws);
// The character a key makes on the US layout with these modifiers; 0 for none.
char16_t translateKey(uint8_t vk, uint32_t mods);

} // namespace emul
