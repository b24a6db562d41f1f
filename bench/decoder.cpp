// Codes per CPU second through the decoder: random make/break pairs of the character keys. Built
// twice: on the platform with the journal on (written in blocks to a stream that discards it,
// as `handheld play` writes it), and on no-op platform calls (the floor). Prints one number.
#include <windows.h>

#include "keys.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#ifndef DECODER_FLOOR
#include "emul/device.h"
#include "emul/registry.h"
#include <ostream>
#include <streambuf>

namespace {
struct Discard : std::streambuf {
    std::streamsize xsputn(const char *, std::streamsize n) override { return n; }
    int_type overflow(int_type c) override { return c; }
};
} // namespace
#endif

int main(int argc, char **argv) {
#ifndef DECODER_FLOOR
    emul::Device device;
    Discard discard;
    std::ostream sink(&discard);
    device.journal().tee(&sink);
    device.journal().keepLast(0);
    device.registry().createKey(u"Drivers\\BuiltIn\\Norvel");
#endif
    KeyboardDevice kd;
    std::memset(&kd, 0, sizeof kd);
#ifndef DECODER_FLOOR
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\BuiltIn\\Norvel", 0, 0, &kd.registryKey);
    kd.backlightEvent = CreateEventW(NULL, FALSE, FALSE, TEXT("BackLightChangeEvent"));
#endif
    std::vector<DWORD> keys;
    for (DWORD make = 0; make < KEY_TABLE_SIZE; ++make)
        if (KeyTableEntry(make)->kind == KEY_CHAR)
            keys.push_back(make);
    // A smaller count for instruction counts under callgrind.
    const int pairs = argc > 1 ? std::atoi(argv[1]) : 2000000;
    std::vector<DWORD> order(pairs);
    uint32_t seed = 12345;
    for (auto &k : order) {
        seed = seed * 1103515245u + 12345u;
        k = keys[(seed >> 16) % keys.size()];
    }
    // CPU time rather than wall time: on a shared machine the figure does not depend on how
    // long the process waited for a core.
    auto cpu = [] {
        timespec ts;
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
    };
    double t0 = cpu();
    for (DWORD make : order) {
        DecodeKey(&kd, make, 1);
        DecodeKey(&kd, make + 128, 1);
    }
    double s = cpu() - t0;
    std::printf("%.3f\n", 2.0 * pairs / s / 1e6); // million codes per second
#ifndef DECODER_FLOOR
    if (getenv("BENCH_VERBOSE"))
        std::fprintf(stderr, "%.2f journal lines per code\n",
                     double(device.journal().written()) / (2.0 * pairs));
#endif
    return 0;
}
