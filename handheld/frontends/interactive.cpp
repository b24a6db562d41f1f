// The interactive device. The runner thread owns the terminal: it lets the device run until
// something happens (a key, a journal line, a write to the hive), then reads the host keys and
// redraws the screen.
#include "frontends/interactive.h"

#include "frontends/journal_view.h"
#include "frontends/keyboard_cmd.h"
#include "frontends/questions.h"
#include "frontends/recorder.h"
#include "frontends/reg_cmd.h"
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

const std::u16string kDriverKey = NORVEL_DRIVER_KEY;
// The device's pixels in cells of 8 x 16.
constexpr int kScreenCols = emul::screen::kWidth / 8, kScreenRows = emul::screen::kHeight / 16;
constexpr int kTaskBarRows = 1; // questions stand in the work area, below the task bar

std::atomic<bool> stopRequested{false};
std::atomic<emul::Kernel *> signalled{nullptr}; // the device a signal wakes

void onSignal(int sig) {
    stopRequested = true;
    SignalDeadline::started(sig);
    if (emul::Kernel *k = signalled.load())
        k->wake();
}

// Keys read while a command waits for the device, to see a ^] meanwhile; the next step
// handles the rest in order.
std::deque<std::pair<int, wint_t>> typedAhead;

int nextKey(wint_t *c) {
    if (typedAhead.empty())
        return get_wch(c);
    int r = typedAhead.front().first;
    *c = typedAhead.front().second;
    typedAhead.pop_front();
    return r;
}

// Whether the person asked to end: a signal, or ^] typed while a command waits.
bool quitTyped() {
    wint_t c;
    int r;
    while (!stopRequested && (r = get_wch(&c)) != ERR) {
        if (r == OK && c == 0x1D)
            stopRequested = true;
        else
            typedAhead.emplace_back(r, c);
    }
    return stopRequested;
}

// The platform's programs on the Start menu: shortcut name and command line.
struct StartEntry {
    const char *name, *command;
};
const StartEntry kStartMenu[] = {
    {"Notes", "Notes.exe"},
    {"Keyboard", "kbsettings.exe"},
    {"Mail", "tmail.exe"},
    {"Contacts", "poutlook.exe contacts"},
    {"Calendar", "poutlook.exe calendar"},
    {"Tasks", "tasks.exe"},
    {"Word", "pword.exe"},
    {"Spreadsheet", "pxl.exe"},
    {"Calculator", "calc.exe"},
    {"Clock", "clock.exe"},
    {"Internet Explorer", "iexplore.exe"},
    {"File Explorer", "fexplore.exe"},
    {"Media Player", "player.exe"},
};

// A new device's Start menu, as an installer leaves it: one shortcut per program.
void installStartMenu(emul::Device &device) {
    for (const StartEntry &e : kStartMenu) {
        std::string cmd = e.command;
        device.files().writeFile(u"\\Windows\\Start Menu\\Programs\\" + emul::utf16(e.name) +
                                     u".lnk",
                                 std::to_string(cmd.size()) + "#" + cmd + "\r\n");
    }
}

std::optional<uint32_t> dwordValue(emul::Registry &reg, const char16_t *name) {
    return emul::regDwordOf(reg.getValue(kDriverKey, name));
}

// One control of the foreground program that the user can act on.
struct Control {
    HWND hwnd;
    int id;
    emul::harness::ControlState state;
    RECT rect;
};

struct Screen {
    emul::Device &device;
    Questions &questions;
    ScenarioRunner &runner;
    VirtualKeyboard &kb;
    KeyboardDriver &driver;
    SessionRecorder &recorder;
    ReadableJournal &tap;
    StateDir dir;
    std::string linePath;
    bool menu = false;   // the screen's controls have the keys, not the device
    size_t selected = 0; // in menu mode: the control the user is at
    std::string message; // the last thing the screen has to say
    std::vector<Control> controls;
    int originX = 1, originY = 2; // where the device's screen starts on the terminal
    bool quit = false;            // the session ends
    bool redraw = true; // draw at the next step even with no key or journal line (at the start,
                        // after another process wrote the hive)
    std::streamoff regChangesDone = 0; // how much of the registry changes file is recorded
    bool questionShown = false;        // whether the last drawing had a question on it
    std::string build{};               // the driver build the device runs
    int heldKey = 0;                   // the key the keyboard holds down, and since when
    uint64_t heldSince = 0;
};

// What the driver makes of a held key: it repeats after "Delay Time", then every "Repeat Rate",
// and stops by itself 11 x "Repeat Rate" after the first repeat.
std::string repeatPhase(Screen &s) {
    uint64_t now = s.device.kernel().now();
    if (s.kb.heldKey() != s.heldKey) {
        s.heldKey = s.kb.heldKey();
        s.heldSince = now;
    }
    if (!s.heldKey)
        return "";
    auto delay = dwordValue(s.device.registry(), NORVEL_DELAY_TIME);
    auto rate = dwordValue(s.device.registry(), NORVEL_REPEAT_RATE);
    if (!delay || !rate)
        return "";
    uint64_t held = now - s.heldSince, first = uint16_t(*delay), span = 11u * uint16_t(*rate);
    if (held <= first)
        return "";
    if (held < first + span)
        return ", repeating";
    return ", repeat ended (the driver repeats a key for 11 x " + std::to_string(*rate) + " ms)";
}

