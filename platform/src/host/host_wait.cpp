#include "host/host_wait.h"

#include "emul/kernel.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace emul::hostwait {

int openWaker() {
    return eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

void closeWaker(int fd) {
    if (fd >= 0)
        close(fd);
}

void signal(int fd) {
    if (fd < 0)
        return;
    uint64_t one = 1;
    ssize_t ignored = write(fd, &one, sizeof one);
    (void)ignored;
}

void drain(int fd) {
    uint64_t count;
    ssize_t ignored = read(fd, &count, sizeof count);
    (void)ignored;
}

namespace {
// epoll_wait as the system call alone: the C library's wrapper is also a thread cancellation
// point, which no thread here uses, and costs two calls more on every wait.
int epoll_wait_uncancelled(int epoll, epoll_event *events, int n, int timeoutMs) {
    return int(syscall(SYS_epoll_wait, epoll, events, n, timeoutMs));
}
} // namespace

WaitSet::WaitSet() : epoll_(epoll_create1(EPOLL_CLOEXEC)) {}

WaitSet::~WaitSet() {
    if (epoll_ >= 0)
        close(epoll_);
}

void WaitSet::add(int fd) {
    remove(fd);
    epoll_event e{};
    e.events = EPOLLIN;
    e.data.fd = fd;
    if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &e) != 0 && errno == EPERM)
        always_.push_back(fd); // a plain file: poll calls it readable at once
}

void WaitSet::remove(int fd) {
    // A descriptor closed before it was removed has left the set by itself.
    epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
    always_.erase(std::remove(always_.begin(), always_.end(), fd), always_.end());
}

EMUL_IDLE_PATH const std::vector<WaitSet::Ready> &WaitSet::wait(int timeoutMs) {
    std::vector<Ready> &ready = ready_;
    ready.clear();
    for (int fd : always_)
        ready.push_back(Ready{fd, POLLIN});
    epoll_event events[16];
    int n = epoll_wait_uncancelled(epoll_, events, 16, ready.empty() ? timeoutMs : 0);
    for (int i = 0; i < n; ++i) {
        short r = 0;
        if (events[i].events & EPOLLIN)
            r |= POLLIN;
        if (events[i].events & EPOLLHUP)
            r |= POLLHUP;
        if (events[i].events & EPOLLERR)
            r |= POLLERR;
        ready.push_back(Ready{events[i].data.fd, r});
    }
    return ready;
}

} // namespace emul::hostwait
