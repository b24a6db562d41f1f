// The device object and the handle table.
#include "emul/device.h"

#include "emul/devmgr.h"
#include "emul/files.h"
#include "emul/graphics.h"
#include "emul/modules.h"
#include "emul/process.h"
#include "emul/registry.h"
#include "emul/serial.h"
#include "emul/shell.h"
#include "emul/windows_sys.h"
#include "host/file_watch.h"
#include "host/host_files.h"
#include "registry/hive.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace emul {

Device *Device::current_ = nullptr;
// Defined beside the device pointer, which every platform call reads: a switch that looks at it
// after an idle sleep finds it on a page already read.
std::atomic<uint64_t> changeGeneration{0};
std::atomic<const void *> warmLines[size_t(WarmLine::count)];

namespace {

std::string makeTempRoot() {
    std::string dir, reason;
    if (!hostfs::makeTempDir("handheld", &dir, &reason))
        throw DeviceError(dir + ": cannot make the device's temporary folder: " + reason);
    return dir;
}

// The state folder, made when missing; anything else in its place is an error.
void useStateDir(const std::string &dir) {
    if (hostfs::isFolder(dir))
        return;
    if (hostfs::exists(dir))
        throw DeviceError(dir + ": not a folder (the device's files need one)");
    std::string error;
    if (!hostfs::createDirectories(dir, &error))
        throw DeviceError(dir + ": cannot make the device's folder: " + error);
}

} // namespace

void *HandleTable::add(std::shared_ptr<KObject> obj) {
    uintptr_t h = next_;
    next_ += 4;
    table_.push_back(Entry{h, std::move(obj)});
    return reinterpret_cast<void *>(h);
}

EMUL_IDLE_PATH const std::shared_ptr<KObject> *HandleTable::find(void *h) const {
    // Every call on a handle looks it up first: the point where a thread that never blocks
    // is preempted.
    if (Device *d = Device::currentOrNull())
        d->kernel().preemptionPoint();
    uintptr_t key = reinterpret_cast<uintptr_t>(h);
    noteWarmLine(WarmLine::handles, table_.data());
    if (last_ < table_.size() && table_[last_].handle == key)
        return &table_[last_].obj;
    auto it = std::lower_bound(table_.begin(), table_.end(), key,
                               [](const Entry &e, uintptr_t k) { return e.handle < k; });
    if (it == table_.end() || it->handle != key)
        return nullptr;
    last_ = size_t(it - table_.begin());
    return &it->obj;
}

std::shared_ptr<KObject> HandleTable::get(void *h) const {
    const std::shared_ptr<KObject> *obj = find(h);
    return obj ? *obj : nullptr;
}

bool HandleTable::close(void *h) {
    uintptr_t key = reinterpret_cast<uintptr_t>(h);
    auto it = std::lower_bound(table_.begin(), table_.end(), key,
                               [](const Entry &e, uintptr_t k) { return e.handle < k; });
    if (it == table_.end() || it->handle != key)
        return false;
    std::shared_ptr<KObject> obj = std::move(it->obj);
    table_.erase(it);
    if (obj.use_count() == 1)
        obj->onClose();
    return true;
}

size_t HandleTable::count(const std::string &kind) const {
    size_t n = 0;
    for (auto &e : table_)
        if (kind == e.obj->kind())
            ++n;
    return n;
}

Device::Device(const DeviceOptions &options)
    : options_(options), buildNumber_(options.buildNumber) {
    if (current_) {
        std::fprintf(stderr, "only one device may exist at a time\n");
        std::abort();
    }
    // What may fail comes first, before anything needs dismantling.
    if (options.stateDir.empty()) {
        rootDir_ = makeTempRoot();
        ownsRoot_ = true;
    } else {
        useStateDir(options.stateDir);
        rootDir_ = options.stateDir;
    }
    try {
        hive_ = Hive::open(options.hivePath);
    } catch (...) {
        if (ownsRoot_)
            hostfs::removeTree(rootDir_);
        throw;
    }
    current_ = this;
    kernel_ = std::make_unique<Kernel>(options.realTime, options.tickStart, options.oneCore);
    journal_.setClock(kernel_.get());
    kernel_->flushBeforeWait = &journal_;
    files_ = std::make_unique<FileSystem>(rootDir_);
    serial_ = std::make_unique<SerialHub>();
    windows_ = std::make_unique<WindowSystem>();
    graphics_ = std::make_unique<Graphics>();
    graphics_->setWindowSource(windows_->dcSource());
    windows_->paintScreen();
    kernel_->threadEnded = [this](Thread *t) { windows_->threadEnded(t); };
    journal_.setWindowNamer([this](uintptr_t h) { return windows_->journalName(h); });
    shell_ = std::make_unique<Shell>();
    modules_ = std::make_unique<ModuleLoader>();
    processes_ = std::make_unique<Processes>();
    devices_ = std::make_unique<DeviceManager>();
    registerPlatformPrograms(*processes_);
}

Registry &Device::registry() {
    return *hive_;
}

Device::~Device() {
    // Threads first: they may still be inside any subsystem.
    kernel_->shutdown();
    kernel_->threadEnded = nullptr;
    watchHostFiles({}, nullptr);
    // What the drivers' Deinit and the subsystems' teardown do is no longer part of the run.
    journal_.end();
    devices_.reset();
    processes_.reset();
    modules_.reset();
    shell_.reset();
    graphics_.reset();
    windows_.reset();
    serial_.reset();
    files_.reset();
    hive_.reset();
    kernel_.reset();
    if (ownsRoot_)
        hostfs::removeTree(rootDir_);
    current_ = nullptr;
}

void Device::watchHostFiles(std::vector<std::string> paths, std::function<void()> onChange) {
    if (fileWatch_ >= 0) {
        kernel_->unwatch(fileWatch_);
        filewatch::close(fileWatch_);
        fileWatch_ = -1;
    }
    if (!onChange || paths.empty() || !kernel_->realTime())
        return;
    fileWatch_ = filewatch::open(paths);
    if (fileWatch_ < 0)
        return;
    kernel_->watch(fileWatch_,
                   [this, paths = std::move(paths), onChange = std::move(onChange)](short) {
                       if (filewatch::take(fileWatch_, paths))
                           onChange();
                   });
}

void Device::noDevice() {
    std::fprintf(stderr, "no device: a CE call was made outside a device\n");
    std::abort();
}

void setLastError(uint32_t e) {
    kern().self()->lastError = e;
}

bool failing(const char *call) {
#if !defined(NDEBUG) || defined(EMUL_WAKE_CHECK)
    if (!canFail(call)) {
        std::fprintf(stderr, "%s is not in the table of fault points (kFaultPoints)\n", call);
        std::abort();
    }
#endif
    return dev().failing(call);
}

bool canFail(std::string_view call) {
    for (const char *name : kFaultPoints)
        if (call == name)
            return true;
    return false;
}

} // namespace emul
