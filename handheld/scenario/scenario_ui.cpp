// The user at the foreground program's controls: tab, click, slide, select, ok, cancel, the
// input panel, and the answers for the next message box and file-open dialog. Each action is
// the messages a real tap or drag sends; the runner then lets the program work until it waits
// for input again (or has ended).
#include "scenario/scenario.h"

#include "emul/kernel.h"
#include "emul/process.h"
#include "emul/shell.h"
#include "emul/text.h"
#include "emul/user.h"
#include "emul/windows_sys.h"

namespace handheld {

bool ScenarioRunner::userAction(const ScnCommand &cmd, std::string *error) {
    emul::Shell &shell = dev_.shell();
    emul::Program *p = dev_.windows().foregroundProgram();
    bool ok = true;
    std::string why;
    switch (cmd.op) {
    case ScnOp::Answer:
        shell.answers.push_back(cmd.flag);
        return true;
    case ScnOp::Choose:
        if (cmd.flag)
            shell.choices.push_back(std::nullopt);
        else
            shell.choices.push_back(emul::utf16(cmd.path));
        return true;
    case ScnOp::Sip:
        emul::user::setInputPanel(cmd.flag);
        break;
    case ScnOp::Tab:
        ok = emul::user::tapTab(int(cmd.num), &why);
        break;
    case ScnOp::Click:
        ok = emul::user::click(int(cmd.num), &why);
        break;
    case ScnOp::Slide:
        ok = emul::user::slide(int(cmd.num), int(cmd.num2), &why);
        break;
    case ScnOp::Select:
        ok = emul::user::select(int(cmd.num), emul::utf16(cmd.name), &why);
        break;
    case ScnOp::Ok:
        ok = emul::user::pressOk(&why);
        break;
    case ScnOp::Cancel:
        ok = emul::user::pressCancel(&why);
        break;
    default:
        why = "not a user action";
        ok = false;
    }
    if (!ok) {
        *error = cmd.word + ": " + why;
        return false;
    }
    // What the program does about it, up to its next wait for input.
    runUntil([p] { return !p || p->exited() || (p->thread && p->thread->waitingForInput); },
             emul::kNever);
    return true;
}

} // namespace handheld
