// The device's file system over a host folder.
#include "emul/files.h"

#include "emul/text.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace emul {

namespace {

constexpr size_t kMaxName = 255; // characters of one name
constexpr size_t kMaxPath = 259; // characters of a whole path (MAX_PATH with its NUL)

bool validChar(char16_t c) {
    return c >= 0x20 && c != u'<' && c != u'>' && c != u':' && c != u'"' && c != u'|' &&
           c != u'?' && c != u'*';
}

bool inside(const fs::path &root, const fs::path &p) {
    auto r = root.begin(), q = p.begin();
    for (; r != root.end(); ++r, ++q)
        if (q == p.end() || *q != *r)
            return false;
    return true;
}

// The read-only copy of a module build next to it, refreshed when the build is newer.
std::string readOnlyCopy(const fs::path &src, std::error_code &ec) {
    fs::path dir = src.parent_path() / ".readonly";
    fs::path copy = dir / src.filename();
    struct stat s, c;
    if (stat(src.c_str(), &s) != 0) {
        ec = std::error_code(errno, std::generic_category());
        return {};
    }
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

} // namespace

FileSystem::FileSystem(std::string rootDir) {
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(fs::absolute(rootDir), ec);
    root_ = ec ? rootDir : canonical.string();
}

std::string FileSystem::resolve(const std::u16string &cePath, uint32_t *error) const {
    uint32_t dummy;
    if (!error)
        error = &dummy;
    *error = 0;
    if (cePath.size() > kMaxPath) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return {};
    }
    // Every path starts at the root: the device has no current folder and no drive letters.
    std::vector<std::u16string> names;
    std::u16string comp;
    for (size_t i = 0; i <= cePath.size(); ++i) {
        char16_t c = i < cePath.size() ? cePath[i] : u'\\';
        if (c != u'\\' && c != u'/') {
            if (!validChar(c)) {
                *error = ERROR_INVALID_NAME;
                return {};
            }
            comp += c;
            continue;
        }
        if (comp.empty())
            continue;
        if (comp == u"." || comp == u"..") {
            *error = ERROR_INVALID_NAME;
            return {};
        }
        if (comp.size() > kMaxName) {
            *error = ERROR_FILENAME_EXCED_RANGE;
            return {};
        }
        names.push_back(comp);
        comp.clear();
    }
    fs::path root = root_, cur = root_;
    for (size_t i = 0; i < names.size(); ++i) {
        std::error_code ec;
        fs::path next = cur / utf8(names[i]);
        // The name as written is the usual case; only another spelling needs the folder read.
        fs::file_status st = fs::symlink_status(next, ec);
        if (!fs::exists(st)) {
            next.clear();
            if (fs::is_directory(cur, ec))
                for (auto &e : fs::directory_iterator(cur, ec))
                    if (equalsNoCase(utf16(e.path().filename().string()), names[i])) {
                        next = e.path();
                        st = fs::symlink_status(next, ec);
                        break;
                    }
        }
        if (next.empty()) {
            cur /= utf8(names[i]);
            continue;
        }
        // A host link is followed only while it stays inside the device's folder.
        bool link = fs::is_symlink(st);
        if (link) {
            fs::path target = fs::weakly_canonical(next, ec);
            if (ec || !inside(root, target)) {
                *error = ERROR_ACCESS_DENIED;
                return {};
            }
        }
        if (i + 1 < names.size() && !(link ? fs::is_directory(next, ec) : fs::is_directory(st))) {
            *error = ERROR_PATH_NOT_FOUND; // a name under a file
            return {};
        }
        cur = next;
    }
    return cur.string();
}

std::string FileSystem::hostPath(const std::u16string &cePath) const {
    uint32_t error;
    return resolve(cePath, &error);
}

bool FileSystem::readFile(const std::u16string &cePath, std::string *content) const {
    std::error_code ec;
    std::string p = hostPath(cePath);
    if (p.empty() || !fs::is_regular_file(p, ec))
        return false;
    std::ifstream in(p, std::ios::binary);
    content->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

void FileSystem::makeFolders(const std::u16string &cePath) {
    std::error_code ec;
    fs::create_directories(hostPath(cePath), ec);
}

bool FileSystem::exists(const std::u16string &cePath) const {
    std::error_code ec;
    std::string p = hostPath(cePath);
    return !p.empty() && fs::exists(p, ec);
}

bool FileSystem::readOnly(const std::string &hostPath) {
    struct stat s;
    return stat(hostPath.c_str(), &s) == 0 && S_ISREG(s.st_mode) && (s.st_mode & 0222) == 0;
}

uint32_t FileSystem::writeFile(const std::u16string &cePath, const std::string &content) {
    uint32_t error = 0;
    fs::path p = resolve(cePath, &error);
    if (p.empty())
        return error ? error : ERROR_INVALID_NAME;
    if (p == fs::path(root_))
        return ERROR_ACCESS_DENIED;
    std::error_code ec;
    // Folders as needed; a name on the way that is a file stops it.
    fs::path dir = root_;
    for (auto &name : p.lexically_relative(root_).parent_path()) {
        dir /= name;
        if (fs::is_directory(dir, ec))
            continue;
        if (fs::exists(fs::symlink_status(dir, ec)) || !fs::create_directory(dir, ec))
            return ERROR_PATH_NOT_FOUND;
    }
    if (fs::is_directory(fs::symlink_status(p, ec)))
        return ERROR_ACCESS_DENIED;
    fs::remove(p, ec);
    std::ofstream out(p, std::ios::binary);
    out << content;
    out.close();
    return out ? 0 : ERROR_ACCESS_DENIED;
}

uint32_t FileSystem::linkFile(const std::u16string &cePath, const std::string &hostFile) {
    uint32_t error = writeFile(cePath, "");
    if (error)
        return error;
    fs::path p = hostPath(cePath);
    std::error_code ec;
    fs::remove(p, ec);
    std::string copy = readOnlyCopy(fs::absolute(hostFile), ec);
    if (!copy.empty()) {
        fs::create_hard_link(copy, p, ec);
        if (!ec)
            return 0;
    }
    ec.clear();
    fs::copy_file(hostFile, p, fs::copy_options::overwrite_existing, ec);
    if (ec)
        return ERROR_FILE_NOT_FOUND;
    fs::permissions(p, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read, ec);
    return 0;
}

} // namespace emul
