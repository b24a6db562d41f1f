// Where the interactive device keeps its state.
#include "frontends/state_dir.h"

#include "image/driver_builds.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

namespace handheld {

std::string defaultStateDir() {
    const char *xdg = std::getenv("XDG_STATE_HOME");
    if (xdg && *xdg == '/')
        return std::string(xdg) + "/handheld";
    const char *home = std::getenv("HOME");
    std::string h = home && *home ? home : "";
    if (h.empty()) {
        if (const passwd *pw = getpwuid(getuid()))
            h = pw->pw_dir;
    }
    return h + "/.local/state/handheld";
}

StateDir stateDir(const std::string &dir) {
    StateDir s;
    s.dir = dir.empty() ? defaultStateDir() : dir;
    while (s.dir.size() > 1 && s.dir.back() == '/')
        s.dir.pop_back();
    return s;
}

bool makeStateDir(const StateDir &dir, std::string *problem) {
    namespace fs = std::filesystem;
    std::error_code ec, ignored;
    fs::create_directories(dir.root(), ec);
    if (!ec)
        return true;
    std::string where = dir.root(), why = ec.message();
    fs::file_status top = fs::status(dir.dir, ignored), own = fs::symlink_status(where, ignored);
    if (fs::exists(top) && !fs::is_directory(top))
        where = dir.dir, why = "not a folder";
    else if (fs::is_symlink(own) && !fs::exists(fs::status(where, ignored)))
        why = "a link to nothing, not a folder";
    else if (fs::exists(own))
        why = "not a folder";
    *problem = where + ": " + why;
    return false;
}

bool openStateFolder(const StateDir &dir, bool reset, const std::string &wanted,
                     std::string *build) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (reset) {
        for (const std::string &p :
             {dir.hive(), dir.hive() + "-wal", dir.hive() + "-shm", dir.dir + "/driver-build"})
            fs::remove(p, ec);
        fs::remove_all(dir.root(), ec);
    }
    std::string problem;
    if (!makeStateDir(dir, &problem)) {
        std::fprintf(stderr, "handheld: %s\n", problem.c_str());
        return false;
    }
    // One device per state folder; the lock goes with the process.
    int lock = open((dir.dir + "/lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock < 0 || flock(lock, LOCK_EX | LOCK_NB) != 0) {
        std::fprintf(stderr, "handheld: a device is running from %s already\n", dir.dir.c_str());
        return false;
    }
    std::string installed;
    {
        std::ifstream in(dir.dir + "/driver-build");
        std::getline(in, installed);
        if (!findDriverBuild(installed))
            installed = fs::exists(dir.hive()) ? kBaselineBuild.name : "";
    }
    // A build is chosen when the device is installed: another one on the same registry and
    // files would run with settings the installer never wrote for it.
    if (!wanted.empty() && !installed.empty() && wanted != installed) {
        std::fprintf(stderr,
                     "handheld: the device in %s has the %s driver; --build chooses the driver "
                     "of a new device: add --reset to start over with a %s device (its registry "
                     "and files are lost), or leave --build out\n",
                     dir.dir.c_str(), installed.c_str(), wanted.c_str());
        return false;
    }
    *build = !wanted.empty()      ? wanted
             : !installed.empty() ? installed
                                  : std::string(kBaselineBuild.name);
    std::ofstream(dir.dir + "/driver-build") << *build << "\n";
    return true;
}

} // namespace handheld
