// How fast device time runs: the installed driver polls its quiet infrared line (a pass about
// every 20 ms) for a stretch of device time, then types a burst of keys. Prints device seconds
// per host second and the cost of one reader pass.
#include <windows.h>

#include "emul/device.h"
#include "emul/devmgr.h"
#include "emul/serial.h"
#include "handheld/image/install.h"

#include <chrono>
#include <cstdio>

int main() {
    const DWORD deviceMs = 600000; // ten minutes of device time
    emul::Device device;
    handheld::install(device);
    auto start = std::chrono::steady_clock::now();
    if (!device.devices().activate(u"Drivers\\BuiltIn\\Norvel", 0)) {
        std::fprintf(stderr, "the driver did not load\n");
        return 1;
    }
    Sleep(deviceMs);
    auto idle = std::chrono::steady_clock::now();
    emul::SerialPort &line = *device.serial().find(u"COM2:");
    line.arriveNow({0x05, 0x02});
    Sleep(50);
    const int keys = 2000;
    for (int i = 0; i < keys; ++i) {
        line.arriveNow({0xEE}); // A down
        Sleep(30);
        line.arriveNow({0x6E}); // A up
        Sleep(30);
    }
    auto done = std::chrono::steady_clock::now();
    double idleS = std::chrono::duration<double>(idle - start).count();
    double typeS = std::chrono::duration<double>(done - idle).count();
    double passes = deviceMs / 20.0;
    std::printf(
        "idle line: %.0f s of device time in %.3f s host time (%.0fx), %.2f us per reader pass\n",
        deviceMs / 1000.0, idleS, deviceMs / 1000.0 / idleS, idleS * 1e6 / passes);
    std::printf("typing: %d key presses and releases in %.3f s host time, %.1f us per key event, "
                "%zu journal lines\n",
                keys, typeS, typeS * 1e6 / (2 * keys), device.journal().lines().size());
    return 0;
}
