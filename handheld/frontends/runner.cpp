// The real-time device's run. A signal only sets a flag and wakes the kernel: the device ends
// on its main thread, between steps, where ending its programs is safe.
#include "frontends/runner.h"

#include "frontends/signals.h"

#include "norvel_reg.h"

#include "emul/registry.h"
#include "emul/serial.h"
#include "emul/serial_line.h"

#include <atomic>
#include <csignal>

namespace handheld {

namespace {

std::atomic<bool> stopFlag{false};
std::atomic<emul::Kernel *> wakeOnStop{nullptr};

std::atomic<bool> resizeFlag{false};
struct sigaction previousWinch {};

// The terminal changed its size: whoever handled it before (curses) hears of it first.
void onResize(int sig) {
    if (previousWinch.sa_flags & SA_SIGINFO) {
        if (previousWinch.sa_sigaction)
            previousWinch.sa_sigaction(sig, nullptr, nullptr);
    } else if (previousWinch.sa_handler != SIG_DFL && previousWinch.sa_handler != SIG_IGN) {
        previousWinch.sa_handler(sig);
    }
    resizeFlag = true;
    if (emul::Kernel *k = wakeOnStop.load())
        k->wake();
}

void onStopSignal(int sig) {
    stopFlag = true;
    SignalDeadline::started(sig);
    if (emul::Kernel *k = wakeOnStop.load())
        k->wake();
}

} // namespace

struct RealTimeRunner::Guards {
    TempFolderOnSignals cleanup;
    SignalDeadline deadline;
    explicit Guards(std::function<void()> beforeEnd) : deadline(std::move(beforeEnd)) {}
};

RealTimeRunner::RealTimeRunner(const RunnerOptions &options)
    : options_(options), guards_(std::make_unique<Guards>(options.beforeSignalEnd)) {
    emul::DeviceOptions dopt;
    dopt.realTime = true;
    dopt.hivePath = options.hive;
    dopt.stateDir = options.state;
    dopt.oneCore = true;
    device_ = std::make_unique<emul::Device>(dopt);
    guards_->cleanup.watch(*device_);
    fresh_ = !device_->registry().keyExists(NORVEL_DRIVER_KEY);
    InstallOptions inst;
    inst.withPort = false;
    inst.settings = fresh_;
    if (!options.build.empty())
        inst.driverBuild = options.build;
    install(*device_, inst);
    port_ = &device_->serial().addPort(kInfraredPort, true);
    stopFlag = false;
}

RealTimeRunner::~RealTimeRunner() {
    device_.reset();
    guards_.reset();
}

bool RealTimeRunner::connectLine(std::string *error, const LineWrapper &wrap) {
    std::unique_ptr<emul::SerialLine> line;
    if (options_.tty.empty()) {
        line = emul::openPtyLine(&linePath_, error);
        if (!line) {
            *error = "no pseudo-terminal for the infrared line: " + *error;
            return false;
        }
    } else {
        line = emul::openTtyLine(options_.tty, error);
        if (!line) {
            *error = options_.tty + ": " + *error;
            return false;
        }
        linePath_ = options_.tty;
    }
    if (wrap)
        line = wrap(std::move(line));
    port_->connect(std::move(line));
    return true;
}

StartUp RealTimeRunner::start() {
    return startUp(*device_);
}

bool RealTimeRunner::stopping() {
    return stopFlag.load();
}

void RealTimeRunner::requestStop() {
    stopFlag = true;
    if (emul::Kernel *k = wakeOnStop.load())
        k->wake();
}

void RealTimeRunner::run(FrontEnd &frontEnd) {
    emul::Device &device = *device_;
    wakeOnStop = &device.kernel();
    // Ended by ^C, kill or a closed terminal: the device shuts down and cleans up as usual.
    auto previousInt = std::signal(SIGINT, onStopSignal);
    auto previousTerm = std::signal(SIGTERM, onStopSignal);
    auto previousHup = std::signal(SIGHUP, onStopSignal);
    struct sigaction winch {};
    winch.sa_handler = onResize;
    sigemptyset(&winch.sa_mask);
    winch.sa_flags = SA_RESTART;
    sigaction(SIGWINCH, &winch, &previousWinch);
    DeviceLoop loop;
    loop.work = [&frontEnd] { return stopping() || frontEnd.work(); };
    loop.step = [&frontEnd] { return frontEnd.step() && !stopping(); };
    loop.restarted = [&frontEnd](const StartUp &up) { frontEnd.restarted(up); };
    loop.suspended = [&frontEnd, &device] { frontEnd.suspended(device); };
    loop.changes = [&frontEnd] { return frontEnd.changes(); };
    loop.wakeAt = [&frontEnd] { return frontEnd.wakeAt(); };
    runDevice(device, loop);
    frontEnd.ending();
    device.closePrograms(1000); // the text programs keep their documents
    wakeOnStop = nullptr;
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);
    std::signal(SIGHUP, previousHup);
    sigaction(SIGWINCH, &previousWinch, nullptr);
}

bool RealTimeRunner::takeResize() {
    return resizeFlag.exchange(false);
}

} // namespace handheld
