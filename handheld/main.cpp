// handheld: the virtual device and its tools.
#include "frontends/cli.h"

#include "emul/device.h"

#include <cstdio>
#include <new>

int main(int argc, char **argv) {
    try {
        return handheld::runCli(argc, argv);
    } catch (const emul::DeviceError &e) {
        // A device that cannot start: its hive or folder is unusable.
        std::fflush(stdout);
        std::fprintf(stderr, "handheld: %s\n", e.what());
        return 1;
    } catch (const std::bad_alloc &) {
        // Input beyond what memory holds: said on one line, never an abort.
        std::fflush(stdout);
        std::fputs("handheld: out of memory\n", stderr);
        return 1;
    }
}
