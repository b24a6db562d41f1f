// The device's file system: CE paths ("\Windows\x.dll") inside a host folder, and nothing
// outside it. Paths are resolved on the device's rules (from the root, no "." or ".." names,
// no host link followed out of the folder); a host file without write permission is a
// read-only file of the device, which the device never writes, whoever runs it.
#pragma once

#include <cstdint>
#include <string>

namespace emul {

// A file name against a pattern of `*` and `?` wildcards, without case ("*.*" is every name).
bool nameMatches(const std::u16string &pattern, const std::u16string &name);

class FileSystem {
  public:
    explicit FileSystem(std::string rootDir);
    // Host path of a CE path, names matched without case (the first match wins); empty with
    // *error set (ERROR_INVALID_NAME, ERROR_FILENAME_EXCED_RANGE, ERROR_PATH_NOT_FOUND,
    // ERROR_ACCESS_DENIED for a link out of the folder) when the path names nothing allowed.
    std::string resolve(const std::u16string &cePath, uint32_t *error) const;
    std::string hostPath(const std::u16string &cePath) const; // resolve() without the reason
    // The host path of a valid CE path spelt as written, asking the host nothing (empty for an
    // invalid path): what resolve() gives when every name is there as written, with no link.
    std::string spelled(const std::u16string &cePath) const;
    bool exists(const std::u16string &cePath) const;
    // Puts a new file there, folders as needed; an existing file is replaced, never written
    // through (it may share its content with a module build). 0 or the CE error.
    uint32_t writeFile(const std::u16string &cePath, const std::string &content);
    // Installs a host file (a module build) under the CE path as a read-only file: a hard
    // link to a read-only copy made once per build, or a copy where no link can be made.
    uint32_t linkFile(const std::u16string &cePath, const std::string &hostFile);
    bool readFile(const std::u16string &cePath, std::string *content) const; // false if absent
    void makeFolders(const std::u16string &cePath); // with missing parents; best effort
    const std::string &root() const { return root_; }

    static bool readOnly(const std::string &hostPath);

  private:
    std::string root_;
};

} // namespace emul
