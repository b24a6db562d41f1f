// Bottom of the platform's own host file access.
#include "host/host_files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace emul::hostfs {

namespace fs = std::filesystem;

// The device's files are touched at every file call, so these are plain system calls: the
// std::filesystem forms parse each path into pieces first.
bool isRegularFile(const std::string &path) {
    struct stat s;
    return stat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode);
}

bool isFolder(const std::string &path) {
    struct stat s;
    return stat(path.c_str(), &s) == 0 && S_ISDIR(s.st_mode);
}

bool exists(const std::string &path) {
    struct stat s;
    return stat(path.c_str(), &s) == 0;
}

std::string canonical(const std::string &path) {
    std::error_code ec;
    std::string c = fs::canonical(path, ec).string();
    return ec ? path : c;
}

bool makeTempDir(const std::string &prefix, std::string *dir, std::string *reason) {
    std::error_code ec;
    fs::path tmp = fs::temp_directory_path(ec);
    *dir = ((ec ? fs::path("/tmp") : tmp) / (prefix + "-XXXXXX")).string();
    if (!mkdtemp(dir->data())) {
        *reason = std::strerror(errno);
        return false;
    }
    return true;
}

bool createDirectories(const std::string &path, std::string *error) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec && error)
        *error = ec.message();
    return !ec;
}

void removeTree(const std::string &path) {
    std::error_code ec;
    fs::remove_all(path, ec);
}

bool parentExists(const std::string &path) {
    std::error_code ec;
    return fs::exists(fs::path(path).parent_path(), ec);
}

namespace {

// open() for reading, with no link on the way when asked (-1 then as for any failure).
int openForReading(const std::string &path, bool noLinks) {
    // Not blocking: a host pipe in the folder must not stall the device.
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    if (!noLinks)
        return open(path.c_str(), flags);
#ifdef SYS_openat2
    struct open_how how;
    std::memset(&how, 0, sizeof how);
    how.flags = uint64_t(flags);
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    return int(syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how));
#else
    return -1;
#endif
}

} // namespace

bool readWhole(const std::string &path, std::string *data, bool regularOnly, bool noLinks) {
    int fd = openForReading(path, noLinks);
    if (fd < 0)
        return false;
    struct stat s;
    if (regularOnly && (fstat(fd, &s) != 0 || !S_ISREG(s.st_mode))) {
        close(fd);
        return false;
    }
    data->clear();
    char buf[16384];
    bool ok = true;
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        data->append(buf, size_t(n));
    }
    close(fd);
    return ok;
}

bool writeWhole(const std::string &path, const std::string &data) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = true;
    for (size_t done = 0; done < data.size();) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += size_t(n);
    }
    return close(fd) == 0 && ok;
}

bool removeFile(const std::string &path) {
    if (unlink(path.c_str()) == 0)
        return true;
    return errno == EISDIR && rmdir(path.c_str()) == 0;
}

bool createFolder(const std::string &path) {
    return mkdir(path.c_str(), 0777) == 0;
}

namespace {

Kind kindOfMode(mode_t m) {
    if (S_ISLNK(m))
        return Kind::Link;
    if (S_ISDIR(m))
        return Kind::Folder;
    return S_ISREG(m) ? Kind::File : Kind::Other;
}

} // namespace

Kind kindOf(const std::string &path) {
    struct stat s;
    if (lstat(path.c_str(), &s) != 0)
        return Kind::None;
    return kindOfMode(s.st_mode);
}

Reach reachWithoutLinks(const std::string &path, bool folder) {
#ifdef SYS_openat2
    struct open_how how;
    std::memset(&how, 0, sizeof how);
    how.flags = O_PATH | O_CLOEXEC | (folder ? O_DIRECTORY : 0); // a link at the end fails too
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    int fd = int(syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how));
    if (fd >= 0) {
        close(fd);
        return Reach::There;
    }
    if (errno == ENOENT)
        return Reach::Missing;
#else
    (void)path;
    (void)folder;
#endif
    return Reach::Unsure;
}

bool weaklyCanonical(const std::string &path, std::string *out) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
    if (ec)
        return false;
    *out = p.string();
    return true;
}

bool isReadOnlyFile(const std::string &path) {
    struct stat s;
    return stat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode) && (s.st_mode & 0222) == 0;
}

std::string readOnlyCopy(const std::string &source) {
    std::error_code ec;
    fs::path src = fs::absolute(source, ec);
    fs::path dir = src.parent_path() / ".readonly";
    fs::path copy = dir / src.filename();
    struct stat s, c;
    if (ec || stat(src.c_str(), &s) != 0)
        return {};
    if (stat(copy.c_str(), &c) == 0 && c.st_size == s.st_size && c.st_mtime >= s.st_mtime &&
        (c.st_mode & 0222) == 0)
        return copy.string();
    fs::create_directories(dir, ec);
    if (ec)
        return {};
    // Another process may refresh it at the same time: each copies to its own name first.
    fs::path tmp = dir / (src.filename().string() + "." + std::to_string(getpid()));
    fs::copy_file(src, tmp, fs::copy_options::overwrite_existing, ec);
    if (!ec)
        fs::permissions(tmp, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                        ec);
    if (!ec)
        fs::rename(tmp, copy, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(tmp, ignored);
        return {};
    }
    return copy.string();
}

bool hardLink(const std::string &target, const std::string &link) {
    std::error_code ec;
    fs::create_hard_link(target, link, ec);
    return !ec;
}

bool copyReadOnly(const std::string &src, const std::string &dst) {
    std::error_code ec;
    fs::copy_file(src, dst, fs::copy_options::overwrite_existing, ec);
    if (ec)
        return false;
    fs::permissions(dst, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                    ec);
    return true;
}

std::vector<FolderEntry> listFolder(const std::string &path, bool sizes, bool *opened,
                                    bool noLinks) {
    std::vector<FolderEntry> out;
    DIR *d = nullptr;
    if (noLinks) {
#ifdef SYS_openat2
        struct open_how how;
        std::memset(&how, 0, sizeof how);
        how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        int fd = int(syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how));
        if (fd >= 0 && !(d = fdopendir(fd)))
            close(fd);
#endif
    } else {
        d = opendir(path.c_str());
    }
    if (opened)
        *opened = d != nullptr;
    if (!d)
        return out;
    while (struct dirent *e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        FolderEntry f;
        f.name = e->d_name;
        // Links are followed, as a listing of the files' kinds and sizes would.
        struct stat s;
        f.link = e->d_type == DT_LNK;
        if (e->d_type == DT_UNKNOWN && fstatat(dirfd(d), e->d_name, &s, AT_SYMLINK_NOFOLLOW) == 0)
            f.link = S_ISLNK(s.st_mode);
        bool known = e->d_type != DT_UNKNOWN && e->d_type != DT_LNK;
        if (!known || (sizes && e->d_type != DT_DIR)) {
            if (fstatat(dirfd(d), e->d_name, &s, 0) == 0) {
                f.folder = S_ISDIR(s.st_mode);
                f.size = f.folder ? 0 : uint64_t(s.st_size);
            }
        } else {
            f.folder = e->d_type == DT_DIR;
        }
        out.push_back(std::move(f));
    }
    closedir(d);
    return out;
}

} // namespace emul::hostfs
