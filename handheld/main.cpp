// handheld: the virtual device. Without arguments it plays its built-in demonstration.
#include "install.h"

#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
    (void)argc;
    (void)argv;
    emul::Device device;
    handheld::install(device);
    std::puts("handheld: device installed");
    return 0;
}
