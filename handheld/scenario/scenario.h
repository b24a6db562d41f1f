// Scenarios: the command language of `handheld play` and the runner that acts them out on a
// device while its journal records what happened.
#pragma once

#include "emul/device.h"
#include "emul/registry.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace emul {
struct FileObject;
struct Program;
class SerialPort;
} // namespace emul

namespace handheld {

enum class ScnOp {
    // setting up
    Driver,
    OsBuild,
    Set,
    Delete,
    Port,
    Fail,
    Heal,
    File,
    Window,
    Foreground,
    // acting
    Boot,
    Activate,
    Deactivate,
    Rx,
    Wait,
    PowerDown,
    PowerUp,
    ClientOpen,
    ClientRead,
    ClientClose,
    Run,
    Sip,
    Dump,
    Show,
    // the user at the foreground program's controls
    Tab,
    Click,
    Slide,
    Select,
    Ok,
    Cancel,
    Answer,
    Choose,
};

// One parsed command line. Which fields are used depends on the command.
struct ScnCommand {
    int line = 0;
    ScnOp op = ScnOp::Boot;
    std::string word;              // the command as written, for messages
    std::string path;              // registry path, file path, program, window NAME, choose PATH
    std::string name;              // value name, window CLASS, select TEXT, file TEXT, port NAME
    std::string parent;            // window ... parent NAME
    std::vector<std::string> args; // run ARGS
    emul::RegValue value;          // set
    std::vector<uint8_t> bytes;    // rx
    uint32_t num = 0, num2 = 0;    // MS, N, ID, POS, build, access
    bool flag = false;             // delete with NAME, nobaud9600, sip on, answer yes, choose
                                   // cancel, file with TEXT, window with parent
    bool hasRect = false;
    int rect[4] = {0, 0, 240, 320}; // window rect L T R B; without one, the whole screen
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

    // The serial port that carries the infrared line (created on demand).
    emul::SerialPort &line();

    // A program started by `run`, shared with the thread that watches for its exit.
    struct Tracked {
        emul::Program *program;
        std::string name;
        bool reported;
    };

  private:
    struct Client {
        void *handle;
        std::shared_ptr<emul::FileObject> file;
    };

    bool userAction(const ScnCommand &cmd, std::string *error);
    // Blocks the runner until `until` holds or the deadline passes, journaling program exits
    // at the moment they happen.
    void runUntil(std::function<bool()> until, uint64_t deadline);
    bool exitPending() const;
    void reportExits();
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
