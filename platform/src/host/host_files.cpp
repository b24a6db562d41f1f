// Bottom of the platform's own host file access.
#include "host/host_files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace emul::hostfs {

namespace fs = std::filesystem;

bool isRegularFile(const std::string &path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

std::string canonical(const std::string &path) {
    std::error_code ec;
    std::string c = fs::canonical(path, ec).string();
    return ec ? path : c;
}

std::string makeTempDir(const std::string &prefix) {
    std::string tmpl = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!mkdtemp(tmpl.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    return tmpl;
}

void createDirectories(const std::string &path) {
    fs::create_directories(path);
}

void removeTree(const std::string &path) {
    std::error_code ec;
    fs::remove_all(path, ec);
}

} // namespace emul::hostfs
