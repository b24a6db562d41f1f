// The host's wait on descriptors, as the real-time kernel needs it: one wake-up descriptor that
// other host threads signal, and one wait over it and the watched descriptors. The set of
// descriptors is kept by the host between waits, so an idle wait costs what a bare time-out
// costs, whatever is watched.
#pragma once

#include <vector>

namespace emul::hostwait {

int openWaker();         // a descriptor that signal() makes readable, or -1
void closeWaker(int fd); // no-op for -1
void signal(int fd);     // makes the waker readable (from any host thread)
void drain(int fd);      // makes it quiet again

// The descriptors one wait looks at. Descriptors the host cannot wait on (a plain file) count
// as always readable, as a poll would see them.
class WaitSet {
  public:
    WaitSet();
    ~WaitSet();
    WaitSet(const WaitSet &) = delete;
    WaitSet &operator=(const WaitSet &) = delete;

    void add(int fd);
    void remove(int fd);

    struct Ready {
        int fd;
        short events; // as poll's revents: POLLIN, POLLHUP, POLLERR
    };
    // Waits until a descriptor is readable (or hung up) or timeoutMs passes (-1: no limit);
    // what came (nothing on time-out or interruption), valid until the next wait.
    const std::vector<Ready> &wait(int timeoutMs);

  private:
    int epoll_ = -1;
    std::vector<int> always_; // readable whenever asked
    std::vector<Ready> ready_;
};

} // namespace emul::hostwait