// When the status of a held key changes by time alone: its repeat's end.
uint64_t repeatEnds(Screen &s) {
    auto delay = dwordValue(s.device.registry(), NORVEL_DELAY_TIME);
    auto rate = dwordValue(s.device.registry(), NORVEL_REPEAT_RATE);
    if (!s.heldKey || !delay || !rate)
        return emul::kNever;
    uint64_t end = s.heldSince + uint16_t(*delay) + 11u * uint16_t(*rate);
    return end > s.device.kernel().now() ? end : emul::kNever;
}

std::string classOf(const emul::harness::ControlState &st) {
    return emul::utf8(emul::foldCase(emul::utf16(st.className)));
}

bool actionable(const emul::harness::ControlState &st) {
    std::string cls = classOf(st);
    return st.checked || st.pos || st.items || cls == "button" || cls == "systabcontrol32" ||
           cls == "edit" || cls == "richink";
}

void collect(Screen &s, HWND parent, std::vector<Control> &out) {
    for (HWND w = GetWindow(parent, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (!IsWindowVisible(w))
            continue;
        auto st = emul::harness::controlState(reinterpret_cast<uintptr_t>(w));
        if (st && st->id && actionable(*st)) {
            RECT r{};
            GetWindowRect(w, &r); // screen coordinates, children included
            out.push_back(Control{w, st->id, *st, r});
        }
        collect(s, w, out);
    }
}

// A label as people read it: "&Enable" underlines the E on the device; "&&" is one "&".
std::string label(const std::string &text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size())
            ++i;
        out += text[i];
    }
    return out;
}

void put(int y, int x, const std::string &utf8Text, int maxCols) {
    if (maxCols <= 0)
        return;
    std::u16string t = emul::utf16(utf8Text);
    if (int(t.size()) > maxCols)
        t.resize(size_t(maxCols));
    mvaddstr(y, x, emul::utf8(t).c_str());
}

std::string controlText(const emul::harness::ControlState &st) {
    std::string cls = classOf(st);
    if (st.checked)
        return std::string(*st.checked ? "[x] " : "[ ] ") + st.text;
    if (st.pos && st.min && st.max) {
        int span = std::max(1, *st.max - *st.min);
        int at = (*st.pos - *st.min) * 8 / span;
        std::string bar = "[" + std::string(size_t(at), '-') + "|" +
                          std::string(size_t(8 - at), '-') + "] " + std::to_string(*st.pos);
        return bar;
    }
    if (st.items) {
        if (cls == "systabcontrol32") {
            std::string t;
            for (auto &i : *st.items)
                t += (st.selected && *st.selected == i ? "<" + i + ">" : " " + i + " ");
            return t;
        }
        return "[" + (st.selected ? *st.selected : std::string()) + " v]";
    }
    if (cls == "button")
        return "[ " + st.text + " ]";
    return st.text;
}

// How many cells a label at `r` may fill: up to the nearest window beside it on its first row,
// or to its parent's right edge.
int freeCellsRight(HWND w, const RECT &r) {
    HWND parent = GetParent(w);
    RECT limit{0, 0, emul::screen::kWidth, emul::screen::kHeight};
    if (parent)
        GetWindowRect(parent, &limit);
    LONG edge = limit.right;
    for (HWND c = parent ? GetWindow(parent, GW_CHILD) : nullptr; c;
         c = GetWindow(c, GW_HWNDNEXT)) {
        RECT rc{};
        if (c == w || !IsWindowVisible(c) || !GetWindowRect(c, &rc))
            continue;
        if (rc.left >= r.left + 8 && rc.top < r.top + 16 && rc.bottom > r.top)
            edge = std::min(edge, rc.left);
    }
    return std::max(0, std::min(int(edge - r.left) / 8, kScreenCols - int(r.left) / 8));
}

