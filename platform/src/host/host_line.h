// A host serial line (pseudo-terminal or tty), read when the kernel's host wait finds it
// readable. Implemented by the only file of the emulation that talks to the Linux terminal
// interfaces.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace emul {

class HostLine {
  public:
    // A new pseudo-terminal in raw mode; *slavePath gets the path of the side that the host
    // program opens. Null with *error set on failure.
    static std::unique_ptr<HostLine> openPty(std::string *slavePath, std::string *error);
    // A tty (or pseudo-terminal slave) in raw mode, 9600 baud 8N1.
    static std::unique_ptr<HostLine> openTty(const std::string &path, std::string *error);

    ~HostLine();
    HostLine(const HostLine &) = delete;
    HostLine &operator=(const HostLine &) = delete;

    // The descriptor to wait on (the kernel's host wait watches it; nothing else reads it).
    int fd() const { return fd_; }
    // Appends what the line holds now, without waiting; false once the line has hung up.
    bool read(std::vector<uint8_t> *out);
    // Best effort, never blocks: bytes the line cannot take at once are dropped.
    void write(const uint8_t *data, size_t n);

  private:
    HostLine(int fd, int keepFd);

    int fd_;
    int keepFd_; // pty: our own handle on the slave side, so the master never sees a hang-up
};

} // namespace emul
