// What a full repaint of the settings program's Config page costs: the program runs on an
// installed device, everything on the screen is made to paint again, and the device runs until
// every program waits for input. Prints the CPU microseconds of one repaint beyond the same wait
// without it (the median of several rounds).
#include <windows.h>

#include "emul/device.h"
#include "emul/windows_sys.h"
#include "handheld/image/install.h"
#include "handheld/scenario/scenario.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double cpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace

int main() {
    emul::DeviceOptions options;
    options.oneCore = true;
    emul::Device device(options);
    handheld::InstallOptions install;
    install.withPort = false;
    handheld::install(device, install);
    device.journal().keepLast(0);
    handheld::ScenarioRunner runner(device);
    handheld::ScnError err;
    if (!runner.playText("run kbsettings\n", &err)) {
        std::fprintf(stderr, "bench_paint: %s\n", err.message.c_str());
        return 1;
    }
    handheld::ScnCommand wait;
    std::string why;
    bool empty = false;
    handheld::scnParseLine("wait 1", 1, &wait, &empty, &why);
    const int rounds = 7, repaints = 100;
    std::vector<double> perRepaint;
    for (int r = 0; r < rounds; ++r) {
        double t0 = cpuSeconds();
        for (int i = 0; i < repaints; ++i) {
            device.windows().paintScreen();
            runner.execute(wait, &why);
        }
        double t1 = cpuSeconds();
        for (int i = 0; i < repaints; ++i)
            runner.execute(wait, &why);
        double t2 = cpuSeconds();
        perRepaint.push_back(((t1 - t0) - (t2 - t1)) / repaints * 1e6);
    }
    std::sort(perRepaint.begin(), perRepaint.end());
    std::printf("%.1f\n", perRepaint[perRepaint.size() / 2]);
    return 0;
}
