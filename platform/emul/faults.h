// Faults in the system's code (a bad pointer, a division by zero) are the platform's exceptions:
// the Device Manager and the program loader catch them around a driver entry point or a
// program, report them, and the device goes on.
#pragma once

#include <cstdint>
#include <functional>

namespace emul {

// The exception codes the platform reports for the host's fault signals.
constexpr uint32_t kExceptionAccessViolation = 0xC0000005;
constexpr uint32_t kExceptionIllegalInstruction = 0xC000001D;
constexpr uint32_t kExceptionIntDivideByZero = 0xC0000094;

// Runs `f` on the calling thread; returns 0 when it returned, or the exception code when the
// code it ran faulted (it is left where it faulted: nothing after the fault runs, and the
// frames in between are not unwound, as with a structured exception).
uint32_t runGuarded(const std::function<void()> &f);

} // namespace emul
