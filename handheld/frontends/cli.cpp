// The handheld program's commands and their options.
#include "frontends/cli.h"

#include "frontends/interactive.h"
#include "frontends/keyboard_cmd.h"
#include "frontends/live.h"
#include "frontends/monitor.h"
#include "frontends/reg_cmd.h"
#include "frontends/screen.h"
#include "frontends/signals.h"
#include "frontends/state_dir.h"
#include "frontends/window.h"
#include "image/install.h"
#include "scenario/scenario.h"

#include "emul/graphics.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <unistd.h>

namespace handheld {

namespace {

// Where a play puts its pictures: `screenshot` commands into `outDir`, the screen at the end
// into `pngDir` (both empty: none).
struct Pictures {
    std::string outDir, pngDir, name = "screen";
};

// A folder for pictures must be there already: a play creates no folders.
bool folderUsable(const std::string &dir, const char *option) {
    if (dir.empty() || access(dir.c_str(), W_OK) == 0)
        return true;
    std::fprintf(stderr, "handheld: %s %s: %s\n", option, dir.c_str(), std::strerror(errno));
    return false;
}

// Plays a scenario on a freshly installed device with its journal on standard output; the
// screen afterwards goes to `screen` when given.
int play(std::istream &in, const std::string &source, std::ostream *screen,
         const Pictures &pictures = Pictures{}) {
    if (!folderUsable(pictures.outDir, "--out") || !folderUsable(pictures.pngDir, "--png"))
        return 2;
    TempFolderOnSignals cleanup;
    emul::DeviceOptions dopt;
    dopt.oneCore = true;
    emul::Device device(dopt);
    cleanup.watch(device);
    InstallOptions options;
    options.withPort = false; // the runner puts the line where the scenario wants it
    install(device, options);
    device.journal().tee(&std::cout);
    device.journal().keepLast(0); // standard output holds it; a long run stays flat
    ScenarioRunner runner(device);
    runner.outDir = pictures.outDir;
    ScnError err;
    if (!runner.play(in, &err)) {
        device.journal().flush();
        std::fprintf(stderr, "%s:%d: %s\n", source.c_str(), err.line, err.message.c_str());
        return 2;
    }
    // The screen at the end as the device's threads leave it, with or without --png.
    runner.settle();
    device.journal().flush();
    std::string why;
    if (!pictures.pngDir.empty() &&
        !device.graphics().savePng(pictures.pngDir + "/" + pictures.name + ".png", &why)) {
        std::fprintf(stderr, "handheld: --png: %s\n", why.c_str());
        return 2;
    }
    if (screen) {
        *screen << "\n" << renderScreen(device);
        screen->flush();
    }
    return 0;
}

int playFile(const std::string &file, bool screen, Pictures pictures) {
    std::ostream *out = screen ? &std::cerr : nullptr;
    if (file == "-")
        return play(std::cin, "<stdin>", out, pictures);
    // The picture of the end is named after the scenario: hello.scn gives hello.png.
    std::string base = file.substr(file.find_last_of('/') + 1);
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".scn") == 0)
        base.resize(base.size() - 4);
    if (!base.empty() && base[0] != '.')
        pictures.name = base;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "handheld: cannot read %s: %s\n", file.c_str(), std::strerror(errno));
        return 2;
    }
    return play(in, file, out, pictures);
}

} // namespace

int playDemo(bool screenOnStdout) {
    std::istringstream in(kDemoScenario);
    return play(in, "demonstration", screenOnStdout ? &std::cout : &std::cerr);
}

namespace {

// The command line as parsed: each command's options, and which command was given.
struct Cli {
    std::string state;
    InteractiveOptions inter;
    bool terminal = false;
    WindowOptions window;

    CLI::App *demo = nullptr, *play = nullptr, *live = nullptr;
    bool screenOut = false;
    std::string scenarioFile;
    bool playScreen = false;
    Pictures pictures;
    LiveOptions liveOptions;

    CLI::App *keys = nullptr, *keyboard = nullptr;
    std::string keysBuild = kBaselineBuild.name;
    bool keysWide = false;
    KeyboardOptions kb;

