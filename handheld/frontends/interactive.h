// The interactive device: `handheld` on a terminal. It boots the device from its state folder,
// draws its screen with ncurses and types through the built-in virtual keyboard.
#pragma once

#include <string>

namespace emul {
class Device;
}

namespace handheld {

struct InteractiveOptions {
    std::string state;  // state folder; empty: the default one
    bool reset = false; // start over with a newly installed device
    std::string build; // driver build of a new device; empty: the state folder's, else the baseline
    std::string record; // write the session to this scenario file
};

int runInteractive(const InteractiveOptions &options);

// A new device's Start menu, as an installer leaves it: one shortcut per program.
void installStartMenuShortcuts(emul::Device &device);

} // namespace handheld
