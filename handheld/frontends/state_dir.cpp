// Where the interactive device keeps its state.
#include "frontends/state_dir.h"

#include <cstdlib>
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

} // namespace handheld
