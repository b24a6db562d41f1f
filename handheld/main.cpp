// handheld: the virtual device. Without arguments it plays its built-in demonstration.
#include "image/install.h"
#include "frontends/live.h"
#include "scenario/scenario.h"
#include "frontends/screen.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

const char *const kUsage =
    "usage: handheld                 play the demonstration: the keyboard connects and types\n"
    "                                \"Hello, World!\" into Notes; then show the screen\n"
    "       handheld play FILE|-     play a scenario (from standard input with -) and write\n"
    "                                its journal to standard output; exit 2 on an error\n"
    "       handheld live [--tty PATH] [--hive FILE] [--state DIR] [--journal]\n"
    "                                a real-time device with the infrared line on a new\n"
    "                                pseudo-terminal (or on PATH) and Notes in front; prints\n"
    "                                the note whenever it changes, until end of input or ^C\n"
    "       handheld --help\n";

// Plays a scenario on a freshly installed device with its journal on standard output.
int play(std::istream &in, const std::string &source, bool showScreen) {
    emul::Device device;
    handheld::InstallOptions options;
    options.withPort = false; // the runner puts the line where the scenario wants it
    handheld::install(device, options);
    device.journal().tee(&std::cout);
    handheld::ScenarioRunner runner(device);
    handheld::ScnError err;
    if (!runner.play(in, &err)) {
        std::cout.flush();
        std::fprintf(stderr, "%s:%d: %s\n", source.c_str(), err.line, err.message.c_str());
        return 2;
    }
    if (showScreen)
        std::cout << "\n" << handheld::renderScreen(device);
    std::cout.flush();
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    std::ios::sync_with_stdio(true);
    if (argc == 1) {
        std::string text = handheld::kDemoScenario;
        std::istringstream in(text);
        return play(in, "demonstration", true);
    }
    std::string cmd = argv[1];
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (cmd == "play" && argc == 3) {
        std::string file = argv[2];
        if (file == "-")
            return play(std::cin, "<stdin>", false);
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "handheld: cannot read %s: %s\n", file.c_str(),
                         std::strerror(errno));
            return 2;
        }
        return play(in, file, false);
    }
    if (cmd == "live") {
        handheld::LiveOptions options;
        for (int i = 2; i < argc; ++i) {
            std::string a = argv[i];
            if (a == "--journal") {
                options.journal = true;
                continue;
            }
            if (i + 1 >= argc || (a != "--tty" && a != "--hive" && a != "--state")) {
                std::fputs(kUsage, stderr);
                return 2;
            }
            std::string v = argv[++i];
            (a == "--tty" ? options.tty : a == "--hive" ? options.hive : options.state) = v;
        }
        return handheld::runLive(options);
    }
    std::fputs(kUsage, stderr);
    return 2;
}
