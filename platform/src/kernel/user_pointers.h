// The lowest 64 KB of a process's address space is never mapped on the platform, and its calls
// refuse a pointer into it (error 87) instead of touching it: a small number passed where a
// string or buffer belongs fails cleanly, whatever happens to be at that host address.
#pragma once

#include <windows.h>

#include <cstdint>

namespace emul {

constexpr uintptr_t kReservedLow = 0x10000;

// A pointer into the reserved low region; null is not one (each call says what null means).
inline bool reservedPointer(const void *p) {
    return reinterpret_cast<uintptr_t>(p) - 1 < kReservedLow - 1;
}

template <typename... P> inline bool anyReservedPointer(const P *...p) {
    return (reservedPointer(p) || ...);
}

// The guard at the top of a call that reports through GetLastError: true, with error 87 set,
// when any of `p` points into the reserved region.
template <typename... P> inline bool refusedPointer(const P *...p) {
    if (!anyReservedPointer(p...))
        return false;
    SetLastError(ERROR_INVALID_PARAMETER);
    return true;
}

// A message parameter that carries a string or a buffer.
inline bool refusedParam(LPARAM lp) {
    return refusedPointer(reinterpret_cast<const void *>(lp));
}

} // namespace emul
