// A fuzz target's program when it is not built for libFuzzer (which brings its own main).
#include "fuzz_main.h"

#ifndef FUZZ_WITH_LIBFUZZER
int main(int argc, char **argv) {
    return fuzzmain::Main(argc, argv, FUZZ_TARGET_NAME, FUZZ_CORPUS_DIR);
}
#endif
