// The emulated kernel: threads that run one at a time, and device time.
//
// Every emulated thread is a host thread, but only the holder of the "baton" runs. A blocking
// platform call records what would wake its thread (a predicate and/or a deadline) and passes
// the baton to the next runnable thread in a fixed round-robin order. When no thread can run,
// virtual time jumps to the earliest deadline. In real time the device then makes one host
// wait: over the watched descriptors (the host lines) and a wake-up descriptor, with the
// earliest deadline as its time-out, made by the thread whose deadline is earliest, so that
// the thread that runs next is the one the host wakes. A wait that ends by its time-out with
// nothing heard changed nothing a wake condition looks at: only the deadlines are checked then.
//
// Locking. The baton is the lock of the device: whoever holds it (current_) may touch every
// field of the kernel, of its threads and of every other subsystem (handles, journal, window
// system, registry, serial ports) without a mutex, since no other emulated thread runs until it
// blocks. The handoff gives the next thread its Thread::turn (release and acquire, so what the
// giver wrote is seen by the taker). `m_` guards only posted_, filled by host threads through
// post(). wake() writes an
// eventfd and is safe from a signal handler.
//
// The registry takes no lock either: its host-side API (emul/registry.h) is called by the baton
// holder too (the device's first thread is a front end, a test or the scenario runner), or by a
// program that has no device (the reg tool); a debug or wake-checking build asserts it. Another
// process writing the same hive is not a locking matter: SQLite's own locks see to it, and the
// hive's copy looks at SQLite's data version after every switch.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct timespec;

// Marks a function that an idle device runs at every pass of its driver's reader: such functions
// are placed together, so that a pass after a sleep starts on a few cold pages of code, not on
// one page for each source file it passes through.
#define EMUL_IDLE_PATH __attribute__((hot))

namespace emul {

namespace hostwait {
class WaitSet;
}

constexpr uint64_t kNever = UINT64_MAX;

// Thrown inside a thread that has been terminated; unwinds it to its entry wrapper.
struct ThreadKilled {};

struct Program;
class Journal;

// Moves whenever any ChangeCount of the process does: while it stands still, a switch knows
// without reading them one by one (a page each, cold after an idle sleep) that no count moved.
extern std::atomic<uint64_t> changeGeneration;

// Where the records lie that an idle pass reads in other subsystems, noted by each as it reads
// them. When the host wait ends, the kernel asks for all of them at once, so that their misses
// (the sleep has made them cold) overlap instead of coming one after another. Only a hint: a
// stale entry costs nothing, since a prefetch never faults.
enum class WarmLine { device, handles, hive, registry, port, file, walIndex, count };
extern std::atomic<const void *> warmLines[size_t(WarmLine::count)];
inline void noteWarmLine(WarmLine which, const void *p) {
    warmLines[size_t(which)].store(p, std::memory_order_relaxed);
}

// A count that moves with every change of some state that wake conditions look at. A condition
// that names one (Kernel::block) is asked again only when it, or what the kernel sees itself,
// has moved, so a change that can make such a condition hold and does not bump its count is a
// thread that never wakes. Readable by anyone; bumped only by the owner of an
// OwnedChangeCount. A build with WAKE_CHECK asks the skipped conditions anyway and stops at
// the first one that holds.
class ChangeCount {
  public:
    uint64_t value() const { return n_; }

  protected:
    void bump() {
        ++n_;
        changeGeneration.fetch_add(1, std::memory_order_relaxed);
    }

  private:
    uint64_t n_ = 0;
};

template <class Owner> class OwnedChangeCount : public ChangeCount { friend Owner; };

// The counts a condition names, when what it looks at has more than one owner: at most three.
// Their sum moves whenever one of them does.
class ChangeCounts {
  public:
    ChangeCounts() = default;
    ChangeCounts(const ChangeCount &a) : c_{&a, nullptr, nullptr} {}
    ChangeCounts(const ChangeCount &a, const ChangeCount &b) : c_{&a, &b, nullptr} {}
    ChangeCounts(const ChangeCount &a, const ChangeCount &b, const ChangeCount &c)
        : c_{&a, &b, &c} {}
    bool empty() const { return !c_[0]; }
    uint64_t sum() const {
        uint64_t s = 0;
        for (const ChangeCount *c : c_)
            if (c)
                s += c->value();
        return s;
    }

