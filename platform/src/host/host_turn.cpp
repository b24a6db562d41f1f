#include "host/host_turn.h"

#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace emul::hostturn {

namespace {
// The futex calls alone: with a condition variable and its mutex the woken thread would run
// only to sleep again on the mutex its giver still holds, three switches where one will do.
void futex(std::atomic<uint32_t> &word, int op, uint32_t value, const timespec *timeout = nullptr) {
    static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));
    syscall(SYS_futex, reinterpret_cast<uint32_t *>(&word), op | FUTEX_PRIVATE_FLAG, value, timeout,
            nullptr, 0);
}

#if defined(__SANITIZE_THREAD__)
constexpr bool kSignalsWaitForACall = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kSignalsWaitForACall = true;
#else
constexpr bool kSignalsWaitForACall = false;
#endif
#else
constexpr bool kSignalsWaitForACall = false;
#endif
} // namespace

void give(std::atomic<uint32_t> &word) {
    word.store(1, std::memory_order_release);
    futex(word, FUTEX_WAKE, 1);
}

void await(std::atomic<uint32_t> &word) {
    // The thread sanitizer holds a signal back until the thread it landed on makes a call it
    // knows, which a raw futex wait is not: under it the wait wakes now and then to make one,
    // so a resize or a stop signal is not held for as long as the thread waits for its turn.
    static const timespec kSignalCheck{0, 20 * 1000 * 1000};
    while (word.exchange(0, std::memory_order_acquire) == 0) {
        futex(word, FUTEX_WAIT, 0, kSignalsWaitForACall ? &kSignalCheck : nullptr);
        if (kSignalsWaitForACall)
            usleep(0);
    }
}

} // namespace emul::hostturn
