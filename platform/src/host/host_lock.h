// A mutex for a lock taken on every pass of an idle device: uncontended, lock and unlock are one
// atomic instruction each, in line, where the C library's mutex costs a call into code lines of
// its own. A contended lock sleeps on a futex, so a holder that waits on the disk costs nothing.
#pragma once

#include <atomic>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace emul {

class HostLock {
  public:
    void lock() {
        int free = 0;
        if (!state_.compare_exchange_strong(free, 1, std::memory_order_acquire))
            wait();
    }
    void unlock() {
        if (state_.exchange(0, std::memory_order_release) == 2)
            wake();
    }

  private:
    [[gnu::cold, gnu::noinline]] void wake() {
        syscall(SYS_futex, word(), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
    }
    // Marks the lock as wanted (2), so its holder wakes a sleeper when it lets go.
    [[gnu::cold, gnu::noinline]] void wait() {
        while (state_.exchange(2, std::memory_order_acquire) != 0)
            syscall(SYS_futex, word(), FUTEX_WAIT_PRIVATE, 2, nullptr, nullptr, 0);
    }
    int *word() { return reinterpret_cast<int *>(&state_); }

    std::atomic<int> state_{0}; // 0 free, 1 held, 2 held and wanted
};

} // namespace emul
