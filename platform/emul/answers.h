// The user's part in the platform's modal questions: which button of a message box, which file
// in a file dialog. The shell asks the one Answers it holds; a scenario's script answers
// (harness::ScriptedAnswers), and the interactive device puts what the script leaves to the
// person at its screen. With none, a message box takes its default button and a file dialog is
// cancelled.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace emul {

class Answers {
  public:
    virtual ~Answers() = default;
    // The button pressed (IDOK, IDYES, ...), or 0 for the box's default button.
    virtual int messageBox(const std::u16string &text, const std::u16string &caption,
                           uint32_t type) = 0;
    // The path picked, or nullopt for Cancel; the dialog opens in `initialDir`.
    virtual std::optional<std::u16string> openFile(const std::u16string &initialDir) = 0;
};

// The buttons of a message box of this type (MB_OKCANCEL, ...), in the order they stand; the
// first is the affirmative one.
std::vector<int> messageBoxButtons(uint32_t type);

} // namespace emul
