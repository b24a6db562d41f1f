// The device's file system: CE paths ("\Windows\x.dll") inside a host folder.
#pragma once

#include <string>

namespace emul {

class FileSystem {
  public:
    explicit FileSystem(std::string rootDir);
    // Host path of a CE path; names match without case (the first match wins).
    std::string hostPath(const std::u16string &cePath) const;
    bool exists(const std::u16string &cePath) const;
    void writeFile(const std::u16string &cePath, const std::string &content); // folders as needed
    bool readFile(const std::u16string &cePath, std::string *content) const;  // false if absent
    // Makes the CE path name a host file (a module build) without copying it.
    void linkFile(const std::u16string &cePath, const std::string &hostFile);
    const std::string &root() const { return root_; }

  private:
    std::string root_;
};

} // namespace emul
