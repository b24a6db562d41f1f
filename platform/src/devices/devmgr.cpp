// The Device Manager (stream-driver activation, active keys, stream clients, power
// notifications) and the CE calls that reach it.
#include <windows.h>

#include "emul/device.h"
#include "emul/devmgr.h"
#include "emul/faults.h"
#include "emul/fileobj.h"
#include "emul/modules.h"
#include "emul/registry.h"
#include "emul/text.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <functional>
#include <optional>

namespace emul {

namespace {

const std::u16string kActiveRoot = u"Drivers\\Active";
// Limits of the Device Manager's buffers (characters, without the terminator).
constexpr size_t kMaxDllName = 63, kMaxPrefix = 7;
// Handle values the device's code sees: small, deterministic, never zero, below 2^32.
constexpr uintptr_t kDeviceHandleBase = 0x00D00000, kDeviceHandleStep = 0x10;

using InitFn = DWORD_PTR (*)(DWORD_PTR);
using DeinitFn = BOOL (*)(DWORD_PTR);
using OpenFn = DWORD_PTR (*)(DWORD_PTR, DWORD, DWORD);
using CloseFn = BOOL (*)(DWORD_PTR);
using ReadFn = DWORD (*)(DWORD_PTR, LPVOID, DWORD);
using WriteFn = DWORD (*)(DWORD_PTR, LPCVOID, DWORD);
using SeekFn = DWORD (*)(DWORD_PTR, long, WORD);
using IoctlFn = BOOL (*)(DWORD_PTR, DWORD, PBYTE, DWORD, PBYTE, DWORD, PDWORD);
using PowerFn = void (*)(DWORD_PTR);

// A string value up to its first null; absent when missing, not a string, or longer than
// the buffer the Device Manager reads it into.
std::optional<std::u16string> readString(Registry &reg, const std::u16string &key,
                                         const std::u16string &name, size_t maxChars) {
    auto v = reg.getValue(key, name);
    if (!v || (v->type != REG_SZ && v->type != REG_EXPAND_SZ))
        return std::nullopt;
    std::u16string s;
    for (size_t i = 0; i + 1 < v->data.size(); i += 2) {
        char16_t c = char16_t(v->data[i] | (v->data[i + 1] << 8));
        if (!c)
            break;
        s += c;
    }
    if (s.size() > maxChars)
        return std::nullopt;
    return s;
}

std::u16string twoDigits(uint32_t n) {
    return utf16((n < 10 ? "0" : "") + std::to_string(n));
}

// Driver entry points run in the Device Manager's context, not in the calling program's:
// threads a driver creates belong to no program and outlive the program that activated it.
struct DeviceManagerContext {
    Thread *self;
    Program *saved;
    DeviceManagerContext() : self(kern().self()), saved(self->program) { self->program = nullptr; }
    ~DeviceManagerContext() { self->program = saved; }
};

} // namespace

// One activation of a driver key.
struct DriverInstance {
    enum State { Starting, Active, Gone } state = Starting;
    DeviceManager::Impl *owner = nullptr;
    uintptr_t hnd = 0;
    std::u16string driverKey, activePath, prefix, name;
    uint32_t index = 0;
    Module *module = nullptr; // released once the instance is gone and no call is in progress
    DWORD_PTR context = 0;
    int calls = 0;
    InitFn init = nullptr;
    DeinitFn deinit = nullptr;
    OpenFn open = nullptr;
    CloseFn close = nullptr;
    ReadFn read = nullptr;
    WriteFn write = nullptr;
    SeekFn seek = nullptr;
    IoctlFn ioctl = nullptr;
    PowerFn powerUp = nullptr, powerDown = nullptr;
};

struct DeviceManager::Impl {
    bool started = false;
    uint32_t nextActive = 0; // Drivers\Active\NN: every attempt takes a number
    uint32_t nextHandle = 1;
    std::vector<std::shared_ptr<DriverInstance>> instances; // activation order, until released

    void start() {
        // As at boot: no active key survives from an earlier run of the hive.
        if (!started)
            dev().registry().deleteKey(kActiveRoot);
        started = true;
    }

