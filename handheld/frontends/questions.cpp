// Questions left up for the person at the screen.
#include "frontends/questions.h"

#include "frontends/recorder.h"

#include "emul/harness.h"

namespace handheld {

Questions::Questions(SessionRecorder &recorder) : recorder_(recorder) {
    emul::harness::scriptedAnswers().otherwise = this;
}

Questions::~Questions() {
    emul::harness::scriptedAnswers().otherwise = nullptr;
}

int Questions::messageBox(const std::u16string &, const std::u16string &, uint32_t) {
    recorder_.before("answer open");
    return kOnScreen;
}

Questions::FilePick Questions::openFile(const std::u16string &) {
    recorder_.before("choose open");
    return FilePick{std::nullopt, true};
}

} // namespace handheld
