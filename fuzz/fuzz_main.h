// The driver of a fuzz target when it is not built for libFuzzer: `fuzz_X [N]` runs the seed
// corpus and then N inputs made from it by a fixed-seed mutator, `fuzz_X FILE...` replays
// files. It prints how many inputs a second the target took, in wall time and per second of
// the process's CPU time, which a loaded machine disturbs less (a figure, not a check).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace fuzzdevice {

// A target keeps one device for the whole run and writes its files at every input: they live
// in memory when the host offers /dev/shm (unless TMPDIR says otherwise).
inline void FilesInMemory() {
    std::error_code ec;
    if (!std::getenv("TMPDIR") && std::filesystem::is_directory("/dev/shm", ec))
        setenv("TMPDIR", "/dev/shm", 1);
}

// The kept device is never destroyed, so its temporary folder is removed when the run ends.
inline void RemoveAtExit(const std::string &folder) {
    static std::string kept;
    kept = folder;
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(kept, ec);
    });
}

// The one bench a target keeps for the whole run (never destroyed): its files in memory, its
// folder removed at exit. Bench has a `device` member.
template <class Bench> Bench &KeptBench() {
    static Bench *bench = [] {
        FilesInMemory();
        auto *b = new Bench();
        RemoveAtExit(b->device.files().root());
        return b;
    }();
    return *bench;
}

} // namespace fuzzdevice

#ifndef FUZZ_WITH_LIBFUZZER
namespace fuzzmain {

inline std::vector<uint8_t> ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

inline void Mutate(std::vector<uint8_t> &v, std::mt19937 &rng, const std::vector<uint8_t> &other) {
    int edits = 1 + int(rng() % 4);
    for (int e = 0; e < edits; ++e) {
        size_t at = v.empty() ? 0 : rng() % v.size();
        switch (rng() % 6) {
        case 0:
            if (!v.empty())
                v[at] ^= uint8_t(1u << (rng() % 8));
            break;
        case 1:
            if (!v.empty())
                v[at] = uint8_t(rng());
            break;
        case 2:
            v.insert(v.begin() + long(at), uint8_t(rng()));
            break;
        case 3:
            if (!v.empty())
                v.erase(v.begin() + long(at));
            break;
        case 4: // a piece of another input
            if (!other.empty()) {
                size_t from = rng() % other.size(), n = 1 + rng() % (other.size() - from);
                v.insert(v.begin() + long(at), other.begin() + long(from),
                         other.begin() + long(from + n));
            }
            break;
        default: // a piece of itself again
            if (!v.empty()) {
                size_t n = 1 + rng() % (v.size() - at);
                std::vector<uint8_t> piece(v.begin() + long(at), v.begin() + long(at + n));
                v.insert(v.begin() + long(at), piece.begin(), piece.end());
            }
        }
    }
    if (v.size() > 4096)
        v.resize(4096);
}

inline int Main(int argc, char **argv, const char *name, const char *corpusDir) {
    std::vector<std::vector<uint8_t>> corpus;
    if (argc > 1 && std::atoi(argv[1]) == 0) {
        for (int i = 1; i < argc; ++i) {
            auto bytes = ReadFile(argv[i]);
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        }
        return 0;
    }
    std::error_code ec;
    for (auto &e : std::filesystem::directory_iterator(corpusDir, ec))
        corpus.push_back(ReadFile(e.path().string()));
    if (corpus.empty())
        corpus.push_back({});
    long runs = argc > 1 ? std::atol(argv[1]) : 1000;
    std::mt19937 rng(20041);
    auto start = std::chrono::steady_clock::now();
    std::clock_t cpuStart = std::clock();
    for (auto &c : corpus)
        LLVMFuzzerTestOneInput(c.data(), c.size());
    for (long r = 0; r < runs; ++r) {
        std::vector<uint8_t> v = corpus[rng() % corpus.size()];
        Mutate(v, rng, corpus[rng() % corpus.size()]);
        LLVMFuzzerTestOneInput(v.data(), v.size());
    }
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    long total = runs + long(corpus.size());
    std::printf("%s: %ld inputs, no fault, %.0f inputs/s (%.0f per CPU second)\n", name, total,
                s > 0 ? total / s : 0.0, cpu > 0 ? total / cpu : 0.0);
    return 0;
}

} // namespace fuzzmain
#endif