  private:
    const ChangeCount *c_[3] = {};
};

// What the kernel alone keeps of a thread to schedule it.
struct ThreadSched {
    // What a switch and a preemption point look at comes first, so that they read one line of
    // each thread.
    bool exited = false;
    bool killed = false;
    // Wake condition while blocked: predicate and absolute deadline in device ms.
    bool blocked = false;
    // A condition that said no is asked again only when `changes` or the kernel's own count of
    // what it sees have moved (see Kernel::block); all of them only grow.
    // No changes: asked at every switch.
    bool saidNo = false;
    // Preemption: platform calls made since device time last moved (see Kernel).
    uint32_t calls = 0;
    uint64_t deadline = kNever;
    uint64_t seenChanges = 0;    // the sum of `changes` when the condition said no
    uint64_t seenStirs = 0;      // and the kernel's own count then
    uint64_t seenGeneration = 0; // changeGeneration when seenChanges was last found current
    ChangeCounts changes;
    // The C++ runtime's exception state of this host thread, read at every preemption point.
    const void *ehGlobals = nullptr;
    uint64_t callsSince = 0;
    // The wake condition: `ready`, or `test` on `arg` where the caller keeps it as a plain
    // function, which costs nothing to set up or take down.
    bool (*test)(const void *) = nullptr;
    const void *arg = nullptr;
    std::function<bool()> ready;
    bool hasCondition() const { return test || ready; }
    bool holds() const { return test ? test(arg) : ready(); }
};

// An emulated thread as the rest of the device knows it: who it is, whose it is, its last error
// and how it ended. How it is scheduled is the kernel's alone.
struct Thread : std::enable_shared_from_this<Thread> {
  private:
    friend class Kernel;
    ThreadSched sched_; // first, see ThreadSched

  public:
    bool exited() const { return sched_.exited; }
    // Ended by TerminateThread, ExitThread, a fault or the device's end rather than by
    // returning from its body.
    bool terminated() const { return sched_.exited && sched_.killed; }

    uint32_t id = 0;
    uint32_t lastError = 0;
    uint32_t exitCode = 0;
    std::string name;
    Program *program = nullptr; // the process this thread belongs to; null: the platform's own

  private:
    std::atomic<uint32_t> turn{0}; // given when the baton comes to this thread
    std::thread host;
};

// Blocks of a few hundred bytes side by side, for the records that every switch reads (each
// thread's and the list of them): after an idle sleep they are cold, and on one page they cost
// one miss of the address cache rather than one each. Larger requests go to the heap. Records
// may outlive the kernel (a thread handle): every allocator holds the slab.
class RecordSlab {
  public:
    static constexpr size_t kBlock = 384;
    RecordSlab() = default;
    RecordSlab(const RecordSlab &) = delete;
    RecordSlab &operator=(const RecordSlab &) = delete;
    ~RecordSlab();
    void *take(size_t bytes);
    void give(void *p, size_t bytes);

  private:
    std::mutex m_; // a record's last holder may be a host thread that is ending
    std::vector<unsigned char *> pages_;
    std::vector<void *> free_;
};

template <class T> struct SlabAllocator {
    using value_type = T;
    std::shared_ptr<RecordSlab> slab;
    explicit SlabAllocator(std::shared_ptr<RecordSlab> s) : slab(std::move(s)) {}
    template <class U> SlabAllocator(const SlabAllocator<U> &o) : slab(o.slab) {}
    T *allocate(size_t n) { return static_cast<T *>(slab->take(n * sizeof(T))); }
    void deallocate(T *p, size_t n) { slab->give(p, n * sizeof(T)); }
    template <class U> bool operator==(const SlabAllocator<U> &o) const { return slab == o.slab; }
    template <class U> bool operator!=(const SlabAllocator<U> &o) const { return slab != o.slab; }
};

class Kernel {
  public:
    // `tickStart` is what GetTickCount returns at device time 0. `oneCore`: the calling host
    // thread, and so every thread spawned from the device, keeps to the core it runs on now,
    // until the kernel ends.
    Kernel(bool realTime, uint32_t tickStart, bool oneCore = false);
    ~Kernel();
    Kernel(const Kernel &) = delete;
    Kernel &operator=(const Kernel &) = delete;

    bool realTime() const { return realTime_; }
    // Device milliseconds since boot. In real time the clock stands still while the kernel
    // decides who runs next: every wake condition is asked at one instant, read once.
    uint64_t now() const { return !realTime_ ? virtualNow_ : frozen_ ? frozenNow_ : hostNow(); }
    uint32_t tick() const { return uint32_t(tickStart_ + now()); }

