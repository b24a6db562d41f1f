// The handheld program's command line.
#pragma once

namespace handheld {

int runCli(int argc, char **argv);
// The demonstration: journal on standard output, the screen after it on standard error (or on
// standard output too).
int playDemo(bool screenOnStdout);

} // namespace handheld
