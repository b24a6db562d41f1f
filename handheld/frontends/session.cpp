// The session's actions: the person's clicks and keys on the screen as scenario commands, the
// Start menu's shortcuts and the running programs, and what the recording needs besides.
#include "frontends/session.h"

#include "frontends/screen_actions.h"

#include <windows.h>

#include "norvel_reg.h"

#include "emul/files.h"
#include "emul/process.h"
#include "emul/registry.h"
#include "emul/text.h"

#include <algorithm>
#include <fstream>

namespace handheld {

using emul::ControlKind;

const std::vector<StartEntry> &startMenu() {
    static const std::vector<StartEntry> entries = {
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
    return entries;
}

void installStartMenu(emul::Device &device) {
    for (const StartEntry &e : startMenu()) {
        std::string cmd = e.command;
        device.files().writeFile(u"\\Windows\\Start Menu\\Programs\\" + emul::utf16(e.name) +
                                     u".lnk",
                                 std::to_string(cmd.size()) + "#" + cmd + "\r\n");
    }
}

namespace {

// "Notes.exe" as the scenario names it: "Notes".
std::string scenarioName(const std::u16string &program) {
    std::string name = emul::utf8(program);
    if (name.size() > 4 && emul::foldCase(emul::utf16(name.substr(name.size() - 4))) == u".exe")
        name.resize(name.size() - 4);
    return scenarioWord(name);
}

} // namespace

std::vector<RunningProgram> runningPrograms(const Session &s) {
    std::vector<RunningProgram> out;
    // The top of the z-order first, as the platform's list of running programs has them.
    for (auto it = s.model.drawn.rbegin(); it != s.model.drawn.rend(); ++it) {
        const Drawn &d = *it;
        if (!d.topLevel || !d.program || d.text.empty() || d.program->name == u"explorer.exe" ||
            d.program->exited())
            continue;
        bool seen = std::any_of(out.begin(), out.end(), [&](const RunningProgram &r) {
            return emul::utf8(r.title) == emul::utf8(d.text);
        });
        if (!seen) {
            std::string args = emul::utf8(d.program->cmdLine);
            out.push_back(
                {d.hwnd, d.text,
                 "run " + scenarioName(d.program->name) + (args.empty() ? "" : " " + args),
                 "close " + scenarioName(d.program->name)});
        }
    }
    return out;
}

std::vector<Drawn> controlsInFront(const ScreenModel &model) {
    std::vector<Drawn> out;
    bool front = false;
    for (const Drawn &d : model.drawn) {
        if (d.topLevel)
            front = front || d.hwnd == model.foreground;
        else if (front && d.actionable() && d.program)
            out.push_back(d);
    }
    // In reading order: row by row, left to right; tabs where their labels are.
    auto at = [](const Drawn &d) {
        return cellsOf(d.kind == ControlKind::Tabs && !d.itemBoxes.empty() ? d.itemBoxes[0] : d.px);
    };
    std::stable_sort(out.begin(), out.end(), [&at](const Drawn &a, const Drawn &b) {
        CellRect ca = at(a), cb = at(b);
        return ca.row != cb.row ? ca.row < cb.row : ca.col < cb.col;
    });
    return out;
}

void act(Session &s, const std::string &command) {
    ScnCommand cmd;
    bool empty = false;
    std::string error;
    if (!scnParseLine(command, 0, &cmd, &empty, &error) || empty) {
        s.message = command + ": " + error;
        return;
    }
    s.recorder.command(s.device.kernel().now(), command);
    // What the device says meanwhile (a restart the command brought) is the last word.
    s.message = command;
    if (!s.runner.execute(cmd, &error))
        s.message = error;
}

void actOnControl(Session &s, int step) {
    std::vector<Drawn> controls = controlsInFront(s.model);
    auto it = std::find_if(controls.begin(), controls.end(),
                           [&](const Drawn &d) { return d.hwnd == s.selected; });
    if (it == controls.end())
        return;
    const Drawn &d = *it;
    std::string id = std::to_string(d.id);
    size_t n = d.items.size();
    size_t next =
        d.selected < 0 ? 0 : (size_t(d.selected) + n + (step >= 0 ? 1 : n - 1)) % (n ? n : 1);
    switch (d.kind) {
    case ControlKind::Trackbar:
        if (d.pos && d.min && d.max)
            act(s, "slide " + id + " " +
                       std::to_string(std::clamp(*d.pos + (step ? step : 1), *d.min, *d.max)));
        break;
    case ControlKind::ComboBox:
        if (n)
            act(s, "select " + id + " " + scenarioWord(emul::utf8(d.items[next])));
        break;
    case ControlKind::Tabs:
        if (n)
            act(s, "tab " + std::to_string(next));
        break;
    case ControlKind::Edit:
    case ControlKind::Ink:
        // A tap on a text box puts the typing there: the keys go back to the keyboard.
        act(s, "click " + id);
        s.menu = false;
        break;
    default:
        act(s, "click " + id);
    }
}

void clickCell(Session &s, int col, int row) {
    ClickResult r = clickAt(s.model, col, row);
    if (r.programs) {
        s.overlay = Session::Overlay::Programs;
        s.overlayAt = 0;
        return;
    }
    if (r.command.empty())
        return;
    s.selected = r.hwnd;
    s.menu = !r.typing;
    act(s, r.command);
}

namespace {

std::optional<uint32_t> dwordValue(emul::Registry &reg, const char16_t *name) {
    return emul::regDwordOf(reg.getValue(NORVEL_DRIVER_KEY, name));
}

} // namespace

// The driver repeats a held key after "Delay Time", then every "Repeat Rate", and stops by
// itself 11 x "Repeat Rate" after the first repeat.
std::string repeatPhase(Session &s) {
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

uint64_t repeatEnds(Session &s) {
    auto delay = dwordValue(s.device.registry(), NORVEL_DELAY_TIME);
    auto rate = dwordValue(s.device.registry(), NORVEL_REPEAT_RATE);
    if (!s.heldKey || !delay || !rate)
        return emul::kNever;
    uint64_t end = s.heldSince + uint16_t(*delay) + 11u * uint16_t(*rate);
    return end > s.device.kernel().now() ? end : emul::kNever;
}

std::string settingsLine(emul::Registry &reg) {
    auto en = dwordValue(reg, NORVEL_ENABLE_KEYBOARD);
    auto delay = dwordValue(reg, NORVEL_DELAY_TIME);
    auto rate = dwordValue(reg, NORVEL_REPEAT_RATE);
    auto num = [](std::optional<uint32_t> v) { return v ? std::to_string(*v) : std::string("?"); };
    return std::string("Enable Keyboard ") + (en ? (*en ? "on" : "off") : "?") + "  delay " +
           num(delay) + " ms  rate " + num(rate) + " ms";
}

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

// The tool writes whole lines, each change in one write.
void recordRegChanges(Session &s) {
    std::ifstream in(s.dir.regChanges(), std::ios::binary);
    if (!in || !in.seekg(s.regChangesDone))
        return;
    std::string line;
    while (std::getline(in, line) && !in.eof()) {
        s.regChangesDone += std::streamoff(line.size() + 1);
        s.recorder.command(s.device.kernel().now(), line);
    }
}

} // namespace handheld