    void release(const std::shared_ptr<DriverInstance> &inst);
    uintptr_t activate(const std::u16string &key, uint32_t clientInfo, uint32_t *error);
    bool deactivate(uintptr_t hnd);
    std::shared_ptr<DriverInstance> find(uintptr_t hnd) const {
        for (auto &i : instances)
            if (i->hnd == hnd && i->state == DriverInstance::Active)
                return i;
        return nullptr;
    }
};

namespace {

// Counts a call into a driver; the last call out of a deactivated instance frees its module.
struct DriverCall {
    std::shared_ptr<DriverInstance> inst;
    explicit DriverCall(std::shared_ptr<DriverInstance> i) : inst(std::move(i)) { ++inst->calls; }
    ~DriverCall() {
        // A thread unwinding from a forced stop leaves the unload to the device's teardown.
        if (--inst->calls == 0 && inst->state == DriverInstance::Gone &&
            std::uncaught_exceptions() == 0)
            inst->owner->release(inst);
    }
};

// Runs a driver entry point as the Device Manager does, inside an exception handler: a fault in
// it is reported in the journal, and the caller gets its code (0: none) and goes on.
uint32_t guardedEntry(const DriverInstance &inst, const char *entry,
                      const std::function<void()> &f) {
    uint32_t fault = runGuarded(f);
    if (fault)
        dev().journal().event("exception",
                              Fields()
                                  .str("module", inst.module ? inst.module->cePath.c_str() : u"")
                                  .str("entry", utf8(inst.prefix) + entry)
                                  .num("code", fault));
    return fault;
}

struct StreamFile : FileObject {
    std::shared_ptr<DriverInstance> inst;
    DWORD_PTR openContext = 0;
    const char *kind() const override { return "stream"; }

