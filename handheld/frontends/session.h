// The interactive device's session: what its terminal screen, its host keys and its loop share.
// The screen is drawn from the screen model; the person's actions on it become the scenario's
// commands, so that the session's recording replays them.
#pragma once

#include "frontends/journal_view.h"
#include "frontends/recorder.h"
#include "frontends/screen_model.h"
#include "frontends/state_dir.h"
#include "keyboard/host_keys.h"
#include "scenario/scenario.h"

#include "emul/device.h"

#include <deque>
#include <string>
#include <vector>

namespace handheld {

// Where things are on the terminal, worked out anew for its size at every drawing.
struct Layout {
    bool fits = false;                                  // the device's screen fits at all
    int originX = 1, originY = 2;                       // the device's first cell
    int panelX = 0, panelY = 0, panelW = 0, panelH = 0; // the status and journal; 0 wide: none
};
// The layout for a terminal of this size: the panel beside the screen when it is at least 30
// wide, else below it when 3 rows are left there, else none.
Layout layoutFor(int cols, int rows);

struct Session {
    emul::Device &device;
    ScenarioRunner &runner;
    VirtualKeyboard &kb;
    HostKeyMapper &driver;
    SessionRecorder &recorder;
    ReadableJournal &tap;
    StateDir dir;
    std::string linePath;
    std::string build; // the driver build the device runs

    // What covers the device's screen, taking the keys.
    enum class Overlay { None, Programs, Help, Quit };
    Overlay overlay = Overlay::None;
    size_t overlayAt = 0;   // the entry a list overlay is at
    bool menu = false;      // the screen's controls have the keys, not the device
    uintptr_t selected = 0; // in menu mode: the control the person is at
    std::string message{};  // the last thing the screen has to say
    ScreenModel model{};    // the screen as last drawn
    Layout layout{};
    bool quit = false;                 // the session ends
    bool redraw = true;                // draw at the next step even with no key or journal line
    std::streamoff regChangesDone = 0; // how much of the registry changes file is recorded
    int heldKey = 0;                   // the key the keyboard holds down, and since when
    uint64_t heldSince = 0;
};

// The platform's programs a new device has on its Start menu: shortcut name and command line.
struct StartEntry {
    const char *name, *command;
};
const std::vector<StartEntry> &startMenu();
// A new device's Start menu, as an installer leaves it: one shortcut per program.
void installStartMenu(emul::Device &device);

// A running program the screen can switch to or close: its window and what starts it.
struct RunningProgram {
    uintptr_t hwnd;
    std::u16string title;
    std::string run;   // the scenario command that brings it forward
    std::string close; // and the one that closes it
};
std::vector<RunningProgram> runningPrograms(const Session &s);

// The controls of the windows in front that the screen's keys move between, in tab order.
std::vector<Drawn> controlsInFront(const ScreenModel &model);

// A person's action as the scenario says it: recorded, then run; errors go to the message.
void act(Session &s, const std::string &command);
// Acts on the selected control: a click, a slider step, the next entry of a list.
void actOnControl(Session &s, int step);
// A click on a cell of the device's screen.
void clickCell(Session &s, int col, int row);

// The status of a held key with the driver's repeat: "", ", repeating" or when it ended.
std::string repeatPhase(Session &s);
// When the status of a held key changes by time alone: its repeat's end.
uint64_t repeatEnds(Session &s);
std::string settingsLine(emul::Registry &reg);

// Every shortcut below a folder of the device, into the recording as `file` commands.
void recordShortcuts(emul::Device &device, const std::u16string &folder, SessionRecorder &rec);
// What `handheld reg` changed since the last look, into the recording.
void recordRegChanges(Session &s);

// The terminal: draws the whole screen; one step of keys, clicks and redrawing.
void draw(Session &s);
void pump(Session &s);
// Keys read while a command waits for the device, to see a ^] meanwhile.
bool quitTyped();
void forgetTypedAhead();

} // namespace handheld
