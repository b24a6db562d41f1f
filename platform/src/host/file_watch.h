// Notice of writes to files by any process, as a descriptor the device's host wait can watch.
#pragma once

#include <string>
#include <vector>

namespace emul::filewatch {

// A descriptor that becomes readable when a file is written, made or replaced in the folder
// of one of `paths` and its name starts with that path's name (so a SQLite file's journal
// files count as the file); -1 when the host cannot watch them.
int open(const std::vector<std::string> &paths);
// Reads what has come; true when it concerned one of `paths`. Never blocks.
bool take(int fd, const std::vector<std::string> &paths);
void close(int fd); // no-op for -1

} // namespace emul::filewatch
