// Fault signals on an emulated thread inside runGuarded() jump back to it; anywhere else they go
// to whatever handled them before (a sanitizer's report, or the default: the process ends).
#include "emul/faults.h"

#include <csetjmp>
#include <csignal>
#include <cstring>
#include <mutex>

namespace emul {

namespace {

struct Guard {
    sigjmp_buf jump;
    Guard *outer;
};
thread_local Guard *current = nullptr;

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
struct sigaction previous[4];

void onFault(int sig, siginfo_t *info, void *ctx) {
    if (Guard *g = current) {
        current = g->outer;
        siglongjmp(g->jump, sig);
    }
    // Not ours: whatever handled it before (a sanitizer's report, or the default).
    for (size_t i = 0; i < 4; ++i)
        if (kSignals[i] == sig) {
            if (previous[i].sa_flags & SA_SIGINFO) {
                previous[i].sa_sigaction(sig, info, ctx);
                return;
            }
            if (previous[i].sa_handler != SIG_IGN && previous[i].sa_handler != SIG_DFL) {
                previous[i].sa_handler(sig);
                return;
            }
        }
    signal(sig, SIG_DFL);
    raise(sig);
}

void install() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction sa;
        std::memset(&sa, 0, sizeof sa);
        sa.sa_sigaction = onFault;
        sa.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&sa.sa_mask);
        for (size_t i = 0; i < 4; ++i)
            sigaction(kSignals[i], &sa, &previous[i]);
    });
}

uint32_t codeOf(int sig) {
    switch (sig) {
    case SIGFPE:
        return kExceptionIntDivideByZero;
    case SIGILL:
        return kExceptionIllegalInstruction;
    default:
        return kExceptionAccessViolation;
    }
}

} // namespace

uint32_t runGuarded(const std::function<void()> &f) {
    install();
    Guard g;
    g.outer = current;
    int sig = sigsetjmp(g.jump, 1);
    if (sig != 0)
        return codeOf(sig);
    current = &g;
    try {
        f();
    } catch (...) {
        current = g.outer; // a forced stop of the thread unwinds through here
        throw;
    }
    current = g.outer;
    return 0;
}

} // namespace emul
