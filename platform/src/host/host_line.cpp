// Host serial lines: pseudo-terminals and ttys in raw mode, non-blocking; the kernel's host wait
// watches their descriptors. The only file of the serial emulation that uses termios.
#include "host/host_line.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace emul {

namespace {

std::string errnoText(const std::string &what) {
    return what + ": " + std::strerror(errno);
}

// Raw bytes, 9600 baud 8N1, no flow control, reads that never wait.
bool makeRaw(int fd, std::string *error) {
    termios tio;
    if (tcgetattr(fd, &tio) != 0) {
        *error = errnoText("not a terminal");
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        *error = errnoText("tcsetattr");
        return false;
    }
    return true;
}

} // namespace

HostLine::HostLine(int fd, int keepFd) : fd_(fd), keepFd_(keepFd) {}

HostLine::~HostLine() {
    for (int fd : {fd_, keepFd_})
        if (fd >= 0)
            ::close(fd);
}

std::unique_ptr<HostLine> HostLine::openPty(std::string *slavePath, std::string *error) {
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        *error = errnoText("posix_openpt");
        return nullptr;
    }
    const char *name = nullptr;
    if (grantpt(master) != 0 || unlockpt(master) != 0 || !(name = ptsname(master))) {
        *error = errnoText("pseudo-terminal set-up");
        ::close(master);
        return nullptr;
    }
    std::string path = name;
    int slave = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        *error = errnoText("open " + path);
        ::close(master);
        return nullptr;
    }
    // The termios of a pseudo-terminal belong to its slave side.
    if (!makeRaw(slave, error) ||
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK) != 0) {
        if (error->empty())
            *error = errnoText("fcntl");
        ::close(slave);
        ::close(master);
        return nullptr;
    }
    *slavePath = path;
    return std::unique_ptr<HostLine>(new HostLine(master, slave));
}

std::unique_ptr<HostLine> HostLine::openTty(const std::string &path, std::string *error) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = errnoText("open " + path);
        return nullptr;
    }
    if (!makeRaw(fd, error)) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<HostLine>(new HostLine(fd, -1));
}

void HostLine::write(const uint8_t *data, size_t n) {
    while (n > 0) {
        ssize_t k = ::write(fd_, data, n);
        if (k < 0 && errno == EINTR)
            continue;
        if (k <= 0)
            return;
        data += k;
        n -= size_t(k);
    }
}

bool HostLine::read(std::vector<uint8_t> *out) {
    uint8_t buf[256];
    for (;;) {
        ssize_t k = ::read(fd_, buf, sizeof buf);
        if (k > 0) {
            out->insert(out->end(), buf, buf + k);
            continue;
        }
        if (k < 0 && errno == EINTR)
            continue;
        return k < 0 && errno == EAGAIN;
    }
}

} // namespace emul
