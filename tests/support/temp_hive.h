// A hive file of its own for a test, and its removal with SQLite's side files.
#pragma once

#include <string>

namespace testing_support {

// A fresh path under /tmp where no file stands yet: the registry store creates the hive there.
std::string TempHivePath(const char *stem);

// Removes the hive and its write-ahead log and index.
void RemoveHive(const std::string &path);

} // namespace testing_support
