// Message boxes and file dialogs that a program puts to the person at the screen. They stay up
// as the platform's own windows, which every front end shows and the pen and the keys answer.
// Each one goes into the recording as `answer open` or `choose open` ahead of what brought it
// up, so that a replay leaves it up as well and plays the same taps and keys on it.
#pragma once

#include "emul/answers.h"

namespace handheld {

class SessionRecorder;

class Questions : public emul::Answers {
  public:
    // Answers what the device's scenario script leaves open, for the life of this object.
    explicit Questions(SessionRecorder &recorder);
    ~Questions() override;
    Questions(const Questions &) = delete;
    Questions &operator=(const Questions &) = delete;

    int messageBox(const std::u16string &text, const std::u16string &caption,
                   uint32_t type) override;
    FilePick openFile(const std::u16string &initialDir) override;

  private:
    SessionRecorder &recorder_;
};

} // namespace handheld
