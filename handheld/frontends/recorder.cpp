// The session recorder.
#include "frontends/recorder.h"

#include <cstdio>

namespace handheld {

bool SessionRecorder::open(const std::string &path) {
    out_.open(path, std::ios::binary | std::ios::trunc);
    if (!out_)
        return false;
    out_ << "# A session of the interactive handheld, recorded: bytes on the infrared line with\n"
            "# their device times and the user's actions. Play it with: handheld play FILE\n";
    out_.flush();
    return true;
}

void SessionRecorder::command(uint64_t t, const std::string &line) {
    if (!active())
        return;
    if (t > last_)
        out_ << "wait " << (t - last_) << "\n";
    last_ = std::max(last_, t);
    out_ << line << "\n";
    out_.flush(); // a killed session keeps what it did so far
}

void SessionRecorder::bytes(uint64_t t, const std::vector<uint8_t> &bytes) {
    std::string line = "rx";
    char b[4];
    for (uint8_t v : bytes) {
        std::snprintf(b, sizeof b, " %02X", v);
        line += b;
    }
    command(t, line);
}

void SessionRecorder::close(uint64_t t) {
    if (!active())
        return;
    command(t + 2000, "# the end of the session");
    out_.close();
}

} // namespace handheld
