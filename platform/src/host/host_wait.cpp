#include "host/host_wait.h"

#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
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

int waitAny(std::vector<Watched> &fds, int timeoutMs) {
    std::vector<pollfd> p;
    p.reserve(fds.size());
    for (auto &w : fds)
        p.push_back(pollfd{w.fd, POLLIN, 0});
    int r = poll(p.data(), p.size(), timeoutMs);
    for (size_t i = 0; i < fds.size(); ++i)
        fds[i].ready = r > 0 ? p[i].revents : 0;
    return r > 0 ? r : 0;
}

} // namespace emul::hostwait
