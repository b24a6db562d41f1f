// The device in a window. The window's thread is the device's first thread: it sleeps until the
// display has an event for it (the X connection is one of the device's watched descriptors),
// the screen was drawn on, the keyboard's link or settings changed, or a signal came; then it
// handles the events and sends the display only the rectangles that changed.
#include "frontends/window.h"

#include "frontends/keyboard_cmd.h"
#include "frontends/monitor.h"
#include "frontends/signals.h"
#include "frontends/state_dir.h"
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

#include <SDL_syswm.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace handheld {

namespace {

std::atomic<bool> stopRequested{false};
std::atomic<emul::Kernel *> signalled{nullptr};

void onSignal(int sig) {
    stopRequested = true;
    SignalDeadline::started(sig);
    if (emul::Kernel *k = signalled.load())
        k->wake();
}

// The state folder made and locked for this device, and the driver build it runs; false with
// the reason said.
bool openStateFolder(const InteractiveOptions &o, const StateDir &dir, std::string *build) {
    std::error_code ec;
    if (o.reset) {
        for (const std::string &p :
             {dir.hive(), dir.hive() + "-wal", dir.hive() + "-shm", dir.dir + "/driver-build"})
            fs::remove(p, ec);
        fs::remove_all(dir.root(), ec);
    }
    std::string problem;
    if (!makeStateDir(dir, &problem)) {
        std::fprintf(stderr, "handheld: %s\n", problem.c_str());
        return false;
    }
    // One device per state folder; the lock goes with the process.
    int lock = open((dir.dir + "/lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock < 0 || flock(lock, LOCK_EX | LOCK_NB) != 0) {
        std::fprintf(stderr, "handheld: a device is running from %s already\n", dir.dir.c_str());
        return false;
    }
    std::string installed;
    std::ifstream in(dir.dir + "/driver-build");
    std::getline(in, installed);
    if (!findDriverBuild(installed))
        installed = fs::exists(dir.hive()) ? kBaselineBuild.name : "";
    if (!o.build.empty() && !installed.empty() && o.build != installed) {
        std::fprintf(stderr,
                     "handheld: the device in %s has the %s driver; --build chooses the driver "
                     "of a new device: add --reset to start over with a %s device (its registry "
                     "and files are lost), or leave --build out\n",
                     dir.dir.c_str(), installed.c_str(), o.build.c_str());
        return false;
    }
    *build = !o.build.empty() ? o.build : !installed.empty() ? installed : kBaselineBuild.name;
    std::ofstream(dir.dir + "/driver-build") << *build << "\n";
    return true;
}

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
    Front(emul::Device &d, WindowView &v, VirtualKeyboard &k, KeyboardDriver &kd, Monitor &m,
          emul::SerialPort &p, std::string b)
        : device(d), view(v), kb(k), driver(kd), monitor(m), port(p), build(std::move(b)) {}
    emul::Device &device;
    WindowView &view;
    VirtualKeyboard &kb;
    KeyboardDriver &driver;
    Monitor &monitor;
    emul::SerialPort &port;
    std::string build;
    bool traceFrames = false;
    bool quit = false;
    bool input = true;      // the display has something for us
    bool settings = true;   // the hive was written: the status reads it again
    bool exposed = true;    // the whole window is sent again
    bool wholeFrame = true; // the whole screen is copied again
    bool skipText = false;  // the text of a key already typed with Alt
    bool penDown = false;
    bool linkShown = false, offShown = false;
    uint64_t drawn = ~uint64_t(0), frames = 0;
    uint64_t lookAgainAt = emul::kNever; // a key's text from an input method comes late
    std::vector<std::string> settingsLines;
};

std::optional<uint32_t> dwordValue(emul::Registry &reg, const char16_t *name) {
    return emul::regDwordOf(reg.getValue(NORVEL_DRIVER_KEY, name));
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
    std::string keys = f.driver.status();
    lines.push_back(keys.empty() ? "no key held" : keys);
    lines.insert(lines.end(), f.settingsLines.begin(), f.settingsLines.end());
    if (f.device.suspended())
        lines.push_back("device off (power key): a key or a click switches it on");
    // The host keys two to a line, each whole.
    std::string help = KeyboardDriver::helpLine(), pair;
    int n = 0;
    for (size_t at = 0; at != std::string::npos;) {
        size_t end = help.find("  ", at);
        pair += (n % 2 ? "   " : "") + help.substr(at, end == std::string::npos ? end : end - at);
        if (++n % 2 == 0 || end == std::string::npos) {
            lines.push_back(pair);
            pair.clear();
        }
        at = end == std::string::npos ? end : end + 2;
    }
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
    switch (k.sym) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        h.ch = 13;
        return h;
    case SDLK_TAB:
        h.ch = 9;
        return h;
    case SDLK_BACKSPACE:
        h.ch = 8;
        return h;
    case SDLK_ESCAPE:
        h.type = HostKey::Escape;
        return h;
    case SDLK_UP:
        h.type = HostKey::Up;
        return h;
    case SDLK_DOWN:
        h.type = HostKey::Down;
        return h;
    case SDLK_LEFT:
        h.type = HostKey::Left;
        return h;
    case SDLK_RIGHT:
        h.type = HostKey::Right;
        return h;
    case SDLK_HOME:
        h.type = HostKey::Home;
        return h;
    case SDLK_END:
        h.type = HostKey::End;
        return h;
    case SDLK_PAGEUP:
        h.type = HostKey::PageUp;
        return h;
    case SDLK_PAGEDOWN:
        h.type = HostKey::PageDown;
        return h;
    case SDLK_DELETE:
        h.type = HostKey::Delete;
        return h;
    default:
        break;
    }
    if (k.sym >= SDLK_F1 && k.sym <= SDLK_F12) {
        h.type = HostKey::Function;
        h.function = int(k.sym - SDLK_F1) + 1;
    } else if ((h.ctrl || h.alt) && k.sym >= 32 && k.sym < 127) {
        h.ch = char16_t(h.shift && k.sym >= 'a' && k.sym <= 'z' ? k.sym - 32 : k.sym);
    }
    return h;
}

