// The device in a window. The window's thread is the device's first thread: it sleeps until the
// display has an event for it (the X connection is one of the device's watched descriptors),
// the screen was drawn on, the keyboard's link or settings changed, or a signal came; then it
// handles the events and sends the display only the rectangles that changed.
#include "frontends/window.h"

#include "frontends/keyboard_cmd.h"
#include "frontends/monitor.h"
#include "frontends/questions.h"
#include "frontends/recorder.h"
#include "frontends/runner.h"
#include "frontends/state_dir.h"
#include "frontends/window_errors.h"
#include "frontends/window_view.h"
#include "image/boot.h"
#include "image/install.h"
#include "keyboard/host_keys.h"

#include <windows.h>

#include "norvel_reg.h"

#include "emul/graphics.h"
#include "emul/registry.h"
#include "emul/serial.h"
#include "emul/serial_line.h"
#include "emul/text.h"
#include "emul/windows_sys.h"

#include <SDL_syswm.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/socket.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace handheld {

namespace {

// The X connection's descriptor, which the device's host wait watches; -1 on another kind of
// display, which is then looked at on a short clock.
int displayFd(SDL_Window *window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return -1;
    return ConnectionNumber(info.info.x11.display);
}

struct Front {
    Front(emul::Device &d, WindowView &v, VirtualKeyboard &k, HostKeyMapper &kd, Monitor &m,
          emul::SerialPort &p, std::string b)
        : device(d), view(v), kb(k), driver(kd), monitor(m), port(p), build(std::move(b)) {}
    emul::Device &device;
    WindowView &view;
    VirtualKeyboard &kb;
    HostKeyMapper &driver;
    Monitor &monitor;
    emul::SerialPort &port;
    std::string build;
    bool traceFrames = false;
    bool quit = false;
    bool displayGone = false; // the X server went away: no more calls to it
    bool windowGone = false;  // another program destroyed the window
    int xfd = -1;
    bool input = true;      // the display has something for us
    bool settings = true;   // the hive was written: the status reads it again
    bool exposed = true;    // the whole window is sent again
    bool wholeFrame = true; // the whole screen is copied again
    bool skipText = false;  // the text of a key already typed with Alt
    bool penDown = false;
    SDL_Scancode textScancode = SDL_SCANCODE_UNKNOWN; // the key whose text comes next
    SDL_Scancode heldScancode = SDL_SCANCODE_UNKNOWN; // the key the keyboard holds down
    bool linkShown = false, offShown = false;
    uint64_t drawn = ~uint64_t(0), frames = 0;
    uint64_t lookAgainAt = emul::kNever; // a key's text from an input method comes late
    int heldKey = 0;                     // the key the keyboard holds down, and since when
    uint64_t heldSince = 0;
    std::vector<std::string> settingsLines;
};

std::optional<uint32_t> dwordValue(emul::Registry &reg, const char16_t *name) {
    return emul::regDwordOf(reg.getValue(NORVEL_DRIVER_KEY, name));
}

// The held key and what the driver makes of it: a repeat after "Delay Time", then every
// "Repeat Rate", which the driver ends 11 x "Repeat Rate" after the first repeat.
std::string keyStatus(Front &f) {
    uint64_t now = f.device.kernel().now();
    if (f.kb.heldKey() != f.heldKey) {
        f.heldKey = f.kb.heldKey();
        f.heldSince = now;
    }
    std::string keys = f.driver.status();
    if (keys.empty())
        return "no key held";
    if (!f.heldKey || keys.rfind("held: ", 0) != 0)
        return keys;
    auto delay = dwordValue(f.device.registry(), NORVEL_DELAY_TIME);
    auto rate = dwordValue(f.device.registry(), NORVEL_REPEAT_RATE);
    if (!delay || !rate)
        return keys;
    uint64_t held = now - f.heldSince, first = uint16_t(*delay), span = 11u * uint16_t(*rate);
    std::string phase = held <= first         ? ""
                        : held < first + span ? ", repeating"
                                              : ", repeat ended (11 repeats at most)";
    size_t end = keys.find("  ");
    return keys.insert(end == std::string::npos ? keys.size() : end, phase);
}

// When the held key's status changes by time alone: its repeat starts, and ends.
uint64_t repeatChanges(Front &f) {
    if (!f.heldKey)
        return emul::kNever;
    auto delay = dwordValue(f.device.registry(), NORVEL_DELAY_TIME);
    auto rate = dwordValue(f.device.registry(), NORVEL_REPEAT_RATE);
    if (!delay || !rate)
        return emul::kNever;
    uint64_t now = f.device.kernel().now(), start = f.heldSince + uint16_t(*delay) + 1;
    uint64_t end = start - 1 + 11u * uint16_t(*rate);
    return start > now ? start : end > now ? end : emul::kNever;
}

std::vector<std::string> statusLines(Front &f) {
    if (f.settings) {
        emul::Registry &reg = f.device.registry();
        auto en = dwordValue(reg, NORVEL_ENABLE_KEYBOARD);
        auto delay = dwordValue(reg, NORVEL_DELAY_TIME), rate = dwordValue(reg, NORVEL_REPEAT_RATE);
        auto num = [](std::optional<uint32_t> v) { return v ? std::to_string(*v) : "?"; };
        f.settingsLines = {std::string("Enable Keyboard ") + (en ? (*en ? "on" : "off") : "?"),
                           "delay " + num(delay) + " ms, rate " + num(rate) + " ms"};
        f.settings = false;
    }
    std::vector<std::string> lines;
    f.linkShown = f.port.isOpen();
    lines.push_back(std::string("keyboard link ") + (f.linkShown ? "up" : "down (port closed)"));
    lines.push_back("driver " + f.build);
    lines.push_back(keyStatus(f));
    lines.insert(lines.end(), f.settingsLines.begin(), f.settingsLines.end());
    if (f.device.suspended())
        lines.push_back("device off (power key): a key or a click switches it on");
    // The host keys in one block, which the panel wraps between keys.
    std::string help = HostKeyMapper::helpLine(), keys;
    for (size_t at = 0; at != std::string::npos;) {
        size_t end = help.find("  ", at);
        keys += (keys.empty() ? "" : "   ") +
                help.substr(at, end == std::string::npos ? end : end - at);
        at = end == std::string::npos ? end : end + 2;
    }
    lines.push_back(keys);
    lines.push_back("The mouse is the pen; closing the window ends the device.");
    return lines;
}

// A host key that types no text: Enter, Tab, Backspace, the arrows and their kin, the F-keys,
// and Ctrl or Alt with a key. `Char` with ch 0: none of these.
HostKey hostKeyOf(const SDL_Keysym &k) {
    HostKey h;
    h.shift = (k.mod & KMOD_SHIFT) != 0;
    h.ctrl = (k.mod & KMOD_CTRL) != 0;
    h.alt = (k.mod & KMOD_ALT) != 0;
    static const struct {
        SDL_Keycode sym;
        HostKey::Type type;
        char16_t ch;
    } kKeys[] = {{SDLK_RETURN, HostKey::Char, 13},      {SDLK_KP_ENTER, HostKey::Char, 13},
                 {SDLK_TAB, HostKey::Char, 9},          {SDLK_BACKSPACE, HostKey::Char, 8},
                 {SDLK_ESCAPE, HostKey::Escape, 0},     {SDLK_UP, HostKey::Up, 0},
                 {SDLK_DOWN, HostKey::Down, 0},         {SDLK_LEFT, HostKey::Left, 0},
                 {SDLK_RIGHT, HostKey::Right, 0},       {SDLK_HOME, HostKey::Home, 0},
                 {SDLK_END, HostKey::End, 0},           {SDLK_PAGEUP, HostKey::PageUp, 0},
                 {SDLK_PAGEDOWN, HostKey::PageDown, 0}, {SDLK_DELETE, HostKey::Delete, 0}};
    for (const auto &key : kKeys)
        if (key.sym == k.sym) {
            h.type = key.type;
            h.ch = key.ch;
            return h;
        }
    if (k.sym >= SDLK_F1 && k.sym <= SDLK_F12) {
        h.type = HostKey::Function;
        h.function = int(k.sym - SDLK_F1) + 1;
    } else if ((h.ctrl || h.alt) && k.sym >= 32 && k.sym < 127) {
        h.ch = char16_t(h.shift && k.sym >= 'a' && k.sym <= 'z' ? k.sym - 32 : k.sym);
    }
    return h;
}

// The pen at the device pixel under the mouse; off the screen, its nearest edge.
void pen(Front &f, emul::WindowSystem::Pen what, int x, int y) {
    SDL_Rect s = f.view.screenRect();
    int px = (x - s.x) / f.view.scale(), py = (y - s.y) / f.view.scale();
    f.device.windows().pen(what, x < s.x ? -1 : px, y < s.y ? -1 : py);
}

void press(Front &f, Button b) {
    if (b == Button::Power) {
        if (f.device.suspended()) {
            f.device.resume();
            return;
        }
        keybd_event(VK_OFF, 0, 0, 0);
        keybd_event(VK_OFF, 0, KEYEVENTF_KEYUP, 0);
        return;
    }
    static const std::pair<Button, int> fkeys[] = {
        {Button::Connect, kFnConnect}, {Button::Fn, kFnFn},     {Button::Cmd, kFnCmd},
        {Button::Symbol, kFnSymbol},   {Button::Caps, kFnCaps}, {Button::Hold, kFnHold},
        {Button::Pen, kFnPen}};
    for (const auto &[button, function] : fkeys)
        if (button == b) {
            HostKey h;
            h.type = HostKey::Function;
            h.function = function;
            f.driver.handle(h);
        }
}

// A host key held down holds the keyboard's key down, so the driver repeats it as the device
// does (its delay, its rate, its limit); the host's own repeats are dropped. A key held with F2
// first stays down until F2 again, as on the terminal.
void holdKey(Front &f, const HostKey &h, SDL_Scancode scancode) {
    HostKey f2;
    f2.type = HostKey::Function;
    f2.function = kFnHold;
    bool manual = f.driver.holdArmed();
    if (!manual) {
        if (f.kb.heldKey())
            f.driver.handle(f2); // the key held before comes up
        f.driver.handle(f2);
    }
    f.driver.handle(h);
    if (f.driver.holdArmed())
        f.driver.handle(f2); // no key took the hold
    f.heldScancode = !manual && f.kb.heldKey() ? scancode : SDL_SCANCODE_UNKNOWN;
}

void releaseKey(Front &f) {
    if (f.heldScancode != SDL_SCANCODE_UNKNOWN && f.kb.heldKey())
        f.kb.releaseHeld();
    f.heldScancode = SDL_SCANCODE_UNKNOWN;
}

void keyDown(Front &f, const SDL_KeyboardEvent &e) {
    f.skipText = false;
    f.textScancode = SDL_SCANCODE_UNKNOWN;
    f.lookAgainAt = f.device.kernel().now() + 10;
    if (e.repeat) {
        f.skipText = true; // the host's repeat: the driver repeats the key itself
        return;
    }
    if (f.device.suspended()) {
        f.device.resume(); // the key wakes the device and types nothing
        f.skipText = true;
        return;
    }
    HostKey h = hostKeyOf(e.keysym);
    if (h.type == HostKey::Char && h.ch == 0) {
        f.textScancode = e.keysym.scancode; // its text follows
        return;
    }
    if (h.type == HostKey::Function)
        f.driver.handle(h);
    else
        holdKey(f, h, e.keysym.scancode);
    // Alt with a letter also comes as text on some displays: typed once.
    f.skipText = h.type == HostKey::Char && h.alt;
}

void keyUp(Front &f, const SDL_KeyboardEvent &e) {
    if (e.keysym.scancode == f.heldScancode)
        releaseKey(f);
}

void text(Front &f, const char *utf8) {
    if (f.skipText) {
        f.skipText = false;
        return;
    }
    std::u16string typed = emul::utf16(utf8);
    for (char16_t c : typed) {
        HostKey h;
        h.ch = c;
        // One key's text is held with it; text from an input method is typed.
        if (f.textScancode != SDL_SCANCODE_UNKNOWN && typed.size() == 1)
            holdKey(f, h, f.textScancode);
        else
            f.driver.handle(h);
    }
    f.textScancode = SDL_SCANCODE_UNKNOWN;
}

void handle(Front &f, const SDL_Event &e) {
    switch (e.type) {
    case SDL_QUIT:
        f.quit = true;
        break;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED)
            f.exposed = true;
        else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
            releaseKey(f); // its key-up goes elsewhere
        break;
    case SDL_KEYDOWN:
        keyDown(f, e.key);
        break;
    case SDL_KEYUP:
        keyUp(f, e.key);
        break;
    case SDL_TEXTINPUT:
        text(f, e.text.text);
        break;
    case SDL_MOUSEBUTTONDOWN: {
        if (e.button.button != SDL_BUTTON_LEFT)
            break;
        SDL_Point p{e.button.x, e.button.y};
        SDL_Rect s = f.view.screenRect();
        if (!SDL_PointInRect(&p, &s)) {
            press(f, f.view.buttonAt(p.x, p.y));
        } else if (f.device.suspended()) {
            f.device.resume();
        } else {
            f.penDown = true;
            pen(f, emul::WindowSystem::Pen::Down, p.x, p.y);
        }
        break;
    }
    case SDL_MOUSEMOTION:
        if (f.penDown)
            pen(f, emul::WindowSystem::Pen::Move, e.motion.x, e.motion.y);
        break;
    case SDL_MOUSEBUTTONUP:
        if (e.button.button == SDL_BUTTON_LEFT && f.penDown) {
            f.penDown = false;
            pen(f, emul::WindowSystem::Pen::Up, e.button.x, e.button.y);
        }
        break;
    }
}

