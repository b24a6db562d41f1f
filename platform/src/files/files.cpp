// The device's file system over a host folder.
#include "emul/files.h"

#include "emul/text.h"
#include "host/host_files.h"

#include <windows.h>

#include <vector>

namespace emul {

namespace {

constexpr size_t kMaxName = 255; // characters of one name
constexpr size_t kMaxPath = 259; // characters of a whole path (MAX_PATH with its NUL)

bool validChar(char16_t c) {
    return c >= 0x20 && c != u'<' && c != u'>' && c != u':' && c != u'"' && c != u'|' &&
           c != u'?' && c != u'*';
}

// Whether `p` is `root` or below it (both absolute, without "." or "..").
bool inside(const std::string &root, const std::string &p) {
    if (p.compare(0, root.size(), root) != 0)
        return false;
    return p.size() == root.size() || p[root.size()] == '/' || root.back() == '/';
}

std::string join(const std::string &dir, const std::string &name) {
    return dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
}

} // namespace

FileSystem::FileSystem(std::string rootDir) {
    if (!hostfs::weaklyCanonical(rootDir, &root_))
        root_ = rootDir;
}

// The names of a CE path, checked on the device's rules; false with *error set.
static bool splitPath(const std::u16string &cePath, std::vector<std::u16string> *out,
                      uint32_t *error) {
    std::vector<std::u16string> &names = *out;
    if (cePath.size() > kMaxPath) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    // Every path starts at the root: the device has no current folder and no drive letters.
    std::u16string comp;
    for (size_t i = 0; i <= cePath.size(); ++i) {
        char16_t c = i < cePath.size() ? cePath[i] : u'\\';
        if (c != u'\\' && c != u'/') {
            if (!validChar(c)) {
                *error = ERROR_INVALID_NAME;
                return false;
            }
            comp += c;
            continue;
        }
        if (comp.empty())
            continue;
        if (comp == u"." || comp == u"..") {
            *error = ERROR_INVALID_NAME;
            return false;
        }
        if (comp.size() > kMaxName) {
            *error = ERROR_FILENAME_EXCED_RANGE;
            return false;
        }
        names.push_back(comp);
        comp.clear();
    }
    return true;
}

std::string FileSystem::spelled(const std::u16string &cePath) const {
    std::vector<std::u16string> names;
    uint32_t error = 0;
    if (!splitPath(cePath, &names, &error))
        return {};
    std::string p = root_;
    for (const std::u16string &name : names)
        p = join(p, utf8(name));
    return p;
}

std::string FileSystem::resolve(const std::u16string &cePath, uint32_t *error) const {
    uint32_t dummy;
    if (!error)
        error = &dummy;
    *error = 0;
    std::vector<std::u16string> names;
    if (!splitPath(cePath, &names, error))
        return {};
    // Usually every name is spelt as on the host and no link stands on the way: one host call
    // tells, and a new name needs only its folder read for another spelling.
    std::string exact = root_, folder;
    for (const std::u16string &name : names) {
        folder = exact;
        exact = join(exact, utf8(name));
    }
    hostfs::Reach reach = hostfs::reachWithoutLinks(exact);
    if (reach == hostfs::Reach::There)
        return exact;
    if (reach == hostfs::Reach::Missing && !names.empty() &&
        hostfs::reachWithoutLinks(folder, true) == hostfs::Reach::There) {
        bool other = false;
        for (const hostfs::FolderEntry &e : hostfs::listFolder(folder, false))
            other = other || equalsNoCase(utf16(e.name), names.back());
        if (!other)
            return exact;
    }
    std::string cur = root_;
    for (size_t i = 0; i < names.size(); ++i) {
        std::string next = join(cur, utf8(names[i]));
        // The name as written is the usual case; only another spelling needs the folder read.
        hostfs::Kind kind = hostfs::kindOf(next);
        if (kind == hostfs::Kind::None) {
            next.clear();
            if (hostfs::isFolder(cur))
                for (const hostfs::FolderEntry &e : hostfs::listFolder(cur, false))
                    if (equalsNoCase(utf16(e.name), names[i])) {
                        next = join(cur, e.name);
                        kind = hostfs::kindOf(next);
                        break;
                    }
        }
        if (next.empty()) {
            cur = join(cur, utf8(names[i]));
            continue;
        }
        // A host link is followed only while it stays inside the device's folder.
        bool link = kind == hostfs::Kind::Link;
        if (link) {
            std::string target;
            if (!hostfs::weaklyCanonical(next, &target) || !inside(root_, target)) {
                *error = ERROR_ACCESS_DENIED;
                return {};
            }
        }
        if (i + 1 < names.size() &&
            !(link ? hostfs::isFolder(next) : kind == hostfs::Kind::Folder)) {
            *error = ERROR_PATH_NOT_FOUND; // a name under a file
            return {};
        }
        cur = next;
    }
    return cur;
}

std::string FileSystem::hostPath(const std::u16string &cePath) const {
    uint32_t error;
    return resolve(cePath, &error);
}

bool FileSystem::readFile(const std::u16string &cePath, std::string *content) const {
    // The file as written with no link on the way is the usual case: read in one open.
    std::string p = spelled(cePath);
    if (!p.empty() && hostfs::readWhole(p, content, true, true))
        return true;
    p = hostPath(cePath);
    return !p.empty() && hostfs::readWhole(p, content, true);
}

void FileSystem::makeFolders(const std::u16string &cePath) {
    hostfs::createDirectories(hostPath(cePath));
}

bool FileSystem::exists(const std::u16string &cePath) const {
    std::string p = hostPath(cePath);
    return !p.empty() && hostfs::exists(p);
}

bool FileSystem::readOnly(const std::string &hostPath) {
    return hostfs::isReadOnlyFile(hostPath);
}

uint32_t FileSystem::writeFile(const std::u16string &cePath, const std::string &content) {
    uint32_t error = 0;
    std::string p = resolve(cePath, &error);
    if (p.empty())
        return error ? error : ERROR_INVALID_NAME;
    if (p == root_)
        return ERROR_ACCESS_DENIED;
    // Folders as needed; a name on the way that is a file stops it. The path is the root's
    // followed by names, as resolve() made it.
    size_t from = root_.size() + (root_.back() == '/' ? 0 : 1);
    size_t last = p.rfind('/');
    if (last != std::string::npos && last >= from && hostfs::isFolder(p.substr(0, last)))
        from = p.size(); // the usual case: its folder is there
    for (size_t slash = p.find('/', from); slash != std::string::npos;
         slash = p.find('/', slash + 1)) {
        std::string dir = p.substr(0, slash);
        if (hostfs::isFolder(dir))
            continue;
        if (hostfs::kindOf(dir) != hostfs::Kind::None || !hostfs::createFolder(dir))
            return ERROR_PATH_NOT_FOUND;
    }
    hostfs::Kind kind = hostfs::kindOf(p);
    if (kind == hostfs::Kind::Folder)
        return ERROR_ACCESS_DENIED;
    if (kind != hostfs::Kind::None)
        hostfs::removeFile(p);
    return hostfs::writeWhole(p, content) ? 0 : ERROR_ACCESS_DENIED;
}

uint32_t FileSystem::linkFile(const std::u16string &cePath, const std::string &hostFile) {
    uint32_t error = writeFile(cePath, "");
    if (error)
        return error;
    std::string p = hostPath(cePath);
    hostfs::removeFile(p);
    std::string copy = hostfs::readOnlyCopy(hostFile);
    if (!copy.empty() && hostfs::hardLink(copy, p))
        return 0;
    return hostfs::copyReadOnly(hostFile, p) ? 0 : ERROR_FILE_NOT_FOUND;
}

} // namespace emul
