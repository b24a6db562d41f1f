// Codes per CPU second through the decoder, for one stream of codes. Built twice: on the
// platform with the journal on (written in blocks to a stream that discards it, as `handheld
// play` writes it), and on no-op platform calls (the floor). Prints one number.
//
//   bench_decoder [PAIRS] [STREAM]   (default 2,000,000 and `chars`)
//
// Streams: `chars` random make/break pairs of the character keys (virtual keys); `text` a
// sentence typed with Shift for its capitals; `symbols` the Symbol layer held, random character
// keys (characters posted to the focus); `bytes` codes drawn uniformly from 0 to 255, whatever
// they do (modifiers, layers, launches, codes of no key).
#include <windows.h>

#include "keys.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#ifndef DECODER_FLOOR
#include "emul/device.h"
#include "emul/registry.h"
#include <fstream>
#include <ostream>
#include <streambuf>

namespace {
struct Discard : std::streambuf {
    std::streamsize xsputn(const char *, std::streamsize n) override { return n; }
    int_type overflow(int_type c) override { return c; }
};
} // namespace
#endif

namespace {

struct Code {
    DWORD code, fresh;
};

uint32_t seed = 12345;
uint32_t next() {
    seed = seed * 1103515245u + 12345u;
    return seed >> 16;
}

std::vector<DWORD> makesOf(bool (*pick)(const KeyEntry *)) {
    std::vector<DWORD> out;
    for (DWORD make = 0; make < KEY_TABLE_SIZE; ++make)
        if (pick(KeyTableEntry(make)))
            out.push_back(make);
    return out;
}

DWORD makeOfKind(BYTE kind) {
    for (DWORD make = 0; make < KEY_TABLE_SIZE; ++make)
        if (KeyTableEntry(make)->kind == kind)
            return make;
    return 0;
}

DWORD makeOfVk(BYTE vk) {
    for (DWORD make = 0; make < KEY_TABLE_SIZE; ++make)
        if (KeyTableEntry(make)->kind == KEY_CHAR && KeyTableEntry(make)->vk == vk)
            return make;
    return 0;
}

void pairsOf(std::vector<Code> &out, const std::vector<DWORD> &keys, size_t codes) {
    while (out.size() < codes) {
        DWORD k = keys[next() % keys.size()];
        out.push_back({k, 1});
        out.push_back({k + 128, 1});
    }
}

// A sentence as a typist's codes: Shift around its capitals.
void typedText(std::vector<Code> &out, size_t codes) {
    const char *text = "The quick brown fox jumps over the lazy dog, 42 times. ";
    DWORD shift = makeOfKind(KEY_SHIFT), space = makeOfKind(KEY_SPACE);
    for (const char *p = text; out.size() < codes; p = *(p + 1) ? p + 1 : text) {
        char c = *p;
        bool upper = c >= 'A' && c <= 'Z';
        BYTE vk = c == ' '   ? 0
                  : c == ',' ? VK_COMMA
                  : c == '.' ? VK_PERIOD
                  : upper    ? BYTE(c)
                             : BYTE(c >= 'a' ? c - 'a' + 'A' : c);
        DWORD k = vk ? makeOfVk(vk) : space;
        if (upper)
            out.push_back({shift, 1});
        out.push_back({k, 1});
        out.push_back({k + 128, 1});
        if (upper)
            out.push_back({shift + 128, 1});
    }
}

std::vector<Code> stream(const std::string &name, size_t codes) {
    std::vector<Code> out;
    out.reserve(codes + 4);
    if (name == "chars") {
        pairsOf(out, makesOf([](const KeyEntry *e) { return e->kind == KEY_CHAR; }), codes);
    } else if (name == "text") {
        typedText(out, codes);
    } else if (name == "symbols") {
        out.push_back({makeOfKind(KEY_SYMBOL), 1});
        pairsOf(out, makesOf([](const KeyEntry *e) { return e->kind == KEY_CHAR && e->symFirst; }),
                codes);
    } else if (name == "bytes") {
        while (out.size() < codes)
            out.push_back({next() & 0xFF, 1});
    }
    return out;
}

} // namespace

int main(int argc, char **argv) {
#ifndef DECODER_FLOOR
    // BENCH_JOURNAL=FILE keeps the journal, to compare what two builds write.
    std::ofstream kept;
    if (const char *path = getenv("BENCH_JOURNAL"))
        kept.open(path);
    Discard discard;
    std::ostream discarded(&discard);
    emul::Device device;
    device.journal().tee(kept.is_open() ? static_cast<std::ostream *>(&kept) : &discarded);
    device.journal().keepLast(0);
    device.registry().createKey(u"Drivers\\BuiltIn\\Norvel");
#endif
    KeyboardDevice kd;
    std::memset(&kd, 0, sizeof kd);
#ifndef DECODER_FLOOR
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\BuiltIn\\Norvel", 0, 0, &kd.registryKey);
    kd.backlightEvent = CreateEventW(NULL, FALSE, FALSE, TEXT("BackLightChangeEvent"));
#endif
    // A smaller count for instruction counts under callgrind.
    const long pairs = argc > 1 ? std::atol(argv[1]) : 2000000;
    std::vector<Code> codes = stream(argc > 2 ? argv[2] : "chars", size_t(2 * pairs));
    if (codes.empty()) {
        std::fprintf(stderr, "bench_decoder: streams are chars, text, symbols and bytes\n");
        return 2;
    }
    // CPU time rather than wall time: on a shared machine the figure does not depend on how
    // long the process waited for a core.
    auto cpu = [] {
        timespec ts;
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
    };
    double t0 = cpu();
    for (const Code &c : codes)
        DecodeKey(&kd, c.code, c.fresh);
    double s = cpu() - t0;
    std::printf("%.3f\n", double(codes.size()) / s / 1e6); // million codes per second
#ifndef DECODER_FLOOR
    if (getenv("BENCH_VERBOSE"))
        std::fprintf(stderr, "%.2f journal lines per code\n",
                     double(device.journal().written()) / double(codes.size()));
#endif
    return 0;
}
