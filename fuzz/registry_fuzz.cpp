// Fuzz target: every registry value the driver reads, written malformed (any type, any size,
// unterminated or oversized strings, odd byte counts) and then read by the driver's own code
// (CE 4.20 build) on one device kept for the whole run: the four settings, the hot-key digits and
// the programs they name, and the port search through the IrDA keys. Input: records of
// [value][type][length][data...].
#include <windows.h>

#include "device.h"
#include "keys.h"
#include "norvel_reg.h"

#include "emul/device.h"
#include "emul/files.h"
#include "emul/registry.h"
#include "fuzz_main.h"
#include "handheld/image/install.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace {

struct Target {
    const char16_t *key;
    const char16_t *name;
};

// Where the driver looks; a program name of a hot-key digit is a value of the driver key too.
const Target kTargets[] = {
    {u"Drivers\\BuiltIn\\Norvel", u"Enable Keyboard"},
    {u"Drivers\\BuiltIn\\Norvel", u"Repeat Rate"},
    {u"Drivers\\BuiltIn\\Norvel", u"Delay Time"},
    {u"Drivers\\BuiltIn\\Norvel", u"Enable Restart"},
    {u"Drivers\\BuiltIn\\Norvel", u"My Config"},
    {u"Drivers\\BuiltIn\\Norvel", u"Fn-1"},
    {u"Drivers\\BuiltIn\\Norvel", u"Fn-2"},
    {u"Drivers\\BuiltIn\\Norvel", u"prog"},
    {u"Drivers\\BuiltIn\\Norvel", u"Prog.exe"},
    {u"Drivers\\BuiltIn\\IrDA", u"Index"},
    {u"Comm\\IrDA", u"Port"},
    {u"Comm\\IrDA\\Linkage", u"Bind"},
    {u"Comm\\Irsir1\\Parms", u"Port"},
};
constexpr size_t kTargetCount = sizeof kTargets / sizeof kTargets[0];
constexpr size_t kFirstOtherKey = 9; // the targets from here on are under keys of their own

struct Bench {
    emul::Device device;
    std::optional<emul::RegValue> saved[kTargetCount]; // the installation's values
    Bench() {
        handheld::install(device);
        for (size_t t = 0; t < kTargetCount; ++t)
            saved[t] = device.registry().getValue(kTargets[t].key, kTargets[t].name);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Bench *bench = &fuzzdevice::KeptBench<Bench>();
    emul::Registry &reg = bench->device.registry();
    bool written[kTargetCount] = {};
    bool otherKeys = false; // the IrDA keys, which the installation does not have
    for (size_t i = 0; i + 3 <= size;) {
        size_t which = data[i] % kTargetCount;
        const Target &t = kTargets[which];
        written[which] = true;
        otherKeys = otherKeys || which >= kFirstOtherKey;
        emul::RegValue v;
        v.type = data[i + 1] % 8;
        size_t n = std::min<size_t>(data[i + 2] * 4u, size - i - 3);
        // A long run of one byte stands for an oversized value.
        if (data[i + 2] == 0xFF && n > 0)
            v.data.assign(5000, data[i + 3]);
        else
            v.data.assign(data + i + 3, data + i + 3 + n);
        reg.createKey(t.key);
        reg.setValue(t.key, t.name, v);
        i += 3 + n;
    }

    KeyboardDevice kd;
    std::memset(&kd, 0, sizeof kd);
    kd.lastKey = IRK_NO_KEY;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, NORVEL_DRIVER_KEY, 0, 0, &kd.registryKey) ==
        ERROR_SUCCESS) {
        ReloadSettings(&kd);
        for (DWORD digit = 1; digit <= 2; ++digit)
            LaunchUserProgram(&kd, digit);
        WCHAR port[60];
        std::memset(port, 0, sizeof port);
        FindIrPort(&kd, port);
        if (port[59] != 0) {
            std::fprintf(stderr, "fuzz_registry: the port name is not terminated\n");
            std::abort();
        }
        RegCloseKey(kd.registryKey);
    }
    // Back to the installation for the next input: only what this one changed.
    if (otherKeys)
        for (const char16_t *k : {u"Drivers\\BuiltIn\\IrDA", u"Comm"})
            reg.deleteKey(k);
    for (size_t t = 0; t < kTargetCount; ++t) {
        bool keyGone = otherKeys && t >= kFirstOtherKey;
        if (!written[t] && !keyGone)
            continue;
        if (bench->saved[t]) {
            reg.createKey(kTargets[t].key);
            reg.setValue(kTargets[t].key, kTargets[t].name, *bench->saved[t]);
        } else if (!keyGone) {
            reg.deleteValue(kTargets[t].key, kTargets[t].name);
        }
    }
    bench->device.journal().clear();
    if (reg.openHandles() != 0) {
        std::fprintf(stderr, "fuzz_registry: a registry key was left open\n");
        std::abort();
    }
    return 0;
}
