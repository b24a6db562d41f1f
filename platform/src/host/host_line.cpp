// Host serial lines: pseudo-terminals and ttys in raw mode, non-blocking; the kernel's host wait
// watches their descriptors. The only file of the serial emulation that uses termios.
#include "emul/serial_line.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>

namespace emul {

namespace {

std::string errnoText(const std::string &what) {
    return what + ": " + std::strerror(errno);
}

// Raw bytes, 9600 baud 8N1, no flow control. `vmin` 1 for a descriptor the device reads without
// waiting (O_NONBLOCK): an empty line then reads as EAGAIN, and 0 bytes mean a hang-up (with
// VMIN 0 both read as 0). A peer's side keeps VMIN 0, as it always had.
bool makeRaw(int fd, cc_t vmin, std::string *error) {
    termios tio;
    if (tcgetattr(fd, &tio) != 0) {
        *error = errnoText("not a terminal");
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = vmin;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        *error = errnoText("tcsetattr");
        return false;
    }
    return true;
}

void closeFd(int &fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void writeAll(int fd, const uint8_t *data, size_t n) {
    while (fd >= 0 && n > 0) {
        ssize_t k = ::write(fd, data, n);
        if (k < 0 && errno == EINTR)
            continue;
        if (k <= 0)
            return;
        data += k;
        n -= size_t(k);
    }
}

// Appends what `fd` holds now; false once it has hung up (end of file or an error other than
// "nothing yet"). A short read took all there was: the wait is level-triggered, so what comes
// meanwhile (or a hang-up) wakes it again, and a lone key byte costs one read.
bool readAll(int fd, std::vector<uint8_t> *out) {
    uint8_t buf[256];
    for (;;) {
        ssize_t k = ::read(fd, buf, sizeof buf);
        if (k > 0) {
            out->insert(out->end(), buf, buf + k);
            if (size_t(k) < sizeof buf)
                return true;
            continue;
        }
        if (k < 0 && errno == EINTR)
            continue;
        return k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

int openTtyFd(const std::string &path, std::string *error) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = errnoText("open " + path);
        return -1;
    }
    if (!makeRaw(fd, 1, error)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The master side of our own pseudo-terminal. We hold the slave side open too, so the master
// never sees a hang-up when a peer closes it: the next peer simply opens the slave again.
class PtyLine : public SerialLine {
  public:
    PtyLine(int master, int slave) : master_(master), slave_(slave) {}
    ~PtyLine() override {
        closeFd(master_);
        closeFd(slave_);
    }
    int waitFd() const override { return master_; }
    void service(std::vector<uint8_t> *heard) override { readAll(master_, heard); }
    void transmit(const uint8_t *data, size_t n) override { writeAll(master_, data, n); }

  private:
    int master_, slave_;
};

// A tty whose peer may go away, as a serial cable is pulled or a USB adapter unplugged: the line
// shows no carrier (the port then hears nothing and its reads time out) and tries the path again
// on a timer until a peer is back.
class TtyLine : public SerialLine {
  public:
    TtyLine(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
    ~TtyLine() override {
        closeFd(fd_);
        closeFd(timer_);
    }
    int waitFd() const override { return fd_ >= 0 ? fd_ : timer_; }
    bool carrier() const override { return fd_ >= 0; }
    void transmit(const uint8_t *data, size_t n) override { writeAll(fd_, data, n); }

    void service(std::vector<uint8_t> *heard) override {
        if (fd_ >= 0) {
            if (!readAll(fd_, heard))
                hangUp();
            return;
        }
        uint64_t expirations;
        ssize_t ignored = ::read(timer_, &expirations, sizeof expirations);
        (void)ignored;
        std::string error;
        fd_ = openTtyFd(path_, &error);
        if (fd_ >= 0)
            closeFd(timer_);
    }

  private:
    void hangUp() {
        // Closed at once: a pseudo-terminal is freed only when its last slave handle goes.
        closeFd(fd_);
        timer_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        itimerspec every{};
        every.it_interval.tv_sec = kTtyRetryMs / 1000;
        every.it_interval.tv_nsec = long(kTtyRetryMs % 1000) * 1000000;
        every.it_value = every.it_interval;
        if (timer_ >= 0)
            timerfd_settime(timer_, 0, &every, nullptr);
    }

    std::string path_;
    int fd_;
    int timer_ = -1;
};

} // namespace

std::unique_ptr<SerialLine> openPtyLine(std::string *slavePath, std::string *error) {
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
    if (!makeRaw(slave, 0, error) ||
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK) != 0) {
        if (error->empty())
            *error = errnoText("fcntl");
        ::close(slave);
        ::close(master);
        return nullptr;
    }
    *slavePath = path;
    return std::make_unique<PtyLine>(master, slave);
}

std::unique_ptr<SerialLine> openTtyLine(const std::string &path, std::string *error) {
    int fd = openTtyFd(path, error);
    if (fd < 0)
        return nullptr;
    return std::make_unique<TtyLine>(path, fd);
}

} // namespace emul
