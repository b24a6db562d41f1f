// The platform's shell: programs started through ShellExecuteEx, who answers modal questions,
// and the platform's own programs.
#pragma once

#include <cstdint>
#include <memory>

namespace emul {

class Answers;
class Processes;

class Shell {
  public:
    // Who answers message boxes and file dialogs (see emul/answers.h); null: nobody.
    std::shared_ptr<Answers> answers;
};

// Registers the platform's built-in programs ("Notes.exe") with the device's processes.
void registerPlatformPrograms(Processes &processes);
// The platform's other programs (mail, contacts, ... the shell's desktop and task bar).
void registerDevicePrograms(Processes &processes);

} // namespace emul