// Sends the display what changed: the screen's damage, the status, a window uncovered.
void show(Front &f) {
    emul::Graphics &g = f.device.graphics();
    bool off = f.device.suspended();
    emul::WindowDcSource::Rect d = g.takeDamage();
    f.drawn = g.drawCount();
    bool frame = false;
    if (off && !f.offShown) {
        f.view.screenOff("The device is off. A key or a click switches it on.");
        frame = true;
    } else if (!off && (f.wholeFrame || f.offShown)) {
        f.view.screen(g.frame(), 0, 0, WindowView::kScreenW, WindowView::kScreenH);
        frame = true;
    } else if (!off && d.right > d.left && d.bottom > d.top) {
        f.view.screen(g.frame(), d.left, d.top, d.right, d.bottom);
        frame = true;
    }
    f.offShown = off;
    f.wholeFrame = false;
    f.view.status(statusLines(f));
    std::vector<Button> lit;
    for (auto [button, function] :
         {std::pair{Button::Fn, kFnFn}, {Button::Cmd, kFnCmd}, {Button::Symbol, kFnSymbol}})
        if (f.driver.latched(function))
            lit.push_back(button);
    if (f.kb.capsLock())
        lit.push_back(Button::Caps);
    if (f.driver.holdArmed() || (f.kb.heldKey() && f.heldScancode == SDL_SCANCODE_UNKNOWN))
        lit.push_back(Button::Hold);
    f.view.lit(lit);
    f.view.present(f.exposed);
    f.exposed = false;
    if (frame && f.traceFrames) {
        std::printf("frame %llu\n", static_cast<unsigned long long>(++f.frames));
        std::fflush(stdout);
    }
}