// Draws one window and its children, each at its place on the device's screen.
void drawWindow(Screen &s, HWND w, bool top, const std::vector<Control> &controls) {
    RECT r{};
    GetWindowRect(w, &r);
    int x0 = s.originX + r.left / 8, y0 = s.originY + r.top / 16;
    int cols = std::max(1, int(r.right - r.left) / 8),
        rows = std::max(1, int(r.bottom - r.top) / 16);
    cols = std::min(cols, kScreenCols - r.left / 8);
    rows = std::min(rows, kScreenRows - r.top / 16);
    auto st = emul::harness::controlState(reinterpret_cast<uintptr_t>(w));
    std::string cls = st ? classOf(*st) : "";
    bool isSelected = s.menu && s.selected < s.controls.size() && s.controls[s.selected].hwnd == w;
    if (top) {
        for (int y = 0; y < rows; ++y)
            mvhline(y0 + y, x0, ' ', cols);
    } else if (st && (cls == "static" || cls == "button" || cls == "edit" || cls == "richink" ||
                      st->pos || st->items)) {
        std::string text = cls == "edit" || cls == "richink" ? st->text : label(controlText(*st));
        if (isSelected)
            attron(A_REVERSE);
        // Text boxes wrap their text inside their rectangle; other controls take one line.
        if (cls == "edit" || cls == "richink") {
            if (isSelected) // the whole box, so an empty one shows too
                for (int y = 0; y < rows; ++y)
                    mvhline(y0 + y, x0, ' ', cols);
            std::u16string all = emul::utf16(text), line;
            int y = 0;
            auto flush = [&] {
                if (y < rows)
                    put(y0 + y, x0, emul::utf8(line), cols);
                ++y;
                line.clear();
            };
            for (char16_t c : all) {
                if (c == u'\r')
                    continue;
                if (c == u'\n') {
                    flush();
                    continue;
                }
                line += c == u'\t' ? u' ' : c;
                if (int(line.size()) >= cols)
                    flush();
            }
            if (y < rows && w == reinterpret_cast<HWND>(s.device.windows().focus()))
                line += u'_';
            flush();
        } else if (cls == "systabcontrol32" && (GetWindowLongW(w, GWL_STYLE) & TCS_BOTTOM)) {
            put(y0 + rows - 1, x0, text, cols); // the tabs along the bottom edge
        } else if (!text.empty()) {
            // A label takes the cell its last letters reach into; a right-aligned one ends there.
            int width = std::min(int(r.right - r.left + 7) / 8, kScreenCols - r.left / 8);
            int len = int(emul::utf16(text).size());
            bool pushButton = cls == "button" && !st->checked;
            bool right = cls == "static" && (GetWindowLongW(w, GWL_STYLE) & 0x1F) == SS_RIGHT;
            if (pushButton && len > width && text.size() > 4) {
                text = "[" + text.substr(2, text.size() - 4) + "]"; // "[ Help ]" in 7 cells
            } else if (right && len < width) {
                text = std::string(size_t(width - len), ' ') + text;
            } else if (!pushButton && !right && len > width) {
                // Cells are wider than the device's letters: a left-aligned label runs on into
                // free cells to its right, and down its rectangle's rows.
                width = std::max(width, freeCellsRight(w, r));
                int lines = std::max(1, int(r.bottom - r.top + 8) / 16);
                std::u16string all = emul::utf16(text);
                for (int line = 0; line < lines && !all.empty(); ++line) {
                    // Whole words on each line but the last, which is cut like any label.
                    size_t cut = all.size() <= size_t(width) || line == lines - 1
                                     ? all.size()
                                     : all.find_last_of(u' ', size_t(width));
                    if (cut == std::u16string::npos || cut == 0) {
                        if (line == 0)
                            put(y0, x0, emul::utf8(all), width);
                        break;
                    }
                    put(y0 + line, x0, emul::utf8(all.substr(0, cut)), width);
                    all = all.substr(std::min(all.size(), cut + 1));
                }
                text.clear();
            }
            if (!text.empty())
                put(y0, x0, text, width);
        }
        if (isSelected)
            attroff(A_REVERSE);
    }
    (void)controls;
    // Children in reverse order: the first child is on top.
    std::vector<HWND> kids;
    for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (IsWindowVisible(c))
            kids.push_back(c);
    for (auto it = kids.rbegin(); it != kids.rend(); ++it)
        drawWindow(s, *it, false, controls);
}

std::string settingsLine(emul::Registry &reg) {
    auto en = dwordValue(reg, NORVEL_ENABLE_KEYBOARD);
    auto delay = dwordValue(reg, NORVEL_DELAY_TIME);
    auto rate = dwordValue(reg, NORVEL_REPEAT_RATE);
    auto num = [](std::optional<uint32_t> v) { return v ? std::to_string(*v) : std::string("?"); };
    return std::string("Enable Keyboard ") + (en ? (*en ? "on" : "off") : "?") + "  delay " +
           num(delay) + " ms  rate " + num(rate) + " ms";
}

