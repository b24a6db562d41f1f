// The live device: real time, the infrared line on a pseudo-terminal or a tty, Notes in front.
#pragma once

#include <string>

namespace handheld {

struct LiveOptions {
    std::string tty;      // serve the line from this tty; empty: a new pseudo-terminal
    std::string hive;     // SQLite hive file; empty: in memory
    std::string state;    // host folder of the device's files; empty: a temporary one
    bool journal = false; // also write the journal to standard error
};

// Runs until standard input reaches its end or SIGINT; returns the process exit status.
int runLive(const LiveOptions &options);

} // namespace handheld
