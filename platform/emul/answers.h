// The user's part in the platform's modal questions: which button of a message box, which file
// in a file dialog. Each question is a real window of the platform; the shell asks the one
// Answers it holds what the user does with it: a scenario's script answers
// (harness::ScriptedAnswers) by pressing the button on the window, and the interactive device
// leaves the window up for the person at its screen, whose pen and keys answer it there. With
// no Answers, a message box takes its default button and a file dialog is cancelled.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace emul {

class Answers {
  public:
    virtual ~Answers() = default;
    // The button pressed (IDOK, IDYES, ...), 0 for the box's default button, or kOnScreen:
    // the box stays up until the pen or the keys answer it.
    static constexpr int kOnScreen = -1;
    virtual int messageBox(const std::u16string &text, const std::u16string &caption,
                           uint32_t type) = 0;
    // The path picked (nullopt: Cancel), or the dialog stays up for the pen and the keys.
    struct FilePick {
        std::optional<std::u16string> path;
        bool onScreen = false;
    };
    // The dialog opens in `initialDir`.
    virtual FilePick openFile(const std::u16string &initialDir) = 0;
};

// The buttons of a message box of this type (MB_OKCANCEL, ...), in the order they stand; the
// first is the affirmative one. A type the platform does not know is a box with OK.
std::vector<int> messageBoxButtons(uint32_t type);

} // namespace emul
