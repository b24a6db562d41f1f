// Baton-passing scheduler over host threads; see kernel.h for the model.
#include "emul/kernel.h"

#include <cstdio>
#include <cstdlib>

namespace emul {

namespace {
thread_local Thread *tlsSelf = nullptr;
}

Kernel::Kernel(bool realTime, uint32_t tickStart)
    : realTime_(realTime), tickStart_(tickStart), hostStart_(std::chrono::steady_clock::now()) {
    auto main = std::make_unique<Thread>();
    main->id = nextId_++;
    main->name = "main";
    tlsSelf = main.get();
    current_ = main.get();
    threads_.push_back(std::move(main));
}

Kernel::~Kernel() {
    shutdown();
    tlsSelf = nullptr;
}

uint64_t Kernel::now() const {
    if (!realTime_)
        return virtualNow_;
    auto d = std::chrono::steady_clock::now() - hostStart_;
    return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
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

bool Kernel::runnable(Thread *t) const {
    if (t->exited)
        return false;
    if (!t->blocked || t->killed)
        return true;
    if (t->deadline != kNever && now() >= t->deadline)
        return true;
    return t->ready && t->ready();
}

void Kernel::drainPosted() {
    std::deque<std::function<void()>> work;
    {
        std::lock_guard<std::mutex> l(m_);
        work.swap(posted_);
    }
    for (auto &fn : work)
        fn();
}

void Kernel::post(std::function<void()> fn) {
    std::lock_guard<std::mutex> l(m_);
    posted_.push_back(std::move(fn));
    idle_.notify_all();
}

void Kernel::schedule() {
    Thread *me = tlsSelf;
    for (;;) {
        drainPosted();
        // Round robin: the threads after me first, then me, so a yielding thread goes last.
        size_t n = threads_.size(), start = 0;
        for (size_t i = 0; i < n; ++i)
            if (threads_[i].get() == me)
                start = i + 1;
        Thread *next = nullptr;
        for (size_t k = 0; k < n && !next; ++k) {
            Thread *t = threads_[(start + k) % n].get();
            if (runnable(t))
                next = t;
        }
        if (next) {
            if (next == me)
                return;
            std::unique_lock<std::mutex> l(m_);
            current_ = next;
            next->cv.notify_one();
            if (me->exited)
                return;
            me->cv.wait(l, [&] { return current_ == me; });
            return;
        }
        uint64_t earliest = kNever;
        for (auto &t : threads_)
            if (!t->exited && t->blocked && t->deadline < earliest)
                earliest = t->deadline;
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
        if (beforeHostWait)
            beforeHostWait();
        std::unique_lock<std::mutex> l(m_);
        auto pending = [&] { return !posted_.empty(); };
        if (earliest == kNever)
            idle_.wait(l, pending);
        else
            idle_.wait_until(l, hostStart_ + std::chrono::milliseconds(earliest), pending);
    }
}

bool Kernel::block(std::function<bool()> ready, uint64_t deadline) {
    Thread *me = tlsSelf;
    if (me->killed)
        throw ThreadKilled{};
    me->ready = std::move(ready);
    me->deadline = deadline;
    me->blocked = true;
    schedule();
    me->blocked = false;
    if (me->killed && me->id != 1)
        throw ThreadKilled{};
    bool ok = me->ready && me->ready();
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
    if (!t->killed) {
        try {
            t->exitCode = body();
        } catch (ThreadKilled &) {
        }
    }
    t->exited = true;
    t->ready = nullptr;
    schedule(); // hands the baton on; never comes back to this thread
    tlsSelf = nullptr;
}

Thread *Kernel::spawn(std::string name, std::function<uint32_t()> body) {
    auto t = std::make_unique<Thread>();
    t->id = nextId_++;
    t->name = std::move(name);
    t->exitCode = 259; // STILL_ACTIVE
    Thread *raw = t.get();
    threads_.push_back(std::move(t));
    raw->host =
        std::thread([this, raw, body = std::move(body)]() mutable { threadMain(raw, body); });
    return raw;
}

void Kernel::kill(Thread *t, uint32_t exitCode) {
    if (t->exited)
        return;
    t->killed = true;
    t->exitCode = exitCode;
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
    block(
        [this, me] {
            for (auto &t : threads_)
                if (t.get() != me && !t->exited)
                    return false;
            return true;
        },
        kNever);
    for (auto &t : threads_)
        if (t->host.joinable())
            t->host.join();
}

} // namespace emul
