// The device in real time, as every front end that lets a person use it runs it: the device
// with its installation, the infrared line on a pseudo-terminal or a tty, the installation's
// start-up, SIGINT, SIGTERM and SIGHUP ending it in order, and SIGWINCH waking it. A front end
// plugs in by implementing FrontEnd; the runner calls it on the device's main thread, so it may use
// the platform's calls there.
#pragma once

#include "image/boot.h"
#include "image/install.h"

#include "emul/device.h"

#include <functional>
#include <memory>
#include <string>

namespace emul {
class SerialLine;
class SerialPort;
} // namespace emul

namespace handheld {

class FrontEnd {
  public:
    virtual ~FrontEnd() = default;
    // Whether the front end has something to do. Asked inside a kernel wake condition: it may
    // only look (the window system's view, flags), never call the platform.
    virtual bool work() = 0;
    // Does it; false ends the device. A signal ends it too, after one last step.
    virtual bool step() = 0;
    // A reboot request restarted the device; `up` is what its start-up brought.
    virtual void restarted(const StartUp &up) { (void)up; }
    // The power key suspended the device: the front end resumes it (Device::resume) when its
    // user asks. By default it resumes at once.
    virtual void suspended(emul::Device &device) { device.resume(); }
    // Optional: counts of which one moves with every change `work` looks at (see
    // Kernel::block), so that an idle device does not ask `work` at every switch.
    virtual emul::ChangeCounts changes() { return {}; }
    // The device time at which to step even without work.
    virtual uint64_t wakeAt() { return emul::kNever; }
    // The loop has ended; the device's programs are closed next.
    virtual void ending() {}
};

struct RunnerOptions {
    std::string hive;  // SQLite hive file; empty: in memory
    std::string state; // host folder of the device's files; empty: a temporary one
    std::string build; // driver build installed; empty: the baseline
    std::string tty;   // the line on this tty; empty: on a new pseudo-terminal
    // Last words when a signal ends a device that no longer answers (restoring the terminal).
    std::function<void()> beforeSignalEnd;
};

// Optional: wraps the line before the port gets it (to record what the device hears).
using LineWrapper =
    std::function<std::unique_ptr<emul::SerialLine>(std::unique_ptr<emul::SerialLine>)>;

class RealTimeRunner {
  public:
    explicit RealTimeRunner(const RunnerOptions &options);
    ~RealTimeRunner();
    RealTimeRunner(const RealTimeRunner &) = delete;
    RealTimeRunner &operator=(const RealTimeRunner &) = delete;

    emul::Device &device() { return *device_; }
    // Whether the hive had no driver key before installation: a new device.
    bool fresh() const { return fresh_; }
    // Wires the infrared line; false with *error when there is none to be had.
    bool connectLine(std::string *error, const LineWrapper &wrap = nullptr);
    const std::string &linePath() const { return linePath_; }
    emul::SerialPort &port() { return *port_; }
    // The installation's start-up: the driver, the desktop, Notes in front.
    StartUp start();
    // Runs the device for the front end until a step says stop or a signal comes; then ends
    // its programs (they save what they keep).
    void run(FrontEnd &frontEnd);
    // A signal (or the front end) asked the device to end; may be asked anywhere, also in a
    // wake condition.
    static bool stopping();
    // Asks the running device to end at its next step; from any thread.
    static void requestStop();
    // Whether the terminal changed its size (SIGWINCH) since the last call; the change wakes
    // the device's loop at once, so a front end may redraw without waiting for a key.
    static bool takeResize();

  private:
    RunnerOptions options_;
    struct Guards;
    std::unique_ptr<Guards> guards_; // before the device: they outlive its removal of its folder
    std::unique_ptr<emul::Device> device_;
    bool fresh_ = false;
    emul::SerialPort *port_ = nullptr;
    std::string linePath_;
};

} // namespace handheld
