// Fuzz target: scenario text through the tokenizer and the parser of every command, line by
// line, as `handheld play` reads it. Whatever the text, each line parses or gives a message of
// one short line.
#include "fuzz_main.h"
#include "handheld/scenario/scenario.h"

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    size_t start = 0;
    int lineNo = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        handheld::ScnCommand cmd;
        bool empty = false;
        std::string error;
        if (!handheld::scnParseLine(line, ++lineNo, &cmd, &empty, &error) &&
            (error.empty() || error.find('\n') != std::string::npos || error.size() > 400)) {
            std::fprintf(stderr,
                         "fuzz_scenario: line %d: a message that is empty, long or "
                         "more than one line\n",
                         lineNo);
            std::abort();
        }
        start = end + 1;
    }
    return 0;
}