void draw(Screen &s) {
    erase();
    int W = COLS, H = LINES;
    HWND desktop = GetDesktopWindow();
    uintptr_t fg = s.device.windows().foreground();
    // The desktop in front (Fn with the fourth application key) is what the shell shows of it:
    // its desktop window. The task bar stays above every program's window.
    HWND taskBar = nullptr;
    for (HWND w = GetWindow(desktop, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        WCHAR cls[32] = {0};
        GetClassNameW(w, cls, 32);
        if (std::u16string(cls) == u"DesktopExplorerWindow" &&
            fg == reinterpret_cast<uintptr_t>(desktop))
            fg = reinterpret_cast<uintptr_t>(w);
        else if (std::u16string(cls) == u"HHTaskBar")
            taskBar = w;
    }
    std::string title = fg ? emul::utf8(s.device.windows().text(fg)) : "";
    attron(A_BOLD);
    put(0, 0, "handheld  " + s.dir.dir + "  line " + s.linePath, W);
    attroff(A_BOLD);
    // The device's screen in a frame, the foreground window's title in the top edge.
    mvaddch(s.originY - 1, s.originX - 1, ACS_ULCORNER);
    mvhline(s.originY - 1, s.originX, ACS_HLINE, kScreenCols);
    mvaddch(s.originY - 1, s.originX + kScreenCols, ACS_URCORNER);
    put(s.originY - 1, s.originX + 1, " " + title + " ", kScreenCols - 2);
    for (int y = 0; y < kScreenRows; ++y) {
        mvaddch(s.originY + y, s.originX - 1, ACS_VLINE);
        mvaddch(s.originY + y, s.originX + kScreenCols, ACS_VLINE);
    }
    mvaddch(s.originY + kScreenRows, s.originX - 1, ACS_LLCORNER);
    mvhline(s.originY + kScreenRows, s.originX, ACS_HLINE, kScreenCols);
    mvaddch(s.originY + kScreenRows, s.originX + kScreenCols, ACS_LRCORNER);

    // Top-level windows from the bottom up; the foreground window on top of them, and the
    // windows it owns (its property sheet, its menu bar) on top of it.
    auto ownedByForeground = [&](HWND w) {
        for (HWND p = GetParent(w); p; p = GetParent(p))
            if (reinterpret_cast<uintptr_t>(p) == fg)
                return true;
        return false;
    };
    std::vector<HWND> below, owned;
    for (HWND w = GetWindow(desktop, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (!IsWindowVisible(w) || reinterpret_cast<uintptr_t>(w) == fg || w == taskBar)
            continue;
        (fg && ownedByForeground(w) ? owned : below).push_back(w);
    }
    s.controls.clear();
    if (fg)
        collect(s, reinterpret_cast<HWND>(fg), s.controls);
    for (HWND w : owned)
        collect(s, w, s.controls);
    if (s.selected >= s.controls.size())
        s.selected = 0;
    for (auto it = below.rbegin(); it != below.rend(); ++it)
        drawWindow(s, *it, true, s.controls);
    if (fg)
        drawWindow(s, reinterpret_cast<HWND>(fg), true, s.controls);
    for (auto it = owned.rbegin(); it != owned.rend(); ++it)
        drawWindow(s, *it, true, s.controls);
    if (taskBar && IsWindowVisible(taskBar)) {
        drawWindow(s, taskBar, true, s.controls);
        // The bar names the program in front, after its Start button.
        RECT bar{};
        GetWindowRect(taskBar, &bar);
        if (!title.empty() && fg != reinterpret_cast<uintptr_t>(taskBar))
            put(s.originY + bar.top / 16, s.originX + 7, title, kScreenCols - 7);
    }
    if (s.device.suspended()) {
        for (int y = 0; y < kScreenRows; ++y)
            mvhline(s.originY + y, s.originX, ' ', kScreenCols);
        put(s.originY + kScreenRows / 2 - 1, s.originX + 2, "The device is off.", kScreenCols - 2);
        put(s.originY + kScreenRows / 2, s.originX + 2, "Any key switches it on.", kScreenCols - 2);
    }
    s.questionShown = s.questions.pending();
    if (s.questions.pending())
        s.questions.draw(s.originX, s.originY + kTaskBarRows, kScreenCols,
                         kScreenRows - kTaskBarRows);

    // The status at the right: link, keys, settings, then the journal.
    int x = s.originX + kScreenCols + 3, w = W - x;
    emul::SerialPort *port = s.device.serial().find(handheld::kInfraredPort);
    bool up = port && port->isOpen();
    put(2, x,
        std::string("keyboard link ") + (up ? "up" : "down (port closed)") + "  driver " + s.build +
            (s.device.suspended() ? "  device off (power key)" : ""),
        w);
    std::string keys = s.driver.status();
    std::string phase = repeatPhase(s);
    if (!phase.empty() && keys.rfind("held: ", 0) == 0) {
        size_t end = keys.find("  ");
        keys.insert(end == std::string::npos ? keys.size() : end, phase);
    }
    put(3, x, keys.empty() ? "no key held" : keys, w);
    put(4, x, settingsLine(s.device.registry()), w);
    put(5, x,
        s.questions.pending() ? s.questions.help()
        : s.menu              ? "SCREEN: arrows move, Enter acts, PgUp/PgDn tabs, o OK, c Cancel, "
                                "s Start, q quit, F1 back"
                              : "KEYBOARD: what you type goes to the device",
        w);
    mvhline(6, x, ACS_HLINE, std::max(0, w - 1));
    int rows = std::max(0, H - 9);
    size_t n = s.tap.lines.size();
    // The newest lines at the bottom once they fill the panel; until then from its top.
    int shown = int(std::min(n, size_t(rows)));
    for (int i = 0; i < shown; ++i)
        put(7 + shown - 1 - i, x, s.tap.lines[n - 1 - size_t(i)], w);
    if (!s.message.empty())
        put(H - 2, 0, s.message, W);
    attron(A_REVERSE);
    put(H - 1, 0, std::string("F1 screen/keys  ") + KeyboardDriver::helpLine() + "  ^] quit", W);
    attroff(A_REVERSE);
    refresh();
}

// Every shortcut below a folder of the device, as the scenario's `file` commands (a shortcut is
// one line of text).
void recordShortcuts(emul::Device &device, const std::u16string &folder, SessionRecorder &rec) {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((folder + u"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        std::u16string path = folder + u"\\" + found.cFileName;
        std::string content;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            recordShortcuts(device, path, rec);
        else if (path.size() > 4 && emul::foldCase(path.substr(path.size() - 4)) == u".lnk" &&
                 device.files().readFile(path, &content))
            rec.command(0, "file " + scenarioWord(emul::utf8(path)) + " " +
                               scenarioWord(content.substr(0, content.find_first_of("\r\n"))));
    } while (FindNextFileW(h, &found));
    FindClose(h);
}

// What `handheld reg` changed since the last look, into the recording as the scenario's own
// commands (the tool writes whole lines, each change in one write).
void recordRegChanges(Screen &s, std::streamoff *done) {
    std::ifstream in(s.dir.regChanges(), std::ios::binary);
    if (!in || !in.seekg(*done))
        return;
    std::string line;
    while (std::getline(in, line) && !in.eof()) {
        *done += std::streamoff(line.size() + 1);
        s.recorder.command(s.device.kernel().now(), line);
    }
}

// A user action on the foreground program, as the scenario language has it; it is recorded.
void act(Screen &s, const std::string &command) {
    ScnCommand cmd;
    bool empty = false;
    std::string error;
    if (!scnParseLine(command, 0, &cmd, &empty, &error) || empty) {
        s.message = command + ": " + error;
        return;
    }
    s.recorder.command(s.device.kernel().now(), command);
    if (!s.runner.execute(cmd, &error))
        s.message = error;
    else
        s.message = command;
}

// The Start menu as a list; a digit or letter picks an entry.
void startMenu(Screen &s) {
    std::string line = "Start:";
    for (size_t i = 0; i < std::size(kStartMenu); ++i)
        line += std::string(" ") + char(i < 9 ? '1' + i : 'a' + (i - 9)) + "=" + kStartMenu[i].name;
    s.message = line;
    draw(s);
    nodelay(stdscr, FALSE);
    int c = getch();
    nodelay(stdscr, TRUE);
    size_t i = c >= '1' && c <= '9'   ? size_t(c - '1')
               : c >= 'a' && c <= 'z' ? size_t(c - 'a' + 9)
                                      : 99;
    if (i >= std::size(kStartMenu)) {
        s.message.clear();
        return;
    }
    std::string cmd = kStartMenu[i].command;
    size_t sp = cmd.find(' ');
    std::string prog = cmd.substr(0, sp);
    if (prog.size() > 4 && prog.substr(prog.size() - 4) == ".exe")
        prog.resize(prog.size() - 4);
    act(s, "run " + prog + (sp == std::string::npos ? "" : " " + cmd.substr(sp + 1)));
}

// Acts on the selected control: a click, a slider step, the next entry of a list.
void actOnControl(Screen &s, int step) {
    if (s.selected >= s.controls.size())
        return;
    const Control &c = s.controls[s.selected];
    std::string id = std::to_string(c.id);
    const emul::harness::ControlState &st = c.state;
    if (st.pos && st.min && st.max) {
        int to = std::clamp(*st.pos + (step ? step : 1), *st.min, *st.max);
        act(s, "slide " + id + " " + std::to_string(to));
    } else if (st.items && !st.items->empty() && classOf(st) != "systabcontrol32") {
        auto &items = *st.items;
        size_t at = 0;
        for (size_t i = 0; i < items.size(); ++i)
            if (st.selected && items[i] == *st.selected)
                at = i;
        at = (at + items.size() + size_t(step >= 0 ? 1 : -1)) % items.size();
        act(s, "select " + id + " " + scenarioWord(items[at]));
    } else if (st.items && classOf(st) == "systabcontrol32") {
        size_t at = 0;
        for (size_t i = 0; i < st.items->size(); ++i)
            if (st.selected && (*st.items)[i] == *st.selected)
                at = i;
        at = (at + st.items->size() + size_t(step >= 0 ? 1 : -1)) % st.items->size();
        act(s, "tab " + std::to_string(at));
    } else if (classOf(st) == "edit" || classOf(st) == "richink") {
        // A tap on a text box puts the typing there: the keys go back to the keyboard.
        act(s, "click " + id);
        s.menu = false;
    } else {
        act(s, "click " + id);
    }
}

// A mouse click at a terminal cell: the control under it.
void clickAt(Screen &s, int x, int y) {
    int px = (x - s.originX) * 8 + 4, py = (y - s.originY) * 16 + 8;
    for (size_t i = s.controls.size(); i-- > 0;) {
        const RECT &r = s.controls[i].rect;
        if (px >= r.left && px < r.right && py >= r.top && py < r.bottom) {
            s.selected = i;
            const emul::harness::ControlState &st = s.controls[i].state;
            if (st.pos && st.min && st.max) {
                int width = std::max(1, int(r.right - r.left) - 1);
                int to = *st.min + (px - r.left) * (*st.max - *st.min) / width;
                act(s, "slide " + std::to_string(s.controls[i].id) + " " + std::to_string(to));
            } else {
                actOnControl(s, 1);
            }
            return;
        }
    }
}

HostKey hostKeyOf(wint_t c, bool isKeyCode) {
    HostKey k;
    if (isKeyCode) {
        switch (c) {
        case KEY_UP:
            k.type = HostKey::Up;
            break;
        case KEY_DOWN:
            k.type = HostKey::Down;
            break;
        case KEY_LEFT:
            k.type = HostKey::Left;
            break;
        case KEY_RIGHT:
            k.type = HostKey::Right;
            break;
        case KEY_SR:
            k.type = HostKey::Up;
            k.shift = true;
            break;
        case KEY_SF:
            k.type = HostKey::Down;
            k.shift = true;
            break;
        case KEY_SLEFT:
            k.type = HostKey::Left;
            k.shift = true;
            break;
        case KEY_SRIGHT:
            k.type = HostKey::Right;
            k.shift = true;
            break;
        case KEY_HOME:
            k.type = HostKey::Home;
            break;
        case KEY_END:
            k.type = HostKey::End;
            break;
        case KEY_PPAGE:
            k.type = HostKey::PageUp;
            break;
        case KEY_NPAGE:
            k.type = HostKey::PageDown;
            break;
        case KEY_DC:
            k.type = HostKey::Delete;
            break;
        case KEY_BACKSPACE:
            k.ch = 8;
            break;
        case KEY_ENTER:
            k.ch = 13;
            break;
        case KEY_BTAB:
            k.ch = 9;
            k.shift = true;
            break;
        default:
            if (c >= wint_t(KEY_F(1)) && c <= wint_t(KEY_F(12))) {
                k.type = HostKey::Function;
                k.function = int(c - KEY_F(0));
            }
        }
        return k;
    }
    if (c == 10 || c == 13)
        k.ch = 13;
    else if (c == 8 || c == 127)
        k.ch = 8;
    else if (c == 9)
        k.ch = 9;
    else if (c == 27)
        k.type = HostKey::Escape;
    else if (c >= 1 && c <= 26) {
        k.ch = char16_t('a' + c - 1);
        k.ctrl = true;
    } else {
        k.ch = char16_t(c);
        k.ctrl = c < 32;
    }
    return k;
}

// Keys in screen mode; false when the session ends.
bool screenKey(Screen &s, const HostKey &k) {
    size_t n = s.controls.size();
    switch (k.type) {
    case HostKey::Function:
        if (k.function == 1)
            s.menu = false;
        return true;
    case HostKey::Escape:
        s.menu = false;
        return true;
    case HostKey::Up:
    case HostKey::Left:
        if (k.type == HostKey::Left && s.selected < n && s.controls[s.selected].state.pos) {
            actOnControl(s, -1);
            return true;
        }
        if (n)
            s.selected = (s.selected + n - 1) % n;
        return true;
    case HostKey::Down:
    case HostKey::Right:
        if (k.type == HostKey::Right && s.selected < n && s.controls[s.selected].state.pos) {
            actOnControl(s, 1);
            return true;
        }
        if (n)
            s.selected = (s.selected + 1) % n;
        return true;
    case HostKey::PageUp:
    case HostKey::PageDown:
        for (size_t i = 0; i < n; ++i)
            if (classOf(s.controls[i].state) == "systabcontrol32") {
                s.selected = i;
                actOnControl(s, k.type == HostKey::PageUp ? -1 : 1);
            }
        return true;
    case HostKey::Char:
        break;
    default:
        return true;
    }
    switch (k.ch) {
    case 13:
    case ' ':
        actOnControl(s, 1);
        break;
    case '-':
        actOnControl(s, -1);
        break;
    case 'o':
        act(s, "ok");
        break;
    case 'c':
        act(s, "cancel");
        break;
    case 's':
        startMenu(s);
        break;
    case 'q':
        return false;
    }
    return true;
}

// One step of the screen: the host's keys and mouse, what `handheld reg` changed, a redraw.
void pump(Screen &s) {
    bool changed = s.tap.changed;
    wint_t c;
    int r;
    while (!s.quit && (r = nextKey(&c)) != ERR) {
        changed = true;
        if (r == KEY_CODE_YES && c == KEY_MOUSE) {
            MEVENT me;
            if (getmouse(&me) != OK)
                continue;
            if (s.questions.pending()) {
                s.questions.click(me.x - s.originX, me.y - s.originY - kTaskBarRows);
            } else {
                s.menu = true;
                draw(s);
                clickAt(s, me.x, me.y);
            }
            continue;
        }
        if (r == KEY_CODE_YES && c == KEY_RESIZE)
            continue;
        HostKey key = hostKeyOf(c, r == KEY_CODE_YES);
        if (key.type == HostKey::Char && key.ch == 0x1D) { // ^]
            s.quit = true;
            break;
        }
        // A device that is off wakes at any key, which is not typed.
        if (s.device.suspended()) {
            s.device.resume();
            s.message = "the device is on again";
            continue;
        }
        // A message box or file dialog has the keys while a program waits on it.
        if (s.questions.pending()) {
            s.questions.key(key);
            continue;
        }
        if (s.menu) {
            draw(s); // the controls as they are now: the last key may have turned the page
            s.quit = !screenKey(s, key);
            continue;
        }
        if (key.type == HostKey::Function && key.function == 1) {
            s.menu = true;
            continue;
        }
        if (!s.driver.handle(key))
            s.message = "no key of the keyboard types that";
        else
            s.message.clear();
    }
    if (stopRequested)
        s.quit = true;
    // Leaving: a program still waiting on a question gets its default answer.
    if (s.quit && s.questions.pending())
        s.questions.dismiss();
    if (s.recorder.active())
        recordRegChanges(s, &s.regChangesDone);
    // Redraw on a change only: what the device does shows in its journal, what another
    // process does shows in the hive's files.
    // A question that came or went is a change too: the program that asks waits for the person
    // until the screen shows it, and writes nothing meanwhile.
    if (changed || s.redraw || s.questions.pending() != s.questionShown) {
        s.tap.changed = false;
        s.redraw = false;
        draw(s);
    }
}

} // namespace

int runInteractive(const InteractiveOptions &options) {
    StateDir dir = stateDir(options.state);
    std::error_code ec;
    if (options.reset) {
        for (const std::string &p :
             {dir.hive(), dir.hive() + "-wal", dir.hive() + "-shm", dir.dir + "/driver-build"})
            fs::remove(p, ec);
        fs::remove_all(dir.root(), ec);
    }
    std::string problem;
    if (!makeStateDir(dir, &problem)) {
        std::fprintf(stderr, "handheld: %s\n", problem.c_str());
        return 1;
    }
    // One device per state folder.
    int lock = open((dir.dir + "/lock").c_str(), O_RDWR | O_CREAT, 0644);
    if (lock < 0 || flock(lock, LOCK_EX | LOCK_NB) != 0) {
        std::fprintf(stderr, "handheld: a device is running from %s already\n", dir.dir.c_str());
        return 1;
    }
    std::string build, installed;
    {
        std::ifstream in(dir.dir + "/driver-build");
        std::getline(in, installed);
        if (!findDriverBuild(installed))
            installed = fs::exists(dir.hive()) ? kBaselineBuild.name : "";
    }
    // A build is chosen when the device is installed: another one on the same registry and
    // files would run with settings the installer never wrote for it.
    if (!options.build.empty() && !installed.empty() && options.build != installed) {
        std::fprintf(stderr,
                     "handheld: the device in %s has the %s driver; --build chooses the driver "
                     "of a new device: add --reset to start over with a %s device (its registry "
                     "and files are lost), or leave --build out\n",
                     dir.dir.c_str(), installed.c_str(), options.build.c_str());
        return 1;
    }
    build = !options.build.empty() ? options.build
            : !installed.empty()   ? installed
                                   : std::string(kBaselineBuild.name);
    std::ofstream(dir.dir + "/driver-build") << build << "\n";

    emul::DeviceOptions dopt;
    dopt.realTime = true;
    dopt.hivePath = dir.hive();
    dopt.stateDir = dir.root();
    dopt.oneCore = true;
    // A program that spins without calling the platform keeps this thread from running: a
    // signal still ends the session within a second.
    SignalDeadline deadline([] { endwin(); });
    emul::Device device(dopt);
    ReadableJournal tap;
    emul::Subscription tapped(device.journal(), tap);
    device.journal().keepLast(0); // the screen keeps what it shows

    bool fresh = !device.registry().keyExists(kDriverKey);
    InstallOptions inst;
    inst.withPort = false;
    inst.settings = fresh;
    inst.driverBuild = build;
    install(device, inst);
    if (fresh)
        installStartMenu(device);

    SessionRecorder recorder;
    std::ofstream(dir.regChanges(), std::ios::trunc); // this run's changes only
    if (!options.record.empty() && !recorder.open(options.record)) {
        std::fprintf(stderr, "handheld: cannot write %s: %s\n", options.record.c_str(),
                     std::strerror(errno));
        return 1;
    }
    emul::SerialPort &port = device.serial().addPort(handheld::kInfraredPort, true);
    std::string error;
    std::string linePath;
    auto line = emul::openPtyLine(&linePath, &error);
    if (!line) {
        std::fprintf(stderr, "handheld: no pseudo-terminal for the infrared line: %s\n",
                     error.c_str());
        return 1;
    }
    if (recorder.active())
        line = std::make_unique<RecordedLine>(std::move(line), recorder, device.kernel());
    port.connect(std::move(line));
    fs::remove(dir.irLine(), ec);
    fs::create_symlink(linePath, dir.irLine(), ec);
    int kbFd = openKeyboardLine(linePath, &error);
    if (kbFd < 0) {
        std::fprintf(stderr, "handheld: %s: %s\n", linePath.c_str(), error.c_str());
        return 1;
    }

    emul::Kernel &k = device.kernel();
    if (recorder.active()) {
        // What a replay must start from: this device's build, its registry where it differs
        // from a new installation's (settings, hot keys, program names, keys made by tools or
        // programs, with values or without) and its shortcuts (the Start menu, what the file
        // dialog may offer).
        recorder.command(0, "driver " + build);
        auto fresh = emul::Registry::open("");
        installRegistry(*fresh);
        for (const std::string &line : regScenarioDiff(*fresh, device.registry()))
            recorder.command(0, line);
        recordShortcuts(device, u"", recorder);
        recorder.command(0, "boot");
    }

    ScenarioRunner runner(device);
    if (!device.devices().activate(kDriverKey, 0))
        tap.lines.push_back("the keyboard driver did not start");
    KeyMap map(build);
    VirtualKeyboard kb(map, [&](const std::vector<uint8_t> &bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = write(kbFd, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                break;
            done += size_t(n);
        }
    });
    KeyboardDriver driver(kb);
    Questions questions(device, recorder);
    Screen screen{device,   questions, runner, kb, driver, recorder, tap, dir,
                  linePath, false,     0,      "", {},     1,        2};
    screen.build = build;

    // The shell's desktop and task bar, then Notes in front, as the device comes up; the
    // keyboard connects.
    std::string startError;
    for (const char *command : {"run explorer", "run notes"}) {
        ScnCommand cmd;
        bool empty = false;
        std::string e;
        scnParseLine(command, 0, &cmd, &empty, &e);
        recorder.command(k.now(), command);
        if (!runner.execute(cmd, &e))
            startError = e;
    }
    kb.connect();

    std::setlocale(LC_ALL, "");
    stopRequested = false;
    signalled = &k;
    auto oldInt = std::signal(SIGINT, onSignal);
    auto oldTerm = std::signal(SIGTERM, onSignal);
    auto oldHup = std::signal(SIGHUP, onSignal);
    initscr();
    raw();
    noecho();
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    set_escdelay(25);
    curs_set(0);
    mousemask(BUTTON1_CLICKED | BUTTON1_PRESSED, nullptr);
    screen.message = startError;

    // The screen's loop sleeps until a key arrives on the terminal (the device's host wait
    // watches it), the journal has new lines, the hive or the registry changes file is
    // written (another process's `reg`), or a signal comes. A program waiting on a question
    // runs the same steps meanwhile, as the screen's thread may itself be waiting on it.
    bool input = true;
    auto work = [&] {
        return stopRequested.load() || input || tap.changed || screen.redraw ||
               questions.pending() != screen.questionShown;
    };
    auto step = [&] {
        input = false;
        pump(screen);
    };
    questions.whileWaiting = step;
    questions.workWaiting = work;
    runner.interrupted = [&input] { return input ? quitTyped() : stopRequested.load(); };
    k.watch(0, [&](short revents) {
        input = true;
        if (revents & (POLLHUP | POLLERR | POLLNVAL)) {
            stopRequested = true; // the terminal has gone
            k.unwatch(0);
        }
    });
    device.watchHostFiles({dir.hive(), dir.regChanges()}, [&] { screen.redraw = true; });
    // A restart brings the installation's start-up; the keyboard connects again.
    auto restarted = [&](const StartUp &up) {
        screen.message = up.driver ? "the device restarted"
                                   : "the device restarted without "
                                     "its keyboard driver";
        screen.redraw = true;
        kb.connect();
    };
    runner.restarted = restarted;
    DeviceLoop loop;
    loop.work = work;
    loop.step = [&] {
        if (!work()) // woken by the clock: a held key's repeat has ended
            screen.redraw = true;
        step();
        return !screen.quit;
    };
    loop.wakeAt = [&] { return repeatEnds(screen); };
    loop.suspended = [&] { screen.redraw = true; };
    loop.restarted = restarted;
    runDevice(device, loop);
    device.watchHostFiles({}, nullptr);
    // What the steps look at goes before the question's own end; a waiting program has its
    // default answer by now.
    questions.workWaiting = nullptr;
    questions.whileWaiting = nullptr;
    runner.interrupted = nullptr;
    typedAhead.clear();
    k.unwatch(0);
    kb.releaseAll();
    device.closePrograms(1000); // the text programs keep their documents
    endwin();
    std::signal(SIGINT, oldInt);
    std::signal(SIGTERM, oldTerm);
    std::signal(SIGHUP, oldHup);
    signalled = nullptr;
    recorder.close(k.now());
    fs::remove(dir.irLine(), ec);
    fs::remove(dir.regChanges(), ec);
    close(kbFd);
    return 0;
}

} // namespace handheld
