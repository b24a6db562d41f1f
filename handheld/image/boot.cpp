// The device's start-up, its warm boot and the loop of the real-time front ends.
#include "image/boot.h"

#include "norvel_reg.h"

#include "emul/devmgr.h"
#include "emul/process.h"
#include "emul/registry.h"
#include "emul/text.h"
#include "emul/windows_sys.h"

namespace handheld {

namespace {

// Starts a platform program and lets the device run until it waits for input or has ended.
std::shared_ptr<emul::Program> startProgram(emul::Device &device, const char16_t *name) {
    uint32_t error = 0;
    std::shared_ptr<emul::Program> p = device.processes().start(name, u"", &error);
    if (p)
        device.kernel().block(
            [&device, p] {
                return p->exited() || device.windows().waitingForInput(p->thread.get());
            },
            emul::kNever);
    return p;
}

} // namespace

StartUp startUp(emul::Device &device) {
    StartUp up;
    const std::u16string key = NORVEL_DRIVER_KEY;
    if (device.registry().keyExists(key)) {
        up.driver = device.devices().activate(key, 0) != 0;
        device.journal().event(
            "activate", emul::Fields().str("key", emul::utf8(key)).boolean("result", up.driver));
    }
    startProgram(device, u"explorer.exe");
    up.notes = startProgram(device, u"Notes.exe");
    return up;
}

StartUp restartDevice(emul::Device &device) {
    device.restart();
    return startUp(device);
}

void runDevice(emul::Device &device, const DeviceLoop &loop) {
    emul::Kernel &k = device.kernel();
    for (;;) {
        auto ready = [&] {
            return device.restartRequested() || device.suspendRequested() || loop.work();
        };
        uint64_t deadline = loop.wakeAt ? loop.wakeAt() : emul::kNever;
        k.block(ready, deadline, loop.changes ? loop.changes() : emul::ChangeCounts());
        if (device.suspendRequested()) {
            device.suspend();
            if (loop.suspended)
                loop.suspended();
            else
                device.resume();
            continue;
        }
        if (device.restartRequested()) {
            StartUp up = restartDevice(device);
            if (loop.restarted)
                loop.restarted(up);
            continue;
        }
        if (!loop.step())
            return;
    }
}

} // namespace handheld