// One step: every event the display has, the monitor's requests, then what changed shown.
// Showing can read the display's queue too, so the events are looked at again until none.
void step(Front &f) {
    f.input = false;
    // Xlib ends the process on a dead connection: the device ends first, as when its window
    // closes, so the programs keep their documents.
    char c;
    if (f.xfd >= 0 && recv(f.xfd, &c, 1, MSG_PEEK | MSG_DONTWAIT) == 0) {
        f.displayGone = f.quit = true;
        return;
    }
    if (f.lookAgainAt <= f.device.kernel().now())
        f.lookAgainAt = emul::kNever;
    for (;;) {
        SDL_Event e;
        while (!f.quit && SDL_PollEvent(&e))
            handle(f, e);
        // Its window destroyed by another program, the device ends as when the window closes.
        if (windowDestroyed()) {
            f.windowGone = f.quit = true;
            return;
        }
        if (f.monitor.pending())
            f.monitor.serve();
        show(f);
        SDL_PumpEvents();
        if (f.quit || SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) <= 0)
            return;
    }
}

// The window's part in the device's run: the device wakes it for the display's events and for
// what the window shows.
class WindowFrontEnd : public FrontEnd {
  public:
    WindowFrontEnd(Front &f, int xfd) : f_(f), xfd_(xfd) {}
    bool work() override {
        emul::Device &d = f_.device;
        return f_.input || f_.settings || f_.exposed || f_.monitor.pending() ||
               d.graphics().drawCount() != f_.drawn || f_.port.isOpen() != f_.linkShown ||
               d.suspended() != f_.offShown;
    }
    bool step() override {
        handheld::step(f_);
        return !f_.quit;
    }
    void restarted(const StartUp &) override {
        f_.wholeFrame = true;
        f_.kb.connect();
    }
    // Off until a key or a click; the screen says so.
    void suspended(emul::Device &) override { f_.input = true; }
    // Without a descriptor to wait on, the display is looked at five times a second.
    uint64_t wakeAt() override {
        if (xfd_ < 0)
            return f_.device.kernel().now() + 200;
        return std::min(f_.lookAgainAt, repeatChanges(f_));
    }
    // Besides the host's events and signals, which the kernel sees itself, what `work` looks at
    // moves with a drawing or the port's opening or closing; the power state changes only here.
    emul::ChangeCounts changes() override {
        return {f_.device.graphics().draws(), f_.port.openings()};
    }
    void ending() override {
        f_.device.watchHostFiles({}, nullptr);
        if (xfd_ >= 0)
            f_.device.kernel().unwatch(xfd_);
        f_.kb.releaseAll();
    }

