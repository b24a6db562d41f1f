// The interactive device. The runner thread owns the terminal: it lets the device run until
// something happens (a key, a journal line, a write to the hive), then reads the host keys and
// redraws the screen.
#include "frontends/interactive.h"

#include "frontends/journal_view.h"
#include "frontends/keyboard_cmd.h"
#include "frontends/monitor.h"
#include "frontends/questions.h"
#include "frontends/recorder.h"
#include "frontends/reg_cmd.h"
#include "frontends/runner.h"
#include "frontends/session.h"
#include "frontends/signals.h"
#include "frontends/state_dir.h"
#include "image/boot.h"
#include "image/install.h"
#include "keyboard/host_keys.h"
#include "scenario/scenario.h"

#include <windows.h>

#include <commctrl.h>

#include "norvel_reg.h"

#include "emul/devmgr.h"
#include "emul/files.h"
#include "emul/harness.h"
#include "emul/registry.h"
#include "emul/screen_layout.h"
#include "emul/serial.h"
#include "emul/serial_line.h"
#include "emul/text.h"
#include "emul/windows_sys.h"

#include <ncurses.h>

#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace handheld {

namespace {

// The infrared line as the device hears it, with what it hears written to the recording: the
// built-in keyboard's bytes and those of any other program on the line (`handheld keyboard`
// from another terminal) alike, at the device time they arrive.
class RecordedLine : public emul::SerialLine {
  public:
    RecordedLine(std::unique_ptr<emul::SerialLine> line, SessionRecorder &recorder,
                 emul::Kernel &kernel)
        : line_(std::move(line)), recorder_(recorder), kernel_(kernel) {}
    void attached(emul::SerialPort &port) override { line_->attached(port); }
    int waitFd() const override { return line_->waitFd(); }
    void service(std::vector<uint8_t> *heard) override {
        size_t from = heard->size();
        line_->service(heard);
        if (heard->size() > from)
            recorder_.bytes(kernel_.now(),
                            std::vector<uint8_t>(heard->begin() + long(from), heard->end()));
    }
    void transmit(const uint8_t *bytes, size_t n) override { line_->transmit(bytes, n); }
    bool carrier() const override { return line_->carrier(); }

  private:
    std::unique_ptr<emul::SerialLine> line_;
    SessionRecorder &recorder_;
    emul::Kernel &kernel_;
};

// The screen's loop sleeps until a key arrives on the terminal (the device's host wait watches
// it), the journal has new lines, the hive or the registry changes file is written (another
// process's `reg`), or a signal comes.
class InteractiveFrontEnd : public FrontEnd {
  public:
    InteractiveFrontEnd(Session &s, Monitor &monitor) : s_(s), monitor_(monitor) {}
    bool input = true; // the terminal has something to read

    bool work() override {
        if (RealTimeRunner::takeResize())
            input = true; // curses has the new size for the next key it reads
        return RealTimeRunner::stopping() || input || s_.tap.changed || s_.redraw ||
               monitor_.pending();
    }
    void pumpOnce() {
        input = false;
        pump(s_);
        if (monitor_.pending())
            monitor_.serve();
    }
    bool step() override {
        if (!work()) // woken by the clock: a held key's repeat has ended
            s_.redraw = true;
        pumpOnce();
        return !s_.quit;
    }
    // A restart brings the installation's start-up; the keyboard connects again.
    void restarted(const StartUp &up) override {
        s_.message = std::string("the device restarted: ") +
                     (up.driver ? "the keyboard driver loaded again" : "no keyboard driver") +
                     (up.notes ? ", Notes in front" : ", Notes did not start");
        s_.redraw = true;
        s_.kb.connect();
    }
    void suspended(emul::Device &) override { s_.redraw = true; }
    uint64_t wakeAt() override { return repeatEnds(s_); }
    // Besides the host's events and signals, which the kernel sees itself, only a journal
    // line (the tap's `changed`) makes `work` hold.
    emul::ChangeCounts changes() override { return s_.device.journal().records(); }
    // What the steps look at goes before the device ends.
    void ending() override {
        s_.device.watchHostFiles({}, nullptr);
        s_.runner.interrupted = nullptr;
        forgetTypedAhead();
        s_.kb.releaseAll();
    }

  private:
    Session &s_;
    Monitor &monitor_;
};

// What a replay must start from: this device's build, its registry where it differs from a
// new installation's (settings, hot keys, program names, keys made by tools or programs, with
// values or without) and its shortcuts (the Start menu, what the file dialog may offer).
void recordDevice(emul::Device &device, const std::string &build, SessionRecorder &recorder) {
    recorder.command(0, "driver " + build);
    auto fresh = emul::Registry::open("");
    installRegistry(*fresh);
    for (const std::string &line : regScenarioDiff(*fresh, device.registry()))
        recorder.command(0, line);
    recordShortcuts(device, u"", recorder);
    recorder.command(0, "boot");
}

void writeAll(int fd, const std::vector<uint8_t> &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += size_t(n);
    }
}