    bool gone(uint32_t *error) const {
        if (inst->state == DriverInstance::Active)
            return false;
        *error = ERROR_GEN_FAILURE;
        return true;
    }
    // Runs a driver call and returns the last error it set (0: none), leaving the caller's
    // last error as it was. A call that faults fails with ERROR_INVALID_PARAMETER, as the
    // platform's handler around stream calls reports it.
    template <class F> uint32_t call(const char *entry, F f, bool *faulted = nullptr) {
        DeviceManagerContext ctx;
        DriverCall guard(inst);
        Thread *t = kern().self();
        uint32_t saved = t->lastError;
        t->lastError = 0;
        bool fault = guardedEntry(*inst, entry, f) != 0;
        uint32_t e = fault ? uint32_t(ERROR_INVALID_PARAMETER) : t->lastError;
        t->lastError = saved;
        if (faulted)
            *faulted = fault;
        return e;
    }
    bool transfer(bool reading, void *buf, uint32_t n, uint32_t *done, uint32_t *error) {
        *done = 0;
        if (gone(error))
            return false;
        DWORD r = 0;
        bool faulted = false;
        uint32_t e = call(
            reading ? "_Read" : "_Write",
            [&] {
                r = reading ? inst->read(openContext, buf, n) : inst->write(openContext, buf, n);
            },
            &faulted);
        if (r == DWORD(-1) || faulted) {
            *error = e ? e : ERROR_GEN_FAILURE;
            return false;
        }
        *done = r;
        return true;
    }
    bool read(void *buf, uint32_t n, uint32_t *got, uint32_t *error) override {
        return transfer(true, buf, n, got, error);
    }
    bool write(const void *buf, uint32_t n, uint32_t *put, uint32_t *error) override {
        return transfer(false, const_cast<void *>(buf), n, put, error);
    }
    uint32_t seek(int32_t amount, uint32_t method, uint32_t *error) override {
        if (gone(error))
            return 0xFFFFFFFF;
        DWORD r = 0;
        bool faulted = false;
        uint32_t e = call(
            "_Seek", [&] { r = inst->seek(openContext, amount, WORD(method)); }, &faulted);
        if (faulted)
            r = DWORD(-1);
        if (r == DWORD(-1))
            *error = e;
        return r;
    }
    bool ioctl(uint32_t code, void *in, uint32_t nin, void *out, uint32_t nout, uint32_t *ret,
               uint32_t *error) override {
        *ret = 0;
        if (gone(error))
            return false;
        BOOL ok = FALSE;
        DWORD actual = 0;
        uint32_t saved = kern().self()->lastError;
        uint32_t e = call("_IOControl", [&] {
            ok = inst->ioctl(openContext, code, static_cast<PBYTE>(in), nin,
                             static_cast<PBYTE>(out), nout, &actual);
        });
        *ret = actual;
        if (!ok)
            *error = e ? e : saved; // what the driver set, else the caller's last error stands
        return ok != FALSE;
    }
    void onClose() override {
        // A deactivated driver is not told about handles closed after it went away.
        if (inst->state == DriverInstance::Active)
            call("_Close", [&] { inst->close(openContext); });
    }
};

} // namespace

/* ---- activation ---- */

void DeviceManager::Impl::release(const std::shared_ptr<DriverInstance> &inst) {
    if (inst->module) {
        Module *m = inst->module;
        inst->module = nullptr;
        dev().modules().unload(m);
    }
    instances.erase(std::remove(instances.begin(), instances.end(), inst), instances.end());
}

// The driver's entry points, named after its prefix; false when one it must have is missing.
static bool findEntries(DriverInstance &inst) {
    std::string p = utf8(inst.prefix);
    auto entry = [&](const char *fn) {
        return dev().modules().symbol(inst.module, (p + fn).c_str());
    };
    inst.init = reinterpret_cast<InitFn>(entry("_Init"));
    inst.deinit = reinterpret_cast<DeinitFn>(entry("_Deinit"));
    inst.open = reinterpret_cast<OpenFn>(entry("_Open"));
    inst.close = reinterpret_cast<CloseFn>(entry("_Close"));
    inst.read = reinterpret_cast<ReadFn>(entry("_Read"));
    inst.write = reinterpret_cast<WriteFn>(entry("_Write"));
    inst.seek = reinterpret_cast<SeekFn>(entry("_Seek"));
    inst.ioctl = reinterpret_cast<IoctlFn>(entry("_IOControl"));
    inst.powerUp = reinterpret_cast<PowerFn>(entry("_PowerUp"));
    inst.powerDown = reinterpret_cast<PowerFn>(entry("_PowerDown"));
    return inst.init && inst.deinit && inst.open && inst.close && inst.read && inst.write &&
           inst.seek && inst.ioctl;
}

uintptr_t DeviceManager::Impl::activate(const std::u16string &key, uint32_t clientInfo,
                                        uint32_t *error) {
    start();
    Registry &reg = dev().registry();
    if (key.empty() || !reg.keyExists(key)) {
        *error = ERROR_FILE_NOT_FOUND;
        return 0;
    }
    auto dll = readString(reg, key, u"Dll", kMaxDllName);
    auto prefix = readString(reg, key, u"Prefix", kMaxPrefix);
    if (!dll || dll->empty() || !prefix || prefix->empty()) {
        *error = ERROR_FILE_NOT_FOUND;
        return 0;
    }
    std::u16string pfx = prefix->substr(0, 3);
    auto wantedIndex = regDwordOf(reg.getValue(key, u"Index"));
    auto context = regDwordOf(reg.getValue(key, u"Context"));

    auto inst = std::make_shared<DriverInstance>();
    inst->owner = this;
    inst->driverKey = key;
    inst->prefix = pfx;
    inst->activePath = kActiveRoot + u"\\" + twoDigits(nextActive++);
    reg.deleteKey(inst->activePath);
    reg.createKey(inst->activePath);
    reg.setValue(inst->activePath, u"Key", regSz(key));
    reg.setValue(inst->activePath, u"ClientInfo", regDword(clientInfo));

    auto taken = [&](uint32_t index) {
        for (auto &i : instances)
            if (i->state != DriverInstance::Gone && i->index == index &&
                equalsNoCase(i->prefix, pfx))
                return true;
        return false;
    };
    auto fail = [&](uint32_t e) {
        if (inst->module)
            dev().modules().unload(inst->module);
        reg.deleteKey(inst->activePath);
        *error = e;
        return uintptr_t(0);
    };
    if (wantedIndex) {
        inst->index = *wantedIndex;
    } else {
        inst->index = 0;
        for (uint32_t i : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 0u})
            if (!taken(i)) {
                inst->index = i;
                break;
            }
    }
    inst->name = pfx + utf16(std::to_string(inst->index)) + u":";
    reg.setValue(inst->activePath, u"Name", regSz(inst->name));

