// Fuzz target: arbitrary bytes on the infrared line, with arbitrary pauses, into the installed
// driver (CE 4.20 build) while a program with a text box and a rich-ink window are on screen.
// Whatever arrives, the device must not crash or hang, and deactivating the driver must give
// back every handle and registry key it took.
//
// Built for libFuzzer with -DFUZZ=ON (clang); otherwise `fuzz_line [N]` replays N inputs made
// from a fixed seed (and `fuzz_line FILE...` replays files), which CTest runs as a smoke test.
#include <windows.h>

#include "emul/device.h"
#include "emul/devmgr.h"
#include "emul/harness.h"
#include "emul/registry.h"
#include "emul/serial.h"
#include "emul/windows_sys.h"
#include "handheld/image/install.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

namespace {

void Fail(const char *what) {
    std::fprintf(stderr, "fuzz_line: %s\n", what);
    std::abort();
}

void RunOne(const uint8_t *data, size_t size) {
    emul::Device device;
    handheld::install(device);
    auto &win = device.windows();
    uintptr_t note = emul::harness::createSceneWindow("note", u"Notepad", 0, 0, 26, 240, 294);
    emul::harness::createSceneWindow("ink", u"richink", note, 0, 26, 240, 294);
    win.setForeground(note);
    size_t handles = device.handles().count();
    uintptr_t h = device.devices().activate(u"Drivers\\BuiltIn\\Norvel", 0);
    if (!h)
        Fail("the driver did not load");
    emul::SerialPort &line = *device.serial().find(u"COM2:");
    Sleep(30);
    // Each pair of input bytes: a byte on the line, then a pause of 0 to 1275 ms in 5 ms steps.
    for (size_t i = 0; i + 1 < size; i += 2) {
        line.arriveNow({data[i]});
        Sleep(DWORD(data[i + 1]) * 5);
    }
    if (!device.devices().deactivate(h))
        Fail("deactivation failed");
    if (device.handles().count("process") != 0)
        Fail("a started program's process handle was left open");
    if (device.registry().openHandles() != 0)
        Fail("a registry key was left open");
    (void)handles;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    RunOne(data, size);
    return 0;
}

#ifndef FUZZ_WITH_LIBFUZZER
int main(int argc, char **argv) {
    if (argc > 1 && std::atoi(argv[1]) == 0) {
        for (int i = 1; i < argc; ++i) {
            std::ifstream in(argv[i], std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
            RunOne(bytes.data(), bytes.size());
        }
        return 0;
    }
    int runs = argc > 1 ? std::atoi(argv[1]) : 100;
    std::mt19937 rng(20041);
    for (int r = 0; r < runs; ++r) {
        std::vector<uint8_t> bytes(2 * (rng() % 64));
        for (size_t i = 0; i < bytes.size(); i += 2) {
            // Mostly key codes after a handshake, sometimes anything at all.
            static const uint8_t common[] = {0x05, 0x02, 0xC0, 0xC1, 0x00, 0xFF};
            bytes[i] = rng() % 4 == 0 ? common[rng() % 6] : uint8_t(rng());
            bytes[i + 1] = uint8_t(rng() % 8 == 0 ? rng() : rng() % 12);
        }
        if (r % 2 == 0 && bytes.size() >= 4) {
            bytes[0] = 0x05;
            bytes[2] = 0x02;
        }
        RunOne(bytes.data(), bytes.size());
    }
    std::printf("fuzz_line: %d inputs, no fault\n", runs);
    return 0;
}
#endif
