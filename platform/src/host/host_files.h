// The host file system as the platform's own bookkeeping needs it (the device's state folder,
// module files, folder listings). The device's file system maps its paths onto a host folder in
// files/.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace emul::hostfs {

bool isRegularFile(const std::string &path);
bool isFolder(const std::string &path);
bool exists(const std::string &path); // links followed
// The path with symbolic links resolved; the path itself when that fails.
std::string canonical(const std::string &path);
// A new empty folder "PREFIX-XXXXXX" under the host's temporary folder (/tmp when the host names
// none), its path in *dir; false with *reason set (and *dir the template) when none can be made.
bool makeTempDir(const std::string &prefix, std::string *dir, std::string *reason);
// The folder with its missing parents; false with *error set when it cannot be made.
bool createDirectories(const std::string &path, std::string *error = nullptr);
void removeTree(const std::string &path); // best effort
// Whether the folder that holds `path` exists.
bool parentExists(const std::string &path);
// A file's bytes, whole; false when it cannot be read (or, if asked, is not a regular file or
// has a link on its way).
bool readWhole(const std::string &path, std::string *data, bool regularOnly = false,
               bool noLinks = false);
// Replaces the file's bytes (making it when missing); false when it cannot be written.
bool writeWhole(const std::string &path, const std::string &data);
bool removeFile(const std::string &path); // false when nothing was removed
// One new folder (its parent must exist); false when it exists already or cannot be made.
bool createFolder(const std::string &path);

// What is at `path` itself, a link not followed.
enum class Kind { None, File, Folder, Link, Other };
Kind kindOf(const std::string &path);
// In one call: whether `path` (a folder, if asked) is there with no link on the way, is
// missing with no link on the way, or cannot be told at once (a link or a file on the way,
// another kind than asked, or a host without the call).
enum class Reach { There, Missing, Unsure };
Reach reachWithoutLinks(const std::string &path, bool folder = false);
// The absolute path with links and "." and ".." resolved as far as the path exists; false when
// that fails.
bool weaklyCanonical(const std::string &path, std::string *out);
// A regular file that nobody may write.
bool isReadOnlyFile(const std::string &path);
// A read-only copy of `src` in a ".readonly" folder next to it, made or refreshed when `src` is
// newer (safe when several processes do it at once); "" when it cannot be made.
std::string readOnlyCopy(const std::string &src);
bool hardLink(const std::string &target, const std::string &link);
// Copies `src` to `dst` (replacing it) and makes the copy read-only; false when it cannot.
bool copyReadOnly(const std::string &src, const std::string &dst);

// The names in a folder (without "." and ".."), in the host's order; empty when it cannot be read.
struct FolderEntry {
    std::string name;
    bool folder = false;
    bool link = false; // a host link, `folder` and `size` being its target's
    uint64_t size = 0; // files only
};
// *opened (if given) tells an empty folder from one that cannot be read. With `noLinks` a
// folder with a link on its way is not opened.
std::vector<FolderEntry> listFolder(const std::string &path, bool sizes = true,
                                    bool *opened = nullptr, bool noLinks = false);

} // namespace emul::hostfs
