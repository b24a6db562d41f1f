// The platform's shell: programs started through ShellExecuteEx, the soft input panel, and the
// platform's own programs.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace emul {

class Processes;

class Shell {
  public:
    bool sipOn = false; // the soft input panel is shown

    // The user's part in modal boxes. A scenario queues its answers (`answer`, `choose`); an
    // interactive front end may ask its user instead. With neither, a message box takes its
    // default button and the file dialog is cancelled.
    std::deque<bool> answers;                          // yes / no for the next message boxes
    std::deque<std::optional<std::u16string>> choices; // a path, or nullopt for cancel
    // Returns the button id (IDOK, IDYES, ...), or 0 to fall back to the default button.
    std::function<int(const std::u16string &text, const std::u16string &caption, uint32_t type)>
        askUser;
    // Returns the path picked, or nullopt for Cancel; starts in the program's initial folder.
    std::function<std::optional<std::u16string>(const std::u16string &initialDir)> chooseFile;
};

// Registers the platform's built-in programs ("Notes.exe") with the device's processes.
void registerPlatformPrograms(Processes &processes);
// The platform's other programs (mail, contacts, ... the shell's desktop and task bar).
void registerDevicePrograms(Processes &processes);

} // namespace emul