    CLI::App *reg = nullptr, *regQuery = nullptr, *regSet = nullptr, *regDelete = nullptr,
             *regExport = nullptr, *regImport = nullptr;
    RegOptions regOptions;
    int regFormat = 4;

    CLI::App *shot = nullptr;
    std::string shotFile;
};

// The options of the device the program starts without a command.
void addDeviceOptions(CLI::App &app, Cli &c) {
    app.add_option("--state", c.state,
                   "the device's state folder (default $XDG_STATE_HOME/handheld, else "
                   "~/.local/state/handheld)")
        ->type_name("DIR");
    app.add_flag("--reset", c.inter.reset, "start over with a newly installed device");
    app.add_option("--build", c.inter.build,
                   "driver build of a new device (default ce420); a device keeps its build, "
                   "so with another one use --reset")
        ->check(CLI::IsMember(driverBuildNames()));
    app.add_option("--record", c.inter.record,
                   "write the session as a scenario that handheld play acts out again")
        ->type_name("FILE.scn");
    app.add_flag("--terminal", c.terminal,
                 "the device's screen in this terminal even when there is a display for a window");
    app.add_option("--scale", c.window.scale,
                   "window pixels to a device pixel (default 2; less when the window would not fit "
                   "the display)")
        ->check(CLI::IsMember({1, 2, 3}));
    app.add_flag("--trace-frames", c.window.traceFrames,
                 "print a line on standard output for every frame the window shows (for "
                 "measurements)");
}

// demo, play and live: the device run on its own.
void addRunCommands(CLI::App &app, Cli &c) {
    c.demo = app.add_subcommand(
        "demo", "Play the demonstration (a keyboard connects and types \"Hello, World!\" into "
                "Notes): the journal on standard output, the screen afterwards on standard error");
    c.demo->add_flag("--screen-on-stdout", c.screenOut,
                     "write the screen after the journal on standard output");

    c.play = app.add_subcommand(
        "play", "Play a scenario in device time on a freshly installed device and write its "
                "journal (JSON lines) on standard output; exit status 2 on a scenario error");
    c.play->add_option("FILE", c.scenarioFile, "scenario file, - for standard input")->required();
    c.play->add_flag("--screen", c.playScreen, "write the screen at the end on standard error");
    c.play->add_option("--out", c.pictures.outDir, "folder the scenario's screenshots go to")
        ->type_name("DIR");
    c.play
        ->add_option("--png", c.pictures.pngDir,
                     "write the screen at the end as a PNG named after the scenario into DIR")
        ->type_name("DIR");

    c.live = app.add_subcommand(
        "live", "A real-time device with the infrared line on a new pseudo-terminal (or --tty) "
                "and Notes in front; prints the note whenever it changes, until end of input "
                "or ^C");
    LiveOptions &live = c.liveOptions;
    c.live->add_option("--tty", live.tty, "serve the infrared line from this tty")
        ->type_name("PATH");
    c.live->add_option("--hive", live.hive, "keep the registry in this SQLite file")
        ->type_name("FILE");
    c.live->add_option("--state", live.state, "keep the device's files in this folder")
        ->type_name("DIR");
    c.live->add_flag("--journal", live.journal,
                     "write the journal on standard output (and the rest on standard error)");
}

// keys and keyboard: the keyboard's map and the keyboard on its own.
void addKeyCommands(CLI::App &app, Cli &c) {
    c.keys = app.add_subcommand(
        "keys", "Print the key map: every key with its make code and what each layer gives, in "
                "80 columns");
    c.keys->add_flag("--wide", c.keysWide, "the full table: break codes and bytes on the wire too");
    c.keys->add_option("--build", c.keysBuild, "driver build whose table to show")
        ->check(CLI::IsMember(driverBuildNames()));

    c.keyboard = app.add_subcommand(
        "keyboard", "The virtual keyboard on its own: turns the keys typed here into the "
                    "keyboard's bytes on a pseudo-terminal or serial device (^] ends)");
    KeyboardOptions &kb = c.kb;
    c.keyboard
        ->add_option("--port", kb.port,
                     "the line: the device's pseudo-terminal or a serial device (default: the "
                     "running device's, the state folder's ir-line)")
        ->type_name("PATH");
    c.keyboard->fallthrough();
    c.keyboard->add_option("--type", kb.text, "type this text and end");
    c.keyboard->add_flag_callback(
        "--no-connect", [&kb] { kb.connect = false; }, "do not send the link handshake first");
    c.keyboard->add_option("--build", kb.build, "driver build whose key table to use")
        ->check(CLI::IsMember(driverBuildNames()));
}

// reg and its commands: the registry of a device's state folder.
void addRegCommand(CLI::App &app, Cli &c) {
    c.reg = app.add_subcommand(
        "reg", "The registry of the device in the state folder (handheld --state DIR reg ...), "
               "also while it runs: a running device sees each change on its next look, and "
               "its recording (--record) gets it. Exit status 0 done, 1 no such key or value "
               "or the hive refused the change, 2 a bad argument or file");
    c.reg->require_subcommand(0, 1);
    c.reg->fallthrough();
    RegOptions &reg = c.regOptions;
    auto regKey = [&](CLI::App *cmd, bool required) {
        cmd->fallthrough();
        auto *o = cmd->add_option("KEY", reg.key,
                                  "key path under HKEY_LOCAL_MACHINE (with or without that name "
                                  "in front)");
        if (required)
            o->required();
    };
    c.regQuery = c.reg->add_subcommand("query", "Show a key's values and sub-keys, or one value");
    regKey(c.regQuery, true);
    c.regQuery->add_option("NAME", reg.name, "one value's name");
    c.regSet = c.reg->add_subcommand("set", "Write a value (creating the key if needed)");
    regKey(c.regSet, true);
    c.regSet->add_option("NAME", reg.name, "the value's name")->required();
    c.regSet->add_option("TYPE", reg.type, "dword, sz, expandsz, multisz or binary")->required();
    c.regSet
        ->add_option("DATA", reg.data,
                     "a number (decimal or 0x hex), a text, texts for multisz, or hex pairs")
        ->required();
    c.regDelete = c.reg->add_subcommand("delete", "Remove a key with all below it, or one value");
    regKey(c.regDelete, true);
    c.regDelete->add_option("NAME", reg.name, "only this value");
    c.regExport = c.reg->add_subcommand(
        "export", "Write a key and all below it (the whole hive without KEY) as a registry file "
                  "on standard output, which import and Windows' registry editor take back");
    regKey(c.regExport, false);
    c.regExport
        ->add_option("--format", c.regFormat,
                     "4: REGEDIT4 (UTF-8, the default); 5: Windows Registry Editor Version 5.00 "
                     "(UTF-16, as Windows' editor writes it; carries every value exactly)")
        ->check(CLI::IsMember({4, 5}));
    c.regImport = c.reg->add_subcommand(
        "import", "Apply a registry file to the hive as one change: all of its keys and "
                  "values are written together, or none of them (a bad line is named and "
                  "changes nothing)");
    c.regImport->fallthrough();
    c.regImport
        ->add_option("FILE", reg.file,
                     "registry file (REGEDIT4 or version 5.00; UTF-8, ANSI or UTF-16), - for "
                     "standard input; at most 64 MB")
        ->required();
}

int runKeyboardCommand(Cli &c) {
    KeyboardOptions &kb = c.kb;
    if (kb.port.empty()) {
        StateDir dir = stateDir(c.state);
        kb.port = dir.irLine();
        if (access(kb.port.c_str(), F_OK) != 0) {
            std::fprintf(stderr,
                         "handheld keyboard: no device runs from %s (give --port PATH, or "
                         "start one with: handheld --state %s)\n",
                         dir.dir.c_str(), dir.dir.c_str());
            return 1;
        }
    }
    return runKeyboard(kb);
}

int runRegCommand(Cli &c) {
    if (c.reg->get_subcommands().empty()) {
        std::fprintf(stderr, "handheld reg: which one: query, set, delete, export or import? "
                             "(handheld reg --help)\n");
        return 2;
    }
    RegOptions &reg = c.regOptions;
    for (CLI::App *cmd : {c.regQuery, c.regSet, c.regDelete, c.regExport, c.regImport})
        if (*cmd)
            reg.action = cmd->get_name();
    reg.format = c.regFormat == 5 ? RegFileFormat::v5 : RegFileFormat::regedit4;
    reg.hasName = c.regQuery->get_option("NAME")->count() > 0 ||
                  c.regDelete->get_option("NAME")->count() > 0 || *c.regSet;
    StateDir dir = stateDir(c.state);
    if (access(dir.hive().c_str(), F_OK) != 0) {
        std::fprintf(stderr,
                     "handheld reg: no device in %s (start one with: handheld --state %s)\n",
                     dir.dir.c_str(), dir.dir.c_str());
        return 1;
    }
    return runRegOnHive(dir, reg);
}

// Without a command: the device in a window when there is a display, else on this terminal,
// else the demonstration.
int runDevice(Cli &c) {
    InteractiveOptions &inter = c.inter;
    inter.state = c.state;
    if (!c.terminal && displayAvailable()) {
        if (!inter.record.empty()) {
            std::fprintf(stderr, "handheld: --record records the terminal screen's session: add "
                                 "--terminal\n");
            return 2;
        }
        c.window.device = inter;
        std::string why;
        int status = runWindow(c.window, &why);
        if (status != kNoWindow)
            return status;
        if (!(isatty(0) && isatty(1))) {
            std::fprintf(stderr, "handheld: no window on the display %s: %s\n",
                         std::getenv("DISPLAY"), why.c_str());
            return 1;
        }
    }
    if (isatty(0) && isatty(1))
        return runInteractive(inter);
    if (c.terminal) {
        std::fprintf(stderr, "handheld: --terminal needs a terminal on standard input and "
                             "output\n");
        return 2;
    }
    return playDemo(false);
}

} // namespace