void startCurses() {
    std::setlocale(LC_ALL, "");
    initscr();
    raw();
    noecho();
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    set_escdelay(25);
    curs_set(0);
    mousemask(BUTTON1_CLICKED | BUTTON1_PRESSED, nullptr);
}

} // namespace

void installStartMenuShortcuts(emul::Device &device) {
    installStartMenu(device);
}

int runInteractive(const InteractiveOptions &options) {
    StateDir dir = stateDir(options.state);
    std::error_code ec;
    std::string build;
    if (!openStateFolder(dir, options.reset, options.build, &build))
        return 1;

    SessionRecorder recorder;
    if (!options.record.empty() && !recorder.open(options.record)) {
        std::fprintf(stderr, "handheld: cannot write %s: %s\n", options.record.c_str(),
                     std::strerror(errno));
        return 1;
    }
    RunnerOptions ropt;
    ropt.hive = dir.hive();
    ropt.state = dir.root();
    ropt.build = build;
    // A program that spins without calling the platform keeps this thread from running: a
    // signal still ends the session within a second.
    ropt.beforeSignalEnd = [] { endwin(); };
    RealTimeRunner rt(ropt);
    emul::Device &device = rt.device();
    emul::Kernel &k = device.kernel();
    ReadableJournal tap;
    emul::Subscription tapped(device.journal(), tap);
    device.journal().keepLast(0); // the screen keeps what it shows
    if (rt.fresh())
        installStartMenu(device);

    std::ofstream(dir.regChanges(), std::ios::trunc); // this run's changes only
    std::string error;
    LineWrapper wrap;
    if (recorder.active())
        wrap = [&](std::unique_ptr<emul::SerialLine> line) -> std::unique_ptr<emul::SerialLine> {
            return std::make_unique<RecordedLine>(std::move(line), recorder, k);
        };
    const std::string &linePath = rt.linePath();
    int kbFd = -1;
    if (rt.connectLine(&error, wrap)) {
        fs::remove(dir.irLine(), ec);
        fs::create_symlink(linePath, dir.irLine(), ec);
        if ((kbFd = openKeyboardLine(linePath, &error)) < 0)
            error = linePath + ": " + error;
    }
    if (kbFd < 0) {
        std::fprintf(stderr, "handheld: %s\n", error.c_str());
        return 1;
    }

    if (recorder.active())
        recordDevice(device, build, recorder);

    ScenarioRunner runner(device);
    KeyMap map(build);
    VirtualKeyboard kb(map, [kbFd](const std::vector<uint8_t> &bytes) { writeAll(kbFd, bytes); });
    HostKeyMapper driver(kb);
    Questions questions(recorder);
    Session screen{device, runner, kb, driver, recorder, tap, dir, linePath, build};

    // The installation's start-up: the driver, the shell's desktop and task bar, then Notes in
    // front, as a replay starts them; the keyboard connects.
    StartUp up = rt.start();
    if (!up.driver)
        tap.lines.push_back("the keyboard driver did not start");
    if (!up.notes)
        screen.message = "Notes did not start";
    for (const char *command : {"run explorer", "run notes"})
        recorder.command(k.now(), command);
    kb.connect();
    startCurses();

    Monitor monitor(device, dir.monitor());
    if (!monitor.listening())
        screen.message = monitor.error();
    InteractiveFrontEnd frontEnd(screen, monitor);
    runner.interrupted = [&frontEnd] {
        return frontEnd.input ? quitTyped() : RealTimeRunner::stopping();
    };
    runner.restarted = [&frontEnd](const StartUp &again) { frontEnd.restarted(again); };
    k.watch(0, [&](short revents) {
        frontEnd.input = true;
        if (revents & (POLLHUP | POLLERR | POLLNVAL)) {
            RealTimeRunner::requestStop(); // the terminal has gone
            k.unwatch(0);
        }
    });
    device.watchHostFiles({dir.hive(), dir.regChanges()}, [&] { screen.redraw = true; });
    rt.run(frontEnd);
    k.unwatch(0);
    runner.restarted = nullptr;
    endwin();
    recorder.close(k.now());
    fs::remove(dir.irLine(), ec);
    fs::remove(dir.regChanges(), ec);
    close(kbFd);
    return 0;
}

} // namespace handheld
