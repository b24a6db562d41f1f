// handheld: the virtual device and its tools.
#include "frontends/cli.h"

int main(int argc, char **argv) {
    return handheld::runCli(argc, argv);
}
