// The host's wait on descriptors, as the real-time kernel needs it: one wake-up descriptor that
// other host threads signal, and one poll over it and the watched descriptors.
#pragma once

#include <vector>

namespace emul::hostwait {

int openWaker();         // a descriptor that signal() makes readable, or -1
void closeWaker(int fd); // no-op for -1
void signal(int fd);     // makes the waker readable (from any host thread)
void drain(int fd);      // makes it quiet again

struct Watched {
    int fd;
    short ready; // set by waitAny: the poll events that came, 0 if none
};
// Waits until one descriptor is readable (or hung up) or timeoutMs passes (-1: no limit);
// returns the number of ready descriptors, 0 on time-out or interruption.
int waitAny(std::vector<Watched> &fds, int timeoutMs);

} // namespace emul::hostwait
