// Opening the SQLite file of a registry hive (in memory when the path is empty).
#pragma once

#include <sqlite3.h>

#include <string>

namespace emul {

// An open connection to a hive with its tables, made when the file does not exist. Throws
// DeviceError, naming the file and what is wrong, when it is not this device's hive or damaged.
sqlite3 *openHive(const std::string &path);

} // namespace emul
