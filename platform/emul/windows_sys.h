// The window system of the device: windows, classes, message queues, focus and foreground.
#pragma once

#include "emul/window_view.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace emul {

class ChangeCount;
class WindowDcSource;
struct Program;
struct Thread;

// Windows of no program: stand-ins that the host side places on the screen for other programs'
// windows. They have no procedure; what they are sent or posted is told to this listener, which
// also names them for the journal.
class UnownedWindows {
  public:
    virtual ~UnownedWindows() = default;
    virtual void received(uintptr_t hwnd, uint32_t msg, uintptr_t wparam, intptr_t lparam) = 0;
    virtual std::string name(uintptr_t hwnd) const = 0; // "": the window's class name
};

class WindowSystem {
  public:
    WindowSystem();
    ~WindowSystem();
    WindowSystem(const WindowSystem &) = delete;
    WindowSystem &operator=(const WindowSystem &) = delete;

    // The read-only look at the screen: sends no message and changes nothing.
    const WindowView &view() const { return view_; }
    // Name of a live window for the journal: a scene window's NAME, else its class name;
    // "" when `h` is not a live window.
    std::string journalName(uintptr_t h) const { return view_.journalName(h); }

    void setForeground(uintptr_t hwnd); // no journal line
    uintptr_t foreground() const;
    Program *foregroundProgram() const;
    // Text of a window (an edit box shows what was typed into it).
    std::u16string text(uintptr_t hwnd) const;
    bool textIs(uintptr_t hwnd, std::u16string_view text) const; // without a copy
    // Moves whenever a window is made or destroyed or its text changes, and whenever a message
    // queue gets a message, a quit or a timer: a wait on those (Kernel::block) is asked again
    // only then.
    const ChangeCount &changes() const;

    // Host-side access for the scenario runner and tests; none of these is journaled.
    uintptr_t desktop() const; // the shell's desktop window
    uintptr_t focus() const;   // where injected keys go: focus of the foreground thread
    bool isWindow(uintptr_t hwnd) const;
    // True while the thread waits in GetMessageW with nothing to do (a program ready for keys).
    bool waitingForInput(const Thread *t) const;
    // For a thread that waits for its user elsewhere (a question answered on the host's screen).
    void setWaitingForInput(Thread *t, bool waiting);
    std::u16string className(uintptr_t hwnd) const;
    // The window classes a program registered end with it, as on the platform.
    void forgetClassesOf(const Program *program);
    // Messages to a window as the platform itself sends them (a user's tap, the OK button). The
    // caller waits until the window has answered, or its thread waits for input again (it put
    // up a question while handling the message: 0 then).
    intptr_t send(uintptr_t hwnd, uint32_t msg, uintptr_t wparam, intptr_t lparam);
    bool post(uintptr_t hwnd, uint32_t msg, uintptr_t wparam, intptr_t lparam);
    // Posts to every top-level window of a program, as the shell tells them of a setting change
    // (WM_SETTINGCHANGE with SPI_SETSIPINFO when the input panel comes or goes).
    void broadcast(uint32_t msg, uintptr_t wparam, intptr_t lparam);
    // The input panel, shown or hidden as its button on the task bar does it (no journal line);
    // programs hear of a change.
    void setInputPanel(bool on);
    bool inputPanelShown() const;
    // The user picks entry `index` of a combo box from its open list.
    void pickEntry(uintptr_t combo, int index);
    // The pen on the glass at screen pixel (x, y), as the touch screen reports it: it goes
    // down, moves while it stays down, and lifts. Each is posted (WM_LBUTTONDOWN, WM_MOUSEMOVE,
    // WM_LBUTTONUP in client coordinates) to the window under the pen, or to the window that
    // keeps it: the one it went down on until it lifts, or the one that holds it by SetCapture.
    // A point off the screen counts as its nearest edge. No journal line. Returns the window
    // the pen went to, 0 when none took it. The caller lets that window's program run to see
    // what it does (the scenario runner waits until it waits for input again).
    enum class Pen { Down, Move, Up };
    uintptr_t pen(Pen what, int x, int y);

    // A window of no program, shown, without a procedure: top-level in screen coordinates, or
    // the last child of `parent` in its coordinates. Returns its handle.
    uintptr_t createUnowned(const std::u16string &className, uintptr_t parent, int left, int top,
                            int right, int bottom);
    void setUnownedWindows(std::shared_ptr<UnownedWindows> listener);
    UnownedWindows *unownedWindows() const;

    // What a window's device context may draw on (Graphics::setWindowSource).
    WindowDcSource *dcSource();
    // Everything on the screen paints again, as when the device starts.
    void paintScreen();

    // A thread's windows end with it (and the windows other threads made in them).
    void threadEnded(Thread *t);

    struct Impl;

  private:
    friend class WindowView;
    friend Impl &wins();
    std::unique_ptr<Impl> impl_;
    WindowView view_;
};

// The character a virtual key makes on the device's keyboard layout (US): modifier bits 1 Shift,
// 2 Ctrl, 4 Alt, 8 Caps Lock; 0 for none.
char16_t translateKey(uint8_t vk, uint32_t mods);

} // namespace emul
