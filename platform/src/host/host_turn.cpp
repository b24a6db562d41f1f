#include "host/host_turn.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace emul::hostturn {

namespace {
// The futex calls alone: with a condition variable and its mutex the woken thread would run
// only to sleep again on the mutex its giver still holds, three switches where one will do.
void futex(std::atomic<uint32_t> &word, int op, uint32_t value) {
    static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));
    syscall(SYS_futex, reinterpret_cast<uint32_t *>(&word), op | FUTEX_PRIVATE_FLAG, value, nullptr,
            nullptr, 0);
}
} // namespace

void give(std::atomic<uint32_t> &word) {
    word.store(1, std::memory_order_release);
    futex(word, FUTEX_WAKE, 1);
}

void await(std::atomic<uint32_t> &word) {
    while (word.exchange(0, std::memory_order_acquire) == 0)
        futex(word, FUTEX_WAIT, 0); // returns at once when given meanwhile
}

} // namespace emul::hostturn
