// The lowest 64 KB of a process's address space is never mapped on the platform, and its calls
// refuse a pointer into it (error 87) instead of touching it: a small number passed where a
// string or buffer belongs fails cleanly, whatever happens to be at that host address.
#pragma once

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

} // namespace emul
