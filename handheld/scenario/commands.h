// Inside the scenario language: the table of commands and what its rows point to.
//
// A command is one row of the table in scenario_commands.cpp: its words, its usage, how the
// rest of its line is read (scenario_parse.cpp) and what it does on the device (ScnRun).
#pragma once

#include "scenario/scenario.h"

#include "emul/windows_sys.h"

#include <string>
#include <vector>

namespace handheld {

struct ScnVerb {
    const char *word;  // the words that start the line: "boot", "client open"
    const char *usage; // shown when the rest of the line does not fit
    // Reads the tokens after the words into `cmd`; false when they do not fit, with *why set
    // when there is more to say than the usage.
    bool (*parse)(const std::vector<std::string> &args, ScnCommand *cmd, std::string *why);
    // Acts the command out on the runner's device; false with *error when the scenario must
    // stop here.
    bool (*run)(ScenarioRunner &r, const ScnCommand &cmd, std::string *error);
};

// Every command, in the order the usage lists them.
const std::vector<ScnVerb> &scnVerbs();

// Shapes of the rest of a line, shared by commands that take the same arguments.
namespace scnparse {
using Args = std::vector<std::string>;
bool none(const Args &a, ScnCommand *cmd, std::string *why);
bool number(const Args &a, ScnCommand *cmd, std::string *why); // N
bool path(const Args &a, ScnCommand *cmd, std::string *why);   // a non-empty PATH, NAME or CALL
bool call(const Args &a, ScnCommand *cmd, std::string *why);   // a call whose failure can be set
bool driver(const Args &a, ScnCommand *cmd, std::string *why);
bool set(const Args &a, ScnCommand *cmd, std::string *why);
bool del(const Args &a, ScnCommand *cmd, std::string *why);
bool port(const Args &a, ScnCommand *cmd, std::string *why);
bool file(const Args &a, ScnCommand *cmd, std::string *why);
bool window(const Args &a, ScnCommand *cmd, std::string *why);
bool rx(const Args &a, ScnCommand *cmd, std::string *why);
bool clientOpen(const Args &a, ScnCommand *cmd, std::string *why);
bool clientRead(const Args &a, ScnCommand *cmd, std::string *why);
bool run(const Args &a, ScnCommand *cmd, std::string *why);
bool sip(const Args &a, ScnCommand *cmd, std::string *why);
bool slide(const Args &a, ScnCommand *cmd, std::string *why);
bool tap(const Args &a, ScnCommand *cmd, std::string *why);  // X Y on the screen
bool drag(const Args &a, ScnCommand *cmd, std::string *why); // X1 Y1 X2 Y2 on the screen
bool select(const Args &a, ScnCommand *cmd, std::string *why);
bool answer(const Args &a, ScnCommand *cmd, std::string *why);
bool choose(const Args &a, ScnCommand *cmd, std::string *why);
bool screenshot(const Args &a, ScnCommand *cmd, std::string *why); // a file name ending .png
} // namespace scnparse

// What each command does; friends of the runner.
struct ScnRun {
    using Fn = bool(ScenarioRunner &r, const ScnCommand &c, std::string *error);
    // setting up
    static Fn driver, osbuild, set, key, del, port, fail, heal, file, window, foreground;
    // acting
    static Fn boot, activate, deactivate, rx, wait, powerdown, powerup, clientOpen, clientRead,
        clientClose, run, dump, show, screenshot;
    // the user at the foreground program's controls (scenario_ui.cpp)
    static Fn sip, tab, click, slide, select, ok, cancel, answer, choose;
    // the pen at screen pixels (scenario_ui.cpp)
    static Fn tap, drag, close;
    // The pen goes down, moves or lifts at a screen pixel; then the program in front works
    // until it waits for input again, as after every action of the user.
    static bool penAt(ScenarioRunner &r, const ScnCommand &c, emul::WindowSystem::Pen what, int x,
                      int y, std::string *error);
    // After a user's action: the command's error, or what the foreground program `p` does about
    // it up to its next wait for input.
    static bool settle(ScenarioRunner &r, const std::shared_ptr<emul::Program> &p,
                       const ScnCommand &c, bool ok, const std::string &why, std::string *error);
};

} // namespace handheld
