// The live device: Notes' note on standard output whenever it changes. Standard input is read by
// a host thread that only sets a flag and wakes the kernel; the note is looked at on the
// device's main thread.
#include "frontends/live.h"

#include "frontends/runner.h"

#include "emul/process.h"
#include "emul/serial.h"
#include "emul/text.h"
#include "emul/windows_sys.h"

#include <atomic>
#include <cstdio>
#include <iostream>
#include <thread>
#include <unistd.h>

namespace handheld {

namespace {

constexpr int kNotesEdit = 100; // the document of the platform's Notes program

struct InputState {
    std::atomic<bool> done{false};
    std::atomic<emul::Kernel *> kernel{nullptr};
};

class LiveFrontEnd : public FrontEnd {
  public:
    LiveFrontEnd(emul::Device &device, FILE *out, std::shared_ptr<emul::Program> notes,
                 std::shared_ptr<InputState> input)
        : device_(device), out_(out), notes_(std::move(notes)), input_(std::move(input)) {}

    // Nothing polls: the runner sleeps until the note changes, Notes ends, ^C or the end of
    // input; the note is looked at again only when the window system has changed.
    bool work() override {
        return first_ || input_->done || !device_.windows().textIs(noteEdit(), shown_) ||
               (notes_ && notes_->exited());
    }
    bool step() override {
        if (input_->done)
            return false;
        uintptr_t e = noteEdit();
        std::u16string text = e ? device_.windows().text(e) : std::u16string();
        if (first_ || text != shown_) {
            std::fprintf(out_, "notes: %s\n", emul::jsonQuote(emul::utf8(text)).c_str());
            std::fflush(out_);
            shown_ = text;
            first_ = false;
        }
        if (notes_ && notes_->exited()) {
            std::fprintf(out_, "notes: exited with code %u\n", notes_->exitCode());
            return false;
        }
        return true;
    }
    // A restart brings a new Notes with the note it saved.
    void restarted(const StartUp &up) override {
        std::fprintf(out_, "device restarted\n");
        notes_ = up.notes;
        edit_ = 0;
        first_ = true;
    }
    emul::ChangeCounts changes() override { return device_.windows().changes(); }

  private:
    // Looked up again only when the one found has gone. It runs inside the wake condition, so
    // it is the window system's view, which sends nothing.
    uintptr_t noteEdit() {
        const emul::WindowView &view = device_.windows().view();
        if (!edit_ || !view.isWindow(edit_))
            edit_ = view.findControl(notes_.get(), kNotesEdit);
        return edit_;
    }

    emul::Device &device_;
    FILE *out_;
    std::shared_ptr<emul::Program> notes_;
    std::shared_ptr<InputState> input_;
    uintptr_t edit_ = 0;
    std::u16string shown_;
    bool first_ = true;
};

} // namespace

int runLive(const LiveOptions &options) {
    RunnerOptions ropt;
    ropt.hive = options.hive;
    ropt.state = options.state;
    ropt.tty = options.tty;
    RealTimeRunner runner(ropt);
    emul::Device &device = runner.device();
    // Standard output holds the journal when it is on, and then it is the only sink: a line
    // costs its formatting alone.
    device.journal().keepLast(options.journal ? 0 : 256);
    if (options.journal)
        device.journal().tee(&std::cout);

    // With the journal on standard output, what is for people goes to standard error.
    FILE *human = options.journal ? stderr : stdout;
    std::string error;
    if (!runner.connectLine(&error)) {
        std::fprintf(stderr, "handheld: %s\n", error.c_str());
        return 1;
    }
    std::fprintf(human, "infrared line: %s\n", runner.linePath().c_str());
    std::fflush(human);

    StartUp up = runner.start();
    if (!up.driver)
        std::fprintf(stderr, "handheld: the keyboard driver did not start\n");
    if (!up.notes)
        std::fprintf(stderr, "handheld: Notes did not start\n");

    // End of input ends the session; the reader is left blocked in read() at exit, and wakes
    // a kernel only while there is one.
    auto input = std::make_shared<InputState>();
    emul::Kernel &k = device.kernel();
    input->kernel = &k;
    std::thread([input] {
        char buf[256];
        while (read(0, buf, sizeof buf) > 0) {
        }
        input->done = true;
        if (emul::Kernel *kernel = input->kernel.load())
            kernel->wake();
    }).detach();
    // The first note is shown once the device is ready for keys: Notes waits for input and
    // the driver has its port open (or has not opened it within a second: keyboard disabled).
    std::shared_ptr<emul::Program> notes = up.notes;
    emul::SerialPort &port = runner.port();
    k.block(
        [&] {
            return RealTimeRunner::stopping() || input->done ||
                   ((!notes || notes->exited() ||
                     device.windows().waitingForInput(notes->thread.get())) &&
                    port.isOpen());
        },
        k.now() + 1000);
    LiveFrontEnd frontEnd(device, human, notes, input);
    runner.run(frontEnd);
    input->kernel = nullptr;
    return 0;
}

} // namespace handheld
