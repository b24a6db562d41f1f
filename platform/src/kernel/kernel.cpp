// Baton-passing scheduler over host threads; see kernel.h for the model.
#include "emul/kernel.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <new>
#include <utility>

#include "emul/journal.h"
#include "host/host_clock.h"
#include "host/host_cpu.h"
#include "host/host_turn.h"
#include "host/host_wait.h"

namespace emul {

namespace {
thread_local Thread *tlsSelf = nullptr;
// In real time a thread whose platform calls come slowly is preempted by the clock as well: one
// that has run this long since it got the turn gives it up at its next look (every 16th call).
constexpr uint64_t kRealTimeSliceMs = 10;
constexpr uint32_t kErrorOutOfMemory = 14; // a thread's exit code when memory ran out

// The C++ runtime's exception state of a thread as the Itanium C++ ABI lays it out: the count
// that std::uncaught_exceptions() returns, read here without a call into the runtime.
struct EhGlobals {
    void *caughtExceptions;
    unsigned int uncaughtExceptions;
};

bool unwinding(const void *ehGlobals) {
    if (!ehGlobals)
        return std::uncaught_exceptions() != 0;
    return static_cast<const EhGlobals *>(ehGlobals)->uncaughtExceptions != 0;
}

constexpr int64_t kNsPerMs = 1000000;

#ifdef EMUL_WAKE_CHECK
constexpr bool kCheckWakes = true;
#else
constexpr bool kCheckWakes = false;
#endif
} // namespace

Kernel::Kernel(bool realTime, uint32_t tickStart, bool oneCore)
    : realTime_(realTime), tickStart_(tickStart), readClock_(hostclock::monotonicReader()),
      hostStartNs_(hostclock::monotonicNs(readClock_)), slab_(std::make_shared<RecordSlab>()),
      threads_(SlabAllocator<std::shared_ptr<Thread>>(slab_)), checkWakes_(kCheckWakes) {
    if (oneCore)
        coresBefore_ = hostcpu::keepToThisCore();
    auto main = newThread();
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

EMUL_IDLE_PATH bool Kernel::pollWatched(int timeoutMs) {
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

EMUL_IDLE_PATH bool Kernel::hostWait(uint64_t deadline, int64_t nowNs) {
    frozen_ = false; // what the wait hears arrives at the time it is heard
    if (postedAny_.load(std::memory_order_acquire))
        return false; // the caller looks at the threads again
    int timeout = -1;
    if (deadline != kNever) {
        int64_t us = (hostStartNs_ + int64_t(deadline) * kNsPerMs - nowNs) / 1000;
        timeout = us <= 0 ? 0 : us >= int64_t(INT_MAX) * 1000 ? INT_MAX : int((us + 999) / 1000);
    }
    ++hostWaits_;
    bool quiet = !pollWatched(timeout);
    warmUp();
    return quiet;
}

// What the pass after a host wait reads first: the kernel's own records, then what the
// subsystems noted (see warmLines).
EMUL_IDLE_PATH void Kernel::warmUp() const {
    __builtin_prefetch(this);
    __builtin_prefetch(threads_.data());
    for (const auto &t : threads_)
        __builtin_prefetch(t.get());
    for (const auto &line : warmLines)
        if (const void *p = line.load(std::memory_order_relaxed))
            __builtin_prefetch(p);
}

EMUL_IDLE_PATH uint64_t Kernel::hostNow() const {
    return uint64_t((hostclock::monotonicNs(readClock_) - hostStartNs_) / kNsPerMs);
}

EMUL_IDLE_PATH int64_t Kernel::freezeClock() {
    int64_t ns = hostclock::monotonicNs(readClock_);
    frozenNow_ = uint64_t((ns - hostStartNs_) / kNsPerMs);
    frozen_ = true;
    return ns;
}

EMUL_IDLE_PATH Thread *Kernel::self() const {
    return tlsSelf;
}

std::vector<Thread *> Kernel::threads() const {
    std::vector<Thread *> out;
    for (auto &t : threads_)
        out.push_back(t.get());
    return out;
}

EMUL_IDLE_PATH bool Kernel::due(Thread *t) const {
    if (t->sched_.exited)
        return false;
    if (!t->sched_.blocked || t->sched_.killed)
        return true;
    return t->sched_.deadline != kNever && now() >= t->sched_.deadline;
}

EMUL_IDLE_PATH bool Kernel::runnable(Thread *t) const {
    if (due(t))
        return true;
    ThreadSched &s = t->sched_;
    if (s.exited)
        return false;
    if (s.saidNo && s.seenStirs == stirs_) {
        uint64_t generation = changeGeneration.load(std::memory_order_relaxed);
        if (s.seenGeneration == generation || s.seenChanges == s.changes.sum()) {
            s.seenGeneration = generation;
            if (checkWakes_)
                skipped(t, "nothing it names has moved");
            return false; // nothing it looks at has moved
        }
    }
    if (!s.hasCondition())
        return false;
    if (s.holds())
        return true;
    if (!s.changes.empty()) {
        s.saidNo = true;
        s.seenGeneration = changeGeneration.load(std::memory_order_relaxed);
        s.seenChanges = s.changes.sum();
        s.seenStirs = stirs_;
    }
    return false;
}

void Kernel::skipped(Thread *t, const char *why) const {
    if (!t->sched_.hasCondition() || !t->sched_.holds())
        return;
    std::fprintf(stderr,
                 "wake check: thread %u \"%s\" was not woken though its condition holds: %s "
                 "(a change it looks at did not bump its count)\n",
                 t->id, t->name.c_str(), why);
    std::abort();
}

EMUL_IDLE_PATH bool Kernel::drainPosted() {
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

EMUL_IDLE_PATH void Kernel::reap() {
    while (!ended_.empty()) {
        std::thread t = std::move(ended_.back());
        ended_.pop_back();
        if (t.joinable())
            t.join(); // it has handed the baton on and is about to return
    }
}

EMUL_IDLE_PATH void Kernel::preemptionPoint() {
    Thread *me = tlsSelf;
    if (!me || me == main_ || scheduling_ || me->sched_.killed || unwinding(me->sched_.ehGlobals))
        return;
    if (!realTime_ && me->sched_.callsSince != virtualNow_) {
        me->sched_.callsSince = virtualNow_;
        me->sched_.calls = 0;
    }
    if (++me->sched_.calls < kCallBudget &&
        !(realTime_ && (me->sched_.calls & 15) == 0 && hostNow() - frozenNow_ >= kRealTimeSliceMs))
        return;
    me->sched_.calls = 0;
    sleep(kQuantumMs);
}

// The caller's turn ends: the threads after it come first, then the caller, so a yielding
// thread goes last. An ended thread leaves the order here. Returns where the look starts.
EMUL_IDLE_PATH size_t Kernel::leaveTurn(Thread *me) {
    for (size_t i = 0; i < threads_.size(); ++i)
        if (threads_[i].get() == me) {
            if (!me->sched_.exited)
                return i + 1;
            ++endedCount_;
            ++stirs_;
            threads_.erase(threads_.begin() + long(i));
            return i;
        }
    return 0;
}

// Work posted by host threads, ended host threads to join and, in real time, the clock read
// once for the whole look (its host ns in *nowNs) and the watched lines heard once a
// millisecond, so a device that is never idle still hears them. True when something came in.
EMUL_IDLE_PATH bool Kernel::takeInOutside(Thread *me, int64_t *nowNs) {
    bool heard = drainPosted();
    if (!me->sched_.exited)
        reap(); // an ended thread cannot join itself; the next one to run does
    if (!realTime_)
        return heard;
    int64_t ns = freezeClock();
    *nowNs = ns;
    if (lastPollNs_ == kLookedAtWait)
        lastPollNs_ = ns;
    if (!watches_.empty() && ns - lastPollNs_ >= kNsPerMs) {
        lastPollNs_ = ns;
        if (pollWatched(0))
            heard = true;
    }
    return heard;
}

// One look at each thread: the first that can run in round-robin order and, when none can, the
// earliest deadline and the first thread (in the list) that waits for it. `deadlinesOnly`: no
// condition is asked, nothing they look at has moved.
EMUL_IDLE_PATH Kernel::Choice Kernel::choose(size_t start, bool deadlinesOnly) const {
    Choice c;
    size_t n = threads_.size();
    c.waiterAt = n;
    for (size_t k = 0; k < n; ++k) {
        size_t i = (start + k) % n;
        Thread *t = threads_[i].get();
        if (deadlinesOnly ? due(t) : runnable(t)) {
            c.next = t;
            return c;
        }
        const ThreadSched &s = t->sched_;
        if (deadlinesOnly && checkWakes_ && !s.exited)
            skipped(t, "the host wait heard nothing");
        if (!s.exited && s.blocked &&
            (s.deadline < c.earliest || (s.deadline == c.earliest && i < c.waiterAt))) {
            c.earliest = s.deadline;
            c.waiterAt = i;
        }
    }
    return c;
}

// Device time: nothing can run, so time jumps to the earliest deadline. With none, the device
// can never move again.
void Kernel::advanceTo(uint64_t deadline) {
    if (deadline == kNever) {
        std::lock_guard<std::mutex> l(m_);
        if (!posted_.empty())
            return;
        std::fprintf(stderr, "device deadlock: every thread waits without a time-out\n");
        std::abort();
    }
    if (deadline > virtualNow_)
        virtualNow_ = deadline;
}

// Real time: the thread whose deadline comes first makes the host wait, so that the host wakes
// the one to run.
EMUL_IDLE_PATH Thread *Kernel::hostWaiter(Thread *me, const Choice &c, size_t start) const {
    if (c.earliest != kNever)
        return threads_[c.waiterAt].get();
    return me->sched_.exited ? threads_[start % threads_.size()].get() : me;
}

EMUL_IDLE_PATH void Kernel::schedule() {
    Thread *me = tlsSelf;
    ++steps_;
    // In real time a line goes out when the thread that wrote it gives up its turn, not after
    // the threads it woke have run too: someone reading the stream sees each call as it happens.
    if (realTime_ && flushBeforeWait)
        flushBeforeWait->flush();
    size_t start = leaveTurn(me);
    scheduling_ = true;
    bool quiet = false; // the host wait just ended by its time-out, nothing heard
    for (;;) {
        int64_t ns = 0;
        if (takeInOutside(me, &ns))
            quiet = false;
        Choice c = choose(start, quiet);
        quiet = false;
        Thread *next = c.next;
        if (!next && !realTime_) {
            advanceTo(c.earliest);
            continue;
        }
        if (!next) {
            if (flushBeforeWait && flushBeforeWait->flush())
                continue; // what was flushed may be what a thread waits for
            next = hostWaiter(me, c, start);
            if (next == me) {
                quiet = hostWait(c.earliest, ns);
                lastPollNs_ = kLookedAtWait;
                continue;
            }
        }
        scheduling_ = false;
        if (next == me && c.next)
            return; // block() asks the caller's condition at the same instant
        frozen_ = false;
        if (handOff(me, next))
            return;
        // Woken to make the host wait.
    }
}

EMUL_IDLE_PATH bool Kernel::handOff(Thread *me, Thread *next) {
    current_ = next;
    bool exited = me->sched_.exited; // read before the next thread may free its record
    hostturn::give(next->turn);
    if (exited)
        return true;
    hostturn::await(me->turn);
    // In real time a thread may get the baton only to make the host wait.
    if (!realTime_)
        return true;
    freezeClock();
    if (runnable(me))
        return true;
    scheduling_ = true;
    return false;
}

EMUL_IDLE_PATH bool Kernel::suspend(std::function<bool()> &&ready, bool (*test)(const void *),
                                    const void *arg, uint64_t deadline, bool answer,
                                    ChangeCounts changes) {
    Thread *me = tlsSelf;
    if (me->sched_.killed)
        throw ThreadKilled{};
    if (test) {
        me->sched_.test = test;
        me->sched_.arg = arg;
    } else {
        me->sched_.ready = std::move(ready);
    }
    me->sched_.changes = changes;
    me->sched_.saidNo = false;
    me->sched_.deadline = deadline;
    me->sched_.blocked = true;
    schedule();
    me->sched_.blocked = false;
    if (realTime_)
        me->sched_.calls = 0;
    if (me->sched_.killed && me != main_) {
        frozen_ = false;
        forgetCondition(me); // what it looked at goes with the frames the kill unwinds
        throw ThreadKilled{};
    }
    if (me == main_ && outOfMemory_ && !shuttingDown_) {
        me->sched_.killed = false;
        forgetCondition(me);
        me->sched_.deadline = kNever;
        frozen_ = false;
        std::rethrow_exception(std::exchange(outOfMemory_, nullptr));
    }
    bool ok = answer && me->sched_.hasCondition() && me->sched_.holds();
    frozen_ = false;
    forgetCondition(me);
    me->sched_.deadline = kNever;
    return ok;
}

EMUL_IDLE_PATH void Kernel::forgetCondition(Thread *t) {
    if (t->sched_.test) {
        t->sched_.test = nullptr;
        t->sched_.arg = nullptr;
    } else if (t->sched_.ready) {
        t->sched_.ready = nullptr;
    }
}

void Kernel::sleep(uint64_t ms) {
    block(nullptr, now() + ms);
}

void Kernel::yield() {
    block([] { return true; }, kNever);
}

void Kernel::threadMain(Thread *t, std::function<uint32_t()> body) {
    hostturn::await(t->turn);
    tlsSelf = t;
    t->sched_.ehGlobals = abi::__cxa_get_globals();
    if (!t->sched_.killed) {
        try {
            t->exitCode = body();
        } catch (ThreadKilled &) {
        } catch (const std::bad_alloc &) {
            // The device's memory is the host's: when it runs out on any thread, the command
            // running the device ends as if its own thread had run out, never by an abort.
            t->exitCode = kErrorOutOfMemory;
            if (!shuttingDown_ && !outOfMemory_) {
                outOfMemory_ = std::current_exception();
                main_->sched_.killed = true; // due at once, whatever it waits for
            }
        }
    }
    body = nullptr; // what it captured goes while this thread still runs alone
    t->sched_.exited = true;
    forgetCondition(t);
    if (threadEnded)
        threadEnded(t);
    ended_.push_back(std::move(t->host)); // joined by the next thread to run
    schedule();                           // hands the baton on; never comes back to this thread
    tlsSelf = nullptr;
}

RecordSlab::~RecordSlab() {
    for (unsigned char *p : pages_)
        ::operator delete(p, std::align_val_t(4096));
}

void *RecordSlab::take(size_t bytes) {
    if (bytes > kBlock)
        return ::operator new(bytes);
    std::lock_guard<std::mutex> l(m_);
    if (free_.empty()) {
        auto *page = static_cast<unsigned char *>(::operator new(4096, std::align_val_t(4096)));
        pages_.push_back(page);
        for (size_t at = 4096 / kBlock * kBlock; at >= kBlock; at -= kBlock)
            free_.push_back(page + at - kBlock); // the page's first block is taken first
    }
    void *p = free_.back();
    free_.pop_back();
    return p;
}

void RecordSlab::give(void *p, size_t bytes) {
    if (bytes > kBlock) {
        ::operator delete(p);
        return;
    }
    std::lock_guard<std::mutex> l(m_);
    free_.push_back(p);
}

std::shared_ptr<Thread> Kernel::newThread() {
    return std::allocate_shared<Thread>(SlabAllocator<Thread>(slab_));
}

std::shared_ptr<Thread> Kernel::spawn(std::string name, std::function<uint32_t()> body) {
    auto t = newThread();
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
    if (t->sched_.exited)
        return;
    t->sched_.killed = true;
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
        if (t.get() != me && !t->sched_.exited)
            t->sched_.killed = true;
    ++stirs_;
    block(
        [this, me] {
            for (auto &t : threads_)
                if (t.get() != me && !t->sched_.exited)
                    return false;
            return true;
        },
        kNever);
    reap();
    for (auto &t : threads_)
        if (t->host.joinable())
            t->host.join();
}

void Kernel::endThreads(const std::function<bool(const Thread &)> &which) {
    Thread *me = tlsSelf;
    std::vector<std::shared_ptr<Thread>> ending;
    for (auto &t : threads_)
        if (t.get() != me && t.get() != main_ && !t->sched_.exited && which(*t)) {
            t->sched_.killed = true;
            ending.push_back(t);
        }
    ++stirs_;
    block(
        [&ending] {
            for (auto &t : ending)
                if (!t->sched_.exited)
                    return false;
            return true;
        },
        kNever);
    reap();
}

} // namespace emul
