// Scenarios: the command language of `handheld play` and the runner that acts them out on a
// device while its journal records what happened.
#pragma once

#include "image/boot.h"

#include "emul/device.h"
#include "emul/registry.h"
#include "emul/screen_layout.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace emul {
struct FileObject;
struct Program;
class SerialPort;
} // namespace emul

namespace handheld {

struct ScnVerb;
class ScenarioRunner;

// One parsed command line; its command's parse function fills the fields the command takes.
struct ScnCommand {
    int line = 0;
    const ScnVerb *verb = nullptr;        // the command's row in the table of commands
    std::string word;                     // its words as written ("client read"), for messages
    std::string path;                     // PATH, PROGRAM, CALL, window NAME, choose PATH
    std::string name;                     // window CLASS, port COMn:, driver build
    std::optional<std::string> valueName; // set PATH NAME, delete PATH [NAME]
    std::string text;                     // file PATH [TEXT], select ID TEXT
    std::optional<std::string> parent;    // window ... [parent NAME]
    bool hasRect = false;                 // window ... [rect L T R B]
    int rect[4] = {0, 0, emul::screen::kWidth, emul::screen::kHeight}; // without one, the screen
    std::vector<std::string> args;                                     // run PROGRAM ARGS
    emul::RegValue value;                                              // set
    std::vector<uint8_t> bytes;                                        // rx
    uint32_t num = 0, num2 = 0; // MS, N, ID, POS, build, access; slide's POS
    bool baud9600 = true;       // port: false with nobaud9600
    bool yes = false;           // sip on, answer yes
    bool cancel = false;        // choose cancel
    bool open = false;          // answer open, choose open
};

// Splits a line into tokens: blanks separate, `#` outside quotes ends the line, a quoted token
// keeps its blanks with \" and \\ as its only escapes. False with *error on a quoting fault.
bool scnTokenize(const std::string &line, std::vector<std::string> *tokens, std::string *error);

// Parses one line. A blank or comment line gives true with *empty set. False with *error (no
// line number in it) for any fault of the line on its own.
bool scnParseLine(const std::string &line, int lineNo, ScnCommand *cmd, bool *empty,
                  std::string *error);

// Where a scenario stopped with an error.
struct ScnError {
    int line = 0;
    std::string message;
};

// Acts out commands on a device that `install` set up without its infrared line: the runner
// puts the line on "COM2:" when the first command needs it unless a `port` command came first.
// The runner must be used on the thread that constructed the device (its main thread).
class ScenarioRunner {
  public:
    explicit ScenarioRunner(emul::Device &device);
    ~ScenarioRunner();
    ScenarioRunner(const ScenarioRunner &) = delete;
    ScenarioRunner &operator=(const ScenarioRunner &) = delete;

    // Executes one command; false with *error when the scenario must stop here.
    bool execute(const ScnCommand &cmd, std::string *error);
    // Parses and executes a whole scenario line by line; false with *err at the first error.
    bool play(std::istream &in, ScnError *err);
    bool playText(const std::string &text, ScnError *err);

    // The device's threads take their turn at the current time, as `wait 0` gives them: what
    // they paint for the commands before is on the screen.
    void settle();

    // The serial port that carries the infrared line (created on demand).
    emul::SerialPort &line();

    // A reboot request while the runner waits restarts the device (every program it started
    // ends without an exit line, clients' handles are gone) and the installation's start-up
    // runs; the scenario goes on on the restarted device. Told to the front end here.
    std::function<void(const StartUp &)> restarted;

    // Asked while a command waits for the device: once it holds, the wait ends at once, so a
    // front end that is told to end is not held by a program that never waits for input.
    std::function<bool()> interrupted;

    // Where `screenshot NAME.png` writes (play --out DIR); empty: screenshots are not written.
    std::string outDir;

    // A program started by `run`, shared with the thread that watches for its exit.
    struct Tracked {
        std::shared_ptr<emul::Program> program;
        std::string name;
        bool reported;
    };

  private:
    friend struct ScnRun; // the commands
    struct Client {
        void *handle;
        std::shared_ptr<emul::FileObject> file;
    };

    // Blocks the runner until `until` holds or the deadline passes, journaling program exits
    // at the moment they happen.
    void runUntil(std::function<bool()> until, uint64_t deadline);
    bool exitPending() const;
    void reportExits();
    void restartDevice();
    bool activateKey(const std::string &path);

    emul::Device &dev_;
    emul::SerialPort *line_ = nullptr;
    bool lineDefaulted_ = false;
    bool driverLoaded_ = false;
    std::vector<std::shared_ptr<Tracked>> programs_;
    std::vector<Client> clients_;
};

// The scenario that `handheld` plays when started without arguments.
extern const char *const kDemoScenario;

} // namespace handheld
