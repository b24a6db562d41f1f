// The device's start-up and its run loop: what the installation starts when the device boots,
// the warm boot that a reboot request asks for, and the loop the real-time front ends run in.
#pragma once

#include "emul/device.h"

#include <functional>
#include <memory>

namespace emul {
struct Program;
}

namespace handheld {

struct StartUp {
    bool driver = false;                  // the Device Manager loaded the keyboard driver
    std::shared_ptr<emul::Program> notes; // null when Notes did not start
};

// The installation's start-up: the Device Manager loads the keyboard driver from its key (the
// event "activate", as `boot` journals it; nothing when the key is gone), the shell's desktop
// and task bar come up, and Notes comes to the front, ready for keys.
StartUp startUp(emul::Device &device);
// The warm boot that a reboot request asks for: the device restarts, then starts up.
StartUp restartDevice(emul::Device &device);

struct DeviceLoop {
    std::function<bool()> work; // the front end has something to do
    std::function<bool()> step; // does it; false ends the loop
    std::function<void(const StartUp &)> restarted;
    // The power key has suspended the device; the front end resumes it (Device::resume) when
    // its user presses a button. Without this the device resumes at once.
    std::function<void()> suspended;
    // Optional: counts of which one moves with every change `work` looks at (see
    // Kernel::block); none for a `work` asked at every switch.
    std::function<emul::ChangeCounts()> changes;
    // Optional: the device time at which to step even without work.
    std::function<uint64_t()> wakeAt;
};

// Runs the device until a step says stop. The loop sleeps until there is work, a reboot request
// or the power key: a reboot request restarts the device and tells the front end what its
// start-up brought; the power key suspends it.
void runDevice(emul::Device &device, const DeviceLoop &loop);

} // namespace handheld
