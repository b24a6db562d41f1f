// The scenario runner: the device's main thread acting out a scenario's commands.
#include "scenario/commands.h"

#include "scenario/quote.h"

#include "image/install.h"

#include "norvel_reg.h"

#include "emul/devmgr.h"
#include "emul/fileobj.h"
#include "emul/files.h"
#include "emul/harness.h"
#include "emul/kernel.h"
#include "emul/process.h"
#include "emul/registry.h"
#include "emul/serial.h"
#include "emul/shell.h"
#include "emul/text.h"
#include "emul/windows_sys.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <istream>
#include <sstream>

namespace handheld {

namespace {

const char16_t *const kDefaultLine = handheld::kInfraredPort;
constexpr uint32_t kOpenExisting = 3;

// Program names as the scenario writes them: a bare name means the program file in \Windows.
std::u16string programFile(const std::string &name) {
    std::u16string p = emul::utf16(name);
    if (p.find(u'\\') == std::u16string::npos && p.find(u'.') == std::u16string::npos)
        p += u".exe";
    return p;
}

std::string fileError(uint32_t e) {
    switch (e) {
    case 3:
        return "a name on the way is a file";
    case 5:
        return "a folder is there, or a host link that leads out of the device";
    case 123:
        return "not a valid name on the device (\".\", \"..\" or a character such as : * ?)";
    case 206:
        return "a name is longer than 255 characters or the path longer than 259";
    }
    return "error " + std::to_string(e);
}

} // namespace

ScenarioRunner::ScenarioRunner(emul::Device &device) : dev_(device) {}

ScenarioRunner::~ScenarioRunner() = default;

emul::SerialPort &ScenarioRunner::line() {
    if (!line_) {
        line_ = &dev_.serial().addPort(kDefaultLine, true);
        lineDefaulted_ = true;
    }
    return *line_;
}

namespace {

void journalExit(emul::Journal &journal, ScenarioRunner::Tracked &t) {
    if (t.reported || !t.program->exited())
        return;
    t.reported = true;
    journal.event("exit", emul::Fields().str("program", t.name).num("code", t.program->exitCode()));
}

} // namespace

bool ScenarioRunner::exitPending() const {
    for (auto &t : programs_)
        if (!t->reported && t->program->exited())
            return true;
    return false;
}

void ScenarioRunner::reportExits() {
    for (auto &t : programs_)
        journalExit(dev_.journal(), *t);
    // A reported program is let go (its watcher holds its own share until it ends).
    programs_.erase(std::remove_if(programs_.begin(), programs_.end(),
                                   [](const std::shared_ptr<Tracked> &t) { return t->reported; }),
                    programs_.end());
}

void ScenarioRunner::runUntil(std::function<bool()> until, uint64_t deadline) {
    emul::Kernel &k = dev_.kernel();
    reportExits();
    // Always block at least once, so even `wait 0` lets the device's other threads take a turn.
    auto stop = [this] { return interrupted && interrupted(); };
    do {
        k.block(
            [&] {
                return (until && until()) || exitPending() || stop() ||
                       dev_.restartRequested() || dev_.suspendRequested();
            },
            deadline);
        reportExits();
        if (dev_.suspendRequested())
            dev_.suspend();
        if (dev_.restartRequested())
            restartDevice();
    } while (!(until && until()) && k.now() < deadline && !stop());
}

void ScenarioRunner::settle() {
    runUntil(nullptr, dev_.kernel().now());
}

void ScenarioRunner::restartDevice() {
    // A warm boot ends programs without an exit of their own.
    for (auto &t : programs_)
        t->reported = true;
    programs_.clear();
    clients_.clear();
    line();
    StartUp up = handheld::restartDevice(dev_);
    driverLoaded_ = driverLoaded_ || up.driver;
    if (restarted)
        restarted(up);
}

bool ScenarioRunner::activateKey(const std::string &path) {
    line();
    driverLoaded_ = true;
    uintptr_t hnd = dev_.devices().activate(emul::utf16(path), 0);
    dev_.journal().event("activate", emul::Fields().str("key", path).boolean("result", hnd != 0));
    return hnd != 0;
}

bool ScenarioRunner::execute(const ScnCommand &c, std::string *error) {
    if (!c.verb->run(*this, c, error))
        return false;
    reportExits();
    // A program (kbloader, kbsettings) may have loaded a driver too.
    if (!dev_.devices().active().empty())
        driverLoaded_ = true;
    return true;
}

bool ScnRun::driver(ScenarioRunner &r, const ScnCommand &c, std::string *error) {
    if (r.driverLoaded_) {
        *error = "driver: the driver build is fixed once a driver has been loaded";
        return false;
    }
    installDriverBuild(r.dev_, c.name);
    return true;
}

bool ScnRun::osbuild(ScenarioRunner &r, const ScnCommand &c, std::string *) {
    r.dev_.setBuildNumber(c.num);
    return true;
}

bool ScnRun::set(ScenarioRunner &r, const ScnCommand &c, std::string *) {
    r.dev_.registry().createKey(emul::utf16(c.path));
    r.dev_.registry().setValue(emul::utf16(c.path), emul::utf16(*c.valueName), c.value);
    return true;
}

bool ScnRun::key(ScenarioRunner &r, const ScnCommand &c, std::string *) {
    r.dev_.registry().createKey(emul::utf16(c.path));
    return true;
}

bool ScnRun::del(ScenarioRunner &r, const ScnCommand &c, std::string *) {
    if (c.valueName)
        r.dev_.registry().deleteValue(emul::utf16(c.path), emul::utf16(*c.valueName));
    else
        r.dev_.registry().deleteKey(emul::utf16(c.path));
    return true;
}

bool ScnRun::port(ScenarioRunner &r, const ScnCommand &c, std::string *error) {
    if (r.lineDefaulted_) {
        // The default line gives way to the scenario's own, unless the device uses it.
        if (r.line_->isOpen()) {
            *error = "port: the infrared line on COM2: is in use already; give port "
                     "commands before the driver starts";
            return false;
        }
        r.dev_.serial().removeAll();
        r.lineDefaulted_ = false;
    }
    r.line_ = &r.dev_.serial().addPort(emul::utf16(c.name), c.baud9600);
    return true;
}

bool ScnRun::fail(ScenarioRunner &r, const ScnCommand &c, std::string *) {
    r.dev_.fail(c.path);
    return true;
}

bool ScnRun::heal(ScenarioRunner &r, const ScnCommand &c, std::string *) {
    r.dev_.heal(c.path);
    return true;
}

bool ScnRun::file(ScenarioRunner &r, const ScnCommand &c, std::string *error) {
    if (uint32_t e = r.dev_.files().writeFile(emul::utf16(c.path), c.text)) {
        *error = "file: cannot write " + quoteInput(c.path) + ": " + fileError(e);
        return false;
    }
    return true;
}

bool ScnRun::window(ScenarioRunner &, const ScnCommand &c, std::string *error) {
    if (emul::harness::findSceneWindow(c.path)) {
        *error = "window: there is a window named " + quoteInput(c.path) + " already";
        return false;
    }
    uintptr_t parent = 0;
    if (c.parent) {
        parent = emul::harness::findSceneWindow(*c.parent);
        if (!parent) {
            *error = "window: no window named " + quoteInput(*c.parent);
            return false;
        }
    }
    if (!emul::harness::createSceneWindow(c.path, emul::utf16(c.name), parent, c.rect[0], c.rect[1],
                                          c.rect[2], c.rect[3])) {
        *error = "window: the window could not be created";
        return false;
    }
    return true;
}

bool ScnRun::foreground(ScenarioRunner &r, const ScnCommand &c, std::string *error) {
    uintptr_t h = emul::harness::findSceneWindow(c.path);
    if (!h) {
        *error = "foreground: no window named " + quoteInput(c.path);
        return false;
    }
    r.dev_.windows().setForeground(h);
    return true;
}

bool ScnRun::boot(ScenarioRunner &r, const ScnCommand &, std::string *) {
    r.activateKey(emul::utf8(NORVEL_DRIVER_KEY));
    return true;
}

bool ScnRun::activate(ScenarioRunner &r, const ScnCommand &c, std::string *) {
    r.activateKey(c.path);
    return true;
}

bool ScnRun::deactivate(ScenarioRunner &r, const ScnCommand &, std::string *) {
    uintptr_t hnd = r.dev_.devices().lastActivated();
    bool ok = hnd && r.dev_.devices().deactivate(hnd);
    r.dev_.journal().event("deactivate", emul::Fields().boolean("result", ok));
    return true;
}

bool ScnRun::rx(ScenarioRunner &r, const ScnCommand &c, std::string *) {
    r.line().arriveNow(c.bytes);
    return true;
}

bool ScnRun::wait(ScenarioRunner &r, const ScnCommand &c, std::string *) {
    r.line();
    r.runUntil(nullptr, r.dev_.kernel().now() + c.num);
    return true;
}

bool ScnRun::powerdown(ScenarioRunner &r, const ScnCommand &, std::string *) {
    r.dev_.devices().powerDown();
    return true;
}

bool ScnRun::powerup(ScenarioRunner &r, const ScnCommand &, std::string *) {
    if (r.dev_.suspended())
        r.dev_.resume(); // the power comes back: the same notification, after the event
    else
        r.dev_.devices().powerUp();
    return true;
}

bool ScnRun::clientOpen(ScenarioRunner &r, const ScnCommand &c, std::string *) {
    r.line();
    uintptr_t hnd = r.dev_.devices().lastActivated();
    std::u16string name = hnd ? r.dev_.devices().deviceName(hnd) : u"IRK1:";
    // A fresh client: a refusal that sets no error of its own shows 0, not a stale one.
    r.dev_.kernel().self()->lastError = 0;
    uint32_t err = 0;
    std::shared_ptr<emul::FileObject> f = emul::openFileObject(name, c.num, 0, kOpenExisting, &err);
    if (f)
        r.clients_.push_back({r.dev_.handles().add(f), f});
    r.dev_.journal().event(
        "client open", emul::Fields().boolean("result", f != nullptr).num("error", f ? 0 : err));
    return true;
}

bool ScnRun::clientRead(ScenarioRunner &r, const ScnCommand &c, std::string *) {
    std::vector<uint8_t> buf(c.num);
    uint32_t got = 0, err = 0;
    bool ok = !r.clients_.empty() && r.clients_.back().file->read(buf.data(), c.num, &got, &err);
    if (ok && got > c.num)
        got = c.num;
    r.dev_.journal().event("client read",
                           emul::Fields()
                               .num("result", ok ? int64_t(got) : -1)
                               .str("data", ok ? emul::hexText(buf.data(), got, " ", true) : ""));
    return true;
}

bool ScnRun::clientClose(ScenarioRunner &r, const ScnCommand &, std::string *) {
    bool ok = false;
    if (!r.clients_.empty()) {
        ScenarioRunner::Client cl = r.clients_.back();
        r.clients_.pop_back();
        cl.file.reset();
        ok = r.dev_.handles().close(cl.handle);
    }
    r.dev_.journal().event("client close", emul::Fields().num("result", ok ? 1 : 0));
    return true;
}

bool ScnRun::run(ScenarioRunner &r, const ScnCommand &c, std::string *error) {
    r.line();
    std::string cmdLine;
    for (size_t i = 0; i < c.args.size(); ++i)
        cmdLine += (i ? " " : "") + c.args[i];
    uint32_t err = 0;
    std::shared_ptr<emul::Program> p =
        r.dev_.processes().start(programFile(c.path), emul::utf16(cmdLine), &err);
    if (!p) {
        *error = "run: the device cannot start " + quoteInput(c.path) + " (error " +
                 std::to_string(err) + ")";
        return false;
    }
    auto tracked =
        std::make_shared<ScenarioRunner::Tracked>(ScenarioRunner::Tracked{p, c.path, false});
    r.programs_.push_back(tracked);
    // A thread that waits for the exit, right behind the program's own in the scheduling
    // order: it runs first when the program ends, so the exit line is written then, before
    // anything that other threads do afterwards.
    emul::Journal *journal = &r.dev_.journal();
    r.dev_.kernel().spawn("exit of " + c.path, [tracked, journal] {
        emul::Program *prog = tracked->program.get();
        if (!prog->exited()) // blocking would hand the turn on even when it has exited
            emul::kern().block([prog] { return prog->exited(); }, emul::kNever);
        journalExit(*journal, *tracked);
        return 0u;
    });
    emul::Device *d = &r.dev_;
    r.runUntil(
        [p, d] {
            return p->exited() || (p->thread && d->windows().waitingForInput(p->thread.get()));
        },
        emul::kNever);
    return true;
}

bool ScnRun::dump(ScenarioRunner &r, const ScnCommand &c, std::string *) {
    std::u16string key = emul::utf16(c.path);
    std::string values = "null";
    if (r.dev_.registry().keyExists(key)) {
        values = "{";
        bool first = true;
        for (auto &v : r.dev_.registry().values(key)) {
            values += (first ? "" : ",") + emul::jsonQuote(emul::utf8(v.first)) + ":" +
                      emul::regValueJson(v.second);
            first = false;
        }
        values += "}";
    }
    r.dev_.journal().dump(c.path, emul::Fields().raw("values", values));
    return true;
}

bool ScnRun::show(ScenarioRunner &r, const ScnCommand &c, std::string *error) {
    uintptr_t h = emul::harness::findControl(int(c.num));
    std::optional<emul::harness::ControlState> st;
    if (h)
        st = emul::harness::controlState(h);
    if (!st) {
        *error = "show: the foreground program has no control " + std::to_string(c.num);
        return false;
    }
    emul::Fields f;
    f.str("class", st->className).str("text", st->text).boolean("visible", st->visible);
    if (st->checked)
        f.boolean("checked", *st->checked);
    if (st->pos)
        f.num("pos", *st->pos);
    if (st->min)
        f.num("min", *st->min);
    if (st->max)
        f.num("max", *st->max);
    if (st->items)
        f.strs("items", *st->items);
    if (st->items || st->hasSelection) {
        if (st->selected)
            f.str("selected", *st->selected);
        else
            f.null("selected");
    }
    r.dev_.journal().control(c.num, f);
    return true;
}

namespace {

// Scenarios are read line by line, so a long run stays flat; a line is refused beyond this,
// so that endless input without line ends (a device file, a runaway pipe) ends with a message.
constexpr size_t kLineLimit = 64u << 20;

// std::getline, up to kLineLimit bytes; `tooLong` when the line goes on beyond them.
bool boundedLine(std::istream &in, std::string &line, bool *tooLong) {
    line.clear();
    *tooLong = false;
    char buf[65536];
    bool any = false;
    for (;;) {
        in.get(buf, sizeof buf, '\n');
        line.append(buf, size_t(in.gcount()));
        any = any || in.gcount() > 0;
        if (line.size() > kLineLimit) {
            *tooLong = true;
            return false;
        }
        if (in.bad() || in.eof())
            return any && !in.bad();
        in.clear(); // get() fails when the line end comes first
        if (in.peek() == '\n') {
            in.ignore();
            return true;
        }
    }
}

} // namespace

bool ScenarioRunner::play(std::istream &in, ScnError *err) {
    std::string text;
    int lineNo = 0;
    // The journal is written in blocks; one who feeds the scenario line by line sees it all
    // before the runner waits for the next line.
    for (;;) {
        if (in.rdbuf()->in_avail() <= 0)
            dev_.journal().flush();
        bool tooLong = false;
        if (!boundedLine(in, text, &tooLong)) {
            if (tooLong) {
                err->line = lineNo + 1;
                err->message = "a line longer than 64 MB: not a scenario";
                return false;
            }
            break;
        }
        ++lineNo;
        ScnCommand cmd;
        bool empty = false;
        std::string message;
        if (!scnParseLine(text, lineNo, &cmd, &empty, &message) ||
            (!empty && !execute(cmd, &message))) {
            err->line = lineNo;
            err->message = message;
            return false;
        }
    }
    if (in.bad()) {
        // A folder or an unreadable file ends here, not as if the scenario had ended.
        err->line = lineNo + 1;
        err->message = std::string("cannot read the scenario: ") +
                       (errno ? std::strerror(errno) : "read error");
        return false;
    }
    return true;
}

bool ScenarioRunner::playText(const std::string &text, ScnError *err) {
    std::istringstream in(text);
    return play(in, err);
}

} // namespace handheld
