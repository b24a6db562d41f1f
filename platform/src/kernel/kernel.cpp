// Baton-passing scheduler over host threads; see kernel.h for the model.
#include "emul/kernel.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cxxabi.h>
#include <exception>

#include "emul/journal.h"
#include "host/host_cpu.h"
#include "host/host_wait.h"

namespace emul {

namespace {
thread_local Thread *tlsSelf = nullptr;
// In real time a thread whose platform calls come slowly is preempted by the clock as well: one
// that has run this long since it got the turn gives it up at its next look (every 16th call).
constexpr uint64_t kRealTimeSliceMs = 10;

// The C++ runtime's exception state of a thread as the Itanium C++ ABI lays it out: the count
// that std::uncaught_exceptions() returns, read here without a call into the runtime.
struct EhGlobals {
    void *caughtExceptions;
    unsigned int uncaughtExceptions;
};

bool unwinding(const Thread *t) {
    if (!t->ehGlobals)
        return std::uncaught_exceptions() != 0;
    return static_cast<const EhGlobals *>(t->ehGlobals)->uncaughtExceptions != 0;
}

// The host's monotonic clock (what std::chrono::steady_clock reads), in ns.
int64_t hostNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

constexpr int64_t kNsPerMs = 1000000;
} // namespace

Kernel::Kernel(bool realTime, uint32_t tickStart, bool oneCore)
    : realTime_(realTime), tickStart_(tickStart), hostStartNs_(hostNs()) {
    if (oneCore)
        coresBefore_ = hostcpu::keepToThisCore();
    auto main = std::make_shared<Thread>();
    main->id = nextId_++;
    main->name = "main";
    tlsSelf = main.get();
    current_ = main.get();
    main_ = main.get();
    threads_.push_back(std::move(main));
    if (realTime_) {
        wakeFd_ = hostwait::openWaker();
        waits_ = std::make_unique<hostwait::WaitSet>();
        waits_->add(wakeFd_);
    }
}

Kernel::~Kernel() {
    shutdown();
    tlsSelf = nullptr;
    hostwait::closeWaker(wakeFd_);
    hostcpu::restoreCores(coresBefore_);
}

void Kernel::wake() {
    hostwait::signal(wakeFd_);
}

void Kernel::watch(int fd, std::function<void(short)> onReady) {
    unwatch(fd);
    watches_.push_back(Watch{fd, std::move(onReady)});
    if (waits_)
        waits_->add(fd);
}

void Kernel::unwatch(int fd) {
    for (size_t i = 0; i < watches_.size(); ++i)
        if (watches_[i].fd == fd) {
            watches_.erase(watches_.begin() + long(i));
            if (waits_)
                waits_->remove(fd);
            return;
        }
}

[[gnu::hot]] bool Kernel::pollWatched(int timeoutMs) {
    if (!waits_)
        return false;
    const auto &ready = waits_->wait(timeoutMs);
    if (!ready.empty())
        ++stirs_;
    // The list stays as it is while the handlers run: they may watch and unwatch, not wait.
    for (const auto &r : ready) {
        if (r.fd == wakeFd_) {
            hostwait::drain(wakeFd_);
            continue;
        }
        for (auto &w : watches_)
            if (w.fd == r.fd) {
                auto fn = w.onReady; // it may unwatch
                fn(r.events);
                break;
            }
    }
    return !ready.empty();
}

[[gnu::hot]] bool Kernel::hostWait(uint64_t deadline, int64_t nowNs) {
    frozen_ = false; // what the wait hears arrives at the time it is heard
    if (postedAny_.load(std::memory_order_acquire))
        return false; // the caller looks at the threads again
    int timeout = -1;
    if (deadline != kNever) {
        int64_t us = (hostStartNs_ + int64_t(deadline) * kNsPerMs - nowNs) / 1000;
        timeout = us <= 0 ? 0 : us >= int64_t(INT_MAX) * 1000 ? INT_MAX : int((us + 999) / 1000);
    }
    ++hostWaits_;
    return !pollWatched(timeout);
}

[[gnu::hot]] uint64_t Kernel::hostNow() const {
    return uint64_t((hostNs() - hostStartNs_) / kNsPerMs);
}

[[gnu::hot]] int64_t Kernel::freezeClock() {
    int64_t ns = hostNs();
    frozenNow_ = uint64_t((ns - hostStartNs_) / kNsPerMs);
    frozen_ = true;
    return ns;
}

Thread *Kernel::self() const {
    return tlsSelf;
}

bool Kernel::isEmulatedThread() const {
    return tlsSelf != nullptr;
}

std::vector<Thread *> Kernel::threads() const {
    std::vector<Thread *> out;
    for (auto &t : threads_)
        out.push_back(t.get());
    return out;
}

[[gnu::hot]] bool Kernel::due(Thread *t) const {
    if (t->exited)
        return false;
    if (!t->blocked || t->killed)
        return true;
    return t->deadline != kNever && now() >= t->deadline;
}

[[gnu::hot]] bool Kernel::runnable(Thread *t) const {
    if (due(t))
        return true;
    if (t->exited)
        return false;
    if (t->saidNo && t->seen == *t->changes + stirs_)
        return false; // nothing it looks at has moved
    if (!t->ready)
        return false;
    if (t->ready())
        return true;
    if (t->changes) {
        t->saidNo = true;
        t->seen = *t->changes + stirs_;
    }
    return false;
}

[[gnu::hot]] bool Kernel::drainPosted() {
    // Runs at every switch: nothing is locked or made unless work is waiting.
    if (!postedAny_.load(std::memory_order_acquire))
        return false;
    std::unique_lock<std::mutex> l(m_);
    postedAny_.store(false, std::memory_order_relaxed);
    if (posted_.empty())
        return false;
    std::deque<std::function<void()>> work;
    work.swap(posted_);
    l.unlock();
    ++stirs_;
    for (auto &fn : work)
        fn();
    return true;
}

void Kernel::post(std::function<void()> fn) {
    {
        std::lock_guard<std::mutex> l(m_);
        posted_.push_back(std::move(fn));
        postedAny_.store(true, std::memory_order_release);
    }
    wake();
}

size_t Kernel::hostThreads() const {
    size_t n = ended_.size();
    for (auto &t : threads_)
        n += t->host.joinable();
    return n;
}

[[gnu::hot]] void Kernel::reap() {
    while (!ended_.empty()) {
        std::thread t = std::move(ended_.back());
        ended_.pop_back();
        if (t.joinable())
            t.join(); // it has handed the baton on and is about to return
    }
}

[[gnu::hot]] void Kernel::preemptionPoint() {
    Thread *me = tlsSelf;
    if (!me || me == main_ || scheduling_ || me->killed || unwinding(me))
        return;
    if (!realTime_ && me->callsSince != virtualNow_) {
        me->callsSince = virtualNow_;
        me->calls = 0;
    }
    if (++me->calls < kCallBudget &&
        !(realTime_ && (me->calls & 15) == 0 && hostNow() - frozenNow_ >= kRealTimeSliceMs))
        return;
    me->calls = 0;
    sleep(kQuantumMs);
}

[[gnu::hot]] void Kernel::schedule() {
    Thread *me = tlsSelf;
    ++steps_;
    // Round robin: the threads after me first, then me, so a yielding thread goes last. An
    // ended thread leaves the order here.
    size_t start = 0;
    for (size_t i = 0; i < threads_.size(); ++i)
        if (threads_[i].get() == me) {
            start = i + 1;
            if (me->exited) {
                ++endedCount_;
                ++stirs_;
                threads_.erase(threads_.begin() + long(i));
                start = i;
            }
            break;
        }
    scheduling_ = true;
    bool quiet = false;  // the host wait just ended by its time-out, nothing heard
    bool waited = false; // the host wait just ended: the clock read next is when it did
    for (;;) {
        if (drainPosted())
            quiet = false;
        if (!me->exited)
            reap(); // an ended thread cannot join itself; the next one to run does
        int64_t ns = 0;
        if (realTime_) {
            ns = freezeClock();
            if (waited)
                lastPollNs_ = ns;
            waited = false;
            // A device that is never idle still hears its lines, once a millisecond.
            if (!watches_.empty() && ns - lastPollNs_ >= kNsPerMs) {
                lastPollNs_ = ns;
                if (pollWatched(0))
                    quiet = false;
            }
        }
        // One look at each thread: the first that can run in round-robin order and, when none
        // can, the earliest deadline and the first thread (in the list) that waits for it.
        size_t n = threads_.size();
        Thread *next = nullptr;
        uint64_t earliest = kNever;
        size_t waiterAt = n;
        for (size_t k = 0; k < n; ++k) {
            size_t i = (start + k) % n;
            Thread *t = threads_[i].get();
            if (quiet ? due(t) : runnable(t)) {
                next = t;
                break;
            }
            if (!t->exited && t->blocked &&
                (t->deadline < earliest || (t->deadline == earliest && i < waiterAt))) {
                earliest = t->deadline;
                waiterAt = i;
            }
        }
        quiet = false;
        if (next) {
            scheduling_ = false;
            if (next == me)
                return; // block() asks the caller's condition at the same instant
            frozen_ = false;
            if (handOff(me, next))
                return;
            continue; // woken to make the host wait
        }
        if (!realTime_) {
            if (earliest == kNever) {
                std::lock_guard<std::mutex> l(m_);
                if (!posted_.empty())
                    continue;
                std::fprintf(stderr, "device deadlock: every thread waits without a time-out\n");
                std::abort();
            }
            if (earliest > virtualNow_)
                virtualNow_ = earliest;
            continue;
        }
        if (flushBeforeWait && flushBeforeWait->flush())
            continue; // what was flushed may be what a thread waits for
        // The thread whose deadline comes first waits, so the host wakes the one to run.
        Thread *waiter = earliest != kNever ? threads_[waiterAt].get() : nullptr;
        if (!waiter)
            waiter = me->exited ? threads_[start % threads_.size()].get() : me;
        if (waiter != me) {
            scheduling_ = false;
            frozen_ = false;
            if (handOff(me, waiter))
                return;
            continue;
        }
        quiet = hostWait(earliest, ns);
        waited = true;
    }
}

[[gnu::hot]] bool Kernel::handOff(Thread *me, Thread *next) {
    std::unique_lock<std::mutex> l(m_);
    current_ = next;
    next->cv.notify_one();
    if (me->exited)
        return true;
    me->cv.wait(l, [&] { return current_ == me; });
    l.unlock();
    // In real time a thread may get the baton only to make the host wait.
    if (!realTime_)
        return true;
    freezeClock();
    if (runnable(me))
        return true;
    scheduling_ = true;
    return false;
}

[[gnu::hot]] bool Kernel::suspend(std::function<bool()> &&ready, uint64_t deadline, bool answer,
                                  const uint64_t *changes) {
    Thread *me = tlsSelf;
    if (me->killed)
        throw ThreadKilled{};
    me->ready = std::move(ready);
    me->changes = changes;
    me->saidNo = false;
    me->deadline = deadline;
    me->blocked = true;
    schedule();
    me->blocked = false;
    if (realTime_)
        me->calls = 0;
    if (me->killed && me != main_) {
        frozen_ = false;
        throw ThreadKilled{};
    }
    bool ok = answer && me->ready && me->ready();
    frozen_ = false;
    me->ready = nullptr;
    me->deadline = kNever;
    return ok;
}

void Kernel::sleep(uint64_t ms) {
    block(nullptr, now() + ms);
}

void Kernel::yield() {
    block([] { return true; }, kNever);
}

void Kernel::threadMain(Thread *t, std::function<uint32_t()> body) {
    {
        std::unique_lock<std::mutex> l(m_);
        t->cv.wait(l, [&] { return current_ == t; });
    }
    tlsSelf = t;
    t->ehGlobals = abi::__cxa_get_globals();
    if (!t->killed) {
        try {
            t->exitCode = body();
        } catch (ThreadKilled &) {
        }
    }
    body = nullptr; // what it captured goes while this thread still runs alone
    t->exited = true;
    t->ready = nullptr;
    if (threadEnded)
        threadEnded(t);
    ended_.push_back(std::move(t->host)); // joined by the next thread to run
    schedule();                           // hands the baton on; never comes back to this thread
    tlsSelf = nullptr;
}

std::shared_ptr<Thread> Kernel::spawn(std::string name, std::function<uint32_t()> body) {
    auto t = std::make_shared<Thread>();
    t->id = nextId_++;
    t->name = std::move(name);
    t->exitCode = 259; // STILL_ACTIVE
    threads_.push_back(t);
    ++stirs_;
    // The host thread holds the record until it returns.
    t->host = std::thread(
        [this, t, body = std::move(body)]() mutable { threadMain(t.get(), std::move(body)); });
    return t;
}

void Kernel::kill(Thread *t, uint32_t exitCode) {
    if (t->exited)
        return;
    t->killed = true;
    t->exitCode = exitCode;
    ++stirs_;
    if (t == tlsSelf)
        throw ThreadKilled{};
}

void Kernel::shutdown() {
    if (shuttingDown_)
        return;
    shuttingDown_ = true;
    Thread *me = tlsSelf;
    for (auto &t : threads_)
        if (t.get() != me && !t->exited)
            t->killed = true;
    ++stirs_;
    block(
        [this, me] {
            for (auto &t : threads_)
                if (t.get() != me && !t->exited)
                    return false;
            return true;
        },
        kNever);
    reap();
    for (auto &t : threads_)
        if (t->host.joinable())
            t->host.join();
}

} // namespace emul
