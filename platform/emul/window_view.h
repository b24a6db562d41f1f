// The window system looked at from the host: what is on the screen, read without sending a
// message or changing anything, so that any of it may be asked inside a kernel wake condition.
// For the scenario harness, the front ends' screens and tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace emul {

struct Program;
class WindowSystem;

// What a window is to a person looking at the screen.
enum class ControlKind {
    Window, // a program's own window class, the desktop, a scene window
    Dialog,
    Static,
    PushButton,
    CheckBox,
    RadioButton,
    GroupBox,
    Edit,
    Ink, // the notes program's ink document: typed text, several lines
    ComboBox,
    // A list: a combo box's open list ("ComboLBox") or the Start menu, pop-ups above
    // everything, or the file dialog's list of a folder.
    ListBox,
    Trackbar,
    Tabs,
    MenuBar,
};

// One window as it stands.
struct WindowInfo {
    uintptr_t hwnd = 0;
    uintptr_t parent = 0, owner = 0;  // 0: none
    const Program *program = nullptr; // null: the platform's own or a window of no program
    bool unowned = false;             // of no thread: the desktop, a scene window
    ControlKind kind = ControlKind::Window;
    std::u16string className; // spelled as registered
    std::u16string text;      // the window's text
    // What it shows as text: a combo box its selected entry, else `text` ("&" marks kept).
    std::u16string label;
    uint32_t style = 0, exStyle = 0;
    int id = 0;
    int left = 0, top = 0, right = 0, bottom = 0; // screen coordinates
    bool visible = false;                         // it and every ancestor have WS_VISIBLE
    bool enabled = false;
    bool focused = false; // injected keys go to it
    bool topmost = false;
    // What a built-in control shows beyond its text; unset for the kinds that lack it.
    std::optional<bool> checked;                      // check boxes and radio buttons
    std::optional<int> pos, min, max;                 // trackbars
    std::optional<std::vector<std::u16string>> items; // combo box and list entries, tabs
    int selected = -1; // with items: the selected one (in an open list the marked one), -1 none
    std::optional<int> topIndex; // an open list: the first entry shown
    // Edit boxes and the ink document: the selection (start < end, equal when there is none)
    // and the caret (at one of its ends), as positions in `text`.
    std::optional<int> selStart, selEnd, caret;
    struct Box {
        int left = 0, top = 0, right = 0, bottom = 0;
    };
    // Screen coordinates of where each tab stands; in a list, of each entry shown, from topIndex
    // on.
    std::vector<Box> itemBoxes;
    std::vector<WindowInfo> children; // first child first; see snapshot()
};

class WindowView {
  public:
    explicit WindowView(const WindowSystem &ws) : ws_(ws) {}

    bool isWindow(uintptr_t hwnd) const;
    // One live window, its children left out; nullopt for anything else.
    std::optional<WindowInfo> window(uintptr_t hwnd) const;
    // Every top-level window, the top of the z-order first, each with its descendants; the
    // desktop (with the windows made in it) last.
    std::vector<WindowInfo> snapshot() const;
    // The windows of a program: its top-level windows in z-order, each followed by its
    // descendants in tree order; children left out.
    std::vector<WindowInfo> windowsOf(const Program *program) const;
    // A program's control with this id as a person finds it: on the page its tab control shows,
    // then on its other pages in tab order, then among the rest of its windows, where a shown
    // control wins over a hidden one. 0 if none.
    uintptr_t findControl(const Program *program, int id) const;
    // The program's tab control (the first one in its windows), or 0.
    uintptr_t tabControlOf(const Program *program) const;
    uintptr_t foreground() const;
    // The window whose title the task bar shows (the one in front, or the program beneath the
    // Start menu while it is open); 0 for none or the desktop.
    uintptr_t taskBarProgram() const;
    const Program *foregroundProgram() const;
    uintptr_t focus() const; // where injected keys go: focus of the foreground thread
    uintptr_t desktop() const;
    // What the journal calls a live window: a scene window's name, else its class name; ""
    // when `hwnd` is not a live window.
    std::string journalName(uintptr_t hwnd) const;

  private:
    const WindowSystem &ws_;
};

} // namespace emul