void pen(Front &f, uint32_t flags, int x, int y) {
    SDL_Rect s = f.view.screenRect();
    int px = std::max(0, std::min(WindowView::kScreenW - 1, (x - s.x) / f.view.scale()));
    int py = std::max(0, std::min(WindowView::kScreenH - 1, (y - s.y) / f.view.scale()));
    // The middle of the pixel's share of the absolute range, so it maps back to that pixel.
    DWORD dx = DWORD((2 * px + 1) * 65536 / (2 * WindowView::kScreenW));
    DWORD dy = DWORD((2 * py + 1) * 65536 / (2 * WindowView::kScreenH));
    mouse_event(flags | MOUSEEVENTF_ABSOLUTE, dx, dy, 0, 0);
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

void keyDown(Front &f, const SDL_KeyboardEvent &e) {
    f.skipText = false;
    f.lookAgainAt = f.device.kernel().now() + 10;
    if (f.device.suspended()) {
        f.device.resume(); // the key wakes the device and types nothing
        f.skipText = true;
        return;
    }
    HostKey h = hostKeyOf(e.keysym);
    if (h.type == HostKey::Char && h.ch == 0)
        return; // its text follows
    f.driver.handle(h);
    // Alt with a letter also comes as text on some displays: typed once.
    f.skipText = h.type == HostKey::Char && h.alt;
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
        f.driver.handle(h);
    }
}

void handle(Front &f, const SDL_Event &e) {
    switch (e.type) {
    case SDL_QUIT:
        f.quit = true;
        break;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED)
            f.exposed = true;
        break;
    case SDL_KEYDOWN:
        keyDown(f, e.key);
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
            pen(f, MOUSEEVENTF_LEFTDOWN, p.x, p.y);
        }
        break;
    }
    case SDL_MOUSEMOTION:
        if (f.penDown)
            pen(f, MOUSEEVENTF_MOVE, e.motion.x, e.motion.y);
        break;
    case SDL_MOUSEBUTTONUP:
        if (e.button.button == SDL_BUTTON_LEFT && f.penDown) {
            f.penDown = false;
            pen(f, MOUSEEVENTF_LEFTUP, e.button.x, e.button.y);
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
    if (f.lookAgainAt <= f.device.kernel().now())
        f.lookAgainAt = emul::kNever;
    for (;;) {
        SDL_Event e;
        while (!f.quit && SDL_PollEvent(&e))
            handle(f, e);
        if (f.monitor.pending())
            f.monitor.serve();
        show(f);
        SDL_PumpEvents();
        if (f.quit || SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) <= 0)
            return;
    }
}

