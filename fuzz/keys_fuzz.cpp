// Fuzz target: bytes on the infrared line, with pauses, through the driver's reader (its byte
// state machine: framing, handshake, link loss, auto-repeat) and decoder (CE 4.20 build), on
// one device kept for the whole run. The reader runs on the device's main thread with a fresh
// record per input and the bytes scheduled on the line; it is stopped when the input's time is
// over by work the kernel runs at its scheduling points, so an input runs on one host thread.
// Nothing is booted or activated per input, and the shell starts no programs (ShellExecuteEx
// fails): the driver's launch code runs, but no program threads pile up. Input: pairs of a line
// byte and a pause code (5 ms steps); bytes with no pause between them arrive together. An input
// covers at most a few seconds of device time.
#include <windows.h>

#include "device.h"
#include "keys.h"
#include "norvel_reg.h"

#include "emul/device.h"
#include "emul/files.h"
#include "emul/harness.h"
#include "emul/registry.h"
#include "emul/serial.h"
#include "emul/windows_sys.h"
#include "fuzz_main.h"
#include "handheld/image/install.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

[[noreturn]] void Fail(const char *what) {
    std::fprintf(stderr, "fuzz_keys: %s\n", what);
    std::abort();
}

// An input covers at most this much device time (a held key's whole auto-repeat run takes
// 1.6 s at the installed settings); what comes later is not sent.
constexpr uint64_t kMaxSpan = 3000;

struct Bench {
    emul::Device device;
    emul::SerialPort *line = nullptr;
    KeyboardDevice kd;
    HKEY key = nullptr;
    HANDLE backlight = nullptr, stop = nullptr;
    uint64_t end = 0; // device time at which the input is over
    size_t handles = 0;

    Bench() {
        handheld::install(device);
        device.fail("ShellExecuteEx");
        device.fail("CreateProcessW");
        auto &win = device.windows();
        uintptr_t note = emul::harness::createSceneWindow("note", u"Notepad", 0, 0, 26, 240, 294);
        emul::harness::createSceneWindow("ink", u"richink", note, 0, 26, 240, 294);
        win.setForeground(note);
        line = device.serial().find(u"COM2:");
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, NORVEL_DRIVER_KEY, 0, 0, &key) != ERROR_SUCCESS)
            Fail("no driver key");
        backlight = CreateEventW(nullptr, FALSE, FALSE, TEXT("BackLightChangeEvent"));
        stop = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        handles = device.handles().count();
    }

    // Runs at every scheduling point until the input's time is over, then asks the reader to
    // stop, as the driver's Deinit does.
    void WatchTheClock() {
        if (device.kernel().now() < end) {
            device.kernel().post([this] { WatchTheClock(); });
            return;
        }
        kd.stopReader = 1;
        SetEvent(kd.stopEvent);
    }

    void Run(const uint8_t *d, size_t n) {
        std::memset(&kd, 0, sizeof kd);
        kd.registryKey = key;
        kd.lastKey = IRK_NO_KEY;
        kd.repeatRate = 100;
        kd.delayTime = 500;
        kd.backlightEvent = backlight;
        kd.stopEvent = stop;
        // The bytes are scheduled on the line up front: the reader meets them in device time
        // with no other thread running in between.
        uint64_t start = device.kernel().now(), at = start + 1;
        std::vector<uint8_t> burst;
        for (size_t i = 0; i + 1 < n && at - start <= kMaxSpan; i += 2) {
            burst.push_back(d[i]);
            if (d[i + 1] == 0 && i + 3 < n)
                continue;
            line->arrive(at, burst);
            burst.clear();
            at += uint64_t(d[i + 1]) * 5;
        }
        end = at + 25; // and the last bytes are read
        WatchTheClock();
        ReaderThread(&kd);
        if (kd.portOpen == 1)
            IRK_Close(reinterpret_cast<DWORD_PTR>(&kd));
        device.journal().clear();
        if (device.registry().openHandles() != 1)
            Fail("a registry key was left open");
        if (device.handles().count() != handles)
            Fail("a handle was left open");
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzzdevice::KeptBench<Bench>().Run(data, size);
    return 0;
}
