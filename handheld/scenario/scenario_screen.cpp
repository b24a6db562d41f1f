// The screen in pictures: `screenshot NAME.png` writes the device's screen as it is now into
// the folder the player was given for them.
#include "scenario/commands.h"

#include "emul/graphics.h"

namespace handheld {

namespace scnparse {

bool screenshot(const Args &a, ScnCommand *cmd, std::string *why) {
    if (a.size() != 1)
        return false;
    const std::string &name = a[0];
    // A plain file name: a picture never lands outside the folder it was asked for.
    if (name.size() <= 4 || name.compare(name.size() - 4, 4, ".png") != 0 ||
        name.find_first_of("/\\") != std::string::npos || name[0] == '.') {
        *why = "\"" + name + "\" is not a file name ending in .png";
        return false;
    }
    cmd->path = name;
    return true;
}

} // namespace scnparse

bool ScnRun::screenshot(ScenarioRunner &r, const ScnCommand &c, std::string *error) {
    // The other threads paint what the last command changed for them (the task bar names the
    // program just started) before the picture is taken. The same with or without --out, so
    // the journal never depends on where pictures go.
    r.settle();
    if (r.outDir.empty())
        return true;
    std::string why;
    if (!r.dev_.graphics().savePng(r.outDir + "/" + c.path, &why)) {
        *error = "screenshot: " + why;
        return false;
    }
    return true;
}

} // namespace handheld
