// The user at the foreground program's controls: tab, click, slide, select, ok, cancel, and the
// answers for the next message box and file-open dialog. They come with the settings program;
// until then each of them stops the scenario, so no scenario passes by doing nothing.
#include "scenario/scenario.h"

namespace handheld {

bool ScenarioRunner::userAction(const ScnCommand &cmd, std::string *error) {
    *error = cmd.word + ": not supported by this device yet";
    return false;
}

} // namespace handheld