    uint32_t loadError = 0;
    inst->module = dev().modules().load(*dll, &loadError);
    if (!inst->module)
        return fail(ERROR_FILE_NOT_FOUND);
    if (!findEntries(*inst))
        return fail(ERROR_INVALID_FUNCTION);
    if (taken(inst->index))
        return fail(ERROR_DEVICE_IN_USE);

    // Registered before Init so that a second activation meanwhile sees the index taken.
    inst->hnd = kDeviceHandleBase + kDeviceHandleStep * nextHandle++;
    instances.push_back(inst);
    DWORD_PTR arg =
        context ? DWORD_PTR(*context) : reinterpret_cast<DWORD_PTR>(inst->activePath.c_str());
    uint32_t fault = 0;
    try {
        DeviceManagerContext ctx;
        DriverCall guard(inst);
        // An exception in Init fails the activation; the device goes on.
        fault = guardedEntry(*inst, "_Init", [&] { inst->context = inst->init(arg); });
    } catch (...) {
        // The calling thread was stopped inside Init; the module waits for the teardown.
        inst->state = DriverInstance::Gone;
        reg.deleteKey(inst->activePath);
        throw;
    }
    if (fault)
        inst->context = 0;
    if (!inst->context) {
        inst->state = DriverInstance::Gone;
        instances.erase(std::remove(instances.begin(), instances.end(), inst), instances.end());
        return fail(ERROR_OPEN_FAILED);
    }
    inst->state = DriverInstance::Active;
    reg.setValue(inst->activePath, u"Hnd", regDword(uint32_t(inst->hnd)));
    return inst->hnd;
}

bool DeviceManager::Impl::deactivate(uintptr_t hnd) {
    auto inst = find(hnd);
    if (!inst)
        return false;
    // From here on client handles fail and the driver is unknown to new clients.
    inst->state = DriverInstance::Gone;
    {
        DeviceManagerContext ctx;
        DriverCall guard(inst);
        // A Deinit that faults still ends the instance.
        guardedEntry(*inst, "_Deinit", [&] { inst->deinit(inst->context); });
    }
    dev().registry().deleteKey(inst->activePath);
    return true;
}

/* ---- the public face ---- */

DeviceManager::DeviceManager() : impl_(std::make_unique<Impl>()) {}

DeviceManager::~DeviceManager() {
    // The device is being dismantled (its threads have ended): drivers get their Deinit so
    // that nothing they hold leaks, but what they do now is no longer part of the run.
    Device &d = dev();
    if (!kern().self())
        return; // not on an emulated thread: nothing can be called safely
    std::vector<std::shared_ptr<DriverInstance>> all = impl_->instances;
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        auto &inst = *it;
        if (inst->state == DriverInstance::Active) {
            inst->state = DriverInstance::Gone;
            DeviceManagerContext ctx;
            guardedEntry(*inst, "_Deinit", [&] { inst->deinit(inst->context); });
            d.registry().deleteKey(inst->activePath);
        }
        inst->calls = 0;
        impl_->release(inst);
    }
}

uintptr_t DeviceManager::activate(const std::u16string &driverKey, uint32_t clientInfo) {
    uint32_t error = 0;
    uintptr_t h = impl_->activate(driverKey, clientInfo, &error);
    if (!h)
        setLastError(error);
    return h;
}

bool DeviceManager::deactivate(uintptr_t hnd) {
    return impl_->deactivate(hnd);
}

uintptr_t DeviceManager::lastActivated() const {
    auto a = active();
    return a.empty() ? 0 : a.back();
}

std::vector<uintptr_t> DeviceManager::active() const {
    std::vector<uintptr_t> out;
    for (auto &i : impl_->instances)
        if (i->state == DriverInstance::Active)
            out.push_back(i->hnd);
    return out;
}

