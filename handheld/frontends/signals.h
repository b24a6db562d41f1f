// A device's temporary folder is removed also when the program is ended by a signal.
#pragma once

#include "emul/device.h"

#include <functional>
#include <string>

namespace handheld {

// Once it watches a device, SIGINT, SIGTERM and SIGHUP remove the device's temporary folder
// and then end the program as the signal would have; nothing for a device with a state folder.
// Declared before the device, so that it still watches while the device removes its folder.
class TempFolderOnSignals {
  public:
    TempFolderOnSignals() = default;
    ~TempFolderOnSignals();
    void watch(const emul::Device &device);
    TempFolderOnSignals(const TempFolderOnSignals &) = delete;
    TempFolderOnSignals &operator=(const TempFolderOnSignals &) = delete;

  private:
    bool armed_ = false;
};

// A front end that ends its device itself on a signal gives it a second: a device thread that
// spins without ever calling the platform keeps the front end from running, so once armed, a
// signal that `started` reports and that the front end has not followed when the second is up
// ends the program as the signal would, after `beforeEnd` (restoring the terminal). The hive
// needs nothing: every change is committed whole or not at all.
class SignalDeadline {
  public:
    explicit SignalDeadline(std::function<void()> beforeEnd = nullptr);
    ~SignalDeadline(); // disarms: the front end has ended its device
    // Async-signal-safe; called by the front end's signal handler.
    static void started(int sig);
    SignalDeadline(const SignalDeadline &) = delete;
    SignalDeadline &operator=(const SignalDeadline &) = delete;
};

} // namespace handheld
