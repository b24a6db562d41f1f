// The user at the foreground program's controls: tab, click, slide, select, ok, cancel, the
// input panel, and the answers for the next message box and file-open dialog. Each action is
// the messages a real tap or drag sends; the runner then lets the program work until it waits
// for input again (or has ended).
#include "scenario/commands.h"

#include "emul/harness.h"
#include "emul/kernel.h"
#include "emul/process.h"
#include "emul/text.h"
#include "emul/user.h"
#include "emul/windows_sys.h"

namespace handheld {

bool ScnRun::settle(ScenarioRunner &r, const std::shared_ptr<emul::Program> &p, const ScnCommand &c,
                    bool ok, const std::string &why, std::string *error) {
    if (!ok) {
        *error = c.word + ": " + why;
        return false;
    }
    emul::Device *d = &emul::dev();
    r.runUntil(
        [p, d] {
            return !p || p->exited() ||
                   (p->thread && d->windows().waitingForInput(p->thread.get()));
        },
        emul::kNever);
    return true;
}

bool ScnRun::answer(ScenarioRunner &r, const ScnCommand &c, std::string *) {
    r.line();
    emul::harness::scriptedAnswers().answer(c.yes);
    return true;
}

bool ScnRun::choose(ScenarioRunner &r, const ScnCommand &c, std::string *) {
    r.line();
    if (c.cancel)
        emul::harness::scriptedAnswers().choose(std::nullopt);
    else
        emul::harness::scriptedAnswers().choose(emul::utf16(c.path));
    return true;
}

bool ScnRun::sip(ScenarioRunner &r, const ScnCommand &c, std::string *error) {
    r.line();
    auto p = r.dev_.processes().find(r.dev_.windows().foregroundProgram());
    emul::user::setInputPanel(c.yes);
    return settle(r, p, c, true, "", error);
}

bool ScnRun::tab(ScenarioRunner &r, const ScnCommand &c, std::string *error) {
    r.line();
    auto p = r.dev_.processes().find(r.dev_.windows().foregroundProgram());
    std::string why;
    bool ok = emul::user::tapTab(int(c.num), &why);
    return settle(r, p, c, ok, why, error);
}

bool ScnRun::click(ScenarioRunner &r, const ScnCommand &c, std::string *error) {
    r.line();
    auto p = r.dev_.processes().find(r.dev_.windows().foregroundProgram());
    std::string why;
    bool ok = emul::user::click(int(c.num), &why);
    return settle(r, p, c, ok, why, error);
}

bool ScnRun::slide(ScenarioRunner &r, const ScnCommand &c, std::string *error) {
    r.line();
    auto p = r.dev_.processes().find(r.dev_.windows().foregroundProgram());
    std::string why;
    bool ok = emul::user::slide(int(c.num), int(c.num2), &why);
    return settle(r, p, c, ok, why, error);
}

bool ScnRun::select(ScenarioRunner &r, const ScnCommand &c, std::string *error) {
    r.line();
    auto p = r.dev_.processes().find(r.dev_.windows().foregroundProgram());
    std::string why;
    bool ok = emul::user::select(int(c.num), emul::utf16(c.text), &why);
    return settle(r, p, c, ok, why, error);
}

bool ScnRun::ok(ScenarioRunner &r, const ScnCommand &c, std::string *error) {
    r.line();
    auto p = r.dev_.processes().find(r.dev_.windows().foregroundProgram());
    std::string why;
    bool ok = emul::user::pressOk(&why);
    return settle(r, p, c, ok, why, error);
}

bool ScnRun::cancel(ScenarioRunner &r, const ScnCommand &c, std::string *error) {
    r.line();
    auto p = r.dev_.processes().find(r.dev_.windows().foregroundProgram());
    std::string why;
    bool ok = emul::user::pressCancel(&why);
    return settle(r, p, c, ok, why, error);
}

} // namespace handheld
