// A host serial line (pseudo-terminal or tty) read by a host thread. Implemented by the only
// file of the emulation that talks to the Linux terminal interfaces.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace emul {

class HostLine {
  public:
    // Called on the reader thread with every chunk of bytes read from the line.
    using Sink = std::function<void(std::vector<uint8_t>)>;

    // A new pseudo-terminal in raw mode; *slavePath gets the path of the side that the host
    // program opens. Null with *error set on failure.
    static std::unique_ptr<HostLine> openPty(Sink sink, std::string *slavePath, std::string *error);
    // A tty (or pseudo-terminal slave) in raw mode, 9600 baud 8N1.
    static std::unique_ptr<HostLine> openTty(const std::string &path, Sink sink,
                                             std::string *error);

    ~HostLine(); // stops and joins the reader thread
    HostLine(const HostLine &) = delete;
    HostLine &operator=(const HostLine &) = delete;

    // Best effort, never blocks: bytes the line cannot take at once are dropped.
    void write(const uint8_t *data, size_t n);

  private:
    HostLine(int fd, int keepFd, Sink sink);
    bool start(std::string *error);
    void run();

    int fd_;
    int keepFd_; // pty: our own handle on the slave side, so the master never sees a hang-up
    int wake_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    Sink sink_;
    std::thread reader_;
};

} // namespace emul
