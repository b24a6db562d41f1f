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

int runCli(int argc, char **argv) {
    std::ios::sync_with_stdio(true);
    CLI::App app{"The virtual handheld: a Windows CE device with the infrared keyboard driver, "
                 "its settings program and loader, run on this machine."};
    app.require_subcommand(0, 1);
    std::string state;
    app.add_option("--state", state,
                   "the device's state folder (default $XDG_STATE_HOME/handheld, else "
                   "~/.local/state/handheld)")
        ->type_name("DIR");

    InteractiveOptions inter;
    app.add_flag("--reset", inter.reset, "start over with a newly installed device");
    app.add_option("--build", inter.build,
                   "driver build of a new device (default ce420); a device keeps its build, "
                   "so with another one use --reset")
        ->check(CLI::IsMember(driverBuildNames()));
    app.add_option("--record", inter.record,
                   "write the session as a scenario that handheld play acts out again")
        ->type_name("FILE.scn");
    bool terminal = false;
    app.add_flag("--terminal", terminal,
                 "the device's screen in this terminal even when there is a display for a window");
    WindowOptions window;
    app.add_option("--scale", window.scale, "window pixels to a device pixel (default 2)")
        ->check(CLI::IsMember({1, 2, 3}));
    app.add_flag("--trace-frames", window.traceFrames,
                 "print a line on standard output for every frame the window shows (for "
                 "measurements)");

    auto *demo = app.add_subcommand(
        "demo", "Play the demonstration (a keyboard connects and types \"Hello, World!\" into "
                "Notes): the journal on standard output, the screen afterwards on standard error");
    bool screenOut = false;
    demo->add_flag("--screen-on-stdout", screenOut,
                   "write the screen after the journal on standard output");

    auto *playCmd = app.add_subcommand(
        "play", "Play a scenario in device time on a freshly installed device and write its "
                "journal (JSON lines) on standard output; exit status 2 on a scenario error");
    std::string scenarioFile;
    playCmd->add_option("FILE", scenarioFile, "scenario file, - for standard input")->required();
    bool playScreen = false;
    playCmd->add_flag("--screen", playScreen, "write the screen at the end on standard error");
    Pictures pictures;
    playCmd->add_option("--out", pictures.outDir, "folder the scenario's screenshots go to")
        ->type_name("DIR");
    playCmd
        ->add_option("--png", pictures.pngDir,
                     "write the screen at the end as a PNG named after the scenario into DIR")
        ->type_name("DIR");

    auto *liveCmd = app.add_subcommand(
        "live", "A real-time device with the infrared line on a new pseudo-terminal (or --tty) "
                "and Notes in front; prints the note whenever it changes, until end of input "
                "or ^C");
    LiveOptions live;
    liveCmd->add_option("--tty", live.tty, "serve the infrared line from this tty")
        ->type_name("PATH");
    liveCmd->add_option("--hive", live.hive, "keep the registry in this SQLite file")
        ->type_name("FILE");
    liveCmd->add_option("--state", live.state, "keep the device's files in this folder")
        ->type_name("DIR");
    liveCmd->add_flag("--journal", live.journal,
                      "write the journal on standard output (and the rest on standard error)");

    auto *keysCmd = app.add_subcommand(
        "keys", "Print the key map: every key with its make code and what each layer gives, in "
                "80 columns");
    std::string keysBuild = kBaselineBuild.name;
    bool keysWide = false;
    keysCmd->add_flag("--wide", keysWide, "the full table: break codes and bytes on the wire too");
    keysCmd->add_option("--build", keysBuild, "driver build whose table to show")
        ->check(CLI::IsMember(driverBuildNames()));

    auto *kbCmd = app.add_subcommand(
        "keyboard", "The virtual keyboard on its own: turns the keys typed here into the "
                    "keyboard's bytes on a pseudo-terminal or serial device (^] ends)");
    KeyboardOptions kb;
    kbCmd
        ->add_option("--port", kb.port,
                     "the line: the device's pseudo-terminal or a serial device (default: the "
                     "running device's, the state folder's ir-line)")
        ->type_name("PATH");
    kbCmd->fallthrough();
    kbCmd->add_option("--type", kb.text, "type this text and end");
    kbCmd->add_flag_callback(
        "--no-connect", [&kb] { kb.connect = false; }, "do not send the link handshake first");
    kbCmd->add_option("--build", kb.build, "driver build whose key table to use")
        ->check(CLI::IsMember(driverBuildNames()));

    auto *regCmd = app.add_subcommand(
        "reg", "The registry of the device in the state folder (handheld --state DIR reg ...), "
               "also while it runs: a running device sees each change on its next look, and "
               "its recording (--record) gets it. Exit status 0 done, 1 no such key or value "
               "or the hive refused the change, 2 a bad argument or file");
    regCmd->require_subcommand(0, 1);
    regCmd->fallthrough();
    RegOptions reg;
    auto regKey = [&](CLI::App *c, bool required) {
        c->fallthrough();
        auto *o = c->add_option("KEY", reg.key,
                                "key path under HKEY_LOCAL_MACHINE (with or without that name in "
                                "front)");
        if (required)
            o->required();
    };
    auto *regQuery =
        regCmd->add_subcommand("query", "Show a key's values and sub-keys, or one value");
    regKey(regQuery, true);
    regQuery->add_option("NAME", reg.name, "one value's name");
    auto *regSet = regCmd->add_subcommand("set", "Write a value (creating the key if needed)");
    regKey(regSet, true);
    regSet->add_option("NAME", reg.name, "the value's name")->required();
    regSet->add_option("TYPE", reg.type, "dword, sz, expandsz, multisz or binary")->required();
    regSet
        ->add_option("DATA", reg.data,
                     "a number (decimal or 0x hex), a text, texts for multisz, or hex pairs")
        ->required();
    auto *regDelete =
        regCmd->add_subcommand("delete", "Remove a key with all below it, or one value");
    regKey(regDelete, true);
    regDelete->add_option("NAME", reg.name, "only this value");
    auto *regExportCmd = regCmd->add_subcommand(
        "export", "Write a key and all below it (the whole hive without KEY) as a registry file "
                  "on standard output, which import and Windows' registry editor take back");
    regKey(regExportCmd, false);
    int regFormat = 4;
    regExportCmd
        ->add_option("--format", regFormat,
                     "4: REGEDIT4 (UTF-8, the default); 5: Windows Registry Editor Version 5.00 "
                     "(UTF-16, as Windows' editor writes it; carries every value exactly)")
        ->check(CLI::IsMember({4, 5}));
    auto *regImportCmd = regCmd->add_subcommand(
        "import", "Apply a registry file to the hive as one change: all of its keys and "
                  "values are written together, or none of them (a bad line is named and "
                  "changes nothing)");
    regImportCmd->fallthrough();
    regImportCmd
        ->add_option("FILE", reg.file,
                     "registry file (REGEDIT4 or version 5.00; UTF-8, ANSI or UTF-16), - for "
                     "standard input; at most 64 MB")
        ->required();

    auto *shotCmd = app.add_subcommand(
        "screenshot", "Write the running device's screen (handheld --state DIR for another "
                      "one than the default) as a PNG file of 240 x 320 pixels");
    std::string shotFile;
    shotCmd->add_option("FILE", shotFile, "the PNG file to write")->required();

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
    if ((app.get_option("--state")->count() && state.empty()) ||
        (liveCmd->get_option("--state")->count() && live.state.empty())) {
        std::fprintf(stderr, "handheld: --state needs a folder, not an empty name\n");
        return 2;
    }
    // A device draws its screen with the fonts of Debian packages: without them it does not start.
    bool makesDevice = !(*shotCmd || *keysCmd || *kbCmd || *regCmd);
    if (makesDevice) {
        std::string missing = emul::missingFontPackage();
        if (!missing.empty()) {
            std::fprintf(stderr, "handheld: %s\n", missing.c_str());
            return 1;
        }
    }
    if (*playCmd)
        return playFile(scenarioFile, playScreen, pictures);
    if (*liveCmd)
        return runLive(live);
    if (*shotCmd) {
        StateDir dir = stateDir(state);
        return requestScreenshot(dir.monitor(), dir.dir, shotFile);
    }
    if (*keysCmd)
        return printKeyMap(keysBuild, keysWide);
    if (*kbCmd) {
        if (kb.port.empty()) {
            kb.port = stateDir(state).irLine();
            if (access(kb.port.c_str(), F_OK) != 0) {
                std::fprintf(stderr,
                             "handheld keyboard: no device runs from %s (give --port PATH, or "
                             "start one with: handheld --state %s)\n",
                             stateDir(state).dir.c_str(), stateDir(state).dir.c_str());
                return 1;
            }
        }
        return runKeyboard(kb);
    }
    if (*regCmd) {
        if (regCmd->get_subcommands().empty()) {
            std::fprintf(stderr, "handheld reg: which one: query, set, delete, export or import? "
                                 "(handheld reg --help)\n");
            return 2;
        }
        for (CLI::App *c : {regQuery, regSet, regDelete, regExportCmd, regImportCmd})
            if (*c)
                reg.action = c->get_name();
        reg.format = regFormat == 5 ? RegFileFormat::v5 : RegFileFormat::regedit4;
        reg.hasName = regQuery->get_option("NAME")->count() > 0 ||
                      regDelete->get_option("NAME")->count() > 0 || *regSet;
        StateDir dir = stateDir(state);
        if (access(dir.hive().c_str(), F_OK) != 0) {
            std::fprintf(stderr,
                         "handheld reg: no device in %s (start one with: handheld --state %s)\n",
                         dir.dir.c_str(), dir.dir.c_str());
            return 1;
        }
        return runRegOnHive(dir, reg);
    }
    if (*demo)
        return playDemo(screenOut);
    inter.state = state;
    if (!terminal && displayAvailable()) {
        if (!inter.record.empty()) {
            std::fprintf(stderr, "handheld: --record records the terminal screen's session: add "
                                 "--terminal\n");
            return 2;
        }
        window.device = inter;
        std::string why;
        int status = runWindow(window, &why);
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
    if (terminal) {
        std::fprintf(stderr, "handheld: --terminal needs a terminal on standard input and "
                             "output\n");
        return 2;
    }
    return playDemo(false);
}

} // namespace handheld