  private:
    Front &f_;
    int xfd_;
};

} // namespace

bool displayAvailable() {
    const char *d = std::getenv("DISPLAY");
    return d && *d;
}

int runWindow(const WindowOptions &options, std::string *why) {
    // X11 also under a Wayland session: its connection is a descriptor the device can wait on.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The window's own surface sent to the display as it is (shared memory where there is
    // some), never through a GL texture: only the changed rectangles travel.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        *why = SDL_GetError();
        return kNoWindow;
    }
    StateDir dir = stateDir(options.device.state);
    std::unique_ptr<WindowView> view = WindowView::open(options.scale, "handheld  " + dir.dir, why);
    if (!view) {
        SDL_Quit();
        return kNoWindow;
    }
    std::string build;
    if (!openStateFolder(dir, options.device.reset, options.device.build, &build))
        return 1;
    RunnerOptions ropt;
    ropt.hive = dir.hive();
    ropt.state = dir.root();
    ropt.build = build;
    RealTimeRunner rt(ropt);
    emul::Device &device = rt.device();
    device.journal().keepLast(0); // nothing here reads it: a long session stays flat
    if (rt.fresh())
        installStartMenuShortcuts(device);
    std::string error;
    if (!rt.connectLine(&error)) {
        std::fprintf(stderr, "handheld: %s\n", error.c_str());
        return 1;
    }
    std::error_code ec;
    fs::remove(dir.irLine(), ec);
    fs::create_symlink(rt.linePath(), dir.irLine(), ec);
    int kbFd = openKeyboardLine(rt.linePath(), &error);
    if (kbFd < 0) {
        std::fprintf(stderr, "handheld: %s: %s\n", rt.linePath().c_str(), error.c_str());
        return 1;
    }
    KeyMap map(build);
    VirtualKeyboard kb(map, [kbFd](const std::vector<uint8_t> &bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = write(kbFd, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                break;
            done += size_t(n);
        }
    });
    HostKeyMapper driver(kb);
    Monitor monitor(device, dir.monitor());
    if (!monitor.listening())
        std::fprintf(stderr, "handheld: %s\n", monitor.error().c_str());
    StartUp up = rt.start();
    if (!up.driver)
        std::fprintf(stderr, "handheld: the keyboard driver did not start\n");
    kb.connect();

    // Message boxes and file dialogs stay up for the pen and the keys.
    SessionRecorder noRecording;
    Questions questions(noRecording);
    Front f(device, *view, kb, driver, monitor, rt.port(), build);
    f.traceFrames = options.traceFrames;
    int xfd = displayFd(view->window());
    f.xfd = xfd;
    watchWindowErrors(view->window());
    if (xfd >= 0)
        device.kernel().watch(xfd, [&f](short) { f.input = true; });
    device.watchHostFiles({dir.hive()}, [&f] { f.settings = true; });
    SDL_StartTextInput();
    WindowFrontEnd frontEnd(f, xfd);
    rt.run(frontEnd);

    fs::remove(dir.irLine(), ec);
    close(kbFd);
    if (f.displayGone) {
        std::fprintf(stderr, "handheld: the display went away; the device ended as when its "
                             "window closes\n");
        view->forgetWindow();
        return 1;
    }
    if (f.windowGone) {
        std::fprintf(stderr, "handheld: another program destroyed the window; the device ended as "
                             "when its window closes\n");
        // SDL would destroy it again on the way out, which the display refuses.
        view->forgetWindow();
        return 0;
    }
    view.reset();
    SDL_Quit();
    return 0;
}

} // namespace handheld
