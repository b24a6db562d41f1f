// The live device. The runner thread polls every 50 ms of real time: the window system is only
// touched while holding the baton, and stdin and SIGINT only set flags that the poll reads.
#include "frontends/live.h"

#include "frontends/signals.h"
#include "image/boot.h"
#include "image/install.h"

#include "norvel_reg.h"

#include "emul/devmgr.h"
#include "emul/process.h"
#include "emul/registry.h"
#include "emul/serial.h"
#include "emul/serial_line.h"
#include "emul/text.h"
#include "emul/windows_sys.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <thread>
#include <unistd.h>

namespace handheld {

namespace {

std::atomic<bool> liveStop{false};
std::atomic<emul::Kernel *> liveKernel{nullptr}; // woken by ^C and the end of input

void onInterrupt(int sig) {
    liveStop = true;
    SignalDeadline::started(sig);
    if (emul::Kernel *k = liveKernel.load())
        k->wake();
}

constexpr int kNotesEdit = 100; // the document of the platform's Notes program

} // namespace

int runLive(const LiveOptions &options) {
    emul::DeviceOptions dopt;
    dopt.realTime = true;
    dopt.hivePath = options.hive;
    dopt.stateDir = options.state;
    dopt.oneCore = true;
    TempFolderOnSignals cleanup;
    SignalDeadline deadline;
    emul::Device device(dopt);
    cleanup.watch(device);
    device.journal().keepLast(256); // a ring for the screen; the stream has the rest
    if (options.journal)
        device.journal().tee(&std::cout);

    InstallOptions inst;
    inst.withPort = false;
    inst.settings = !device.registry().keyExists(NORVEL_DRIVER_KEY);
    install(device, inst);

    emul::SerialPort &port = device.serial().addPort(handheld::kInfraredPort, true);
    // With the journal on standard output, what is for people goes to standard error.
    FILE *human = options.journal ? stderr : stdout;
    std::string error;
    if (options.tty.empty()) {
        std::string path;
        auto line = emul::openPtyLine(&path, &error);
        if (!line) {
            std::fprintf(stderr, "handheld: no pseudo-terminal for the infrared line: %s\n",
                         error.c_str());
            return 1;
        }
        port.connect(std::move(line));
        std::fprintf(human, "infrared line: %s\n", path.c_str());
    } else {
        auto line = emul::openTtyLine(options.tty, &error);
        if (!line) {
            std::fprintf(stderr, "handheld: %s: %s\n", options.tty.c_str(), error.c_str());
            return 1;
        }
        port.connect(std::move(line));
        std::fprintf(human, "infrared line: %s\n", options.tty.c_str());
    }
    std::fflush(human);

    StartUp up = startUp(device);
    if (!up.driver)
        std::fprintf(stderr, "handheld: the keyboard driver did not start\n");
    std::shared_ptr<emul::Program> notes = up.notes;
    if (!notes)
        std::fprintf(stderr, "handheld: Notes did not start\n");

    // End of input ends the session; the reader is left blocked in read() at exit.
    auto inputDone = std::make_shared<std::atomic<bool>>(false);
    std::thread([inputDone] {
        char buf[256];
        while (read(0, buf, sizeof buf) > 0) {
        }
        *inputDone = true;
        if (emul::Kernel *k = liveKernel.load())
            k->wake();
    }).detach();
    liveStop = false;
    // Ended by ^C, kill or a closed terminal: the device shuts down and cleans up as usual.
    auto previous = std::signal(SIGINT, onInterrupt);
    auto previousTerm = std::signal(SIGTERM, onInterrupt);
    auto previousHup = std::signal(SIGHUP, onInterrupt);

    emul::Kernel &k = device.kernel();
    liveKernel = &k;
    // The edit box is looked up again only when the one found has gone. The look-up runs
    // inside the wake condition below, so it is the window system's view, which sends nothing.
    uintptr_t edit = 0;
    const emul::Program *notesProgram = notes.get();
    auto noteEdit = [&device, &edit, notesProgram] {
        const emul::WindowView &view = device.windows().view();
        if (!edit || !view.isWindow(edit))
            edit = view.findControl(notesProgram, kNotesEdit);
        return edit;
    };
    auto noteText = [&device, &noteEdit] {
        uintptr_t e = noteEdit();
        return e ? device.windows().text(e) : std::u16string();
    };
    // The first note is shown once the device is ready for keys: Notes waits for input and
    // the driver has its port open (or has not opened it within a second: keyboard disabled).
    k.block(
        [&] {
            return liveStop || *inputDone ||
                   ((!notes || notes->exited() ||
                     device.windows().waitingForInput(notes->thread.get())) &&
                    port.isOpen());
        },
        k.now() + 1000);
    std::u16string shown;
    bool first = true;
    // Nothing polls: the loop sleeps until the note changes, Notes ends, ^C or the end of
    // input; the note is looked at again only when the window system has changed. A restart
    // brings a new Notes with the note it saved.
    DeviceLoop loop;
    loop.work = [&] {
        return first || liveStop || *inputDone || !device.windows().textIs(noteEdit(), shown) ||
               (notes && notes->exited());
    };
    loop.changes = [&device] { return &device.windows().changes(); };
    loop.step = [&] {
        if (liveStop || *inputDone)
            return false;
        std::u16string text = noteText();
        if (first || text != shown) {
            std::fprintf(human, "notes: %s\n", emul::jsonQuote(emul::utf8(text)).c_str());
            std::fflush(human);
            shown = text;
            first = false;
        }
        if (notes && notes->exited()) {
            std::fprintf(human, "notes: exited with code %u\n", notes->exitCode());
            return false;
        }
        return true;
    };
    loop.restarted = [&](const StartUp &again) {
        std::fprintf(human, "device restarted\n");
        notes = again.notes;
        edit = 0;
        first = true;
    };
    runDevice(device, loop);
    device.closePrograms(1000);
    liveKernel = nullptr;
    std::signal(SIGINT, previous);
    std::signal(SIGTERM, previousTerm);
    std::signal(SIGHUP, previousHup);
    return 0;
}

} // namespace handheld
