// `handheld keys` and `handheld keyboard`: the key map, and the virtual keyboard driving a
// serial line from this terminal.
#pragma once

#include "image/driver_builds.h"

#include <string>

namespace handheld {

// The table fits 80 columns; `wide` adds the break codes and the wire bytes.
int printKeyMap(const std::string &build, bool wide);

struct KeyboardOptions {
    std::string port;    // pseudo-terminal or serial device the keyboard's bytes go to
    std::string text;    // type this and end; empty: type what comes on standard input
    bool connect = true; // send the handshake first
    std::string build = kBaselineBuild.name;
};
int runKeyboard(const KeyboardOptions &options);

// Opens a line for the keyboard's bytes (raw, 9600 baud when it is a tty); -1 with a message.
int openKeyboardLine(const std::string &path, std::string *error);

} // namespace handheld