    Thread *self() const; // the calling emulated thread (the baton holder)
    // The device's first thread: the host thread that made the device (the scenario runner,
    // a front end or a test). It is never preempted and never unwound by a kill.
    Thread *mainThread() const { return main_; }

    // Blocks the caller until `ready()` holds (checked at scheduling points) or the deadline
    // passes. Returns true when woken by the predicate. An empty predicate means sleep.
    bool block(std::function<bool()> ready, uint64_t deadline) {
        return suspend(std::move(ready), nullptr, nullptr, deadline, true, ChangeCounts());
    }
    // The same for a condition that looks only at state whose every change that can make it
    // hold moves `*changes`, besides what the kernel sees itself (work posted, the host's
    // events, threads that start, end or are killed): once it said no, it is asked again only
    // after one of those moved, not at every switch. It must not depend on the clock.
    bool block(std::function<bool()> ready, uint64_t deadline, ChangeCounts changes) {
        return suspend(std::move(ready), nullptr, nullptr, deadline, true, changes);
    }
    // The same, for a caller that looks for itself at what it waited for: the condition is not
    // asked once more for an answer.
    void waitFor(std::function<bool()> ready, uint64_t deadline) {
        suspend(std::move(ready), nullptr, nullptr, deadline, false, ChangeCounts());
    }
    // The same with the condition as a plain function of `arg`, which outlives the wait: for a
    // wait made at every pass of an idle device, where a std::function's set-up and take-down
    // would touch code of their own.
    void waitFor(bool (*ready)(const void *), const void *arg, uint64_t deadline) {
        suspend(nullptr, ready, arg, deadline, false, ChangeCounts());
    }
    void sleep(uint64_t ms);
    void yield();
    // Brings the deadline of a blocked thread forward to `at` (device ms): what it waits for
    // has just been given a time by another thread (a timer set on its window).
    void wakeBy(Thread *t, uint64_t at) {
        if (t->sched_.blocked && at < t->sched_.deadline)
            t->sched_.deadline = at;
    }

    // Starts a new emulated thread; it first runs when the caller next blocks. When it ends,
    // its host thread is joined at the next switch and its record lives on only while someone
    // holds it (a thread handle, its program).
    std::shared_ptr<Thread> spawn(std::string name, std::function<uint32_t()> body);
    // Told that a thread's body has returned, while that thread still runs alone: what the
    // subsystems keep of it (its windows) goes then.
    std::function<void(Thread *)> threadEnded;
    // Forced stop: the thread unwinds at its next scheduling point (TerminateThread).
    void kill(Thread *t, uint32_t exitCode);
    std::vector<Thread *> threads() const; // the threads that have not ended
    // How many threads have ended so far: lets a subsystem that refers to threads see cheaply
    // that it has records of ended ones to let go of.
    uint64_t endedThreads() const { return endedCount_; }
    size_t hostThreads() const;                       // host threads not yet joined (for tests)
    uint64_t hostWaits() const { return hostWaits_; } // real time: host waits made (for tests)
    // Moves whenever a thread blocks, yields or ends. While it stands still the caller has run
    // alone since it last looked, with no other thread and no host wait in between.
    uint64_t steps() const { return steps_; }

    // A preemption point, called on entry to platform calls. A real device preempts a thread
    // that never blocks; here a thread (other than the device's first) that makes kCallBudget
    // platform calls while device time stands still (in real time: without blocking) sleeps
    // for kQuantumMs, so the others run and device time moves on. Counting calls keeps this
    // deterministic in device time.
    static constexpr uint32_t kCallBudget = 10000;
    static constexpr uint64_t kQuantumMs = 1;
    void preemptionPoint();

    // Thread-safe: queue work from a host thread; it runs on the baton holder's stack at the
    // next scheduling point. Wakes a real-time idle wait.
    void post(std::function<void()> fn);
    // Async-signal-safe: wakes a real-time idle wait, so the blocked threads' conditions are
    // checked again.
    void wake();

    // Real time: `onReady` runs on the baton holder's stack whenever `fd` has something to read
    // (or has hung up); the device's host wait includes it. Called on an emulated thread.
    void watch(int fd, std::function<void(short revents)> onReady);
    void unwatch(int fd);

    // Flushed on the baton holder's stack when a thread's turn ends and before the device waits
    // on the host clock or for a host event (real time). When that wrote something, a blocked
    // thread may be waiting for it (a reader of the journal's stream): the threads are looked at
    // again before the wait.
    Journal *flushBeforeWait = nullptr;

