// The host's monotonic clock, as the kernel reads it at every switch.
#pragma once

#include <cstdint>
#include <ctime>

namespace emul::hostclock {

// The call that reads a clock: the kernel's own (its vDSO) where it maps one, else the C
// library's. The library's wrapper reads two pages of its own loader data on every call, which
// an idle device would pay for at each pass after a sleep has made them cold.
using Reader = int (*)(int clock, timespec *ts);
Reader monotonicReader();

// Host ns on the monotonic clock (what std::chrono::steady_clock reads), through `read`.
inline int64_t monotonicNs(Reader read) {
    timespec ts;
    read(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

} // namespace emul::hostclock
