#include "support/temp_hive.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdlib.h>
#include <unistd.h>

namespace testing_support {

std::string TempHivePath(const char *stem) {
    std::string tmpl = std::string("/tmp/") + stem + "-XXXXXX";
    int fd = mkstemp(&tmpl[0]);
    EXPECT_GE(fd, 0);
    if (fd >= 0)
        close(fd);
    std::remove(tmpl.c_str()); // SQLite creates it
    return tmpl;
}

void RemoveHive(const std::string &path) {
    for (const char *suffix : {"", "-wal", "-shm"})
        std::remove((path + suffix).c_str());
}

} // namespace testing_support