    // Ends every other thread (killing the ones still running) and joins them.
    void shutdown();
    // Kills the threads, other than the caller and the device's first, for which `which` holds,
    // and waits until they have ended; the kernel runs on (a restart of the device).
    void endThreads(const std::function<bool(const Thread &)> &which);

    // Whether every switch asks the conditions it skips (see ChangeCount) and stops the
    // device, naming the thread, when one holds. On from the start in a WAKE_CHECK build.
    void checkWakes(bool on) { checkWakes_ = on; }

  private:
    // The caller holds the baton and has set its own wake condition. Returns with the clock
    // frozen at the instant the caller was found runnable (real time); block() thaws it.
    void schedule();
    bool suspend(std::function<bool()> &&ready, bool (*test)(const void *), const void *arg,
                 uint64_t deadline, bool answer, ChangeCounts changes);
    bool runnable(Thread *t) const;
    void forgetCondition(Thread *t);
    bool due(Thread *t) const; // runnable without asking its wake condition
    // A condition skipped since nothing it names moved: in a checking kernel, asked anyway.
    void skipped(Thread *t, const char *why) const;

    // The steps of a switch (schedule): the caller leaves its turn; what came from outside
    // is taken in; one look at each thread chooses; device time moves or the host is waited on.
    size_t leaveTurn(Thread *me);
    bool takeInOutside(Thread *me, int64_t *nowNs);
    struct Choice {
        Thread *next = nullptr;     // the first thread that can run, in round-robin order
        uint64_t earliest = kNever; // else the earliest deadline
        size_t waiterAt = 0;        // and the first thread in the list that waits for it
    };
    Choice choose(size_t start, bool deadlinesOnly) const;
    void advanceTo(uint64_t deadline);
    Thread *hostWaiter(Thread *me, const Choice &c, size_t start) const;
    bool drainPosted();
    // Reads the host clock once: the device's ms stand at it until thawed; host ns returned.
    int64_t freezeClock();
    void threadMain(Thread *t, std::function<uint32_t()> body);

    bool realTime_;
    uint32_t tickStart_;
    std::vector<unsigned char> coresBefore_; // the caller's affinity mask before `oneCore`
    uint64_t virtualNow_ = 0;
    uint64_t hostNow() const;                          // device ms on the host clock
    int (*readClock_)(int clock, struct timespec *ts); // see hostclock::monotonicReader
    int64_t hostStartNs_; // the host's monotonic clock at device time 0
    bool frozen_ = false; // real time: now() answers frozenNow_
    uint64_t frozenNow_ = 0;

    // Real time: the one wait of an idle device; true when it ended by its time-out with
    // nothing heard, posted or flushed.
    bool hostWait(uint64_t deadline, int64_t nowNs);
    // Passes the baton; true when the caller got it back to run, false when only to wait.
    bool handOff(Thread *me, Thread *next);
    bool pollWatched(int timeoutMs); // true when something was heard
    void warmUp() const;

    mutable std::mutex m_;               // posted_ (see the top of this file)
    std::atomic<bool> postedAny_{false}; // set with posted_: a switch looks at it without m_
    int wakeFd_ = -1;
    std::unique_ptr<hostwait::WaitSet> waits_; // the wake-up descriptor and the watched ones
    uint64_t hostWaits_ = 0;
    uint64_t steps_ = 0;
    struct Watch {
        int fd;
        std::function<void(short)> onReady;
    };
    std::vector<Watch> watches_;
    // Host clock of the last look at the watched descriptors; kLookedAtWait right after a
    // host wait, which looked at them until the clock read next.
    static constexpr int64_t kLookedAtWait = -1;
    int64_t lastPollNs_ = 0;
    void reap(); // joins the host threads of ended threads
    std::shared_ptr<RecordSlab> slab_;
    // Scheduling order; ended threads leave it.
    std::vector<std::shared_ptr<Thread>, SlabAllocator<std::shared_ptr<Thread>>> threads_;
    std::shared_ptr<Thread> newThread();
    uint64_t endedCount_ = 0;
    uint64_t stirs_ = 0; // what the kernel sees that a condition may look at (see block)
    std::vector<std::thread> ended_; // host threads to join
    bool scheduling_ = false;
    Thread *current_ = nullptr;
    Thread *main_ = nullptr;
    uint32_t nextId_ = 1;
    std::deque<std::function<void()>> posted_;
    bool shuttingDown_ = false;
    // Memory ran out on a thread: the main thread throws this when it next runs.
    std::exception_ptr outOfMemory_;
    bool checkWakes_;
};

} // namespace emul
