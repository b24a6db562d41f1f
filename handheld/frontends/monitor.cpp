// The device's monitor socket and its client.
#include "frontends/monitor.h"

#include "emul/graphics.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace handheld {

namespace {

constexpr size_t kMaxRequest = 8192; // a request line; longer ones are refused
constexpr size_t kMaxClients = 16;

// The address of `path`; a path too long for sun_path goes through the folder's descriptor,
// which `dirFd` receives (the caller closes it).
bool addressOf(const std::string &path, sockaddr_un *addr, int *dirFd) {
    std::memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    std::string name = path;
    if (name.size() >= sizeof addr->sun_path) {
        std::filesystem::path p(path);
        *dirFd = open(p.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (*dirFd < 0)
            return false;
        name = "/proc/self/fd/" + std::to_string(*dirFd) + "/" + p.filename().string();
        if (name.size() >= sizeof addr->sun_path) {
            errno = ENAMETOOLONG;
            return false;
        }
    }
    std::memcpy(addr->sun_path, name.data(), name.size());
    return true;
}

void sendAll(int fd, const std::string &text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += size_t(n);
    }
}

} // namespace

Monitor::Monitor(emul::Device &device, const std::string &socketPath)
    : device_(device), path_(socketPath) {
    sockaddr_un addr;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0 || !addressOf(path_, &addr, &dirFd_)) {
        error_ = "monitor " + path_ + ": " + std::strerror(errno);
        if (fd >= 0)
            close(fd);
        return;
    }
    // Only a socket may be replaced: one device runs from a state folder at a time, so a
    // socket there is what an ended device left.
    struct stat st {};
    if (lstat(path_.c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
        unlink(path_.c_str());
    // Created for this user alone: whoever may connect may have the device write files.
    mode_t old = umask(0177);
    bool bound = bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    umask(old);
    if (!bound || listen(fd, 8) != 0) {
        error_ = "monitor " + path_ + ": " + std::strerror(errno);
        close(fd);
        return;
    }
    listenFd_ = fd;
    device_.kernel().watch(listenFd_, [this](short) { acceptClients(); });
}

Monitor::~Monitor() {
    emul::Kernel &k = device_.kernel();
    for (const Client &c : clients_) {
        k.unwatch(c.fd);
        close(c.fd);
    }
    if (listenFd_ >= 0) {
        k.unwatch(listenFd_);
        close(listenFd_);
        unlink(path_.c_str());
    }
    if (dirFd_ >= 0)
        close(dirFd_);
}

void Monitor::acceptClients() {
    for (;;) {
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        ucred who{};
        socklen_t len = sizeof who;
        if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &who, &len) != 0 || who.uid != getuid() ||
            clients_.size() >= kMaxClients) {
            close(fd);
            continue;
        }
        clients_.push_back(Client{fd, {}});
        device_.kernel().watch(fd, [this, fd](short) { readClient(fd); });
    }
}

void Monitor::readClient(int fd) {
    for (size_t i = 0; i < clients_.size(); ++i) {
        Client &c = clients_[i];
        if (c.fd != fd)
            continue;
        char buf[1024];
        ssize_t n;
        while ((n = recv(fd, buf, sizeof buf, 0)) > 0 && c.in.size() <= kMaxRequest)
            c.in.append(buf, size_t(n));
        bool whole = c.in.find('\n') != std::string::npos;
        if (whole || c.in.size() > kMaxRequest) {
            // Heard whole: the connection is left alone until the answer.
            device_.kernel().unwatch(fd);
            pending_ = true;
        } else if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
            drop(i); // gone before it asked anything
        }
        return;
    }
}

void Monitor::drop(size_t i) {
    device_.kernel().unwatch(clients_[i].fd);
    close(clients_[i].fd);
    clients_.erase(clients_.begin() + long(i));
}

void Monitor::serve() {
    pending_ = false;
    for (size_t i = 0; i < clients_.size();) {
        Client &c = clients_[i];
        size_t eol = c.in.find('\n');
        if (eol == std::string::npos && c.in.size() <= kMaxRequest) {
            ++i;
            continue;
        }
        std::string reply =
            eol == std::string::npos ? "error request too long" : answer(c.in.substr(0, eol));
        sendAll(c.fd, reply + "\n");
        drop(i);
    }
}

std::string Monitor::answer(const std::string &request) {
    std::string line = request;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    size_t space = line.find(' ');
    std::string command = line.substr(0, space);
    std::string argument = space == std::string::npos ? "" : line.substr(space + 1);
    if (command == "screenshot") {
        // The device runs in a folder of its own: a relative path would land somewhere else
        // than the asker meant.
        if (argument.empty() || argument[0] != '/')
            return "error screenshot needs an absolute path";
        std::string why;
        if (!device_.graphics().savePng(argument, &why))
            return "error " + why;
        return "ok";
    }
    return "error unknown request: " + command;
}

int connectMonitor(const std::string &socketPath) {
    sockaddr_un addr;
    int dirFd = -1;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool ok = fd >= 0 && addressOf(socketPath, &addr, &dirFd) &&
              connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    int saved = errno;
    if (dirFd >= 0)
        close(dirFd);
    if (!ok) {
        if (fd >= 0)
            close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

int requestScreenshot(const std::string &socketPath, const std::string &stateDir,
                      const std::string &file) {
    std::error_code ec;
    std::string target = std::filesystem::absolute(file, ec).lexically_normal().string();
    if (ec || file.empty() || target.find('\n') != std::string::npos) {
        std::fprintf(stderr, "handheld screenshot: not a usable file name: %s\n", file.c_str());
        return 2;
    }
    int fd = connectMonitor(socketPath);
    if (fd < 0) {
        std::fprintf(stderr,
                     "handheld screenshot: no device runs from %s (start one with: handheld "
                     "--state %s)\n",
                     stateDir.c_str(), stateDir.c_str());
        return 1;
    }
    // A device whose programs keep it busy answers late; one that never does is said so.
    timeval limit{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sendAll(fd, "screenshot " + target + "\n");
    std::string reply;
    char buf[512];
    ssize_t n;
    while (reply.find('\n') == std::string::npos && (n = recv(fd, buf, sizeof buf, 0)) > 0)
        reply.append(buf, size_t(n));
    close(fd);
    size_t eol = reply.find('\n');
    if (eol == std::string::npos) {
        std::fprintf(stderr, "handheld screenshot: the device in %s did not answer\n",
                     stateDir.c_str());
        return 1;
    }
    reply.resize(eol);
    if (reply == "ok")
        return 0;
    std::fprintf(stderr, "handheld screenshot: %s\n",
                 reply.rfind("error ", 0) == 0 ? reply.c_str() + 6 : reply.c_str());
    return 1;
}

} // namespace handheld
