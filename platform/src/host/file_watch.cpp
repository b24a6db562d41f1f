#include "host/file_watch.h"

#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

namespace emul::filewatch {

namespace {

// The folder and the name of a path.
std::string folderOf(const std::string &path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

int open(const std::vector<std::string> &paths) {
    int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
        return -1;
    // The folders, not the files: a journal file comes and goes, and a writer may replace one.
    // Watching a folder twice gives the same watch.
    for (const std::string &path : paths)
        if (inotify_add_watch(fd, folderOf(path).c_str(),
                              IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_MOVED_TO | IN_DELETE) <
            0) {
            ::close(fd);
            return -1;
        }
    return fd;
}

bool take(int fd, const std::vector<std::string> &paths) {
    bool ours = false;
    alignas(inotify_event) char buf[4096];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            return ours;
        for (ssize_t at = 0; at < n;) {
            auto *e = reinterpret_cast<const inotify_event *>(buf + at);
            for (const std::string &path : paths) {
                std::string name = nameOf(path);
                if (e->len && std::strncmp(e->name, name.c_str(), name.size()) == 0)
                    ours = true;
            }
            if (e->mask & IN_Q_OVERFLOW)
                ours = true; // events were lost: assume the worst
            at += ssize_t(sizeof(inotify_event) + e->len);
        }
    }
}

void close(int fd) {
    if (fd >= 0)
        ::close(fd);
}

} // namespace emul::filewatch
