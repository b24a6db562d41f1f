// The device's power: the warm boot (what ends, what the device keeps) with the reboot request
// that asks for it, and suspend and resume.
#include <windows.h>

#include "emul/device.h"
#include "emul/devmgr.h"
#include "emul/graphics.h"
#include "emul/modules.h"
#include "emul/process.h"
#include "emul/shell.h"
#include "emul/windows_sys.h"
#include "shell/program_window.h"

namespace emul {

namespace {

// How long the programs have to close before a restart ends them.
constexpr uint64_t kCloseMs = 2000;

} // namespace

void HandleTable::clear() {
    std::vector<Entry> all;
    all.swap(table_);
    last_ = 0;
    for (Entry &e : all)
        if (e.obj.use_count() == 1)
            e.obj->onClose();
}

void Device::noteRebootRequest() {
    ++reboots_;
    restartPending_ = true;
    Thread *me = kernel_->self();
    rebootCaller_ = me;
    // A wait that asks its condition only when something moved sees the request too.
    kernel_->post([] {});
    // On the device the request does not return: the caller waits here until the restart ends
    // it. A host's own thread (a test) gets the answer at once.
    if (me && me != kernel_->mainThread())
        kernel_->block([] { return false; }, kNever);
}

void Device::closePrograms(uint64_t ms) {
    std::vector<std::shared_ptr<Program>> running;
    for (const std::shared_ptr<Program> &p : processes_->programs()) {
        if (p->exited() || (p->thread && p->thread.get() == rebootCaller_))
            continue;
        running.push_back(p);
        for (const WindowInfo &w : windows_->view().windowsOf(p.get()))
            if (!w.parent && !w.owner)
                windows_->post(w.hwnd, WM_CLOSE, 0, 0);
    }
    if (!running.empty())
        kernel_->block(
            [&running] {
                for (auto &p : running)
                    if (!p->exited())
                        return false;
                return true;
            },
            kernel_->now() + ms);
    kernel_->endThreads([](const Thread &t) { return t.program != nullptr; });
}

void Device::restart() {
    journal_.event("restart", Fields());
    restartPending_ = false;
    closePrograms(kCloseMs);
    rebootCaller_ = nullptr;
    // The Device Manager unloads the drivers, the newest first.
    std::vector<uintptr_t> active = devices_->active();
    for (auto it = active.rbegin(); it != active.rend(); ++it)
        devices_->deactivate(*it);
    kernel_->endThreads([](const Thread &) { return true; });
    handles_.clear();
    namedObjects.clear();
    // In the order the device's end takes them down, and back up in the order it starts them.
    devices_.reset();
    processes_.reset();
    modules_.reset();
    graphics_->setWindowSource(nullptr);
    windows_.reset();
    windows_ = std::make_unique<WindowSystem>();
    graphics_->setWindowSource(windows_->dcSource());
    windows_->paintScreen();
    modules_ = std::make_unique<ModuleLoader>();
    processes_ = std::make_unique<Processes>();
    devices_ = std::make_unique<DeviceManager>();
    registerPlatformPrograms(*processes_);
    suspendPending_ = suspended_ = false;
    ++restarts_;
}

void Device::requestSuspend() {
    if (suspended_ || suspendPending_)
        return;
    suspendPending_ = true;
    kernel_->post([] {});
}

void Device::suspend() {
    suspendPending_ = false;
    if (suspended_)
        return;
    suspended_ = true;
    journal_.event("suspend", Fields());
    windows_->broadcast(kPowerBroadcast, kPowerSuspend, 0);
    devices_->powerDown();
}

void Device::resume() {
    suspendPending_ = false;
    if (!suspended_)
        return;
    suspended_ = false;
    journal_.event("resume", Fields());
    devices_->powerUp();
}

} // namespace emul
