// The platform's shell: programs started through ShellExecuteEx, the soft input panel.
#pragma once

#include <string>
#include <vector>

namespace emul {

class Shell {
  public:
    struct Launch {
        std::u16string file, params;
    };
    std::vector<Launch> launches; // what ShellExecuteEx started, in order
    bool sipOn = false;           // the soft input panel is shown
};

} // namespace emul
