// The window system of the device: windows, classes, message queues, focus and foreground.
#pragma once

#include <cstdint>
#include <string>

namespace emul {

class WindowSystem {
  public:
    WindowSystem();
    ~WindowSystem();
    // Name of a live window for the journal ("" when `h` is not a live window).
    std::string journalName(uintptr_t h) const;
    struct Impl;
    Impl &impl() { return *impl_; }

  private:
    Impl *impl_;
};

} // namespace emul
