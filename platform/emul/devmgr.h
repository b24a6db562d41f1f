// The Device Manager: stream drivers activated from their registry keys, the active keys,
// stream files ("IRK1:") and the power notifications.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace emul {

struct FileObject;

class DeviceManager {
  public:
    DeviceManager();
    ~DeviceManager();
    DeviceManager(const DeviceManager &) = delete;
    DeviceManager &operator=(const DeviceManager &) = delete;

    // ActivateDevice / DeactivateDevice with the platform's semantics (active keys
    // "Drivers\Active\NN", "Key", "Name", "ClientInfo", "Hnd"). activate returns 0 on failure
    // and sets the caller's last error. Neither is journaled; the CE calls journal themselves.
    uintptr_t activate(const std::u16string &driverKey, uint32_t clientInfo);
    bool deactivate(uintptr_t hnd);
    uintptr_t lastActivated() const;       // the newest active instance; 0 when none is active
    std::vector<uintptr_t> active() const; // in activation order
    std::u16string deviceName(uintptr_t hnd) const; // "IRK1:"
    std::u16string activeKey(uintptr_t hnd) const;  // "Drivers\Active\00"
    uintptr_t deviceContext(uintptr_t hnd) const;   // what XXX_Init returned
    void powerDown();                               // reverse activation order
    void powerUp();

    // Stream-device files: CreateFileW/ReadFile/CloseHandle on "XXXn:" reach the driver.
    // Returns the file object, or null with *error set (55: no such device).
    std::shared_ptr<FileObject> openStream(const std::u16string &name, uint32_t access,
                                           uint32_t share, uint32_t *error);

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

} // namespace emul
