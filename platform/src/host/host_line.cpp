// Host serial lines: pseudo-terminals and ttys in raw mode, read by a thread that polls the line
// and hands what it reads to a sink. The only file of the serial emulation that uses termios.
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

// How long one poll waits; bounds the time the reader needs to notice anything but a wake-up.
constexpr int kPollMs = 100;

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

HostLine::HostLine(int fd, int keepFd, Sink sink)
    : fd_(fd), keepFd_(keepFd), sink_(std::move(sink)) {}

bool HostLine::start(std::string *error) {
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        *error = errnoText("pipe");
        return false;
    }
    reader_ = std::thread([this] { run(); });
    return true;
}

HostLine::~HostLine() {
    stop_ = true;
    if (wake_[1] >= 0) {
        char c = 0;
        ssize_t ignored = ::write(wake_[1], &c, 1);
        (void)ignored;
    }
    if (reader_.joinable())
        reader_.join();
    for (int fd : {fd_, keepFd_, wake_[0], wake_[1]})
        if (fd >= 0)
            ::close(fd);
}

std::unique_ptr<HostLine> HostLine::openPty(Sink sink, std::string *slavePath, std::string *error) {
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
    std::unique_ptr<HostLine> line(new HostLine(master, slave, std::move(sink)));
    if (!line->start(error))
        return nullptr;
    *slavePath = path;
    return line;
}

std::unique_ptr<HostLine> HostLine::openTty(const std::string &path, Sink sink,
                                            std::string *error) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = errnoText("open " + path);
        return nullptr;
    }
    if (!makeRaw(fd, error)) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<HostLine> line(new HostLine(fd, -1, std::move(sink)));
    if (!line->start(error))
        return nullptr;
    return line;
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

void HostLine::run() {
    uint8_t buf[256];
    bool hungUp = false;
    while (!stop_) {
        // After a hang-up (a tty that went away) only the wake-up pipe is watched for one
        // period, then the line is tried again, so the thread never spins.
        pollfd fds[2] = {{wake_[0], POLLIN, 0}, {fd_, POLLIN, 0}};
        int r = poll(fds, hungUp ? 1 : 2, kPollMs);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents)
            return;
        if (hungUp) {
            hungUp = false;
            continue;
        }
        if (fds[1].revents & POLLIN) {
            ssize_t k = ::read(fd_, buf, sizeof buf);
            if (k > 0)
                sink_(std::vector<uint8_t>(buf, buf + k));
            else if (k == 0 || (errno != EAGAIN && errno != EINTR))
                hungUp = true;
        } else if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            hungUp = true;
        }
    }
}

} // namespace emul
