// A device's temporary folder is removed also when the program is ended by a signal.
#pragma once

#include "emul/device.h"

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

} // namespace handheld
