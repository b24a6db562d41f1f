// Fuzz target: bytes on the infrared line, with pauses, through the driver's reader (its byte
// state machine: framing, handshake, link loss, auto-repeat) and decoder (CE 4.20 build), on
// one device kept for the whole run. The reader runs on the device's main thread with a fresh
// record per input, the bytes scheduled on the line, and a thread that stops it when the
// input's time is over; nothing is booted or activated per input. Input: pairs of a line byte and a
// pause code (5 ms steps); bytes with no pause between them arrive together.
#include <windows.h>

#include "device.h"
#include "keys.h"
#include "norvel_reg.h"

#include "emul/device.h"
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

struct Bench {
    emul::Device device;
    emul::SerialPort *line = nullptr;
    KeyboardDevice kd;
    HKEY key = nullptr;
    HANDLE backlight = nullptr, stop = nullptr, go = nullptr;
    DWORD span = 0; // ms from the start of an input to its end
    size_t handles = 0;

    Bench() {
        handheld::install(device);
        auto &win = device.windows();
        uintptr_t note = emul::harness::createSceneWindow("note", u"Notepad", 0, 0, 26, 240, 294);
        emul::harness::createSceneWindow("ink", u"richink", note, 0, 26, 240, 294);
        win.setForeground(note);
        line = device.serial().find(u"COM2:");
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, NORVEL_DRIVER_KEY, 0, 0, &key) != ERROR_SUCCESS)
            Fail("no driver key");
        backlight = CreateEventW(nullptr, FALSE, FALSE, TEXT("BackLightChangeEvent"));
        stop = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        go = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        CloseHandle(CreateThread(nullptr, 0, Stopper, this, 0, nullptr));
        handles = device.handles().count();
    }

    // Waits out the input's time, then asks the reader to stop.
    static DWORD WINAPI Stopper(LPVOID arg) {
        Bench &b = *static_cast<Bench *>(arg);
        for (;;) {
            WaitForSingleObject(b.go, INFINITE);
            Sleep(b.span);
            b.kd.stopReader = 1;
            SetEvent(b.kd.stopEvent);
        }
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
        uint64_t at = device.kernel().now() + 1;
        std::vector<uint8_t> burst;
        for (size_t i = 0; i + 1 < n; i += 2) {
            burst.push_back(d[i]);
            if (d[i + 1] == 0 && i + 3 < n)
                continue;
            line->arrive(at, burst);
            burst.clear();
            at += uint64_t(d[i + 1]) * 5;
        }
        span = DWORD(at - device.kernel().now()) + 25; // and the last bytes are read
        SetEvent(go);
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
    static Bench *bench = new Bench(); // kept to the end: the feeder thread lives on it
    bench->Run(data, size);
    return 0;
}

#ifndef FUZZ_WITH_LIBFUZZER
int main(int argc, char **argv) {
    return fuzzmain::Main(argc, argv, "fuzz_keys", FUZZ_CORPUS_DIR);
}
#endif
