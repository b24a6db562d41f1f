// The device's file system over a host folder.
#include "emul/files.h"

#include "emul/text.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace emul {

FileSystem::FileSystem(std::string rootDir) : root_(std::move(rootDir)) {}

std::string FileSystem::hostPath(const std::u16string &cePath) const {
    // Walk component by component so that names match without case.
    fs::path cur = root_;
    std::u16string comp;
    auto step = [&](const std::u16string &name) {
        if (name.empty())
            return;
        std::error_code ec;
        if (fs::is_directory(cur, ec)) {
            for (auto &e : fs::directory_iterator(cur, ec)) {
                if (equalsNoCase(utf16(e.path().filename().string()), name)) {
                    cur = e.path();
                    return;
                }
            }
        }
        cur /= utf8(name);
    };
    for (char16_t c : cePath) {
        if (c == u'\\' || c == u'/') {
            step(comp);
            comp.clear();
        } else {
            comp += c;
        }
    }
    step(comp);
    return cur.string();
}

bool FileSystem::exists(const std::u16string &cePath) const {
    std::error_code ec;
    return fs::exists(hostPath(cePath), ec);
}

void FileSystem::writeFile(const std::u16string &cePath, const std::string &content) {
    fs::path p = hostPath(cePath);
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
}

bool FileSystem::readFile(const std::u16string &cePath, std::string *content) const {
    std::error_code ec;
    std::string p = hostPath(cePath);
    if (!fs::is_regular_file(p, ec))
        return false;
    std::ifstream in(p, std::ios::binary);
    content->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

void FileSystem::linkFile(const std::u16string &cePath, const std::string &hostFile) {
    fs::path p = hostPath(cePath);
    fs::create_directories(p.parent_path());
    std::error_code ec;
    fs::remove(p, ec);
    fs::create_symlink(fs::absolute(hostFile), p);
}

} // namespace emul
