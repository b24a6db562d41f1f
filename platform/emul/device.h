// The virtual handheld as seen from the host: one device with its kernel, handles, journal,
// registry, file system, serial ports, Device Manager and window system.
//
// Exactly one Device exists at a time in a process; the CE calls of the platform library act on
// it. A Device is created on the host thread that will be its first emulated thread ("main").
#pragma once

#include "emul/journal.h"
#include "emul/kernel.h"

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace emul {

class Registry;
class Hive;
class SerialHub;
class DeviceManager;
class ModuleLoader;
class Processes;
class FileSystem;
class WindowSystem;
class Shell;
class Graphics;

// A device that cannot start (its hive or its folder is unusable): the message names the path
// and the reason, in one line.
struct DeviceError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct DeviceOptions {
    bool realTime = false;
    uint32_t tickStart = 0;      // GetTickCount at device time 0
    std::string hivePath;        // SQLite file of the registry; empty: an in-memory hive
    std::string stateDir;        // host folder that holds the device's file system; empty: a
                                 // fresh temporary folder, removed with the device
    uint32_t buildNumber = 1081; // dwBuildNumber of GetVersionExW
    uint32_t majorVersion = 4, minorVersion = 20;
    // Keep the device's threads on the host core it starts on. They run one at a time, so
    // nothing is lost, and a handoff becomes a switch on one core instead of waking another
    // (on a virtual machine that wake-up is the bulk of a handoff's cost).
    bool oneCore = false;
};

// A kernel object behind a HANDLE. Subsystems derive their own kinds.
struct KObject {
    virtual ~KObject() = default;
    // What the object can be used as, for the kinds that HandleTag names: the handle lookup on
    // every read and write checks a bit instead of asking the C++ runtime for a dynamic_cast.
    enum : unsigned { kIsFile = 1, kIsSerialFile = 2 };
    unsigned is = 0;
    virtual const char *kind() const = 0;
    // Waitable objects: signalled state, and what a satisfied wait does (auto-reset).
    virtual bool signalled() const { return false; }
    virtual void consume() {}
    virtual void onClose() {} // called when the last handle to the object is closed
    std::string journalName;  // non-empty: CloseHandle of it is journaled with this name
};

// The KObject::is bit of a kind (exactly that class), or 0: its objects are told by dynamic_cast.
template <class T> struct HandleTag { static constexpr unsigned bit = 0; };

class HandleTable {
  public:
    void *add(std::shared_ptr<KObject> obj);
    std::shared_ptr<KObject> get(void *h) const;
    // The object behind a handle without a reference of the caller's own: it lives until the
    // calling thread gives up the turn. Null when none; a preemption point.
    KObject *borrow(void *h) const {
        const std::shared_ptr<KObject> *obj = find(h);
        return obj ? obj->get() : nullptr;
    }
    template <class T> std::shared_ptr<T> getAs(void *h) const {
        if constexpr (HandleTag<T>::bit != 0) {
            const std::shared_ptr<KObject> *obj = find(h);
            if (!obj || !((*obj)->is & HandleTag<T>::bit))
                return nullptr;
            return std::shared_ptr<T>(*obj, static_cast<T *>(obj->get()));
        } else {
            return std::dynamic_pointer_cast<T>(get(h));
        }
    }
    bool close(void *h);
    void clear(); // closes every handle, as when the kernel starts again
    // Open handles, for leak checks: all of them, or of one kind.
    size_t count() const { return table_.size(); }
    size_t count(const std::string &kind) const;

  private:
    // The object behind a handle (null when none); a preemption point.
    const std::shared_ptr<KObject> *find(void *h) const;
    struct Entry {
        uintptr_t handle;
        std::shared_ptr<KObject> obj;
    };
    // In handle order: handles only grow, so a new one goes at the end. A lookup tries the
    // entry found last, then searches.
    std::vector<Entry> table_;
    mutable size_t last_ = 0;
    uintptr_t next_ = 0x1000;
};

class Device {
  public:
    // Throws DeviceError when the hive or the state folder cannot be used.
    explicit Device(const DeviceOptions &options = DeviceOptions());
    ~Device();
    Device(const Device &) = delete;
    Device &operator=(const Device &) = delete;

    // Every CE call asks for the device: inline, one load.
    static Device &current() { // aborts when no device exists
        if (!current_)
            noDevice();
        return *current_;
    }
    static Device *currentOrNull() { return current_; }

    const DeviceOptions &options() const { return options_; }
    Kernel &kernel() { return *kernel_; }
    HandleTable &handles() { return handles_; }
    Journal &journal() { return journal_; }
    Registry &registry();
    Hive &hive() { return *hive_; } // the registry as the device's calls use it
    FileSystem &files() { return *files_; }
    SerialHub &serial() { return *serial_; }
    ModuleLoader &modules() { return *modules_; }
    Processes &processes() { return *processes_; }
    DeviceManager &devices() { return *devices_; }
    WindowSystem &windows() { return *windows_; }
    Graphics &graphics() { return *graphics_; }
    Shell &shell() { return *shell_; }

    // Failure injection: every call of the named platform function fails while set.
    void fail(const std::string &call) { failing_.insert(call); }
    void heal(const std::string &call) { failing_.erase(call); }
    bool failing(std::string_view call) const {
        return !failing_.empty() && failing_.find(call) != failing_.end();
    }

    // Real time: `onChange` runs on the baton holder's stack when one of the host files at
    // `paths` (or a file beside it whose name starts with its name, such as a SQLite file's
    // journal) is written, by another process or this one. One watch per device: a new call
    // replaces it, and no paths or no function stop it.
    void watchHostFiles(std::vector<std::string> paths, std::function<void()> onChange);

    // KernelIoControl(IOCTL_HAL_REBOOT) requests so far, and whether one waits for the restart
    // that whoever runs the device makes (restart()).
    uint32_t rebootRequests() const { return reboots_; }
    bool restartRequested() const { return restartPending_; }
    void noteRebootRequest();
    // A warm boot, on the device's first thread: every program ends (asked to close first, as
    // closePrograms does), the Device Manager unloads the drivers, every other thread ends and
    // the kernel's handles, windows, modules and processes start afresh. The registry, the
    // files, the serial ports and device time are kept; nothing is started (the installation's
    // start-up is the host's). Journaled as the event "restart".
    void restart();
    uint32_t restarts() const { return restarts_; }
    // Posts WM_CLOSE to every program's top-level windows, as the shell does before the power
    // goes, and lets the device run until they have all ended or `ms` of device time have
    // passed; the programs still running then are ended. A thread inside a reboot request is
    // not waited for.
    void closePrograms(uint64_t ms);

    // Power. The power key (VK_OFF going down) asks for a suspend, which whoever runs the device
    // makes (suspend()): programs are told (WM_POWERBROADCAST, PBT_APMSUSPEND) and the Device
    // Manager powers the drivers down; resume() powers them up again. Journaled as the events
    // "suspend" and "resume".
    bool suspendRequested() const { return suspendPending_; }
    void requestSuspend();
    bool suspended() const { return suspended_; }
    void suspend();
    void resume();

    uint32_t buildNumber() const { return buildNumber_; }
    void setBuildNumber(uint32_t n) { buildNumber_ = n; }

    // What the device's code passed to OutputDebugStringW, in order.
    std::vector<std::u16string> &debugLog() { return debugLog_; }

    // Named kernel objects (events), one namespace for the whole device.
    std::map<std::u16string, std::weak_ptr<KObject>> namedObjects;

    // Host folder of the device's file system root ("\").
    const std::string &rootDir() const { return rootDir_; }
    bool ownsRoot() const { return ownsRoot_; } // a temporary folder, removed with the device

  private:
    static Device *current_;
    [[noreturn]] static void noDevice();
    DeviceOptions options_;
    std::unique_ptr<Kernel> kernel_;
    HandleTable handles_;
    Journal journal_;
    std::string rootDir_;
    bool ownsRoot_ = false;
    std::unique_ptr<Hive> hive_;
    std::unique_ptr<FileSystem> files_;
    std::unique_ptr<SerialHub> serial_;
    std::unique_ptr<WindowSystem> windows_;
    std::unique_ptr<Graphics> graphics_;
    std::unique_ptr<Shell> shell_;
    std::unique_ptr<ModuleLoader> modules_;
    std::unique_ptr<Processes> processes_;
    std::unique_ptr<DeviceManager> devices_;
    std::set<std::string, std::less<>> failing_; // looked up without copying the name
    uint32_t buildNumber_;
    uint32_t reboots_ = 0;
    uint32_t restarts_ = 0;
    bool restartPending_ = false;
    bool suspendPending_ = false, suspended_ = false;
    Thread *rebootCaller_ = nullptr; // the thread inside the pending reboot request
    int fileWatch_ = -1;
    std::vector<std::u16string> debugLog_;
};

// Shorthands for the CE call implementations.
inline Device &dev() {
    return Device::current();
}
inline Kernel &kern() {
    return Device::current().kernel();
}
// A handle on a thread (waitable: signalled once it has ended), for CreateThread and for the
// main thread of CreateProcessW alike.
void *newThreadHandle(Thread *t);
void setLastError(uint32_t e);
// The platform functions whose failure a scenario or a test can inject (Device::fail): each
// passes its name to failing(), which accepts no other name.
inline constexpr const char *kFaultPoints[] = {
    "ClearCommError",     "CreateEventW",      "CreateProcessW",  "CreateThread",
    "EscapeCommFunction", "GetCommProperties", "LocalAlloc",      "PurgeComm",
    "SetCommMask",        "SetCommState",      "SetCommTimeouts", "ShellExecuteEx"};
// True while the named call is made to fail.
bool failing(const char *call);
bool canFail(std::string_view call); // a name of kFaultPoints

} // namespace emul
