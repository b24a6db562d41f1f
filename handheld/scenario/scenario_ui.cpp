// The user at the foreground program's controls: tab, click, slide, select, ok, cancel, the
// input panel, and the answers for the next message box and file-open dialog. Each action is
// the messages a real tap or drag sends; the runner then lets the program work until it waits
// for input again (or has ended).
#include "scenario/commands.h"

#include <windows.h>

#include "emul/harness.h"
#include "emul/kernel.h"
#include "emul/process.h"
#include "emul/text.h"
#include "emul/user.h"
#include "emul/windows_sys.h"

#include <algorithm>
#include <cstdlib>

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
    if (c.open)
        emul::harness::scriptedAnswers().leaveBoxOpen();
    else
        emul::harness::scriptedAnswers().answer(c.yes);
    return true;
}

bool ScnRun::choose(ScenarioRunner &r, const ScnCommand &c, std::string *) {
    r.line();
    if (c.open)
        emul::harness::scriptedAnswers().leaveFileDialogOpen();
    else if (c.cancel)
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

namespace {

// a * i / n rounded to the nearest whole pixel, halves away from zero.
int stepOf(int a, int i, int n) {
    int v = a * i, q = (std::abs(v) + n / 2) / n;
    return v < 0 ? -q : q;
}

} // namespace

bool ScnRun::penAt(ScenarioRunner &r, const ScnCommand &c, emul::WindowSystem::Pen what, int x,
                   int y, std::string *error) {
    auto p = r.dev_.processes().find(r.dev_.windows().foregroundProgram());
    r.dev_.windows().pen(what, x, y);
    return settle(r, p, c, true, "", error);
}

bool ScnRun::tap(ScenarioRunner &r, const ScnCommand &c, std::string *error) {
    r.line();
    using Pen = emul::WindowSystem::Pen;
    return penAt(r, c, Pen::Down, c.rect[0], c.rect[1], error) &&
           penAt(r, c, Pen::Up, c.rect[0], c.rect[1], error);
}

bool ScnRun::drag(ScenarioRunner &r, const ScnCommand &c, std::string *error) {
    r.line();
    using Pen = emul::WindowSystem::Pen;
    int x1 = c.rect[0], y1 = c.rect[1], x2 = c.rect[2], y2 = c.rect[3];
    if (!penAt(r, c, Pen::Down, x1, y1, error))
        return false;
    // Through every pixel step of the straight line, so that nothing under it is skipped.
    int steps = std::max(std::abs(x2 - x1), std::abs(y2 - y1));
    for (int i = 1; i <= steps; ++i) {
        int x = x1 + stepOf(x2 - x1, i, steps), y = y1 + stepOf(y2 - y1, i, steps);
        if (!penAt(r, c, Pen::Move, x, y, error))
            return false;
    }
    return penAt(r, c, Pen::Up, x2, y2, error);
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

bool ScnRun::close(ScenarioRunner &r, const ScnCommand &c, std::string *error) {
    r.line();
    // The program by its file name, as `run` names it: "notes" or "Notes.exe".
    std::u16string want = emul::foldCase(emul::utf16(c.path));
    if (want.find(u'.') == std::u16string::npos)
        want += u".exe";
    const emul::WindowView &view = r.dev_.windows().view();
    for (const emul::WindowInfo &top : view.snapshot()) {
        if (!top.visible || !top.program || top.parent || top.owner ||
            emul::foldCase(top.program->name) != want)
            continue;
        std::shared_ptr<emul::Program> p = r.dev_.processes().find(top.program);
        // What the list of running programs does: the program's window is asked to close.
        r.dev_.windows().post(top.hwnd, WM_CLOSE, 0, 0);
        return settle(r, p, c, true, "", error);
    }
    *error = "close: no program " + c.path + " has a window on the screen";
    return false;
}

} // namespace handheld