// The installation's files and programs; a new device's registry and Start menu too.
void installDevice(emul::Device &device, const std::string &build) {
    bool fresh = !device.registry().keyExists(NORVEL_DRIVER_KEY);
    InstallOptions inst;
    inst.withPort = false;
    inst.settings = fresh;
    inst.driverBuild = build;
    install(device, inst);
    if (fresh)
        installStartMenuShortcuts(device);
}

// The infrared line on a new pseudo-terminal, linked from the state folder for other programs;
// the built-in keyboard's end of it, or -1 with the reason said.
int connectLine(emul::SerialPort &port, const StateDir &dir) {
    std::string error, linePath;
    auto line = emul::openPtyLine(&linePath, &error);
    if (!line) {
        std::fprintf(stderr, "handheld: no pseudo-terminal for the infrared line: %s\n",
                     error.c_str());
        return -1;
    }
    port.connect(std::move(line));
    std::error_code ec;
    fs::remove(dir.irLine(), ec);
    fs::create_symlink(linePath, dir.irLine(), ec);
    int fd = openKeyboardLine(linePath, &error);
    if (fd < 0)
        std::fprintf(stderr, "handheld: %s: %s\n", linePath.c_str(), error.c_str());
    return fd;
}

} // namespace

bool displayAvailable() {
    const char *d = std::getenv("DISPLAY");
    return d && *d;
}

int runWindow(const WindowOptions &options, std::string *why) {
    // X11 also under a Wayland session: its connection is a descriptor the device can wait on.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
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
    if (!openStateFolder(options.device, dir, &build))
        return 1;

    emul::DeviceOptions dopt;
    dopt.realTime = true;
    dopt.hivePath = dir.hive();
    dopt.stateDir = dir.root();
    dopt.oneCore = true;
    SignalDeadline deadline;
    emul::Device device(dopt);
    installDevice(device, build);

    emul::SerialPort &port = device.serial().addPort(kInfraredPort, true);
    int kbFd = connectLine(port, dir);
    if (kbFd < 0)
        return 1;
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
    KeyboardDriver driver(kb);
    Monitor monitor(device, dir.monitor());
    if (!monitor.listening())
        std::fprintf(stderr, "handheld: %s\n", monitor.error().c_str());

    StartUp up = startUp(device);
    if (!up.driver)
        std::fprintf(stderr, "handheld: the keyboard driver did not start\n");
    kb.connect();

    Front f(device, *view, kb, driver, monitor, port, build);
    f.traceFrames = options.traceFrames;
    emul::Kernel &k = device.kernel();
    int xfd = displayFd(view->window());
    if (xfd >= 0)
        k.watch(xfd, [&f](short) { f.input = true; });
    device.watchHostFiles({dir.hive()}, [&f] { f.settings = true; });
    stopRequested = false;
    signalled = &k;
    auto oldInt = std::signal(SIGINT, onSignal);
    auto oldTerm = std::signal(SIGTERM, onSignal);
    auto oldHup = std::signal(SIGHUP, onSignal);
    SDL_StartTextInput();

    DeviceLoop loop;
    emul::Graphics &g = device.graphics();
    loop.work = [&] {
        return stopRequested.load() || f.input || f.settings || f.exposed || monitor.pending() ||
               g.drawCount() != f.drawn || port.isOpen() != f.linkShown ||
               device.suspended() != f.offShown;
    };
    loop.step = [&] {
        step(f);
        return !f.quit && !stopRequested;
    };
    // Without a descriptor to wait on, the display is looked at five times a second.
    loop.wakeAt = [&] { return xfd >= 0 ? f.lookAgainAt : k.now() + 200; };
    loop.suspended = [&] { f.input = true; };
    loop.restarted = [&](const StartUp &) {
        f.wholeFrame = true;
        kb.connect();
    };
    runDevice(device, loop);

    device.watchHostFiles({}, nullptr);
    if (xfd >= 0)
        k.unwatch(xfd);
    kb.releaseAll();
    device.closePrograms(1000);
    std::signal(SIGINT, oldInt);
    std::signal(SIGTERM, oldTerm);
    std::signal(SIGHUP, oldHup);
    signalled = nullptr;
    std::error_code ec;
    fs::remove(dir.irLine(), ec);
    close(kbFd);
    view.reset();
    SDL_Quit();
    return 0;
}

} // namespace handheld
