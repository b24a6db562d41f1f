// The Device Manager (stream-driver activation, active keys, stream clients, power
// notifications), the module loader and programs, and the CE calls that reach them.
#include <windows.h>

#include "emul/device.h"
#include "emul/devmgr.h"
#include "emul/fileobj.h"
#include "emul/files.h"
#include "emul/registry.h"
#include "emul/text.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>

namespace emul {

namespace hostmod { // host_modules.cpp: the host's dynamic linker
void *open(const std::string &path, std::string *why);
void *symbol(void *h, const char *name);
void close(void *h);
} // namespace hostmod

namespace {

constexpr uint32_t kRegSz = 1, kRegExpandSz = 2, kRegDword = 4;
const std::u16string kActiveRoot = u"Drivers\\Active";
// Limits of the Device Manager's buffers (characters, without the terminator).
constexpr size_t kMaxDllName = 63, kMaxPrefix = 7;
// Handle values the device's code sees: small, deterministic, never zero, below 2^32.
constexpr uintptr_t kDeviceHandleBase = 0x00D00000, kDeviceHandleStep = 0x10;
constexpr uintptr_t kModuleHandleBase = 0x10000000, kModuleHandleStep = 0x10000;

using DllEntryFn = BOOL (*)(HANDLE, DWORD, LPVOID);
using ExeEntryFn = int (*)(HINSTANCE, HINSTANCE, LPWSTR, int);
using InitFn = DWORD_PTR (*)(DWORD_PTR);
using DeinitFn = BOOL (*)(DWORD_PTR);
using OpenFn = DWORD_PTR (*)(DWORD_PTR, DWORD, DWORD);
using CloseFn = BOOL (*)(DWORD_PTR);
using ReadFn = DWORD (*)(DWORD_PTR, LPVOID, DWORD);
using WriteFn = DWORD (*)(DWORD_PTR, LPCVOID, DWORD);
using SeekFn = DWORD (*)(DWORD_PTR, long, WORD);
using IoctlFn = BOOL (*)(DWORD_PTR, DWORD, PBYTE, DWORD, PBYTE, DWORD, PDWORD);
using PowerFn = void (*)(DWORD_PTR);

RegValue regSz(const std::u16string &s) {
    RegValue v;
    v.type = kRegSz;
    v.data.resize((s.size() + 1) * 2);
    std::memcpy(v.data.data(), s.c_str(), v.data.size());
    return v;
}

RegValue regDword(uint32_t n) {
    RegValue v;
    v.type = kRegDword;
    v.data.resize(4);
    std::memcpy(v.data.data(), &n, 4);
    return v;
}

// A string value up to its first null; absent when missing, not a string, or longer than
// the buffer the Device Manager reads it into.
std::optional<std::u16string> readString(Registry &reg, const std::u16string &key,
                                         const std::u16string &name, size_t maxChars) {
    auto v = reg.getValue(key, name);
    if (!v || (v->type != kRegSz && v->type != kRegExpandSz))
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

// A DWORD value as a 4-byte read sees it: anything of another size counts as absent.
std::optional<uint32_t> readDword(Registry &reg, const std::u16string &key,
                                  const std::u16string &name) {
    auto v = reg.getValue(key, name);
    if (!v || v->data.size() != 4)
        return std::nullopt;
    uint32_t n;
    std::memcpy(&n, v->data.data(), 4);
    return n;
}

std::u16string twoDigits(uint32_t n) {
    return utf16((n < 10 ? "0" : "") + std::to_string(n));
}

std::u16string fileNameOf(const std::u16string &path) {
    size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

bool hasExtension(const std::u16string &path) {
    return fileNameOf(path).find(u'.') != std::u16string::npos;
}

// CE paths are absolute; a bare name is looked up in \Windows.
std::u16string moduleCePath(const std::u16string &name, const char16_t *defaultExt) {
    std::u16string path = name;
    if (path.find_first_of(u"\\/") == std::u16string::npos)
        path = u"\\Windows\\" + path;
    else if (path[0] != u'\\' && path[0] != u'/')
        path = u"\\" + path;
    if (!hasExtension(path))
        path += defaultExt;
    return path;
}

// Driver entry points run in the Device Manager's context, not in the calling program's:
// threads a driver creates belong to no program and outlive the program that activated it.
struct DeviceManagerContext {
    Thread *self;
    void *saved;
    DeviceManagerContext() : self(kern().self()), saved(self->program) { self->program = nullptr; }
    ~DeviceManagerContext() { self->program = saved; }
};

// Ends a program's other threads when its main thread ends, as process exit does.
struct ProcessExit {
    Program *program;
    ~ProcessExit() {
        Kernel &k = kern();
        for (Thread *t : k.threads())
            if (t != k.self() && t->program == program && !t->exited)
                k.kill(t, 0);
    }
};

struct ProcessObject : KObject {
    Program *program = nullptr;
    const char *kind() const override { return "process"; }
    bool signalled() const override { return program->exited(); }
};

struct ProgramThreadObject : KObject {
    std::shared_ptr<Thread> thread;
    const char *kind() const override { return "thread"; }
    bool signalled() const override { return thread->exited; }
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
    uint32_t nextModule = 1;
    std::vector<std::unique_ptr<Module>> modules; // load order
    std::vector<std::pair<std::u16string, BuiltinMain>> builtins;
    std::vector<std::unique_ptr<Program>> programs;
    uint32_t nextProcessId = 1;
    uint32_t reboots = 0;

    void start() {
        // As at boot: no active key survives from an earlier run of the hive.
        if (!started)
            dev().registry().deleteKey(kActiveRoot);
        started = true;
    }

    Module *load(const std::u16string &name, uint32_t *error);
    void unload(Module *m);
    void release(const std::shared_ptr<DriverInstance> &inst);
    uintptr_t activate(const std::u16string &key, uint32_t clientInfo, uint32_t *error);
    bool deactivate(uintptr_t hnd);
    std::shared_ptr<DriverInstance> find(uintptr_t hnd) const {
        for (auto &i : instances)
            if (i->hnd == hnd && i->state == DriverInstance::Active)
                return i;
        return nullptr;
    }
    const BuiltinMain *builtin(const std::u16string &nameOrPath, std::u16string *exeName) const {
        std::u16string file = fileNameOf(nameOrPath);
        for (auto &b : builtins)
            if (equalsNoCase(b.first, file) || equalsNoCase(b.first, file + u".exe")) {
                *exeName = b.first;
                return &b.second;
            }
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
    // last error as it was.
    template <class F> uint32_t call(F f) {
        DeviceManagerContext ctx;
        DriverCall guard(inst);
        Thread *t = kern().self();
        uint32_t saved = t->lastError;
        t->lastError = 0;
        f();
        uint32_t e = t->lastError;
        t->lastError = saved;
        return e;
    }
    bool transfer(bool reading, void *buf, uint32_t n, uint32_t *done, uint32_t *error) {
        *done = 0;
        if (gone(error))
            return false;
        DWORD r = 0;
        uint32_t e = call([&] {
            r = reading ? inst->read(openContext, buf, n) : inst->write(openContext, buf, n);
        });
        if (r == DWORD(-1)) {
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
        uint32_t e = call([&] { r = inst->seek(openContext, amount, WORD(method)); });
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
        uint32_t e = call([&] {
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
            call([&] { inst->close(openContext); });
    }
};

} // namespace

/* ---- modules ---- */

Module *DeviceManager::Impl::load(const std::u16string &name, uint32_t *error) {
    std::u16string cePath = moduleCePath(name, u".dll");
    namespace fs = std::filesystem;
    std::error_code ec;
    std::string host = dev().files().hostPath(cePath);
    if (!fs::is_regular_file(host, ec)) {
        *error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    // The same file under two names is one module (the host loader would share it anyway).
    std::string canonical = fs::canonical(host, ec).string();
    if (ec)
        canonical = host;
    for (auto &m : modules)
        if (m->hostPath == canonical) {
            ++m->refs;
            return m.get();
        }
    std::string why;
    void *h = hostmod::open(canonical, &why);
    if (!h) {
        *error = ERROR_BAD_EXE_FORMAT;
        return nullptr;
    }
    auto m = std::make_unique<Module>();
    m->cePath = cePath;
    m->hostPath = canonical;
    m->host = h;
    m->handle = kModuleHandleBase + kModuleHandleStep * nextModule++;
    m->refs = 1;
    Module *raw = m.get();
    modules.push_back(std::move(m));
    if (auto entry = reinterpret_cast<DllEntryFn>(hostmod::symbol(h, "_DllMainCRTStartup"))) {
        HANDLE self = reinterpret_cast<HANDLE>(raw->handle);
        if (!entry(self, DLL_PROCESS_ATTACH, nullptr)) {
            entry(self, DLL_PROCESS_DETACH, nullptr);
            modules.erase(
                std::find_if(modules.begin(), modules.end(),
                             [raw](const std::unique_ptr<Module> &p) { return p.get() == raw; }));
            hostmod::close(h);
            *error = ERROR_DLL_INIT_FAILED;
            return nullptr;
        }
    }
    return raw;
}

void DeviceManager::Impl::unload(Module *m) {
    auto it = std::find_if(modules.begin(), modules.end(),
                           [m](const std::unique_ptr<Module> &p) { return p.get() == m; });
    if (it == modules.end() || --m->refs > 0)
        return;
    if (auto entry = reinterpret_cast<DllEntryFn>(hostmod::symbol(m->host, "_DllMainCRTStartup")))
        entry(reinterpret_cast<HANDLE>(m->handle), DLL_PROCESS_DETACH, nullptr);
    void *h = m->host;
    // The entry point may have loaded or freed other modules: find this one again.
    modules.erase(std::find_if(modules.begin(), modules.end(),
                               [m](const std::unique_ptr<Module> &p) { return p.get() == m; }));
    hostmod::close(h);
}

/* ---- activation ---- */

void DeviceManager::Impl::release(const std::shared_ptr<DriverInstance> &inst) {
    if (inst->module) {
        Module *m = inst->module;
        inst->module = nullptr;
        unload(m);
    }
    instances.erase(std::remove(instances.begin(), instances.end(), inst), instances.end());
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
    auto wantedIndex = readDword(reg, key, u"Index");
    auto context = readDword(reg, key, u"Context");

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
            unload(inst->module);
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
    inst->module = load(*dll, &loadError);
    if (!inst->module)
        return fail(ERROR_FILE_NOT_FOUND);
    std::string p = utf8(pfx);
    auto entry = [&](const char *fn) {
        return hostmod::symbol(inst->module->host, (p + fn).c_str());
    };
    inst->init = reinterpret_cast<InitFn>(entry("_Init"));
    inst->deinit = reinterpret_cast<DeinitFn>(entry("_Deinit"));
    inst->open = reinterpret_cast<OpenFn>(entry("_Open"));
    inst->close = reinterpret_cast<CloseFn>(entry("_Close"));
    inst->read = reinterpret_cast<ReadFn>(entry("_Read"));
    inst->write = reinterpret_cast<WriteFn>(entry("_Write"));
    inst->seek = reinterpret_cast<SeekFn>(entry("_Seek"));
    inst->ioctl = reinterpret_cast<IoctlFn>(entry("_IOControl"));
    inst->powerUp = reinterpret_cast<PowerFn>(entry("_PowerUp"));
    inst->powerDown = reinterpret_cast<PowerFn>(entry("_PowerDown"));
    if (!inst->init || !inst->deinit || !inst->open || !inst->close || !inst->read ||
        !inst->write || !inst->seek || !inst->ioctl)
        return fail(ERROR_INVALID_FUNCTION);
    if (taken(inst->index))
        return fail(ERROR_DEVICE_IN_USE);

    // Registered before Init so that a second activation meanwhile sees the index taken.
    inst->hnd = kDeviceHandleBase + kDeviceHandleStep * nextHandle++;
    instances.push_back(inst);
    DWORD_PTR arg =
        context ? DWORD_PTR(*context) : reinterpret_cast<DWORD_PTR>(inst->activePath.c_str());
    try {
        DeviceManagerContext ctx;
        DriverCall guard(inst);
        inst->context = inst->init(arg);
    } catch (...) {
        // The calling thread was stopped inside Init; the module waits for the teardown.
        inst->state = DriverInstance::Gone;
        reg.deleteKey(inst->activePath);
        throw;
    }
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
        inst->deinit(inst->context);
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
    d.journal().tee(nullptr);
    if (!kern().self())
        return; // not on an emulated thread: nothing can be called safely
    std::vector<std::shared_ptr<DriverInstance>> all = impl_->instances;
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        auto &inst = *it;
        if (inst->state == DriverInstance::Active) {
            inst->state = DriverInstance::Gone;
            DeviceManagerContext ctx;
            inst->deinit(inst->context);
            d.registry().deleteKey(inst->activePath);
        }
        inst->calls = 0;
        impl_->release(inst);
    }
    while (!impl_->modules.empty()) {
        Module *m = impl_->modules.back().get();
        m->refs = 1;
        impl_->unload(m);
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
            (*it)->powerDown((*it)->context);
        }
}

void DeviceManager::powerUp() {
    std::vector<std::shared_ptr<DriverInstance>> all = impl_->instances;
    for (auto &inst : all)
        if (inst->state == DriverInstance::Active && inst->powerUp) {
            DeviceManagerContext ctx;
            DriverCall guard(inst);
            inst->powerUp(inst->context);
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
    {
        DeviceManagerContext ctx;
        DriverCall guard(inst);
        oc = inst->open(inst->context, access, share);
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

Module *DeviceManager::load(const std::u16string &name, uint32_t *error) {
    return impl_->load(name, error);
}

void DeviceManager::unload(Module *m) {
    impl_->unload(m);
}

void *DeviceManager::symbol(Module *m, const char *name) {
    return m && m->host ? hostmod::symbol(m->host, name) : nullptr;
}

Module *DeviceManager::moduleByHandle(uintptr_t handle) const {
    for (auto &m : impl_->modules)
        if (m->handle == handle)
            return m.get();
    return nullptr;
}

Module *DeviceManager::moduleByName(const std::u16string &name) const {
    std::u16string wanted = hasExtension(name) ? name : name + u".dll";
    bool path = wanted.find_first_of(u"\\/") != std::u16string::npos;
    for (auto &m : impl_->modules)
        if (path ? equalsNoCase(m->cePath, moduleCePath(wanted, u""))
                 : equalsNoCase(fileNameOf(m->cePath), wanted))
            return m.get();
    return nullptr;
}

Program *DeviceManager::start(const std::u16string &nameOrPath, const std::u16string &cmdLine,
                              uint32_t *error) {
    Impl &im = *impl_;
    auto program = std::make_unique<Program>();
    program->cmdLine = cmdLine;
    std::function<uint32_t()> body;
    std::u16string builtinName;
    Program *raw = program.get();
    if (const BuiltinMain *fn = im.builtin(nameOrPath, &builtinName)) {
        program->name = builtinName;
        body = [raw, main = *fn] {
            ProcessExit exit{raw};
            return uint32_t(main(raw->cmdLine));
        };
    } else {
        std::u16string path = moduleCePath(nameOrPath, u".exe");
        Module *m = im.load(path, error);
        if (!m)
            return nullptr;
        auto entry = reinterpret_cast<ExeEntryFn>(hostmod::symbol(m->host, "WinMainCRTStartup"));
        if (!entry) {
            im.unload(m);
            *error = ERROR_BAD_EXE_FORMAT;
            return nullptr;
        }
        program->name = fileNameOf(path);
        program->module = m;
        // The program may write into its command line; it gets a copy of its own.
        auto buffer = std::make_shared<std::u16string>(cmdLine);
        body = [raw, entry, buffer] {
            ProcessExit exit{raw};
            HINSTANCE self = reinterpret_cast<HINSTANCE>(raw->module->handle);
            return uint32_t(entry(self, nullptr, &(*buffer)[0], SW_SHOW));
        };
    }
    program->id = im.nextProcessId++;
    program->thread = kern().spawn(utf8(program->name), std::move(body));
    program->thread->program = raw;
    im.programs.push_back(std::move(program));
    return raw;
}

void DeviceManager::registerBuiltin(const std::u16string &exeName, BuiltinMain main) {
    for (auto &b : impl_->builtins)
        if (equalsNoCase(b.first, exeName)) {
            b.second = std::move(main);
            return;
        }
    impl_->builtins.emplace_back(exeName, std::move(main));
}

bool DeviceManager::hasProgram(const std::u16string &nameOrPath) const {
    std::u16string ignored;
    if (impl_->builtin(nameOrPath, &ignored))
        return true;
    std::error_code ec;
    return std::filesystem::is_regular_file(
        dev().files().hostPath(moduleCePath(nameOrPath, u".exe")), ec);
}

const std::vector<std::unique_ptr<Program>> &DeviceManager::programs() const {
    return impl_->programs;
}

uint32_t DeviceManager::rebootRequests() const {
    return impl_->reboots;
}

void DeviceManager::noteRebootRequest() {
    ++impl_->reboots;
}

bool Program::exited() const {
    return thread && thread->exited;
}

uint32_t Program::exitCode() const {
    return exited() ? thread->exitCode : STILL_ACTIVE;
}

void *newProcessHandle(Program *program) {
    auto obj = std::make_shared<ProcessObject>();
    obj->program = program;
    return dev().handles().add(obj);
}

} // namespace emul

/* ---- CE calls ---- */

using namespace emul;

namespace {

Program *callerProgram() {
    return static_cast<Program *>(kern().self()->program);
}

Module *moduleOf(HMODULE h) {
    if (!h) {
        Program *p = callerProgram();
        return p ? p->module : nullptr;
    }
    return dev().devices().moduleByHandle(reinterpret_cast<uintptr_t>(h));
}

} // namespace

CEAPI HMODULE LoadLibraryW(LPCWSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    uint32_t error = 0;
    Module *m = dev().devices().load(name, &error);
    if (!m) {
        SetLastError(error);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(m->handle);
}

CEAPI BOOL FreeLibrary(HMODULE h) {
    Module *m = h ? dev().devices().moduleByHandle(reinterpret_cast<uintptr_t>(h)) : nullptr;
    if (!m) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    dev().devices().unload(m);
    return TRUE;
}

CEAPI void *GetProcAddressW(HMODULE h, LPCWSTR name) {
    Module *m = h ? dev().devices().moduleByHandle(reinterpret_cast<uintptr_t>(h)) : nullptr;
    if (!m) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // Exports are looked up by name only; a value below 0x10000 would be an ordinal.
    std::string narrow;
    bool ok = reinterpret_cast<uintptr_t>(name) >= 0x10000;
    for (const WCHAR *p = name; ok && *p; ++p) {
        if (*p > 0x7F)
            ok = false;
        narrow += char(*p);
    }
    void *f = ok && !narrow.empty() ? dev().devices().symbol(m, narrow.c_str()) : nullptr;
    if (!f)
        SetLastError(ERROR_PROC_NOT_FOUND);
    return f;
}

CEAPI HMODULE GetModuleHandleW(LPCWSTR name) {
    Module *m = name ? dev().devices().moduleByName(name) : moduleOf(nullptr);
    if (!m) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(m->handle);
}

CEAPI DWORD GetModuleFileNameW(HMODULE h, LPWSTR buf, DWORD n) {
    Module *m = moduleOf(h);
    if (!m || !buf) {
        SetLastError(m ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return 0;
    }
    if (n == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // Always terminated; a short buffer gets the start of the path.
    size_t k = std::min<size_t>(m->cePath.size(), n - 1);
    std::memcpy(buf, m->cePath.data(), k * sizeof(WCHAR));
    buf[k] = 0;
    if (k < m->cePath.size())
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return DWORD(k);
}

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

CEAPI BOOL KernelIoControl(DWORD code, LPVOID, DWORD, LPVOID, DWORD, LPDWORD returned) {
    Device &d = dev();
    d.journal().call("KernelIoControl", Fields().num("code", code));
    if (code == IOCTL_HAL_REBOOT) {
        // The scenario runner sees the request and restarts the device.
        d.devices().noteRebootRequest();
        if (returned)
            *returned = 0;
        return TRUE;
    }
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

CEAPI BOOL CreateProcessW(LPCWSTR image, LPCWSTR cmdLine, LPSECURITY_ATTRIBUTES,
                          LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPWSTR, LPSTARTUPINFOW,
                          LPPROCESS_INFORMATION info) {
    if (failing("CreateProcessW")) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    // CE takes the program from the image name only; the command line holds the arguments.
    if (!image || !*image) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    uint32_t error = 0;
    Program *p = dev().devices().start(image, cmdLine ? cmdLine : u"", &error);
    if (!p) {
        SetLastError(error);
        return FALSE;
    }
    if (info) {
        info->hProcess = newProcessHandle(p);
        auto t = std::make_shared<ProgramThreadObject>();
        t->thread = p->thread;
        info->hThread = dev().handles().add(t);
        info->dwProcessId = p->id;
        info->dwThreadId = p->thread->id;
    }
    return TRUE;
}

CEAPI BOOL GetExitCodeProcess(HANDLE h, LPDWORD code) {
    auto p = dev().handles().getAs<ProcessObject>(h);
    if (!p || !code) {
        SetLastError(p ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *code = p->program->exitCode();
    return TRUE;
}