std::u16string DeviceManager::deviceName(uintptr_t hnd) const {
    auto i = impl_->find(hnd);
    return i ? i->name : std::u16string();
}

std::u16string DeviceManager::activeKey(uintptr_t hnd) const {
    auto i = impl_->find(hnd);
    return i ? i->activePath : std::u16string();
}

uintptr_t DeviceManager::deviceContext(uintptr_t hnd) const {
    auto i = impl_->find(hnd);
    return i ? i->context : 0;
}

void DeviceManager::powerDown() {
    std::vector<std::shared_ptr<DriverInstance>> all = impl_->instances;
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        if ((*it)->state == DriverInstance::Active && (*it)->powerDown) {
            DeviceManagerContext ctx;
            DriverCall guard(*it);
            guardedEntry(**it, "_PowerDown", [&] { (*it)->powerDown((*it)->context); });
        }
}

void DeviceManager::powerUp() {
    std::vector<std::shared_ptr<DriverInstance>> all = impl_->instances;
    for (auto &inst : all)
        if (inst->state == DriverInstance::Active && inst->powerUp) {
            DeviceManagerContext ctx;
            DriverCall guard(inst);
            guardedEntry(*inst, "_PowerUp", [&] { inst->powerUp(inst->context); });
        }
}

std::shared_ptr<FileObject> DeviceManager::openStream(const std::u16string &name, uint32_t access,
                                                      uint32_t share, uint32_t *error) {
    // "XXXn:": three letters matched without case, then the index digit.
    std::shared_ptr<DriverInstance> inst;
    if (name.size() == 5 && name[3] >= u'0' && name[3] <= u'9' && name[4] == u':') {
        for (auto &i : impl_->instances)
            if (i->state == DriverInstance::Active && i->prefix.size() == 3 &&
                equalsNoCase(i->prefix, name.substr(0, 3)) && i->index == uint32_t(name[3] - u'0'))
                inst = i;
    }
    if (!inst) {
        *error = ERROR_DEV_NOT_EXIST;
        return nullptr;
    }
    DWORD_PTR oc = 0;
    uint32_t fault = 0;
    {
        DeviceManagerContext ctx;
        DriverCall guard(inst);
        fault =
            guardedEntry(*inst, "_Open", [&] { oc = inst->open(inst->context, access, share); });
    }
    if (fault) {
        *error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    if (!oc) {
        // No error of the Device Manager's own: the caller sees what the driver set.
        *error = kern().self()->lastError;
        return nullptr;
    }
    auto f = std::make_shared<StreamFile>();
    f->inst = inst;
    f->openContext = oc;
    return f;
}

} // namespace emul

/* ---- CE calls ---- */

using namespace emul;

CEAPI HANDLE ActivateDevice(LPCWSTR key, DWORD clientInfo) {
    Device &d = dev();
    uintptr_t h = 0;
    if (key)
        h = d.devices().activate(key, clientInfo);
    else
        SetLastError(ERROR_INVALID_PARAMETER);
    d.journal().call("ActivateDevice", Fields().str("key", key).boolean("result", h != 0));
    return reinterpret_cast<HANDLE>(h);
}

CEAPI HANDLE ActivateDeviceEx(LPCWSTR key, LPCVOID, DWORD, LPVOID) {
    // The extra values for the active key are not supported; the activation is the same.
    Device &d = dev();
    uintptr_t h = 0;
    if (key)
        h = d.devices().activate(key, 0);
    else
        SetLastError(ERROR_INVALID_PARAMETER);
    d.journal().call("ActivateDeviceEx", Fields().str("key", key).boolean("result", h != 0));
    return reinterpret_cast<HANDLE>(h);
}

CEAPI BOOL DeactivateDevice(HANDLE h) {
    Device &d = dev();
    bool ok = d.devices().deactivate(reinterpret_cast<uintptr_t>(h));
    d.journal().call(
        "DeactivateDevice",
        Fields().num("hnd", int64_t(reinterpret_cast<uintptr_t>(h))).boolean("result", ok));
    return ok;
}
