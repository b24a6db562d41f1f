// A scenario's answers to message boxes and file dialogs.
#include <windows.h>

#include "emul/device.h"
#include "emul/harness.h"
#include "emul/shell.h"

namespace emul::harness {

int ScriptedAnswers::messageBox(const std::u16string &text, const std::u16string &caption,
                                uint32_t type) {
    if (answers_.empty())
        return otherwise ? otherwise->messageBox(text, caption, type) : 0;
    Box a = answers_.front();
    answers_.pop_front();
    if (a == Box::Open)
        return kOnScreen;
    std::vector<int> b = messageBoxButtons(type);
    if (a == Box::Yes)
        return b.front();
    if ((type & 0xF) == MB_YESNO || (type & 0xF) == MB_YESNOCANCEL)
        return IDNO;
    return b.back();
}

Answers::FilePick ScriptedAnswers::openFile(const std::u16string &initialDir) {
    if (choices_.empty())
        return otherwise ? otherwise->openFile(initialDir) : FilePick{};
    FilePick pick = std::move(choices_.front());
    choices_.pop_front();
    return pick;
}

ScriptedAnswers &scriptedAnswers() {
    Shell &shell = dev().shell();
    auto *scripted = dynamic_cast<ScriptedAnswers *>(shell.answers.get());
    if (!scripted) {
        auto made = std::make_shared<ScriptedAnswers>();
        scripted = made.get();
        shell.answers = std::move(made);
    }
    return *scripted;
}

} // namespace emul::harness
