// The host file system as the platform's own bookkeeping needs it (the device's state folder,
// module files). The device's file system maps its paths onto a host folder in files/.
#pragma once

#include <string>

namespace emul::hostfs {

bool isRegularFile(const std::string &path);
// The path with symbolic links resolved; the path itself when that fails.
std::string canonical(const std::string &path);
// A new empty folder under the host's temporary folder; aborts when none can be made.
std::string makeTempDir(const std::string &prefix);
void createDirectories(const std::string &path);
void removeTree(const std::string &path); // best effort

} // namespace emul::hostfs