int runCli(int argc, char **argv) {
    std::ios::sync_with_stdio(true);
    CLI::App app{"The virtual handheld: a Windows CE device with the infrared keyboard driver, "
                 "its settings program and loader, run on this machine."};
    app.require_subcommand(0, 1);
    Cli c;
    addDeviceOptions(app, c);
    addRunCommands(app, c);
    addKeyCommands(app, c);
    addRegCommand(app, c);
    c.shot = app.add_subcommand(
        "screenshot", "Write the running device's screen (handheld --state DIR for another "
                      "one than the default) as a PNG file of 240 x 320 pixels");
    c.shot->add_option("FILE", c.shotFile, "the PNG file to write")->required();

    // Set last: subcommands take their parent's footer when they are made.
    app.footer("Without a command: the device from the state folder, in a window when there is a "
               "display (--terminal: on this terminal, its screen and a keyboard), else on this "
               "terminal; off a terminal and without a display, the demonstration.");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        return app.exit(e) == 0 ? 0 : 2;
    }
    // An empty name would quietly mean the default folder (or, for live, a temporary one).
    if ((app.get_option("--state")->count() && c.state.empty()) ||
        (c.live->get_option("--state")->count() && c.liveOptions.state.empty())) {
        std::fprintf(stderr, "handheld: --state needs a folder, not an empty name\n");
        return 2;
    }
    // A device draws its screen with the fonts of Debian packages: without them it does not start.
    bool makesDevice = !(*c.shot || *c.keys || *c.keyboard || *c.reg);
    if (makesDevice) {
        std::string missing = emul::missingFontPackage();
        if (!missing.empty()) {
            std::fprintf(stderr, "handheld: %s\n", missing.c_str());
            return 1;
        }
    }
    if (*c.play)
        return playFile(c.scenarioFile, c.playScreen, c.pictures);
    if (*c.live)
        return runLive(c.liveOptions);
    if (*c.shot) {
        StateDir dir = stateDir(c.state);
        return requestScreenshot(dir.monitor(), dir.dir, c.shotFile);
    }
    if (*c.keys)
        return printKeyMap(c.keysBuild, c.keysWide);
    if (*c.keyboard)
        return runKeyboardCommand(c);
    if (*c.reg)
        return runRegCommand(c);
    if (*c.demo)
        return playDemo(c.screenOut);
    return runDevice(c);
}

} // namespace handheld
