// The platform's shell: programs started through ShellExecuteEx, the soft input panel, and the
// platform's own programs.
#pragma once

#include <string>
#include <vector>

namespace emul {

class Processes;

class Shell {
  public:
    struct Launch {
        std::u16string file, params;
    };
    std::vector<Launch> launches; // what ShellExecuteEx started, in order
    bool sipOn = false;           // the soft input panel is shown
};

// Registers the platform's built-in programs ("Notes.exe") with the device's processes.
void registerPlatformPrograms(Processes &processes);
// The platform's other programs (mail, contacts, ... the shell's desktop and task bar).
void registerDevicePrograms(Processes &processes);

} // namespace emul
