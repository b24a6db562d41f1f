// Where the interactive device keeps its state.
#include "frontends/state_dir.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
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

} // namespace handheld
