// Bottom of the platform's own host file access.
#include "host/host_files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace emul::hostfs {

namespace fs = std::filesystem;

bool isRegularFile(const std::string &path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool isFolder(const std::string &path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool exists(const std::string &path) {
    std::error_code ec;
    return fs::exists(path, ec);
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

bool readWhole(const std::string &path, std::string *data) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    data->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool writeWhole(const std::string &path, const std::string &data) {
    std::ofstream out(path, std::ios::binary);
    out << data;
    out.close();
    return bool(out);
}

bool removeFile(const std::string &path) {
    std::error_code ec;
    return fs::remove(path, ec);
}

bool createFolder(const std::string &path) {
    std::error_code ec;
    return fs::create_directory(path, ec);
}

Kind kindOf(const std::string &path) {
    std::error_code ec;
    fs::file_status st = fs::symlink_status(path, ec);
    if (!fs::exists(st))
        return Kind::None;
    if (fs::is_symlink(st))
        return Kind::Link;
    if (fs::is_directory(st))
        return Kind::Folder;
    return fs::is_regular_file(st) ? Kind::File : Kind::Other;
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

std::vector<FolderEntry> listFolder(const std::string &path) {
    std::vector<FolderEntry> out;
    std::error_code ec;
    for (auto &e : fs::directory_iterator(path, ec)) {
        FolderEntry f;
        f.name = e.path().filename().string();
        f.folder = e.is_directory(ec);
        f.size = f.folder ? 0 : uint64_t(e.file_size(ec));
        out.push_back(f);
    }
    return out;
}

} // namespace emul::hostfs
