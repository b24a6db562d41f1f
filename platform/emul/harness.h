// What exists for scenarios and tests rather than for the platform's semantics: scene windows
// (stand-ins for other programs' windows, owned by no program), what they received, and the
// foreground program's controls as `show` reports them. Acts on the current device.
#pragma once

#include "emul/answers.h"
#include "emul/window_view.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace emul::harness {

// A top-level scene window, or the last child of `parent`; screen coordinates for a top-level
// window, the parent's otherwise. Returns the HWND value.
uintptr_t createSceneWindow(const std::string &name, const std::u16string &className,
                            uintptr_t parent, int left, int top, int right, int bottom);
uintptr_t findSceneWindow(const std::string &name); // by NAME; 0 if none

// What a window of no program (a scene window, the desktop) was sent or posted, in order, from
// the device's first scene window on.
struct Received {
    uint32_t msg;
    uintptr_t wparam;
    intptr_t lparam;
};
std::vector<Received> received(uintptr_t hwnd);

// What `show ID` journals about a control: the window system's look at it (WindowView) in the
// journal's terms.
struct ControlState {
    int id = 0;
    std::string className, text;
    bool visible = false;
    std::optional<bool> checked;
    std::optional<int> pos, min, max;
    std::optional<std::vector<std::string>> items;
    std::optional<std::string> selected; // present with items; empty optional inside = null
    bool hasSelection = false;
};

// Control with this id among the windows of the foreground program, in the look-up order of
// the scenario contract (the page its tab control shows, other pages, the rest); 0 if none.
// Sends no message (see WindowView::findControl).
uintptr_t findControl(int id);
std::optional<ControlState> controlState(uintptr_t hwnd);
ControlState controlState(const WindowInfo &w);

// A scenario's answers (`answer`, `choose`), taken in order by the next message boxes and file
// dialogs. What the script leaves open goes to `otherwise` (the interactive device's screen), or
// gets the default (the box's default button, a cancelled dialog).
class ScriptedAnswers : public Answers {
  public:
    // "yes" presses the box's affirmative button; "no" its No button, else the last one.
    void answer(bool yes) { answers_.push_back(yes ? Box::Yes : Box::No); }
    // The next box stays up for the pen and the keys.
    void leaveBoxOpen() { answers_.push_back(Box::Open); }
    void choose(std::optional<std::u16string> path) {
        choices_.push_back(FilePick{std::move(path), false});
    }
    // The next file dialog stays up for the pen and the keys.
    void leaveFileDialogOpen() { choices_.push_back(FilePick{std::nullopt, true}); }
    Answers *otherwise = nullptr;

    int messageBox(const std::u16string &text, const std::u16string &caption,
                   uint32_t type) override;
    FilePick openFile(const std::u16string &initialDir) override;

  private:
    enum class Box { Yes, No, Open };
    std::deque<Box> answers_;
    std::deque<FilePick> choices_;
};

// The current device's scripted answers, given to its shell on first use.
ScriptedAnswers &scriptedAnswers();

} // namespace emul::harness
