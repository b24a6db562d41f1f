// Bottom of the platform's own host file access.
#include "host/host_files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

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
