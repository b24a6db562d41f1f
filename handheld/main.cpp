// handheld: the virtual device and its tools.
#include "frontends/cli.h"

#include "emul/device.h"

#include <cstdio>

int main(int argc, char **argv) {
    try {
        return handheld::runCli(argc, argv);
    } catch (const emul::DeviceError &e) {
        // A device that cannot start: its hive or folder is unusable.
        std::fflush(stdout);
        std::fprintf(stderr, "handheld: %s\n", e.what());
        return 1;
    }
}
