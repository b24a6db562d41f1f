// What the figure programs measure with: a process's CPU time and a 99th percentile.
#pragma once

#include <algorithm>
#include <cstdint>
#include <dirent.h>
#include <fstream>
#include <string>
#include <sys/types.h>
#include <vector>

namespace bench {

// CPU time (ns) of all threads of a process so far.
inline uint64_t cpuNs(pid_t pid) {
    uint64_t total = 0;
    std::string dir = "/proc/" + std::to_string(pid) + "/task";
    DIR *d = opendir(dir.c_str());
    if (!d)
        return 0;
    while (dirent *e = readdir(d)) {
        if (e->d_name[0] == '.')
            continue;
        std::ifstream f(dir + "/" + e->d_name + "/schedstat");
        uint64_t ns = 0;
        if (f >> ns)
            total += ns;
    }
    closedir(d);
    return total;
}

inline double p99(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(double(v.size()) * 0.99))];
}

} // namespace bench
