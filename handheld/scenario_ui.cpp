// The user at the foreground program's controls: tab, click, slide, select, ok, cancel, and the
// answers for the next message box and file-open dialog. They come with the settings program;
// until then each of them stops the scenario, so no scenario passes by doing nothing.
#include "scenario.h"

namespace handheld {

bool ScenarioRunner::userAction(const ScnCommand &cmd, std::string *error) {
    switch (cmd.op) {
    case ScnOp::Tab:
    case ScnOp::Click:
    case ScnOp::Slide:
    case ScnOp::Select:
    case ScnOp::Ok:
    case ScnOp::Cancel:
    case ScnOp::Answer:
    case ScnOp::Choose:
    default:
        *error = cmd.word + ": not supported by this device yet";
        return false;
    }
}

} // namespace handheld
